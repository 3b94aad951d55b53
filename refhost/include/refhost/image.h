// An 8-bit ARGB image held by value, with tight rows: the form in which pictures enter
// and leave the reference host (layers, outputs, test expectations).
#ifndef VELUNARY_REFHOST_IMAGE_H
#define VELUNARY_REFHOST_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pf_effect.h"

namespace refhost {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<PF_Pixel> pixels;  // row-major, width * height

  Image() = default;
  Image(int w, int h, PF_Pixel fill = PF_Pixel{0, 0, 0, 0});

  bool Empty() const { return pixels.empty(); }
  PF_Pixel& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  const PF_Pixel& At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }

  // The pixels of a world, read through its rowbytes.
  static Image FromWorld(const PF_EffectWorld& world);
  // Writes the pixels into a world of the same size, through its rowbytes.
  void CopyInto(PF_EffectWorld& world) const;
};

bool operator==(const Image& a, const Image& b);

// The row size the host uses for a world `width` pixels wide: always larger than
// 4 * width, so code that ignores rowbytes misreads.
A_long PaddedRowbytes(A_long width);

}  // namespace refhost

// In PF_Pixel's own (the global) namespace, so that argument-dependent lookup finds it
// from any namespace (the standard library's algorithms, test frameworks).
bool operator==(const PF_Pixel& a, const PF_Pixel& b);

#endif
