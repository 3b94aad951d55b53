#include "video_encoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

#include "errors.h"
#include "hidden_parts.h"

namespace velunary::cli {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The options that encode BT.709 video from RGBA: 4:2:0 or 4:2:2 need even sides, so odd
// ones are padded by a pixel; the colours are converted with BT.709's matrix and tagged so,
// as HD players assume.
void AddBt709(std::vector<std::string>& args, const char* pixelFormat) {
  args.insert(args.end(),
              {"-vf", "scale=out_color_matrix=bt709:out_range=tv,pad=ceil(iw/2)*2:ceil(ih/2)*2",
               "-pix_fmt", pixelFormat, "-colorspace", "bt709", "-color_primaries", "bt709",
               "-color_trc", "bt709", "-color_range", "tv"});
}

std::vector<std::string> EncoderArgs(const std::string& ffmpeg, const std::string& path,
                                     const std::string& size, const std::string& rate,
                                     const std::string& input, const VideoFormat& format) {
  // Warnings too: ffmpeg reports a failed trailer (a full disk) as one and exits 0.
  std::vector<std::string> args = {ffmpeg,    "-hide_banner", "-loglevel",
                                   "warning", "-nostdin",     "-y"};
  args.insert(args.end(), {"-f", "rawvideo", "-pixel_format", "rgba", "-video_size", size,
                           "-framerate", rate, "-i", input});
  const std::string extension = Lower(std::filesystem::path(path).extension().string());
  switch (format.codec) {
    case VideoCodec::kDefault:
      if (extension != ".gif" && extension != ".apng" && extension != ".png") {
        AddBt709(args, "yuv420p");
      }
      break;
    case VideoCodec::kH264:
      args.insert(args.end(), {"-c:v", "libx264"});
      if (format.quality >= 0) args.insert(args.end(), {"-crf", std::to_string(format.quality)});
      AddBt709(args, "yuv420p");
      break;
    case VideoCodec::kProResHq:
      args.insert(args.end(), {"-c:v", "prores_ks", "-profile:v", "3", "-vendor", "apl0"});
      AddBt709(args, "yuv422p10le");
      break;
    case VideoCodec::kProRes4444:
      args.insert(args.end(), {"-c:v", "prores_ks", "-profile:v", "4", "-vendor", "apl0"});
      AddBt709(args, "yuva444p10le");
      break;
    case VideoCodec::kFfv1:
      // The pixels as rendered, every bit.
      args.insert(args.end(), {"-c:v", "ffv1", "-pix_fmt", "bgra"});
      break;
    case VideoCodec::kPng:
      args.insert(args.end(), {"-c:v", "png", "-pix_fmt", "rgba"});
      break;
  }
  if (extension == ".mp4" || extension == ".mov" || extension == ".m4v") {
    // The index at the front, so the file plays while it downloads.
    args.insert(args.end(), {"-movflags", "+faststart"});
  }
  // "file:" keeps a name with a colon from being read as a protocol.
  args.push_back("file:" + path);
  return args;
}

}  // namespace

std::string FindFfmpeg() {
  return FindProgram("ffmpeg");
}

VideoCodec ParseVideoCodec(const std::string& name) {
  const std::pair<const char*, VideoCodec> codecs[] = {{"h264", VideoCodec::kH264},
                                                       {"prores-hq", VideoCodec::kProResHq},
                                                       {"prores-4444", VideoCodec::kProRes4444},
                                                       {"ffv1", VideoCodec::kFfv1},
                                                       {"png", VideoCodec::kPng}};
  for (const auto& [known, codec] : codecs) {
    if (Lower(name) == known) return codec;
  }
  throw UsageError("--codec " + name + ": expected h264, prores-hq, prores-4444, ffv1 or png");
}

