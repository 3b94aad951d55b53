// PNG files in and out of the renderer.
//
// Reading accepts gray, gray + alpha, RGB and RGBA at 8 or 16 bits (palette and 1-, 2- or
// 4-bit gray images are expanded too) and gives the host's 8-bit ARGB pixel: alpha from
// the file's alpha (255 without one), gray copied to red, green and blue. A 16-bit sample
// v becomes round(v * 255 / 65535), the nearest 8-bit value, so 65535 maps to 255 and the
// 8-bit values written as 16 bits (v * 257) come back unchanged. Colour-space chunks are
// ignored: the numbers in the file are the pixel values.
//
// Writing stores the exact pixel values: 8-bit gray when every pixel is gray (red = green
// = blue) and opaque, 8-bit RGBA otherwise.
#ifndef VELUNARY_CLI_PNG_IO_H
#define VELUNARY_CLI_PNG_IO_H

#include <string>

#include "refhost/image.h"

namespace velunary::cli {

// Images larger than this on either side are refused, so a damaged or hostile header
// cannot ask for gigabytes.
inline constexpr int kMaxImageSide = 16384;
// And no image read may hold more pixels than this (8192 x 8192; a 16-bit RGBA file
// decodes to 12 bytes a pixel on its way in), so memory stays bounded for any input.
inline constexpr long kMaxImagePixels = 8192L * 8192L;
// Nor may one of a PNG's ancillary chunks (text, colour profile) take more than this.
inline constexpr long kMaxChunkBytes = 8L << 20;

// "" when a width x height image fits the pixel budget, or else the words that say how
// large it is and what velunary reads ("is 16384x16384 pixels, 268435456 in all; ...").
std::string CheckPixelBudget(long width, long height);

// Throws std::runtime_error with the path and the reason when the file is missing,
// unreadable, not a PNG, damaged or too large.
refhost::Image ReadPng(const std::string& path);

// Writes next to `path` under a new hidden name and renames it into place, so `path` is
// either absent, the previous file or the complete new one, never half written. Throws
// std::runtime_error with the path and the reason.
void WritePng(const std::string& path, const refhost::Image& image);
// The same at `depth` 8 or 16 bits a sample; at 16 each 8-bit value v is stored as v × 257.
void WritePngOfDepth(const std::string& path, const refhost::Image& image, int depth);

// The same into the folder `dirFd` under `name` (`path` names it in messages): a link
// planted at `name` is replaced, never written through.
void WritePngAt(int dirFd, const std::string& name, const std::string& path,
                const refhost::Image& image, int depth);

// Whether every pixel has red = green = blue and alpha 255 (such an image is written gray).
bool IsOpaqueGray(const refhost::Image& image);

}  // namespace velunary::cli

#endif
