#include "footage.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <stdexcept>

#include "errors.h"
#include "option_parsing.h"
#include "png_io.h"

namespace velunary::cli {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The files of a sequence in frame order; UsageError for a gap or a repeated number.
std::vector<std::string> InOrder(const std::string& option, const std::string& spec,
                                 const std::map<long, std::string>& numbered) {
  if (numbered.empty()) throw UsageError(option + " " + spec + ": no numbered images found");
  std::vector<std::string> files;
  long expected = numbered.begin()->first;
  for (const auto& [number, file] : numbered) {
    if (number != expected) {
      throw UsageError(option + " " + spec + ": frame number " + std::to_string(expected) +
                       " is missing (the sequence goes on at " + file + ")");
    }
    files.push_back(file);
    ++expected;
  }
  return files;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Whether the file name holds a number field in the printf form a pattern is written in
// ("%d", "%4d", "%05d"); any other "%" ("100%.png") is part of a plain name.
bool IsPatternName(const std::string& spec) {
  const std::string name = fs::path(spec).filename().string();
  for (size_t at = name.find('%'); at != std::string::npos; at = name.find('%', at + 1)) {
    size_t end = at + 1;
    while (end < name.size() && end - at <= 2 && name[end] >= '0' && name[end] <= '9') ++end;
    if (end < name.size() && name[end] == 'd') return true;
  }
  return false;
}

// "a_%05d.png" or "a_%d.png": one integer conversion, nothing else.
std::map<long, std::string> MatchPattern(const std::string& option, const std::string& pattern) {
  const fs::path path(pattern);
  const std::string name = path.filename().string();
  const size_t percent = name.find('%');
  const size_t d = name.find('d', percent);
  const std::string flags = percent == std::string::npos || d == std::string::npos
                                ? std::string("x")
                                : name.substr(percent + 1, d - percent - 1);
  if (std::count(name.begin(), name.end(), '%') != 1 || (!flags.empty() && !AllDigits(flags)) ||
      flags.size() > 2) {
    throw UsageError(option + " " + pattern +
                     ": a sequence pattern holds one number field such as %05d in its file name");
  }
  const bool zeros = !flags.empty() && flags[0] == '0';
  const size_t width = flags.empty() ? 0 : std::stoul(flags);
  const std::string before = name.substr(0, percent);
  const std::string after = name.substr(d + 1);
  const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::map<long, std::string> numbered;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    const std::string file = entry.path().filename().string();
    if (file.size() <= before.size() + after.size() || !file.starts_with(before) ||
        !file.ends_with(after)) {
      continue;
    }
    const std::string digits =
        file.substr(before.size(), file.size() - before.size() - after.size());
    if (!AllDigits(digits) || digits.size() > 9) continue;
    const long number = std::stol(digits);
    // The file the pattern names for this number: "%05d" pads to five digits.
    std::string expected = std::to_string(number);
    if (zeros && expected.size() < width) expected.insert(0, width - expected.size(), '0');
    if (digits == expected) numbered[number] = (dir / file).string();
  }
  if (error) throw UsageError(option + " " + pattern + ": " + error.message());
  return numbered;
}

// The image files a folder sequence may hold.
const std::string kSequenceExtensions = ".png .exr .jpg .jpeg .tif .tiff .dpx ";

// The numbered images of a folder that form one sequence: one name before the number and
// one extension ("shot_0001.png", "shot_0002.png"). A folder holding numbered images of two names,
// or a single one (logo_v2.png), is not a sequence: UsageError naming them.
std::map<long, std::string> NumberedImages(const std::string& option, const std::string& dir) {
  std::map<std::string, std::map<long, std::string>> byName;  // the name before the number
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    const std::string file = entry.path().filename().string();
    const std::string extension = Lower(fs::path(file).extension().string());
    if (file.empty() || file[0] == '.' ||
        kSequenceExtensions.find(extension + " ") == std::string::npos) {
      continue;
    }
    // The number the name ends in, before the extension.
    const std::string stem = fs::path(file).stem().string();
    const size_t first = stem.find_last_not_of("0123456789") + 1;
    const std::string digits = stem.substr(first);
    if (digits.empty() || digits.size() > 9) continue;
    const long number = std::stol(digits);
    std::map<long, std::string>& files = byName[stem.substr(0, first) + "#" + extension];
    if (files.count(number) != 0) {
      throw UsageError(option + " " + dir + ": two files are numbered " + std::to_string(number) +
                       " (" + fs::path(files[number]).filename().string() + " and " + file + ")");
    }
    files[number] = (fs::path(dir) / file).string();
  }
  if (error) throw UsageError(option + " " + dir + ": " + error.message());
  const auto example = [](const std::map<long, std::string>& files) {
    return fs::path(files.begin()->second).filename().string();
  };
  if (byName.size() > 1) {
    throw UsageError(option + " " + dir + " holds numbered images of more than one name (" +
                     example(byName.begin()->second) + ", " +
                     example(std::next(byName.begin())->second) +
                     "); give the sequence as a pattern such as " + dir + "/shot_%04d.png");
  }
  if (byName.size() == 1 && byName.begin()->second.size() == 1) {
    throw UsageError(option + " " + dir + " holds one numbered image, " +
                     example(byName.begin()->second) +
                     ", not a sequence; give the file itself for a still");
  }
  return byName.empty() ? std::map<long, std::string>{} : byName.begin()->second;
}

