#include "bitmap_font.h"

namespace velunary::cli {
namespace {

// Each glyph is five rows of three bits, the high bit the leftmost column.
struct Glyph {
  char c;
  unsigned char rows[kGlyphHeight];
};

constexpr Glyph kGlyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 2, 2}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'#', {5, 7, 5, 7, 5}}, {'-', {0, 0, 7, 0, 0}},
    {'.', {0, 0, 0, 0, 2}}, {':', {0, 2, 0, 2, 0}}, {'/', {1, 1, 2, 4, 4}},
};

const Glyph* Find(char c) {
  for (const Glyph& g : kGlyphs) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

}  // namespace

int TextWidth(const std::string& text, int scale) {
  if (text.empty()) return 0;
  return (static_cast<int>(text.size()) * (kGlyphWidth + 1) - 1) * scale;
}

void DrawText(refhost::Image& image, int x, int y, const std::string& text, int scale,
              PF_Pixel color) {
  for (size_t i = 0; i < text.size(); ++i) {
    const Glyph* glyph = Find(text[i]);
    if (glyph == nullptr) continue;
    const int left = x + static_cast<int>(i) * (kGlyphWidth + 1) * scale;
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int col = 0; col < kGlyphWidth; ++col) {
        if ((glyph->rows[row] >> (kGlyphWidth - 1 - col) & 1) == 0) continue;
        for (int dy = 0; dy < scale; ++dy) {
          for (int dx = 0; dx < scale; ++dx) {
            const int px = left + col * scale + dx;
            const int py = y + row * scale + dy;
            if (px >= 0 && py >= 0 && px < image.width && py < image.height) {
              image.At(px, py) = color;
            }
          }
        }
      }
    }
  }
}

}  // namespace velunary::cli
