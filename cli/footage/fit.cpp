#include "fit.h"

#include <cstdint>

#include "errors.h"

namespace velunary::cli {

Fit ParseFit(const std::string& text) {
  if (text == "stretch") return Fit::kStretch;
  if (text == "fit") return Fit::kFit;
  if (text == "fill") return Fit::kFill;
  throw UsageError("--fit " + text + ": expected stretch, fit or fill");
}

refhost::Image Fitted(const refhost::Image& image, int width, int height, Fit fit) {
  if (fit == Fit::kStretch || image.Empty() || (image.width == width && image.height == height)) {
    return image;
  }
  const std::int64_t w = image.width;
  const std::int64_t h = image.height;
  // The side that limits the scale: the width when the footage is wider than the layer
  // (fit) or narrower (fill). The other side is scaled in proportion, rounded to nearest.
  const bool wider = width * h <= height * w;
  const bool byWidth = fit == Fit::kFit ? wider : !wider;
  const std::int64_t scaledWidth = byWidth ? width : (2 * w * height + h) / (2 * h);
  const std::int64_t scaledHeight = byWidth ? (2 * h * width + w) / (2 * w) : height;
  // Centred: negative offsets cut the overflow of fill evenly.
  const std::int64_t left = (width - scaledWidth) / 2;
  const std::int64_t top = (height - scaledHeight) / 2;
  refhost::Image fitted(width, height, PF_Pixel{0, 0, 0, 0});
  for (int y = 0; y < height; ++y) {
    const std::int64_t sy = y - top;
    if (sy < 0 || sy >= scaledHeight) continue;
    for (int x = 0; x < width; ++x) {
      const std::int64_t sx = x - left;
      if (sx < 0 || sx >= scaledWidth) continue;
      fitted.At(x, y) =
          image.At(static_cast<int>(sx * w / scaledWidth), static_cast<int>(sy * h / scaledHeight));
    }
  }
  return fitted;
}

}  // namespace velunary::cli
