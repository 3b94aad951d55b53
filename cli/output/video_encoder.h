// Encodes frames into a video with the ffmpeg program, fed raw RGBA frames through a pipe.
#ifndef VELUNARY_CLI_VIDEO_ENCODER_H
#define VELUNARY_CLI_VIDEO_ENCODER_H

#include <memory>
#include <optional>
#include <string>

#include "child_process.h"
#include "hidden_parts.h"
#include "refhost/image.h"
#include "refhost/session.h"

namespace velunary::cli {

// The path of an executable "ffmpeg" on PATH, or an empty string.
std::string FindFfmpeg();

// How the video is encoded. The default codec is ffmpeg's for the container (H.264 in MP4
// and MOV), as 4:2:0 BT.709; the others are what editing and compositing expect.
enum class VideoCodec {
  kDefault,
  kH264,        // "h264": 4:2:0 BT.709, its quality the constant rate factor
  kProResHq,    // "prores-hq": ProRes 422 HQ, 10-bit 4:2:2, in MOV
  kProRes4444,  // "prores-4444": ProRes 4444 with alpha, 10-bit
  kFfv1,        // "ffv1": lossless RGBA, in MKV or MOV
  kPng,         // "png": lossless RGBA PNG pictures, in MOV
};

struct VideoFormat {
  VideoCodec codec = VideoCodec::kDefault;
  int quality = -1;  // H.264's constant rate factor, 0 (lossless) to 51; -1: ffmpeg's default
};

// "h264", "prores-hq", "prores-4444", "ffv1" or "png"; UsageError naming --codec otherwise.
VideoCodec ParseVideoCodec(const std::string& name);

// Proves before rendering that ffmpeg can write a video named `path` (it knows the
// container from the name, the codec takes the size and rate, and the folder takes the
// file) by encoding two black frames under a hidden name beside it; UsageError in
// ffmpeg's words otherwise.
void CheckVideoTarget(const std::string& ffmpeg, const std::string& path, const VideoFormat& format,
                      int width, int height, refhost::FrameRate rate);

class VideoEncoder {
 public:
  // Starts `ffmpeg` writing `path` (container and codec from its extension) at `rate`,
  // in a private hidden folder beside it until Finish has proved the video whole: a render
  // that fails keeps an earlier file of that name and leaves no broken one.
  // ffmpeg runs in a process group of its own, so Ctrl-C reaches only the renderer, which
  // then closes the pipe and lets ffmpeg finish the frames it already has. Throws
  // std::runtime_error when it cannot be started.
  VideoEncoder(const std::string& ffmpeg, const std::string& path, int width, int height,
               refhost::FrameRate rate, const VideoFormat& format);
  // Ends ffmpeg if still running and removes an unfinished video.
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // One frame of the size given at construction. Throws std::runtime_error when ffmpeg
  // has stopped reading.
  void Write(const refhost::Image& image);
  // Ends the input, waits for ffmpeg and reads the file back with `ffprobe`: it must hold
  // every frame written. ffmpeg can exit 0 after failing to finish the file (a full disk
  // while writing the index), so its exit code alone proves nothing. Then the video takes
  // its name. Throws std::runtime_error otherwise.
  void Finish(const std::string& ffprobe);

 private:
  std::string path_;
  std::optional<PrivateFolder> part_;  // where ffmpeg writes the video until it is whole
  long written_ = 0;
  std::unique_ptr<ChildProcess> ffmpeg_;
};

}  // namespace velunary::cli

#endif