void CheckVideoTarget(const std::string& ffmpeg, const std::string& path, const VideoFormat& format,
                      int width, int height, refhost::FrameRate rate) {
  // In a private folder of ours, so that ffmpeg writes a file nobody else can reach, and
  // the whole proof goes with the folder, also when ffmpeg cannot start.
  std::optional<PrivateFolder> probe;
  try {
    probe.emplace(path, "velunary-probe");
  } catch (const std::runtime_error& e) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    throw UsageError("--video " + path + ": cannot write into " +
                     (folder.empty() ? std::string(".") : folder.string()) + ": " + e.what());
  }
  // Two frames: an image name (render.png) takes one and fails on the second, as the
  // render would after its last frame. At the render's size and rate, so a codec's limits
  // (H.264's largest picture) are found before the render, not at its first frame.
  std::vector<std::string> args = EncoderArgs(
      ffmpeg, probe->File(), std::to_string(width) + "x" + std::to_string(height),
      std::to_string(rate.timeScale) + "/" + std::to_string(rate.timeStep), "pipe:0", format);
  args.insert(args.end() - 1, {"-frames:v", "2"});
  bool ok = true;
  std::string reason;
  {
    ChildProcess child(args, ChildProcess::Pipe::kToChild);
    static const unsigned char kBlack[65536] = {};
    for (size_t left = 2 * static_cast<size_t>(width) * height * 4; ok && left > 0;) {
      const ssize_t n = ::write(child.Fd(), kBlack, std::min(left, sizeof kBlack));
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) left -= static_cast<size_t>(n);
    }
    ok = child.Wait() && ok;
    reason = child.Reason();
  }
  // A pattern (render%03d.png) writes numbered files, not the one named.
  std::error_code ignored;
  if (ok && (!std::filesystem::exists(probe->File(), ignored) ||
             std::filesystem::file_size(probe->File(), ignored) == 0)) {
    ok = false;
    reason = "the name is a pattern of numbered images, not one video file";
  }
  if (!ok) {
    throw UsageError("--video " + path + ": ffmpeg cannot write a " + std::to_string(width) + "x" +
                     std::to_string(height) + " video under this name (" + reason +
                     "); choose a size the codec takes, or name it with a video extension such as "
                     ".mp4, .mov, .mkv or .gif" +
                     (format.codec == VideoCodec::kDefault ? "" : ", one that takes --codec's"));
  }
}

VideoEncoder::VideoEncoder(const std::string& ffmpeg, const std::string& path, int width,
                           int height, refhost::FrameRate rate, const VideoFormat& format)
    : path_(path) {
  try {
    part_.emplace(path, "part");
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("cannot write " + path + ": " + e.what());
  }
  ffmpeg_ = std::make_unique<ChildProcess>(
      EncoderArgs(ffmpeg, part_->File(), std::to_string(width) + "x" + std::to_string(height),
                  std::to_string(rate.timeScale) + "/" + std::to_string(rate.timeStep), "pipe:0",
                  format),
      ChildProcess::Pipe::kToChild);
}

// ffmpeg is ended before its folder goes, with an unfinished video in it.
VideoEncoder::~VideoEncoder() {
  ffmpeg_.reset();
}

void VideoEncoder::Write(const refhost::Image& image) {
  std::vector<unsigned char> bytes;
  bytes.reserve(image.pixels.size() * 4);
  for (const PF_Pixel& p : image.pixels) {
    bytes.insert(bytes.end(), {p.red, p.green, p.blue, p.alpha});
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(ffmpeg_->Fd(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ffmpeg_->Wait();
      throw std::runtime_error("ffmpeg stopped writing " + path_ + ": " + ffmpeg_->Reason());
    }
    done += static_cast<size_t>(n);
  }
  ++written_;
}

void VideoEncoder::Finish(const std::string& ffprobe) {
  if (!ffmpeg_->Wait()) {
    throw std::runtime_error("ffmpeg could not write " + path_ + ": " + ffmpeg_->Reason());
  }
  const ProgramResult probe = RunProgram(
      {ffprobe, "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
       "stream=nb_read_packets", "-of", "csv=p=0", "file:" + part_->File()});
  // The count is the number that leads ffprobe's answer; some containers (MPEG-TS, an
  // elementary MPEG-2 stream) add empty fields and lines after it.
  const std::string count = probe.output.substr(0, probe.output.find_first_not_of("0123456789"));
  if (!probe.ok || count != std::to_string(written_)) {
    // ffmpeg's own words name the cause (File too large, No space left on device).
    const std::string said = ffmpeg_->Errors().empty() ? "" : ffmpeg_->Reason() + "; ";
    throw std::runtime_error("ffmpeg reported success but " + path_ + " is not a whole video (" +
                             said +
                             (probe.ok ? "it holds " + (count.empty() ? "no" : count) + " of the " +
                                             std::to_string(written_) + " frames written"
                                       : probe.reason) +
                             ")");
  }
  if (std::rename(part_->File().c_str(), path_.c_str()) != 0) {
    throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
  }
}

}  // namespace velunary::cli