void CheckSize(const std::string& option, const std::string& spec, long width, long height) {
  if (width > kMaxImageSide || height > kMaxImageSide) {
    throw UsageError(option + " " + spec + " is " + std::to_string(width) + "x" +
                     std::to_string(height) + " pixels; velunary takes layers up to " +
                     std::to_string(kMaxImageSide) + " pixels a side");
  }
}

bool LooksLikePng(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) return false;
  unsigned char signature[8] = {};
  const bool png = std::fread(signature, 1, 8, file) == 8 && signature[0] == 0x89 &&
                   signature[1] == 'P' && signature[2] == 'N' && signature[3] == 'G';
  std::fclose(file);
  return png;
}

// A clip's frame rate: its stated rate, exactly (30000/1001 stays so), or for a variable
// rate clip, whose stated rate is only a common multiple of its timestamps, the average.
std::optional<refhost::FrameRate> ClipRate(const std::string& stated, const std::string& average) {
  const auto parse = [](const std::string& text) -> std::optional<refhost::FrameRate> {
    try {
      return ParseFrameRate(text);
    } catch (const UsageError&) {
      return std::nullopt;
    }
  };
  const auto r = parse(stated);
  const auto avg = parse(average);
  if (!r || !avg) return r ? r : avg;
  const double rFps = static_cast<double>(r->timeScale) / r->timeStep;
  const double avgFps = static_cast<double>(avg->timeScale) / avg->timeStep;
  return std::abs(rFps - avgFps) > 0.01 * avgFps ? avg : r;
}

// Reads exactly `size` bytes; false at the end of the stream. Throws std::runtime_error
// when the decoder is stuck or a stop was requested.
bool ReadFully(int fd, unsigned char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const size_t n = ReadFromChild(fd, data + done, size - done, SilenceLimitMs());
    if (n == 0) return false;
    done += n;
  }
  return true;
}

// A PAM header ("P7", WIDTH, HEIGHT, DEPTH 4, MAXVAL 255, ENDHDR): each picture carries
// its own size, so the size is the one the decoder delivers. False at the end of the
// stream; std::runtime_error for anything but 8-bit RGBA.
bool ReadPamHeader(int fd, long* width, long* height) {
  std::string header;
  unsigned char c = 0;
  while (!header.ends_with("ENDHDR\n")) {
    if (header.size() > 512) throw std::runtime_error("ffmpeg delivered no PAM picture");
    if (!ReadFully(fd, &c, 1)) {
      if (header.empty()) return false;
      throw std::runtime_error("ffmpeg's picture ends in its header");
    }
    header += static_cast<char>(c);
  }
  const auto field = [&header](const std::string& name) {
    const size_t at = header.find("\n" + name + " ");
    return at == std::string::npos ? -1L : std::atol(header.c_str() + at + name.size() + 2);
  };
  *width = field("WIDTH");
  *height = field("HEIGHT");
  if (!header.starts_with("P7\n") || field("DEPTH") != 4 || field("MAXVAL") != 255 || *width < 1 ||
      *height < 1 || *width > kMaxImageSide || *height > kMaxImageSide) {
    throw std::runtime_error("ffmpeg delivered a picture that is not 8-bit RGBA of a usable size");
  }
  // Checked before the picture's bytes are read into memory.
  if (const std::string over = CheckPixelBudget(*width, *height); !over.empty()) {
    throw std::runtime_error("its picture " + over);
  }
  return true;
}

