// The frames' files in the --out folder: their names ("#####.png" by default, a run of #
// the frame number padded to that many digits) and their format, chosen by the extension:
// PNG at 8 or 16 bits, JPEG, or TIFF at 8 or 16 bits, as compositing applications read
// image sequences. PNG is written here; JPEG and TIFF by ffmpeg, one process a frame.
#ifndef VELUNARY_CLI_FRAME_FILES_H
#define VELUNARY_CLI_FRAME_FILES_H

#include <string>

#include "refhost/image.h"

namespace velunary::cli {

struct FrameFiles {
  std::string before = "";  // the name before the number
  int digits = 5;           // at least this many, zero-padded
  std::string after = ".png";
  int depth = 8;  // bits a sample: 16 for PNG and TIFF only
  bool NeedsFfmpeg() const { return after != ".png"; }
};

// --frame-name and --depth as typed (empty: the defaults); UsageError naming the option.
FrameFiles ParseFrameFiles(const std::string& name, const std::string& depth);

// "shot_0012.jpg".
std::string FrameFileName(const FrameFiles& files, long frame);

// Writes the frame `name` in the folder `dirFd` under a new hidden name and renames it
// into place, so it is never half written and a link planted at `name` is replaced, not
// written through. `ffmpeg` writes the formats other than PNG, into the hidden file this
// process created. `path` names it in messages. Throws std::runtime_error with the path
// and the reason.
void WriteFrameFile(const FrameFiles& files, const std::string& ffmpeg, int dirFd,
                    const std::string& name, const std::string& path, const refhost::Image& image);

}  // namespace velunary::cli

#endif
