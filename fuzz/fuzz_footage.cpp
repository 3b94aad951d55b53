// Footage as a hostile file: the bytes become a PNG still or, when the first byte is odd,
// the two images of a numbered sequence, which the renderer opens and reads frame by frame
// as a render would. Every input must give images or a refusal in words, never a crash,
// a sanitizer report, an allocation beyond the pixel budget or a hang.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "errors.h"
#include "footage.h"
#include "png_io.h"

namespace fs = std::filesystem;

static void WriteBytes(const fs::path& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const fs::path dir = [] {
    std::string name = (fs::temp_directory_path() / "velunary-fuzz-footage-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) std::abort();
    return fs::path(name);
  }();
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(dir, ignored)) fs::remove(entry.path(), ignored);
  std::string spec;
  if (data[0] % 2 == 1) {
    // Two frames of a sequence: the bytes after the second split where it says.
    const size_t split = size < 2 ? size : 2 + data[1] * (size - 2) / 256;
    WriteBytes(dir / "shot_0001.png", data + std::min<size_t>(size, 2),
               split - std::min<size_t>(size, 2));
    WriteBytes(dir / "shot_0002.png", data + split, size - split);
    spec = (dir / "shot_%04d.png").string();
  } else {
    WriteBytes(dir / "still.png", data + 1, size - 1);
    spec = (dir / "still.png").string();
  }
  try {
    const auto footage = velunary::cli::Footage::Open("--input", spec);
    for (int frame = 0; frame < 3; ++frame) {
      const auto image = footage->FrameAt(frame);
      if (!footage->Failure().empty()) break;
      // A sequence's images may differ in size (the host fits each to the layer), but every
      // image read is a real one within the pixel budget.
      if (image == nullptr || image->Empty() ||
          static_cast<long>(image->width) * image->height > velunary::cli::kMaxImagePixels) {
        std::abort();
      }
    }
  } catch (const velunary::cli::UsageError&) {
  }
  return 0;
}