// The demuxers footage may be read with: media files only. A manifest or playlist (HLS,
// DASH, concat, a subtitle or text format that names other files) would make ffmpeg read
// whatever files it names, anywhere on the machine, whatever the name it came under.
constexpr const char* kMediaFormats =
    "mov,matroska,avi,mpegts,mpeg,mpegvideo,m4v,h264,hevc,flv,gif,ogg,mxf,asf,ivf,nut,"
    "yuv4mpegpipe,mjpeg,image2,png_pipe,jpeg_pipe,exr_pipe,tiff_pipe,dpx_pipe,webp_pipe,"
    "bmp_pipe";

// The arguments that name footage to ffmpeg or ffprobe: the file and only it, by its
// absolute path behind "file:" (a name that begins with "-" or holds a colon is still
// a file), read through the file protocol with a media demuxer.
std::vector<std::string> InputArgs(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return {"-protocol_whitelist", "file", "-format_whitelist",
          kMediaFormats,         "-i",   "file:" + (error ? path : absolute.string())};
}

// ffmpeg's refusal of a demuxer outside kMediaFormats, in the user's words.
std::string ExplainRefusal(const std::string& reason) {
  if (reason.find("not on whitelist") == std::string::npos) return reason;
  return "it is a playlist, manifest or other file that names other files, which velunary "
         "does not follow";
}

// ARGB pixels from RGBA bytes.
refhost::Image RgbaImage(const std::vector<unsigned char>& bytes, int width, int height) {
  refhost::Image image(width, height);
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    const unsigned char* p = bytes.data() + 4 * i;
    image.pixels[i] = PF_Pixel{p[3], p[0], p[1], p[2]};
  }
  return image;
}

// One image of a sequence: a PNG read here, any other format (EXR, JPEG, TIFF) decoded by
// ffmpeg into 8-bit RGBA. Throws std::runtime_error with the path and the reason.
refhost::Image ReadSequenceImage(const std::string& path) {
  if (LooksLikePng(path) || Lower(fs::path(path).extension().string()) == ".png") {
    return ReadPng(path);
  }
  const std::string ffmpeg = FindProgram("ffmpeg");
  if (ffmpeg.empty()) {
    throw std::runtime_error(path +
                             " is not a PNG image; reading other images needs ffmpeg "
                             "(on Debian: apt-get install ffmpeg)");
  }
  std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin"};
  for (std::string& arg : InputArgs(path)) args.push_back(std::move(arg));
  args.insert(args.end(),
              {"-frames:v", "1", "-f", "image2pipe", "-c:v", "pam", "-pix_fmt", "rgba", "pipe:1"});
  ChildProcess decoder(args, ChildProcess::Pipe::kFromChild);
  long width = 0;
  long height = 0;
  std::vector<unsigned char> bytes;
  bool ok = ReadPamHeader(decoder.Fd(), &width, &height);
  if (ok) {
    bytes.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    ok = ReadFully(decoder.Fd(), bytes.data(), bytes.size());
  }
  if (!decoder.Wait() || !ok) {
    throw std::runtime_error(path + " is not an image ffmpeg can read (" +
                             ExplainRefusal(decoder.Reason()) + ")");
  }
  return RgbaImage(bytes, static_cast<int>(width), static_cast<int>(height));
}

}  // namespace

Footage::~Footage() = default;

std::shared_ptr<Footage> Footage::Still(refhost::Image image) {
  std::shared_ptr<Footage> footage(new Footage());
  footage->width_ = image.width;
  footage->height_ = image.height;
  footage->still_ = std::make_shared<const refhost::Image>(std::move(image));
  return footage;
}

