// The keys file: a render's settings and keyframes as text, written by the live preview
// (--save-keys) and read by `velunary render --keys FILE`, so that a render gives exactly
// the frames the preview showed.
//
// The format, one entry a line; blank lines and lines starting with '#' are ignored:
//
//     # velunary keys 1
//     --input /footage/clip.mp4
//     --size 1920x1080
//     --fps 30000/1001
//     --set Random Seed=7
//     --key Decay@0=0.1
//     --key Decay@49=0.1
//     --key Decay@50=0.35
//     --reset-before 120
//
// Each line is one of the render options --input, --spawn, --infected, --size, --fps,
// --frames, --set, --key and --reset-before, a single space, and its value: the rest of
// the line as it stands (no quoting; names and paths may hold spaces). The file's
// single-valued options apply where the command line gives none; its --set, --key and
// --reset-before add to the command line's. Slider values are written in the shortest
// form that reads back as the very same number.
#ifndef VELUNARY_CLI_KEYS_FILE_H
#define VELUNARY_CLI_KEYS_FILE_H

#include <string>
#include <utility>
#include <vector>

#include "render_plan.h"

namespace velunary::cli {

// The first line of every keys file.
inline constexpr const char* kKeysFileHeader = "# velunary keys 1";

// An option and its value, as one line of the file.
using KeysEntry = std::pair<std::string, std::string>;

// Reads `path` into `options` as described above. UsageError naming the file and line for
// an unreadable file, a line that is no such option, or a value that is empty.
void ReadKeysFile(const std::string& path, RenderOptions& options);

// The file's text for these entries, header first.
std::string KeysFileText(const std::vector<KeysEntry>& entries);

// A value in the shortest decimal form that reads back as exactly `value`.
std::string ExactNumber(double value);

}  // namespace velunary::cli

#endif
