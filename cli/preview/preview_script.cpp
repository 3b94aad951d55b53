#include "preview_script.h"

#include <fstream>
#include <limits>

#include "errors.h"

namespace velunary::preview {

std::vector<ScriptLine> ReadScript(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw cli::UsageError("--script " + path + ": cannot read the file");
  std::vector<ScriptLine> lines;
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const auto start = text.find_first_not_of(" \t");
    if (start == std::string::npos || text[start] == '#') continue;
    const std::string where = "--script " + path + " line " + std::to_string(number);
    const auto space = text.find(' ', start);
    if (space == std::string::npos) {
      throw cli::UsageError(where + ": expected \"FRAME NAME=VALUE\" or \"FRAME reset\"");
    }
    ScriptLine line;
    line.frame = cli::ParseWholeNumber(text.substr(start, space - start), 0,
                                       std::numeric_limits<int>::max(), where + " frame");
    const std::string rest = text.substr(space + 1);
    if (rest == "reset") {
      line.reset = true;
    } else {
      line.assignment = cli::ParseSet(rest);
      line.assignment.option = where;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace velunary::preview