std::shared_ptr<Footage> Footage::Open(const std::string& option, const std::string& spec) {
  const auto read = [&option](const std::string& path) {
    try {
      return ReadSequenceImage(path);
    } catch (const std::runtime_error& e) {
      throw UsageError(option + ": " + e.what());
    }
  };
  std::error_code error;
  const bool isDir = fs::is_directory(spec, error);
  if (IsPatternName(spec) || isDir) {
    std::shared_ptr<Footage> footage(new Footage());
    footage->option_ = option;
    footage->spec_ = spec;
    footage->files_ =
        InOrder(option, spec, isDir ? NumberedImages(option, spec) : MatchPattern(option, spec));
    refhost::Image first = read(footage->files_.front());
    footage->width_ = first.width;
    footage->height_ = first.height;
    footage->length_ = static_cast<long>(footage->files_.size());
    footage->sources_ = footage->files_;
    if (footage->length_ == 1) {
      std::shared_ptr<Footage> still = Still(std::move(first));
      still->sources_ = footage->files_;
      return still;
    }
    return footage;
  }
  // Opening a fifo or a device to look at it would wait for a writer, or read forever.
  if (const fs::file_status status = fs::status(spec, error);
      fs::exists(status) && !fs::is_regular_file(status)) {
    throw UsageError(option + " " + spec +
                     " is not a regular file (a fifo, device or socket); give an image, an "
                     "image sequence or a video file");
  }
  if (!fs::exists(spec, error) || LooksLikePng(spec) ||
      Lower(fs::path(spec).extension().string()) == ".png") {
    std::shared_ptr<Footage> still = Still(read(spec));
    still->sources_ = {spec};
    return still;
  }
  const std::string ffprobe = FindProgram("ffprobe");
  const std::string ffmpeg = FindProgram("ffmpeg");
  if (ffprobe.empty() || ffmpeg.empty()) {
    throw UsageError(option + " " + spec +
                     " is not a PNG image; reading video needs the ffmpeg and ffprobe programs "
                     "(on Debian: apt-get install ffmpeg)");
  }
  // Every picture the decoder shows, with its time: pictures, not packets, so an edit list
  // (a clip trimmed by stream copy) or a dropped picture counts as the player shows it.
  std::vector<std::string> probeArgs = {
      ffprobe,
      "-v",
      "error",
      "-select_streams",
      "v:0",
      "-show_entries",
      "stream=r_frame_rate,avg_frame_rate,time_base:frame=best_effort_timestamp,pkt_duration:"
      "format=format_name",
      "-of",
      "default=noprint_wrappers=1"};
  for (std::string& arg : InputArgs(spec)) probeArgs.push_back(std::move(arg));
  const ProgramResult probe = RunProgram(probeArgs);
  std::map<std::string, std::string> stream;
  std::vector<std::pair<std::string, std::string>> pictures;  // timestamp, duration
  size_t start = 0;
  while (start < probe.output.size()) {
    const size_t end = std::min(probe.output.find('\n', start), probe.output.size());
    const std::string line = probe.output.substr(start, end - start);
    start = end + 1;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "best_effort_timestamp") {
      pictures.emplace_back(value, "");
    } else if (key == "pkt_duration" && !pictures.empty()) {
      pictures.back().second = value;
    } else {
      stream[key] = value;
    }
  }
  if (!probe.ok || stream.count("time_base") == 0) {
    throw UsageError(
        option + " " + spec + " is neither a PNG image nor a video ffmpeg can read" +
        (probe.ok ? std::string(" (no video stream)") : " (" + ExplainRefusal(probe.reason) + ")"));
  }
  if (pictures.empty()) throw UsageError(option + " " + spec + ": the video holds no pictures");
  std::shared_ptr<Footage> footage(new Footage());
  footage->option_ = option;
  footage->spec_ = spec;
  footage->ffmpeg_ = ffmpeg;
  footage->sources_ = {spec};
  footage->rate_ = ClipRate(stream["r_frame_rate"], stream["avg_frame_rate"]);
  footage->SetTimes(stream["time_base"], pictures);
  // The size is what the decoder delivers (a phone clip's rotation applied), not the
  // stored one, so the first picture is decoded now; it also proves the clip decodes.
  try {
    footage->Decode(0);
  } catch (const std::runtime_error& e) {
    throw UsageError(option + " " + spec + ": " + e.what());
  }
  CheckSize(option, spec, footage->width_, footage->height_);
  // A single image ffmpeg reads (EXR, JPEG, TIFF: an image "pipe" format) is a still, as
  // a PNG is, with no frame rate or length of its own.
  const std::string& format = stream["format_name"];
  if (pictures.size() == 1 && (format == "image2" || format.ends_with("_pipe"))) {
    std::shared_ptr<Footage> still = Still(std::move(*footage->current_));
    still->sources_ = {spec};
    return still;
  }
  return footage;
}

