// Writes rendered frames on a thread of its own, so PNG encoding (and feeding the video
// encoder, and shrinking contact-sheet thumbnails) overlaps the rendering of the next
// frame. The queue is bounded: when writing falls behind, Submit waits instead of
// holding every frame of a long render in memory.
#ifndef VELUNARY_CLI_FRAME_WRITER_H
#define VELUNARY_CLI_FRAME_WRITER_H

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "contact_sheet.h"
#include "frame_files.h"
#include "refhost/image.h"
#include "video_encoder.h"

namespace velunary::cli {

// "DIR/NNNNN.png": the default name of a frame, its index in at least five digits.
std::string FramePath(const std::string& dir, long frame);

class FrameWriter {
 public:
  // Any target may be absent (an empty directory, null pointers); the caller keeps the
  // encoder and the sheet alive until Finish has returned. `ffmpeg` writes the frame
  // formats other than PNG.
  FrameWriter(std::string outDir, FrameFiles files, std::string ffmpeg, VideoEncoder* video,
              ContactSheet* sheet);
  ~FrameWriter();
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // Queues a frame; waits while the queue is full. Returns false once a write has failed,
  // and then queues nothing more.
  bool Submit(long frame, refhost::Image image);
  // Writes what is still queued and stops the thread. Returns the first failure's message,
  // or an empty string.
  std::string Finish();

 private:
  void Run();

  static constexpr size_t kCapacity = 2;
  const std::string outDir_;
  const FrameFiles files_;
  const std::string ffmpeg_;
  VideoEncoder* const video_;
  ContactSheet* const sheet_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<long, refhost::Image>> queue_;
  bool closing_ = false;
  std::string failure_;
  // The frames folder as checked before the render: a link planted in place of it or of
  // a frame's name afterwards is not followed.
  const int dirFd_;
  std::thread thread_;
};

}  // namespace velunary::cli

#endif
