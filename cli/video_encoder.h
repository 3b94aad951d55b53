// Encodes frames into a video with the ffmpeg program, fed raw RGBA frames through a pipe.
#ifndef VELUNARY_CLI_VIDEO_ENCODER_H
#define VELUNARY_CLI_VIDEO_ENCODER_H

#include <sys/types.h>
#include <string>

#include "refhost/image.h"
#include "refhost/session.h"

namespace velunary::cli {

// The path of an executable "ffmpeg" on PATH, or an empty string.
std::string FindFfmpeg();

class VideoEncoder {
 public:
  // Starts `ffmpeg` writing `path` (container and codec from its extension) at `rate`.
  // ffmpeg runs in a process group of its own, so Ctrl-C reaches only the renderer, which
  // then closes the pipe and lets ffmpeg finish the frames it already has. Throws
  // std::runtime_error when it cannot be started.
  VideoEncoder(const std::string& ffmpeg, const std::string& path, int width, int height,
               refhost::FrameRate rate);
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // One frame of the size given at construction. Throws std::runtime_error when ffmpeg
  // has stopped reading.
  void Write(const refhost::Image& image);
  // Ends the input and waits for ffmpeg; throws std::runtime_error when it failed.
  void Finish();

 private:
  std::string path_;
  int fd_ = -1;
  pid_t pid_ = -1;
};

}  // namespace velunary::cli

#endif