void Footage::SetTimes(const std::string& timeBase,
                       const std::vector<std::pair<std::string, std::string>>& pictures) {
  length_ = static_cast<long>(pictures.size());
  // A picture without a time (some raw streams) or out of order: the clip is taken as
  // constant-rate, picture i at i frame durations.
  const auto fallback = [this] {
    const refhost::FrameRate clip = rate_.value_or(refhost::FrameRate{1, 24});
    tickNum_ = clip.timeStep;
    tickDen_ = clip.timeScale;
    starts_.resize(static_cast<size_t>(length_));
    for (long i = 0; i < length_; ++i) starts_[static_cast<size_t>(i)] = i;
    end_ = length_;
  };
  // The time base "1/30000" read as a rate gives scale 1 and step 30000.
  std::optional<refhost::FrameRate> base;
  try {
    base = ParseFrameRate(timeBase);
  } catch (const UsageError&) {
    return fallback();
  }
  tickNum_ = base->timeScale;
  tickDen_ = base->timeStep;
  std::int64_t previous = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    errno = 0;
    char* stop = nullptr;
    const long long t = std::strtoll(pictures[i].first.c_str(), &stop, 10);
    if (*stop != '\0' || pictures[i].first.empty() || errno != 0 || (i > 0 && t <= previous)) {
      return fallback();
    }
    previous = t;
    starts_.push_back(t);
  }
  const std::int64_t first = starts_.front();
  for (std::int64_t& t : starts_) t -= first;
  // The last picture lasts its own duration, or the one before it, or one frame.
  long long last = std::strtoll(pictures.back().second.c_str(), nullptr, 10);
  if (last <= 0) {
    // One frame at the clip's rate, in ticks.
    const refhost::FrameRate clip = rate_.value_or(refhost::FrameRate{1, 24});
    last = starts_.size() > 1
               ? starts_.back() - starts_[starts_.size() - 2]
               : clip.timeStep * tickDen_ /
                     (static_cast<long long>(clip.timeScale) * std::max<long long>(tickNum_, 1));
  }
  end_ = starts_.back() + std::max(last, 1LL);
}

// Times compared exactly, in units of 1 / (4 × tick denominator × render scale) s. A clip's
// times may be rounded to its container's units (milliseconds in Matroska, so 29.97 fps
// pictures start up to half a millisecond early or late): a picture counts as started
// within half a tick, but never more than a quarter of a render frame early.
// Products of a tick, a rate and a frame index need more than 64 bits.
__extension__ typedef __int128 Wide;

struct Footage::Clock {
  Wide tick;   // one clip tick
  Wide frame;  // one render frame
  Wide slack;
};

Footage::Clock Footage::ClockAt(refhost::FrameRate rate) const {
  Clock clock;
  clock.tick = static_cast<Wide>(4) * tickNum_ * rate.timeScale;
  clock.frame = static_cast<Wide>(4) * rate.timeStep * tickDen_;
  clock.slack = std::min(clock.tick / 2, clock.frame / 4);
  return clock;
}

long Footage::LengthAt(refhost::FrameRate rate) const {
  if (IsStill()) return 1;
  if (starts_.empty()) return length_;
  // The render frames that start before the clip ends.
  const Clock clock = ClockAt(rate);
  const Wide end = end_ * clock.tick - clock.slack;
  return std::max<long>(1, static_cast<long>((end + clock.frame - 1) / clock.frame));
}

long Footage::PictureAt(int frame) const {
  if (starts_.empty()) return std::clamp<long>(frame, 0, length_ - 1);
  // The picture showing at frame × step / scale s: the last one started by then.
  const Clock clock = ClockAt(renderRate_);
  const Wide now = std::max(frame, 0) * clock.frame + clock.slack;
  const auto after =
      std::upper_bound(starts_.begin(), starts_.end(), now,
                       [&clock](Wide t, std::int64_t start) { return t < start * clock.tick; });
  return std::max<long>(0, static_cast<long>(after - starts_.begin()) - 1);
}

