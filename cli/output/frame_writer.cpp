#include "frame_writer.h"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <stdexcept>

#include "hidden_parts.h"
#include "png_io.h"

namespace velunary::cli {

std::string FramePath(const std::string& dir, long frame) {
  return dir + "/" + FrameFileName(FrameFiles{}, frame);
}

FrameWriter::FrameWriter(std::string outDir, FrameFiles files, std::string ffmpeg,
                         VideoEncoder* video, ContactSheet* sheet)
    : outDir_(std::move(outDir)),
      files_(std::move(files)),
      ffmpeg_(std::move(ffmpeg)),
      video_(video),
      sheet_(sheet),
      dirFd_(outDir_.empty() ? -1 : OpenFolder(outDir_)),
      thread_([this] { Run(); }) {}

FrameWriter::~FrameWriter() {
  Finish();
  if (dirFd_ >= 0) ::close(dirFd_);
}

bool FrameWriter::Submit(long frame, refhost::Image image) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kCapacity || !failure_.empty(); });
  if (!failure_.empty() || closing_) return false;
  queue_.emplace_back(frame, std::move(image));
  changed_.notify_all();
  return true;
}

std::string FrameWriter::Finish() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return failure_;
}

void FrameWriter::Run() {
  while (true) {
    std::pair<long, refhost::Image> job;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
      if (queue_.empty()) return;
      job = std::move(queue_.front());
    }
    // The job stays counted in the queue while it is written, so at most kCapacity frames
    // are held besides the one the renderer is making.
    std::string failure;
    try {
      if (!outDir_.empty()) {
        const std::string name = FrameFileName(files_, job.first);
        if (dirFd_ < 0) throw std::runtime_error("cannot open " + outDir_);
        WriteFrameFile(files_, ffmpeg_, dirFd_, name, outDir_ + "/" + name, job.second);
      }
      if (video_ != nullptr) video_->Write(job.second);
      if (sheet_ != nullptr) sheet_->Add(job.first, job.second);
    } catch (const std::exception& e) {
      failure = e.what();
    }
    std::lock_guard lock(mutex_);
    queue_.pop_front();
    if (!failure.empty()) {
      failure_ = failure;
      queue_.clear();
    }
    changed_.notify_all();
    if (!failure_.empty()) return;
  }
}

}  // namespace velunary::cli
