// A tiny built-in font for labels on rendered pictures: the digits and a few letters,
// 3 x 5 cells, drawn at a whole-number scale. No font files, no dependencies.
#ifndef VELUNARY_CLI_BITMAP_FONT_H
#define VELUNARY_CLI_BITMAP_FONT_H

#include <string>

#include "refhost/image.h"

namespace velunary::cli {

inline constexpr int kGlyphWidth = 3;
inline constexpr int kGlyphHeight = 5;

// The width in pixels of `text` at `scale`, one blank column between glyphs.
int TextWidth(const std::string& text, int scale);

// Draws `text` with its top-left corner at (x, y) in `color`; pixels outside the image are
// skipped. Characters the font lacks are drawn as blanks.
void DrawText(refhost::Image& image, int x, int y, const std::string& text, int scale,
              PF_Pixel color);

}  // namespace velunary::cli

#endif
