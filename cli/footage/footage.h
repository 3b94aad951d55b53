// A layer's footage: a still PNG, an image sequence or a video, handed to the host one
// frame at a time. Image k of a sequence is the layer at frame k. A video is resampled to
// the render's rate as compositing applications do: render frame k shows the picture on
// screen at k / fps seconds, so a clip plays at its own speed whatever the rate, a
// variable-rate clip included. Past the end the last image holds. Sequences are read a
// file at a time; a video streams through ffmpeg, one decoded picture kept, so memory
// stays bounded whatever the clip's length. A request for an earlier picture than the one
// decoded (a replay) starts decoding again from the clip's start and skips forward: exact
// for every codec, where seeking would depend on the container's index.
#ifndef VELUNARY_CLI_FOOTAGE_H
#define VELUNARY_CLI_FOOTAGE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
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

  bool IsStill() const { return still_ != nullptr; }
  const refhost::Image& StillImage() const { return *still_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Frames of the render at `rate` until the footage ends: a sequence's image count, the
  // render frames starting before a clip's last picture ends.
  long LengthAt(refhost::FrameRate rate) const;
  // The rate the render runs at, which a clip is resampled to.
  void SetRenderRate(refhost::FrameRate rate) { renderRate_ = rate; }
  // The files it reads (a sequence's frames, a clip, a still's file); none for a built-in
  // image.
  const std::vector<std::string>& Sources() const { return sources_; }
  // A video's frame rate (its average for a variable-rate clip); none for images.
  std::optional<refhost::FrameRate> Rate() const { return rate_; }

  // Frame k, or past the end the last frame: a clip's picture is the one buffer it is
  // decoded into, shared, and decoded into again once the caller has let it go. Never
  // throws (it runs inside the effect's call): a frame that cannot be read gives null and
  // records Failure().
  std::shared_ptr<const refhost::Image> FrameAt(int frame) noexcept;
  // Empty, or what went wrong, with the frame and the reader's reason.
  const std::string& Failure() const { return failure_; }

 private:
  struct Clock;
  Footage() = default;
  // A clip's picture times from ffprobe's best-effort timestamps and durations, in ticks of
  // `timeBase` ("1/30000").
  void SetTimes(const std::string& timeBase,
                const std::vector<std::pair<std::string, std::string>>& pictures);
  Clock ClockAt(refhost::FrameRate rate) const;
  long PictureAt(int frame) const;
  std::shared_ptr<const refhost::Image> Decode(long picture);

  std::string option_;
  std::string spec_;
  std::shared_ptr<const refhost::Image> still_;
  std::vector<std::string> sources_;
  std::vector<std::string> files_;  // an image sequence
  std::string ffmpeg_;              // a video
  int width_ = 0;
  int height_ = 0;
  long length_ = 1;
  std::optional<refhost::FrameRate> rate_;
  std::vector<std::int64_t> starts_;  // each picture's start, in ticks from the first
  std::int64_t end_ = 0;              // the last picture's end
  std::int64_t tickNum_ = 1;          // a tick is tickNum_ / tickDen_ seconds
  std::int64_t tickDen_ = 1;
  refhost::FrameRate renderRate_;
  std::unique_ptr<ChildProcess> decoder_;
  long next_ = 0;  // the picture the decoder yields next
  long currentFrame_ = -1;
  std::shared_ptr<refhost::Image> current_;  // the picture decoded last
  std::string failure_;
};

}  // namespace velunary::cli

#endif
