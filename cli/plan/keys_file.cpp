#include "keys_file.h"

#include <charconv>
#include <fstream>

#include "errors.h"

namespace velunary::cli {
namespace {

// Where a line's value goes: a single-valued option's text, or a list to append to.
struct Target {
  std::string* single = nullptr;
  std::vector<std::string>* list = nullptr;
};

Target TargetOf(const std::string& option, RenderOptions& o) {
  if (option == "--input") return {&o.input, nullptr};
  if (option == "--spawn") return {&o.spawn, nullptr};
  if (option == "--infected") return {&o.infected, nullptr};
  if (option == "--size") return {&o.size, nullptr};
  if (option == "--fps") return {&o.fps, nullptr};
  if (option == "--frames") return {&o.frames, nullptr};
  if (option == "--set") return {nullptr, &o.sets};
  if (option == "--key") return {nullptr, &o.keys};
  if (option == "--reset-before") return {nullptr, &o.resetBefore};
  return {};
}

}  // namespace

void ReadKeysFile(const std::string& path, RenderOptions& options) {
  std::ifstream in(path);
  if (!in) throw UsageError("--keys " + path + ": cannot read the file");
  // What the command line gave stays; the file fills only what it left empty.
  RenderOptions given = options;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() == '#') continue;
    const auto space = line.find(' ');
    const std::string option = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    const Target target = TargetOf(option, options);
    const std::string where = "--keys " + path + " line " + std::to_string(number);
    if (target.single == nullptr && target.list == nullptr) {
      throw UsageError(where + ": \"" + option + "\" is not an option a keys file may hold");
    }
    if (value.empty()) throw UsageError(where + ": " + option + " has no value");
    if (target.list != nullptr) {
      target.list->push_back(value);
    } else if (TargetOf(option, given).single->empty()) {
      *target.single = value;
    }
  }
}

std::string KeysFileText(const std::vector<KeysEntry>& entries) {
  std::string text = std::string(kKeysFileHeader) + "\n";
  for (const auto& [option, value] : entries) text += option + " " + value + "\n";
  return text;
}

std::string ExactNumber(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace velunary::cli
