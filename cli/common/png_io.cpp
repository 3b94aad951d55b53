// libpng reports errors by longjmp to the caller's setjmp. The functions that call
// setjmp (Decode, Encode) keep only trivially destructible locals set before the jump
// point, and every buffer they fill is owned by their caller, so a jump out of libpng
// skips no destructor and leaks nothing but what png_destroy_*_struct frees.
#include "png_io.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "hidden_parts.h"

namespace velunary::cli {
namespace {

struct PngErrorText {
  char text[200] = "";
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
  std::snprintf(error->text, sizeof error->text, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// libpng's own writer reports any failed fwrite as "Write Error"; this one tells the
// system's reason (No space left on device).
void WriteData(png_structp png, png_bytep data, png_size_t length) {
  auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, file) != length) png_error(png, std::strerror(errno));
}

void FlushData(png_structp png) {
  auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
  if (std::fflush(file) != 0) png_error(png, std::strerror(errno));
}

// The header and the pixel size, checked before libpng sees them and before anything is
// allocated: its own refusal of a wide image says only "Invalid IHDR data", and a file
// whose first chunk is not the header would be reported with a size it never stated.
std::string CheckHeader(const unsigned char* header) {
  const auto word = [header](int at) {
    return (png_uint_32{header[at]} << 24) | (png_uint_32{header[at + 1]} << 16) |
           (png_uint_32{header[at + 2]} << 8) | png_uint_32{header[at + 3]};
  };
  if (word(8) != 13 || std::memcmp(header + 12, "IHDR", 4) != 0) {
    return "is not a readable PNG image: its first chunk is not the image header (IHDR)";
  }
  const png_uint_32 width = word(16);
  const png_uint_32 height = word(20);
  const std::string size = std::to_string(width) + "x" + std::to_string(height) + " pixels";
  if (width > kMaxImageSide || height > kMaxImageSide) {
    return "is " + size + "; velunary takes layers up to " + std::to_string(kMaxImageSide) +
           " pixels a side";
  }
  return CheckPixelBudget(width, height);
}

// Walks the chunks after the signature by their headers alone: libpng allocates what an
// ancillary chunk says it holds before reading it, and knows no animation, so an APNG
// would give its first picture and drop every other without a word.
std::string CheckChunks(std::FILE* file) {
  unsigned char head[8];
  while (std::fread(head, 1, 8, file) == 8) {
    const long length =
        (long{head[0]} << 24) | (long{head[1]} << 16) | (long{head[2]} << 8) | long{head[3]};
    const std::string name(reinterpret_cast<const char*>(head + 4), 4);
    if (name == "acTL") {
      return "is an animated PNG, which velunary does not read; give its frames as an image "
             "sequence or a video";
    }
    if (name != "IDAT" && length > kMaxChunkBytes) {
      return "is not a readable PNG image: its " + name + " chunk is too large (" +
             std::to_string(length) + " bytes)";
    }
    if (name == "IEND" || std::fseek(file, length + 4, SEEK_CUR) != 0) break;
  }
  return "";
}

// Rows as libpng leaves them after the expansion to whole bytes per sample.
struct DecodedPng {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int channels = 0;  // 1 gray, 2 gray + alpha, 3 RGB, 4 RGBA
  int bitDepth = 0;  // 8 or 16
  std::vector<unsigned char> bytes;
  std::vector<png_bytep> rows;
};

bool Decode(std::FILE* file, PngErrorText* error, DecodedPng* out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, error, OnPngError, OnPngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  // No ancillary chunk may cost more than this, however large it says it is.
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_set_chunk_cache_max(png, 1000);
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_expand(png);  // palette to RGB, low-bit gray to 8 bits, tRNS to alpha
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out->width = png_get_image_width(png, info);
  out->height = png_get_image_height(png, info);
  out->channels = png_get_channels(png, info);
  out->bitDepth = png_get_bit_depth(png, info);
  const png_size_t rowBytes = png_get_rowbytes(png, info);
  out->bytes.resize(rowBytes * out->height);
  out->rows.resize(out->height);
  for (png_uint_32 y = 0; y < out->height; ++y) out->rows[y] = out->bytes.data() + y * rowBytes;
  png_read_image(png, out->rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// Nearest 8-bit value of a 16-bit sample: round(v * 255 / 65535), in integers.
unsigned char To8Bit(unsigned v) {
  return static_cast<unsigned char>((v * 255 + 32767) / 65535);
}

refhost::Image ToImage(const DecodedPng& png) {
  refhost::Image image(static_cast<int>(png.width), static_cast<int>(png.height));
  const int sampleBytes = png.bitDepth == 16 ? 2 : 1;
  for (png_uint_32 y = 0; y < png.height; ++y) {
    const unsigned char* p = png.rows[y];
    for (png_uint_32 x = 0; x < png.width; ++x) {
      unsigned char s[4] = {0, 0, 0, 255};
      for (int c = 0; c < png.channels; ++c, p += sampleBytes) {
        s[c] = sampleBytes == 2 ? To8Bit(p[0] * 256u + p[1]) : p[0];
      }
      PF_Pixel& d = image.At(static_cast<int>(x), static_cast<int>(y));
      if (png.channels <= 2) {
        d = PF_Pixel{png.channels == 2 ? s[1] : A_u_char{255}, s[0], s[0], s[0]};
      } else {
        d = PF_Pixel{s[3], s[0], s[1], s[2]};
      }
    }
  }
  return image;
}

bool Encode(std::FILE* file, PngErrorText* error, int width, int height, bool gray, int depth,
            png_bytepp rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, OnPngError, OnPngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, file, WriteData, FlushData);
  // Trail images compress well at a low level; a fast encoder keeps up with rendering.
  png_set_compression_level(png, 3);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), depth,
               gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

std::string SystemReason() {
  return std::strerror(errno);
}

// The image as PNG rows: one gray sample or RGBA a pixel, of `depth` bits.
void PackRows(const refhost::Image& image, bool gray, int depth, std::vector<unsigned char>* bytes,
              std::vector<png_bytep>* rows) {
  const int channels = gray ? 1 : 4;
  // 16-bit samples are v × 257 (the same fraction of full scale), big-endian as PNG wants:
  // both bytes are v.
  const size_t sampleBytes = depth == 16 ? 2 : 1;
  const size_t rowBytes = static_cast<size_t>(image.width) * channels * sampleBytes;
  bytes->assign(rowBytes * image.height, 0);
  rows->resize(image.height);
  for (int y = 0; y < image.height; ++y) {
    unsigned char* row = bytes->data() + y * rowBytes;
    (*rows)[y] = row;
    for (int x = 0; x < image.width; ++x) {
      const PF_Pixel& p = image.At(x, y);
      const unsigned char samples[4] = {p.red, p.green, p.blue, p.alpha};
      unsigned char* d = row + static_cast<size_t>(x) * channels * sampleBytes;
      for (int c = 0; c < channels; ++c) {
        for (size_t b = 0; b < sampleBytes; ++b) d[c * sampleBytes + b] = samples[c];
      }
    }
  }
}

// Encodes under a new hidden name in the folder `dirFd` and renames it to `name` there.
// The hidden file is created exclusively and without following links, and the rename
// replaces a link at `name` rather than writing through it. `path` names it in messages.
void WriteRowsAt(int dirFd, const std::string& name, const std::string& path,
                 const refhost::Image& image, bool gray, int depth, png_bytepp rows) {
  struct stat status {};
  if (::fstatat(dirFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
      !S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) {
    throw std::runtime_error("cannot write " + path +
                             ": it is not a regular file, and velunary writes only those");
  }
  const std::string temporary = HiddenName("part", name);
  const int fd = CreateNewFile(dirFd, temporary);
  std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
  if (file == nullptr) {
    const std::string reason = SystemReason();
    if (fd >= 0) ::close(fd);
    throw std::runtime_error("cannot write " + path + ": " + reason);
  }
  PngErrorText error;
  std::string failure;
  if (!Encode(file, &error, image.width, image.height, gray, depth, rows)) {
    failure = error.text;
  } else if (std::fflush(file) != 0 || std::ferror(file)) {
    failure = SystemReason();
  }
  if (std::fclose(file) != 0 && failure.empty()) failure = SystemReason();
  if (failure.empty() && ::renameat(dirFd, temporary.c_str(), dirFd, name.c_str()) != 0) {
    failure = SystemReason();
  }
  if (!failure.empty()) {
    ::unlinkat(dirFd, temporary.c_str(), 0);
    throw std::runtime_error("cannot write " + path + ": " + failure);
  }
}

}  // namespace

std::string CheckPixelBudget(long width, long height) {
  // Inclusive: an image of exactly the budget (16384x4096 as well as 8192x8192) is read.
  // The counts are given whole: rounded to millions, one pixel over would read as equal.
  if (width * height <= kMaxImagePixels) return "";
  return "is " + std::to_string(width) + "x" + std::to_string(height) + " pixels, " +
         std::to_string(width * height) + " in all; velunary reads images of up to " +
         std::to_string(kMaxImagePixels) + " pixels (8192x8192, or any size of that area)";
}

bool IsOpaqueGray(const refhost::Image& image) {
  for (const PF_Pixel& p : image.pixels) {
    if (p.alpha != 255 || p.red != p.green || p.green != p.blue) return false;
  }
  return true;
}

refhost::Image ReadPng(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) throw std::runtime_error("cannot open " + path + ": " + SystemReason());
  unsigned char signature[24] = {};
  const size_t got = std::fread(signature, 1, sizeof signature, file);
  const bool isPng = got >= 8 && png_sig_cmp(signature, 0, 8) == 0;
  std::string refused = !isPng                    ? ""
                        : got == sizeof signature ? CheckHeader(signature)
                                                  : "is not a readable PNG image: it ends "
                                                    "in its header";
  if (refused.empty() && isPng) {
    std::fseek(file, 8, SEEK_SET);
    refused = CheckChunks(file);
  }
  if (!refused.empty()) {
    std::fclose(file);
    throw std::runtime_error(path + " " + refused);
  }
  PngErrorText error;
  DecodedPng decoded;
  bool ok = false;
  if (isPng) {
    std::rewind(file);
    ok = Decode(file, &error, &decoded);
  }
  std::fclose(file);
  if (!isPng) throw std::runtime_error(path + " is not a PNG image");
  if (!ok) throw std::runtime_error(path + " is not a readable PNG image: " + error.text);
  return ToImage(decoded);
}

void WritePng(const std::string& path, const refhost::Image& image) {
  WritePngOfDepth(path, image, 8);
}

void WritePngOfDepth(const std::string& path, const refhost::Image& image, int depth) {
  const std::filesystem::path target(path);
  const int dirFd = OpenFolder(target.parent_path().string());
  if (dirFd < 0) throw std::runtime_error("cannot write " + path + ": " + SystemReason());
  try {
    WritePngAt(dirFd, target.filename().string(), path, image, depth);
  } catch (...) {
    ::close(dirFd);
    throw;
  }
  ::close(dirFd);
}

void WritePngAt(int dirFd, const std::string& name, const std::string& path,
                const refhost::Image& image, int depth) {
  const bool gray = IsOpaqueGray(image);
  std::vector<unsigned char> bytes;
  std::vector<png_bytep> rows;
  PackRows(image, gray, depth, &bytes, &rows);
  WriteRowsAt(dirFd, name, path, image, gray, depth, rows.data());
}

}  // namespace velunary::cli
