#include "option_parsing.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numeric>

#include "errors.h"
#include "png_io.h"

namespace velunary::cli {
namespace {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

long ParseWholeNumber(const std::string& text, long min, long max, const std::string& what) {
  const std::string t = Trim(text);
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(t.c_str(), &end, 10);
  if (t.empty() || *end != '\0' || errno == ERANGE || value < min || value > max) {
    throw UsageError(what + ": " + Quoted(text) + " is not a whole number from " +
                     std::to_string(min) + " to " + std::to_string(max));
  }
  return value;
}

std::optional<double> ParseNumber(const std::string& text) {
  const std::string t = Trim(text);
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(t.c_str(), &end);
  if (t.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
  return value;
}

LayerSize ParseSize(const std::string& text) {
  const auto x = text.find_first_of("xX");
  if (x == std::string::npos) {
    throw UsageError("--size " + Quoted(text) + ": expected WIDTHxHEIGHT, for example 640x360");
  }
  LayerSize size;
  size.width =
      static_cast<int>(ParseWholeNumber(text.substr(0, x), 1, kMaxImageSide, "--size width"));
  size.height =
      static_cast<int>(ParseWholeNumber(text.substr(x + 1), 1, kMaxImageSide, "--size height"));
  return size;
}

refhost::FrameRate ParseFrameRate(const std::string& text) {
  const std::string t = Trim(text);
  const std::string problem = "--fps " + Quoted(text) + ": ";
  std::uint64_t numerator = 0;
  std::uint64_t denominator = 1;
  const auto slash = t.find('/');
  const auto dot = t.find('.');
  std::string digits;
  if (slash != std::string::npos) {
    const std::string top = t.substr(0, slash);
    const std::string bottom = t.substr(slash + 1);
    if (!AllDigits(top) || !AllDigits(bottom) || top.size() > 10 || bottom.size() > 10) {
      throw UsageError(problem + "expected a rate such as 24, 29.97 or 30000/1001");
    }
    numerator = std::stoull(top);
    denominator = std::stoull(bottom);
  } else {
    const std::string whole = t.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "" : t.substr(dot + 1);
    if ((!AllDigits(whole) && !(whole.empty() && !fraction.empty())) ||
        (dot != std::string::npos && !AllDigits(fraction)) || whole.size() > 10 ||
        fraction.size() > 9) {
      throw UsageError(problem + "expected a rate such as 24, 29.97 or 30000/1001");
    }
    numerator = std::stoull(whole.empty() ? fraction : whole + fraction);
    for (size_t i = 0; i < fraction.size(); ++i) denominator *= 10;
  }
  if (numerator == 0 || denominator == 0) throw UsageError(problem + "the rate must be positive");
  const std::uint64_t common = std::gcd(numerator, denominator);
  numerator /= common;
  denominator /= common;
  if (numerator > std::numeric_limits<A_u_long>::max() ||
      denominator > static_cast<std::uint64_t>(std::numeric_limits<A_long>::max())) {
    throw UsageError(problem + "the rate cannot be expressed as time_scale / time_step");
  }
  refhost::FrameRate rate;
  rate.timeScale = static_cast<A_u_long>(numerator);
  rate.timeStep = static_cast<A_long>(denominator);
  return rate;
}

void CheckRenderRate(refhost::FrameRate rate, const std::string& what) {
  constexpr std::uint64_t kMaxTerm = 1000000;
  const std::uint64_t scale = rate.timeScale;
  const auto step = static_cast<std::uint64_t>(rate.timeStep);
  if (scale > kMaxTerm || step > kMaxTerm || scale * 100 < step || scale > step * 1000) {
    throw UsageError(what +
                     ": velunary renders from 0.01 to 1000 frames a second, as a ratio "
                     "of whole numbers up to 1000000 (such as 30000/1001)");
  }
}

std::vector<long> ParseFrameList(const std::string& text) {
  std::vector<long> frames;
  // Made once: per item, a long list would be copied once for every frame it holds.
  const std::string what = "--frame-list " + Quoted(text);
  size_t start = 0;
  while (true) {
    const auto comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
    frames.push_back(ParseWholeNumber(item, 0, std::numeric_limits<A_long>::max(), what));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return frames;
}

ControlAssignment ParseSet(const std::string& text) {
  const auto equals = text.find('=');
  ControlAssignment assignment;
  assignment.option = "--set " + Quoted(text);
  if (equals == std::string::npos || Trim(text.substr(0, equals)).empty() ||
      Trim(text.substr(equals + 1)).empty()) {
    throw UsageError(assignment.option + ": expected \"NAME=VALUE\", for example \"Decay=0.2\"");
  }
  assignment.name = Trim(text.substr(0, equals));
  assignment.value = Trim(text.substr(equals + 1));
  return assignment;
}

ControlAssignment ParseKey(const std::string& text) {
  const auto at = text.find('@');
  const auto equals = text.find('=', at == std::string::npos ? 0 : at);
  ControlAssignment assignment;
  assignment.option = "--key " + Quoted(text);
  if (at == std::string::npos || equals == std::string::npos || Trim(text.substr(0, at)).empty() ||
      Trim(text.substr(equals + 1)).empty()) {
    throw UsageError(assignment.option +
                     ": expected \"NAME@FRAME=VALUE\", for example \"Decay@48=0.5\"");
  }
  assignment.name = Trim(text.substr(0, at));
  assignment.frame = static_cast<int>(ParseWholeNumber(text.substr(at + 1, equals - at - 1), 0,
                                                       std::numeric_limits<int>::max(),
                                                       assignment.option + " frame"));
  assignment.value = Trim(text.substr(equals + 1));
  return assignment;
}

}  // namespace velunary::cli
