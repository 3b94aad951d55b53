// Images held by value, and the row padding of every world the host makes.
#include "refhost/image.h"

#include <cstring>
#include <stdexcept>

namespace refhost {

namespace {

size_t PixelCount(int w, int h) {
  if (w < 0 || h < 0) {
    throw std::invalid_argument("refhost::Image: negative size");
  }
  return static_cast<size_t>(w) * static_cast<size_t>(h);
}

}  // namespace

Image::Image(int w, int h, PF_Pixel fill) : width(w), height(h), pixels(PixelCount(w, h), fill) {}

Image Image::FromWorld(const PF_EffectWorld& world) {
  Image image(world.width, world.height);
  const auto* bytes = static_cast<const unsigned char*>(world.data);
  for (int y = 0; y < world.height; ++y) {
    std::memcpy(&image.At(0, y), bytes + static_cast<std::ptrdiff_t>(y) * world.rowbytes,
                static_cast<size_t>(world.width) * sizeof(PF_Pixel));
  }
  return image;
}

void Image::CopyInto(PF_EffectWorld& world) const {
  if (world.width != width || world.height != height) {
    throw std::invalid_argument("refhost::Image::CopyInto: the world's size differs");
  }
  auto* bytes = static_cast<unsigned char*>(world.data);
  for (int y = 0; y < height; ++y) {
    std::memcpy(bytes + static_cast<std::ptrdiff_t>(y) * world.rowbytes, &At(0, y),
                static_cast<size_t>(width) * sizeof(PF_Pixel));
  }
}

bool operator==(const Image& a, const Image& b) {
  return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// The next multiple of 16 strictly above 4 * width: at least 4 bytes of padding, and
// 16-byte aligned rows for the image loops.
A_long PaddedRowbytes(A_long width) {
  return (4 * width / 16 + 1) * 16;
}

}  // namespace refhost

bool operator==(const PF_Pixel& a, const PF_Pixel& b) {
  return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}
