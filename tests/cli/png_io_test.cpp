// PNG reading across the formats a user may hand in, and writing that keeps exact values.
#include "png_io.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "velunary_process.h"

namespace velunary::cli {
namespace {

using testing::ScratchDir;

// Writes samples as given (bytes in file order) with libpng's own encoder.
void WriteRawPng(const std::string& path, int width, int height, int colorType, int bitDepth,
                 std::vector<unsigned char> samples) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t rowBytes = samples.size() / height;
  for (int y = 0; y < height; ++y) png_write_row(png, samples.data() + y * rowBytes);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

int FileColorType(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char header[26] = {};
  in.read(header, sizeof header);
  return header[25];  // IHDR's colour type byte
}

TEST(PngIo, SixteenBitSamplesRoundToTheNearestEightBitValue) {
  const ScratchDir dir;
  // One RGB row: (0, 257 * 200, 65535) and (128, 33024, 33025). 33024 and 33025 lie just
  // below and just above 128.5 steps of 257, the half-way point between 128 and 129.
  WriteRawPng(dir / "rgb16.png", 2, 1, PNG_COLOR_TYPE_RGB, 16,
              {0, 0, 200, 200, 255, 255, 0, 128, 129, 0, 129, 1});
  const refhost::Image image = ReadPng(dir / "rgb16.png");
  ASSERT_EQ(image.width, 2);
  EXPECT_TRUE(image.At(0, 0) == (PF_Pixel{255, 0, 200, 255}));
  EXPECT_TRUE(image.At(1, 0) == (PF_Pixel{255, 0, 128, 129}));
}

TEST(PngIo, GrayAndAlphaSpreadToTheFourChannels) {
  const ScratchDir dir;
  WriteRawPng(dir / "ga.png", 2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {10, 20, 30, 40});
  const refhost::Image ga = ReadPng(dir / "ga.png");
  EXPECT_TRUE(ga.At(0, 0) == (PF_Pixel{20, 10, 10, 10}));
  EXPECT_TRUE(ga.At(1, 0) == (PF_Pixel{40, 30, 30, 30}));
  WriteRawPng(dir / "g16.png", 1, 2, PNG_COLOR_TYPE_GRAY, 16, {255, 255, 1, 2});
  const refhost::Image g16 = ReadPng(dir / "g16.png");
  EXPECT_TRUE(g16.At(0, 0) == (PF_Pixel{255, 255, 255, 255}));
  EXPECT_TRUE(g16.At(0, 1) == (PF_Pixel{255, 1, 1, 1}));  // 258 * 255 / 65535 = 1.004
  WriteRawPng(dir / "rgba.png", 1, 1, PNG_COLOR_TYPE_RGBA, 8, {1, 2, 3, 4});
  EXPECT_TRUE(ReadPng(dir / "rgba.png").At(0, 0) == (PF_Pixel{4, 1, 2, 3}));
}

TEST(PngIo, WritesGrayOnlyWhenEveryPixelIsOpaqueGray) {
  const ScratchDir dir;
  refhost::Image image(3, 2, PF_Pixel{255, 7, 7, 7});
  image.At(2, 1) = PF_Pixel{255, 250, 250, 250};
  WritePng(dir / "gray.png", image);
  EXPECT_EQ(FileColorType(dir / "gray.png"), PNG_COLOR_TYPE_GRAY);
  EXPECT_TRUE(ReadPng(dir / "gray.png") == image);

  for (const PF_Pixel odd : {PF_Pixel{254, 7, 7, 7}, PF_Pixel{255, 7, 8, 7}}) {
    image.At(1, 0) = odd;
    WritePng(dir / "rgba.png", image);
    EXPECT_EQ(FileColorType(dir / "rgba.png"), PNG_COLOR_TYPE_RGBA);
    EXPECT_TRUE(ReadPng(dir / "rgba.png") == image);
  }
  EXPECT_EQ(testing::ListFiles(dir.Path().string()),
            (std::vector<std::string>{"gray.png", "rgba.png"}));  // no temporaries left
}

TEST(PngIo, ImpossibleReadsAndWritesThrowWithThePath) {
  const ScratchDir dir;
  const auto message = [](auto action) {
    try {
      action();
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_NE(message([&] { ReadPng(dir / "none.png"); }).find("none.png"), std::string::npos);
  EXPECT_NE(message([&] { WritePng(dir / "no/dir.png", refhost::Image(1, 1)); }).find("dir.png"),
            std::string::npos);
  // A header claiming a width beyond the limit is refused before any pixel is allocated.
  WriteRawPng(dir / "wide.png", kMaxImageSide + 1, 1, PNG_COLOR_TYPE_GRAY, 1,
              std::vector<unsigned char>((kMaxImageSide + 8) / 8));
  EXPECT_NE(message([&] { ReadPng(dir / "wide.png"); }).find("wide.png"), std::string::npos);
}

}  // namespace
}  // namespace velunary::cli
