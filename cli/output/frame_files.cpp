#include "frame_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "child_process.h"
#include "errors.h"
#include "hidden_parts.h"
#include "option_parsing.h"
#include "png_io.h"

namespace velunary::cli {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

FrameFiles ParseFrameFiles(const std::string& name, const std::string& depth) {
  FrameFiles files;
  if (!name.empty()) {
    const size_t first = name.find('#');
    const size_t last = name.find_last_of('#');
    const size_t dot = name.find_last_of('.');
    if (first == std::string::npos || name.find_first_not_of('#', first) < last ||
        name.find('/') != std::string::npos || last - first + 1 > 9 || dot == std::string::npos ||
        dot < last || name[0] == '.') {
      throw UsageError("--frame-name " + name +
                       ": expected a file name with one run of # for the frame number, such as "
                       "shot_####.png");
    }
    files.before = name.substr(0, first);
    files.digits = static_cast<int>(last - first + 1);
    files.after = name.substr(last + 1);
    const std::string extension = Lower(name.substr(dot));
    if (extension != ".png" && extension != ".jpg" && extension != ".jpeg" && extension != ".tif" &&
        extension != ".tiff") {
      throw UsageError("--frame-name " + name + ": the frames are written as .png, .jpg or .tif");
    }
    if (extension == ".png") files.after = name.substr(last + 1, dot - last - 1) + ".png";
  }
  if (!depth.empty()) {
    files.depth = static_cast<int>(ParseWholeNumber(depth, 8, 16, "--depth"));
    const bool jpeg = Lower(files.after).ends_with(".jpg") || Lower(files.after).ends_with(".jpeg");
    if ((files.depth != 8 && files.depth != 16) || (files.depth == 16 && jpeg)) {
      throw UsageError("--depth " + depth + ": frames take 8 bits, or 16 as PNG or TIFF");
    }
  }
  return files;
}

std::string FrameFileName(const FrameFiles& files, long frame) {
  char number[32];
  std::snprintf(number, sizeof number, "%0*ld", files.digits, frame);
  return files.before + number + files.after;
}

void WriteFrameFile(const FrameFiles& files, const std::string& ffmpeg, int dirFd,
                    const std::string& name, const std::string& path, const refhost::Image& image) {
  if (!files.NeedsFfmpeg()) return WritePngAt(dirFd, name, path, image, files.depth);
  const std::string extension = Lower(path.substr(path.find_last_of('.')));
  const bool tiff = extension == ".tif" || extension == ".tiff";
  // 16-bit samples are made here, v × 257: ffmpeg's own widening is not exact.
  const bool sixteen = tiff && files.depth == 16;
  const char* format = sixteen ? "rgba64le" : "rgba";
  std::vector<std::string> args = {
      ffmpeg,  "-hide_banner", "-loglevel",
      "error", "-nostdin",     "-y",
      "-f",    "rawvideo",     "-pixel_format",
      format,  "-video_size",  std::to_string(image.width) + "x" + std::to_string(image.height),
      "-i",    "pipe:0",       "-frames:v",
      "1",     "-update",      "1"};
  if (tiff) {
    args.insert(args.end(), {"-pix_fmt", format, "-c:v", "tiff"});
  } else {
    // Full-range 4:4:4 at ffmpeg's finest quantiser: as near the rendered pixels as JPEG is.
    args.insert(args.end(), {"-pix_fmt", "yuvj444p", "-q:v", "1", "-c:v", "mjpeg"});
  }
  // ffmpeg writes to its standard output, the hidden file made here: it opens no name.
  args.insert(args.end(), {"-f", "image2pipe", "pipe:1"});
  const std::string part = HiddenName("part", name);
  const int output = CreateNewFile(dirFd, part);
  if (output < 0) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
  std::vector<unsigned char> bytes;
  bytes.reserve(image.pixels.size() * (sixteen ? 8 : 4));
  for (const PF_Pixel& p : image.pixels) {
    for (const unsigned char v : {p.red, p.green, p.blue, p.alpha}) {
      bytes.push_back(v);
      if (sixteen) bytes.push_back(v);
    }
  }
  bool ok = true;
  std::string reason;
  std::unique_ptr<ChildProcess> started;
  try {
    started = std::make_unique<ChildProcess>(args, ChildProcess::Pipe::kToChild, output);
  } catch (const std::runtime_error&) {
    ::close(output);
    ::unlinkat(dirFd, part.c_str(), 0);
    throw;
  }
  ::close(output);
  {
    ChildProcess& child = *started;
    size_t done = 0;
    while (ok && done < bytes.size()) {
      const ssize_t n = ::write(child.Fd(), bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
    }
    ok = child.Wait() && ok;
    reason = child.Reason();
    started.reset();
  }
  if (ok && ::renameat(dirFd, part.c_str(), dirFd, name.c_str()) != 0) {
    ok = false;
    reason = std::strerror(errno);
  }
  if (!ok) {
    ::unlinkat(dirFd, part.c_str(), 0);
    throw std::runtime_error("cannot write " + path + ": " + reason);
  }
}

}  // namespace velunary::cli
