#include "footage.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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
  if (numbered.empty()) throw UsageError(option + " " + spec + ": no numbered PNG files found");
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

std::map<long, std::string> NumberedPngs(const std::string& option, const std::string& dir) {
  std::map<long, std::string> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    const std::string file = entry.path().filename().string();
    if (file.empty() || file[0] == '.' || Lower(fs::path(file).extension().string()) != ".png") {
      continue;
    }
    // The number the name ends in, before ".png".
    const std::string stem = fs::path(file).stem().string();
    const size_t first = stem.find_last_not_of("0123456789") + 1;
    const std::string digits = stem.substr(first);
    if (digits.empty() || digits.size() > 9) continue;
    const long number = std::stol(digits);
    if (files.count(number) != 0) {
      throw UsageError(option + " " + dir + ": two files are numbered " + std::to_string(number) +
                       " (" + fs::path(files[number]).filename().string() + " and " + file + ")");
    }
    files[number] = (fs::path(dir) / file).string();
  }
  if (error) throw UsageError(option + " " + dir + ": " + error.message());
  return files;
}

void CheckSize(const std::string& option, const std::string& spec, long width, long height) {
  if (width > kMaxImageSide || height > kMaxImageSide) {
    throw UsageError(option + " " + spec + " is " + std::to_string(width) + "x" +
                     std::to_string(height) + " pixels; velunary takes layers up to " +
                     std::to_string(kMaxImageSide) + " pixels a side");
  }
}

bool LooksLikePng(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  unsigned char signature[8] = {};
  const bool png = std::fread(signature, 1, 8, file) == 8 && signature[0] == 0x89 &&
                   signature[1] == 'P' && signature[2] == 'N' && signature[3] == 'G';
  std::fclose(file);
  return png;
}

}  // namespace

Footage::~Footage() = default;

std::shared_ptr<Footage> Footage::Still(refhost::Image image) {
  std::shared_ptr<Footage> footage(new Footage());
  footage->width_ = image.width;
  footage->height_ = image.height;
  footage->still_ = std::move(image);
  return footage;
}

std::shared_ptr<Footage> Footage::Open(const std::string& option, const std::string& spec) {
  const auto read = [&option](const std::string& path) {
    try {
      return ReadPng(path);
    } catch (const std::runtime_error& e) {
      throw UsageError(option + ": " + e.what());
    }
  };
  std::error_code error;
  const bool isDir = fs::is_directory(spec, error);
  if (spec.find('%') != std::string::npos || isDir) {
    std::shared_ptr<Footage> footage(new Footage());
    footage->option_ = option;
    footage->spec_ = spec;
    footage->files_ =
        InOrder(option, spec, isDir ? NumberedPngs(option, spec) : MatchPattern(option, spec));
    const refhost::Image first = read(footage->files_.front());
    footage->width_ = first.width;
    footage->height_ = first.height;
    footage->length_ = static_cast<long>(footage->files_.size());
    footage->sources_ = footage->files_;
    if (footage->length_ == 1) {
      std::shared_ptr<Footage> still = Still(first);
      still->sources_ = footage->files_;
      return still;
    }
    return footage;
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
  const ProgramResult probe =
      RunProgram({ffprobe, "-v", "error", "-select_streams", "v:0", "-count_packets",
                  "-show_entries", "stream=width,height,r_frame_rate,nb_read_packets", "-of",
                  "default=noprint_wrappers=1", spec});
  std::map<std::string, std::string> fields;
  size_t start = 0;
  while (start < probe.output.size()) {
    const size_t end = std::min(probe.output.find('\n', start), probe.output.size());
    const std::string line = probe.output.substr(start, end - start);
    const size_t equals = line.find('=');
    if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
    start = end + 1;
  }
  if (!probe.ok || fields.count("width") == 0) {
    throw UsageError(option + " " + spec + " is neither a PNG image nor a video ffmpeg can read" +
                     (probe.ok ? std::string(" (no video stream)") : " (" + probe.reason + ")"));
  }
  std::shared_ptr<Footage> footage(new Footage());
  footage->option_ = option;
  footage->spec_ = spec;
  footage->ffmpeg_ = ffmpeg;
  footage->sources_ = {spec};
  const auto number = [&](const std::string& key) {
    return ParseWholeNumber(fields[key], 0, 1L << 40, option + " " + spec + " " + key);
  };
  const long width = number("width");
  const long height = number("height");
  CheckSize(option, spec, width, height);
  footage->width_ = static_cast<int>(width);
  footage->height_ = static_cast<int>(height);
  footage->length_ = number("nb_read_packets");
  if (footage->length_ < 1 || width < 1 || height < 1) {
    throw UsageError(option + " " + spec + ": the video holds no frames");
  }
  try {
    footage->rate_ = ParseFrameRate(fields["r_frame_rate"]);
  } catch (const UsageError&) {
    // A clip without a constant rate renders at --fps's default.
  }
  return footage;
}

refhost::Image Footage::FrameAt(int frame) noexcept {
  if (IsStill()) return still_;
  if (!failure_.empty()) return refhost::Image();
  const long k = std::clamp<long>(frame, 0, length_ - 1);
  try {
    if (!files_.empty()) return ReadPng(files_[static_cast<size_t>(k)]);
    return Decode(k);
  } catch (const std::bad_alloc&) {
    failure_ = option_ + " " + spec_ + ": out of memory reading frame " + std::to_string(k);
  } catch (const std::exception& e) {
    failure_ = option_ + " " + spec_ + ": frame " + std::to_string(k) + ": " + e.what();
  }
  decoder_.reset();
  return refhost::Image();
}

refhost::Image Footage::Decode(long frame) {
  if (frame == currentFrame_) return current_;
  // A replay starts at frame 0: kept, it spares one restart of the decoder per replay.
  if (frame == 0 && !first_.Empty()) return first_;
  if (decoder_ == nullptr || frame < next_) {
    decoder_.reset();
    // -xerror: a damaged frame stops the decoder (ffmpeg may not pass on the last frame or
    // two before it). Without it ffmpeg drops the frame and every later picture would
    // arrive a frame early.
    decoder_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{ffmpeg_, "-hide_banner", "-loglevel", "error", "-nostdin",
                                 "-xerror", "-i", spec_, "-map", "0:v:0", "-fps_mode",
                                 "passthrough", "-f", "rawvideo", "-pix_fmt", "rgba", "pipe:1"},
        ChildProcess::Pipe::kFromChild);
    next_ = 0;
    currentFrame_ = -1;
  }
  const size_t frameBytes = static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4;
  std::vector<unsigned char> bytes(frameBytes);
  while (next_ <= frame) {
    size_t done = 0;
    while (done < frameBytes) {
      const ssize_t n = ::read(decoder_->Fd(), bytes.data() + done, frameBytes - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (done < frameBytes) {
      const bool ended = decoder_->Wait();
      // ffprobe counted more frames than ffmpeg now gives: the file changed or its end is
      // damaged; ffmpeg's words, if any, tell which.
      const std::string said = decoder_->Errors().empty() ? "" : " (" + decoder_->Reason() + ")";
      throw std::runtime_error(ended ? "the clip ends before this frame" + said
                                     : "ffmpeg could not decode it: " + decoder_->Reason());
    }
    ++next_;
  }
  refhost::Image image(width_, height_);
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    const unsigned char* p = bytes.data() + 4 * i;
    image.pixels[i] = PF_Pixel{p[3], p[0], p[1], p[2]};
  }
  current_ = image;
  currentFrame_ = frame;
  if (frame == 0) first_ = image;
  return image;
}

}  // namespace velunary::cli
