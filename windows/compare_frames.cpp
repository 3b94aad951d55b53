// Compares two directories of frames written by the plug-in session drivers: the same
// file names on both sides, and per file the same size and pixels. Prints the first frame
// that differs with its number of differing pixels, and how many frames differ in all.
//
// Usage: compare_frames <directory A> <directory B>
// Exit status 0 when every frame is identical, 1 when some differ, 2 when the directories
// cannot be compared (missing or unreadable frames, different sets of files).
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Frame {
  std::string header;  // everything up to and including "ENDHDR\n"
  std::vector<unsigned char> tuples;
};

constexpr std::size_t kBytesPerPixel = 4;

bool Read(const fs::path& path, Frame& frame) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(fs::file_size(path)), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    return false;
  }
  const std::string end = "ENDHDR\n";
  const std::size_t at = bytes.find(end);
  if (bytes.rfind("P7\n", 0) != 0 || at == std::string::npos) {
    return false;
  }
  frame.header = bytes.substr(0, at + end.size());
  frame.tuples.assign(bytes.begin() + static_cast<std::ptrdiff_t>(frame.header.size()),
                      bytes.end());
  return frame.tuples.size() % kBytesPerPixel == 0;
}

std::set<std::string> FrameNames(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".pam") {
      names.insert(entry.path().filename().string());
    }
  }
  return names;
}

long DifferingPixels(const Frame& a, const Frame& b) {
  long count = 0;
  for (std::size_t i = 0; i < a.tuples.size(); i += kBytesPerPixel) {
    if (!std::equal(a.tuples.begin() + static_cast<std::ptrdiff_t>(i),
                    a.tuples.begin() + static_cast<std::ptrdiff_t>(i + kBytesPerPixel),
                    b.tuples.begin() + static_cast<std::ptrdiff_t>(i))) {
      ++count;
    }
  }
  return count;
}

int Compare(const fs::path& dirA, const fs::path& dirB) {
  const std::set<std::string> names = FrameNames(dirA);
  if (names.empty() || names != FrameNames(dirB)) {
    std::printf("the directories hold different sets of frames (%zu in %s)\n", names.size(),
                dirA.string().c_str());
    return 2;
  }
  int differing = 0;
  for (const std::string& name : names) {
    Frame a, b;
    if (!Read(dirA / name, a) || !Read(dirB / name, b)) {
      std::printf("%s: unreadable\n", name.c_str());
      return 2;
    }
    if (a.header != b.header || a.tuples.size() != b.tuples.size()) {
      std::printf("%s: different sizes\n", name.c_str());
      return 2;
    }
    const long pixels = DifferingPixels(a, b);
    if (pixels != 0) {
      if (differing == 0) {
        std::printf("first differing frame: %s, %ld of %zu pixels differ\n", name.c_str(), pixels,
                    a.tuples.size() / kBytesPerPixel);
      }
      ++differing;
    }
  }
  std::printf("%d of %zu frames differ\n", differing, names.size());
  return differing == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <directory A> <directory B>\n", argv[0]);
    return 2;
  }
  try {
    return Compare(argv[1], argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
}
