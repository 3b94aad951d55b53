// Progress of a render on standard error: the frame, frames per second and the time left,
// redrawn in place on a terminal and printed at most once a second otherwise.
#ifndef VELUNARY_CLI_PROGRESS_H
#define VELUNARY_CLI_PROGRESS_H

#include <chrono>
#include <string>

namespace velunary::cli {

class Progress {
 public:
  Progress(bool quiet, long total);

  // After each render request; `done` requests so far, `frame` the one just rendered.
  void Update(long done, long frame);
  // While the effect replays the frames before `frame` to reach it: at `reached` now.
  void CatchingUp(long frame, long reached);
  // Ends the progress display; further output starts on a clean line.
  void Finish();
  double Seconds() const;
  void Print(const std::string& line) const;

 private:
  using Clock = std::chrono::steady_clock;
  const bool quiet_;
  const bool terminal_;
  const long total_;
  const Clock::time_point start_;
  Clock::time_point lastShown_;
  bool lineOpen_ = false;
};

// "1:05" for 65 seconds.
std::string MinutesSeconds(double seconds);

}  // namespace velunary::cli

#endif
