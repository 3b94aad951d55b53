// A layer's footage: a still PNG, an image sequence or a video, handed to the host one
// frame at a time. Frame k of the footage is the layer at frame k; past the last frame the
// last image holds. Sequences are read a file at a time; a video streams through ffmpeg,
// one decoded frame kept, so memory stays bounded whatever the clip's length. A request
// for an earlier frame than the one decoded (a replay) starts decoding again from the
// clip's first frame and skips forward: exact for every codec, where seeking by time would
// depend on the container's timestamps.
#ifndef VELUNARY_CLI_FOOTAGE_H
#define VELUNARY_CLI_FOOTAGE_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "refhost/image.h"
#include "refhost/session.h"

namespace velunary::cli {

class Footage {
 public:
  // What `spec` names, for `option` in messages: a PNG file, a printf-style pattern of
  // numbered PNGs ("shots/a_%05d.png"), a folder of numbered PNGs or a video file that
  // ffmpeg reads. UsageError when it is none of these or cannot be read.
  static std::shared_ptr<Footage> Open(const std::string& option, const std::string& spec);
  static std::shared_ptr<Footage> Still(refhost::Image image);
  ~Footage();

  bool IsStill() const { return !still_.Empty(); }
  const refhost::Image& StillImage() const { return still_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  long Length() const { return length_; }
  // The files it reads (a sequence's frames, a clip, a still's file); none for a built-in
  // image.
  const std::vector<std::string>& Sources() const { return sources_; }
  // A video's frame rate; none for images.
  std::optional<refhost::FrameRate> Rate() const { return rate_; }

  // Frame k, or past the end the last frame. Never throws (it runs inside the effect's
  // call): a frame that cannot be read gives an empty image and records Failure().
  refhost::Image FrameAt(int frame) noexcept;
  // Empty, or what went wrong, with the frame and the reader's reason.
  const std::string& Failure() const { return failure_; }

 private:
  Footage() = default;
  refhost::Image Decode(long frame);

  std::string option_;
  std::string spec_;
  refhost::Image still_;
  std::vector<std::string> sources_;
  std::vector<std::string> files_;  // an image sequence
  std::string ffmpeg_;              // a video
  int width_ = 0;
  int height_ = 0;
  long length_ = 1;
  std::optional<refhost::FrameRate> rate_;
  std::unique_ptr<ChildProcess> decoder_;
  long next_ = 0;  // the frame the decoder yields next
  long currentFrame_ = -1;
  refhost::Image current_;
  refhost::Image first_;
  std::string failure_;
};

}  // namespace velunary::cli

#endif
