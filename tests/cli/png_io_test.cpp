// PNG reading across the formats a user may hand in, and writing that keeps exact values.
#include "png_io.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>

#include "velunary_process.h"

namespace velunary::cli {
namespace {

using testing::ScratchDir;

// Writes one row of samples as given (bytes in file order) with libpng's own encoder.
void WriteRawPng(const std::string& path, int width, int colorType, int bitDepth,
                 std::vector<unsigned char> row) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, width, 1, bitDepth, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

// Each image read is written back: as gray only when every pixel is opaque gray (the
// first pixel of the RGBA one is), and read again unchanged.
TEST(PngIo, ReadsEveryFormatExactlyAndWritesGrayOnlyWhenItLosesNothing) {
  const ScratchDir dir;
  constexpr int kGray = PNG_COLOR_TYPE_GRAY, kGrayAlpha = PNG_COLOR_TYPE_GRAY_ALPHA;
  constexpr int kRgb = PNG_COLOR_TYPE_RGB, kRgba = PNG_COLOR_TYPE_RGBA;
  const struct {
    int colorType;
    int bitDepth;
    std::vector<unsigned char> row;
    std::vector<PF_Pixel> pixels;
    int written;  // colour type
  } cases[] = {
      // (0, 257 * 200, 65535) and (128, 33024, 33025): 33024 and 33025 lie just below and
      // just above 128.5 steps of 257, the half-way point between 128 and 129.
      {kRgb,
       16,
       {0, 0, 200, 200, 255, 255, 0, 128, 129, 0, 129, 1},
       {{255, 0, 200, 255}, {255, 0, 128, 129}},
       kRgba},
      {kGrayAlpha, 8, {10, 20, 30, 40}, {{20, 10, 10, 10}, {40, 30, 30, 30}}, kRgba},
      // 258 * 255 / 65535 = 1.004
      {kGray, 16, {255, 255, 1, 2}, {{255, 255, 255, 255}, {255, 1, 1, 1}}, kGray},
      {kRgba, 8, {1, 1, 1, 255, 5, 6, 7, 8}, {{255, 1, 1, 1}, {8, 5, 6, 7}}, kRgba},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("colour type " + std::to_string(c.colorType) + ", " + std::to_string(c.bitDepth));
    WriteRawPng(dir / "in.png", 2, c.colorType, c.bitDepth, c.row);
    const refhost::Image image = ReadPng(dir / "in.png");
    EXPECT_EQ(image.width, 2);
    EXPECT_TRUE(image.pixels == c.pixels);
    WritePng(dir / "out.png", image);
    EXPECT_EQ(testing::ReadFileBytes(dir / "out.png")[25], c.written);  // IHDR's colour type
    EXPECT_TRUE(ReadPng(dir / "out.png") == image);
  }
}

// A chunk as it stands in a file: length, name, data, CRC.
std::string Chunk(const std::string& name, const std::string& data, uint32_t length) {
  const std::string typed = name + data;
  const uLong crc =
      crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
  std::string bytes;
  for (const uint32_t word : {length, static_cast<uint32_t>(crc)}) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>(word >> shift);
    if (bytes.size() == 4) bytes += typed;
  }
  return bytes;
}

// Hostile files are refused before libpng allocates for them, with the file and the cause.
TEST(PngIo, HostileFilesAreRefusedCheaplyInWords) {
  const ScratchDir dir;
  WriteRawPng(dir / "good.png", 2, PNG_COLOR_TYPE_GRAY, 8, {1, 2});
  const std::string good = testing::ReadFileBytes(dir / "good.png");
  const std::string signature = good.substr(0, 8);
  const std::string header = good.substr(8, 25);
  const auto ihdr = [](char wide, char high, char more) {  // gray, sides in 256 pixels
    return Chunk("IHDR", std::string{0, 0, wide, 0, 0, 0, high, more, 8, 0, 0, 0, 0}, 13);
  };
  const struct {
    std::string bytes;
    std::string said;
  } cases[] = {
      // 16384 x 16384 in 60 bytes: 268 million pixels to decode.
      {signature + ihdr(64, 64, 0) + Chunk("IDAT", "x", 1), "16384x16384 pixels, 268435456 in"},
      // One row over the budget: in millions both would read 67.1.
      {signature + ihdr(32, 32, 1) + Chunk("IDAT", "x", 1),
       "8192x8193 pixels, 67117056 in all; velunary reads images of up to 67108864 pixels"},
      // One ancillary chunk that says it holds 2 GB.
      {signature + header + Chunk("zTXt", "a", 0x7ffffff0u), "too large"},
      {signature + Chunk("tEXt", std::string(13, '\x7f'), 13) + header, "first chunk is not"},
      {signature + header + Chunk("acTL", std::string(8, '\0'), 8) + good.substr(33),
       "animated PNG"},
  };
  for (const auto& c : cases) {
    std::ofstream(dir / "bad.png", std::ios::binary) << c.bytes;
    try {
      ReadPng(dir / "bad.png");
      ADD_FAILURE() << c.said;
      continue;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(dir / "bad.png"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.said), std::string::npos)
          << c.said << ": " << e.what();
    }
  }
  EXPECT_EQ(ReadPng(dir / "good.png").width, 2);
  // The budget itself is read, in any shape.
  for (const auto& [width, height] : {std::pair(8192L, 8192L), {16384L, 4096L}, {4096L, 16384L}}) {
    EXPECT_EQ(CheckPixelBudget(width, height), "") << width << "x" << height;
  }
}

}  // namespace
}  // namespace velunary::cli
