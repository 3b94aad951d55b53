#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace velunary::cli {

std::string MinutesSeconds(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

Progress::Progress(bool quiet, long total)
    : quiet_(quiet),
      terminal_(::isatty(STDERR_FILENO) != 0),
      total_(total),
      start_(Clock::now()),
      lastShown_(start_) {}

double Progress::Seconds() const {
  return std::chrono::duration<double>(Clock::now() - start_).count();
}

void Progress::Update(long done, long frame) {
  if (quiet_) return;
  const auto now = Clock::now();
  if (!terminal_ && now - lastShown_ < std::chrono::seconds(1) && done != total_) return;
  if (terminal_ && now - lastShown_ < std::chrono::milliseconds(100) && done != total_) return;
  lastShown_ = now;
  const double seconds = Seconds();
  const double fps = seconds > 0 ? done / seconds : 0;
  const double left = fps > 0 ? (total_ - done) / fps : 0;
  std::fprintf(stderr, "%sframe %ld (%ld/%ld)  %.1f fps  %s left%s", terminal_ ? "\r" : "", frame,
               done, total_, fps, MinutesSeconds(left).c_str(), terminal_ ? "   " : "\n");
  lineOpen_ = terminal_;
}

void Progress::CatchingUp(long frame, long reached) {
  if (quiet_) return;
  std::fprintf(stderr, "%sframe %ld: catching up, at frame %ld of %ld%s", terminal_ ? "\r" : "",
               frame, reached, frame, terminal_ ? "   " : "\n");
  lineOpen_ = terminal_;
}

void Progress::Finish() {
  if (lineOpen_) std::fputc('\n', stderr);
  lineOpen_ = false;
}

void Progress::Print(const std::string& line) const {
  if (!quiet_) std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace velunary::cli