std::shared_ptr<const refhost::Image> Footage::FrameAt(int frame) noexcept {
  if (IsStill()) return still_;
  if (!failure_.empty()) return nullptr;
  const long k = std::clamp<long>(frame, 0, files_.empty() ? frame : length_ - 1);
  try {
    if (!files_.empty()) {
      return std::make_shared<const refhost::Image>(
          ReadSequenceImage(files_[static_cast<size_t>(k)]));
    }
    return Decode(PictureAt(frame));
  } catch (const std::bad_alloc&) {
    failure_ = option_ + " " + spec_ + ": out of memory reading frame " + std::to_string(k);
  } catch (const std::exception& e) {
    failure_ = option_ + " " + spec_ + ": frame " + std::to_string(k) + ": " +
               (std::string(e.what()).starts_with("stuck") ? "ffmpeg is " : "") + e.what();
  }
  decoder_.reset();
  return nullptr;
}

std::shared_ptr<const refhost::Image> Footage::Decode(long picture) {
  if (picture == currentFrame_) return current_;
  if (decoder_ == nullptr || picture < next_) {
    decoder_.reset();
    // -xerror: a damaged picture stops the decoder (ffmpeg may not pass on the last one or
    // two before it). Without it ffmpeg drops the picture and every later one would arrive
    // early.
    std::vector<std::string> args = {ffmpeg_, "-hide_banner", "-loglevel",
                                     "error", "-nostdin",     "-xerror"};
    for (std::string& arg : InputArgs(spec_)) args.push_back(std::move(arg));
    args.insert(args.end(), {"-map", "0:v:0", "-fps_mode", "passthrough", "-f", "image2pipe",
                             "-c:v", "pam", "-pix_fmt", "rgba", "pipe:1"});
    decoder_ = std::make_unique<ChildProcess>(args, ChildProcess::Pipe::kFromChild);
    next_ = 0;
    currentFrame_ = -1;
  }
  // Each picture is read straight into the one kept (current_), its RGBA bytes turned to
  // ARGB in place: a frame is held once, not as bytes and again as pixels. The buffer is
  // reused unless the last picture is still held elsewhere.
  static_assert(sizeof(PF_Pixel) == 4);
  currentFrame_ = -1;
  if (current_ == nullptr || current_.use_count() > 1) {
    current_ = std::make_shared<refhost::Image>();
  }
  refhost::Image& image = *current_;
  long width = 0;
  long height = 0;
  while (next_ <= picture) {
    const bool header = ReadPamHeader(decoder_->Fd(), &width, &height);
    if (header && ((width_ != 0 && width != width_) || (height_ != 0 && height != height_))) {
      throw std::runtime_error("the clip changes its picture size from " + std::to_string(width_) +
                               "x" + std::to_string(height_) + " to " + std::to_string(width) +
                               "x" + std::to_string(height));
    }
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    if (!header || !ReadFully(decoder_->Fd(), reinterpret_cast<unsigned char*>(image.pixels.data()),
                              image.pixels.size() * 4)) {
      const bool ended = decoder_->Wait();
      // The probe counted more pictures than ffmpeg now gives: the file changed or its end
      // is damaged; ffmpeg's words, if any, tell which.
      const std::string said = decoder_->Errors().empty() ? "" : " (" + decoder_->Reason() + ")";
      throw std::runtime_error(ended ? "the clip ends before this frame" + said
                                     : "ffmpeg could not decode it: " + decoder_->Reason());
    }
    ++next_;
  }
  width_ = static_cast<int>(width);
  height_ = static_cast<int>(height);
  image.width = width_;
  image.height = height_;
  for (PF_Pixel& pixel : image.pixels) {
    unsigned char rgba[4];
    std::memcpy(rgba, &pixel, 4);
    pixel = PF_Pixel{rgba[3], rgba[0], rgba[1], rgba[2]};
  }
  currentFrame_ = picture;
  return current_;
}

}  // namespace velunary::cli
