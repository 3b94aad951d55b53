// The two ways a run of the renderer fails, told apart by their exit codes: input that the
// renderer refuses before anything renders (2), and a failure while rendering (1).
#ifndef VELUNARY_CLI_ERRORS_H
#define VELUNARY_CLI_ERRORS_H

#include <stdexcept>
#include <string>

namespace velunary::cli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as shells report it; SIGTERM 143

// Bad options, controls, values or files: reported before any frame renders.
class UsageError : public std::runtime_error {
 public:
  explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

// The effect or the output failed while rendering.
class RenderFailure : public std::runtime_error {
 public:
  explicit RenderFailure(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace velunary::cli

#endif
