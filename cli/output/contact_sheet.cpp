#include "contact_sheet.h"

#include <algorithm>

#include "bitmap_font.h"

namespace velunary::cli {
namespace {

constexpr int kGap = 6;
constexpr PF_Pixel kBackground{255, 32, 32, 32};
constexpr PF_Pixel kLabelBox{255, 0, 0, 0};
constexpr PF_Pixel kLabelText{255, 255, 255, 255};

}  // namespace

std::vector<long> EvenlySpaced(std::vector<long> frames, int count) {
  std::sort(frames.begin(), frames.end());
  frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  const long n = static_cast<long>(frames.size());
  if (n <= count) return frames;
  std::vector<long> chosen;
  // Position i of count - 1 steps over n - 1 gaps, rounded to the nearest frame.
  for (long i = 0; i < count; ++i) {
    chosen.push_back(
        frames[static_cast<size_t>((2 * i * (n - 1) + (count - 1)) / (2 * (count - 1)))]);
  }
  return chosen;
}

refhost::Image Shrink(const refhost::Image& image, int width, int height) {
  refhost::Image out(width, height);
  for (int ty = 0; ty < height; ++ty) {
    const int y0 = static_cast<int>(static_cast<long long>(ty) * image.height / height);
    const int y1 =
        std::max(y0 + 1, static_cast<int>(static_cast<long long>(ty + 1) * image.height / height));
    for (int tx = 0; tx < width; ++tx) {
      const int x0 = static_cast<int>(static_cast<long long>(tx) * image.width / width);
      const int x1 =
          std::max(x0 + 1, static_cast<int>(static_cast<long long>(tx + 1) * image.width / width));
      unsigned long sum[4] = {0, 0, 0, 0};
      for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
          const PF_Pixel& p = image.At(x, y);
          sum[0] += p.alpha;
          sum[1] += p.red;
          sum[2] += p.green;
          sum[3] += p.blue;
        }
      }
      const unsigned long n =
          static_cast<unsigned long>(y1 - y0) * static_cast<unsigned long>(x1 - x0);
      auto avg = [n](unsigned long s) { return static_cast<A_u_char>((s + n / 2) / n); };
      out.At(tx, ty) = PF_Pixel{avg(sum[0]), avg(sum[1]), avg(sum[2]), avg(sum[3])};
    }
  }
  return out;
}

ContactSheet::ContactSheet(const std::vector<long>& frames, int layerWidth, int layerHeight) {
  thumbWidth_ = layerWidth;
  thumbHeight_ = layerHeight;
  if (thumbWidth_ > kThumbnailMaxWidth) {
    thumbHeight_ =
        std::max(1, static_cast<int>((static_cast<long long>(layerHeight) * kThumbnailMaxWidth +
                                      layerWidth / 2) /
                                     layerWidth));
    thumbWidth_ = kThumbnailMaxWidth;
  }
  if (thumbHeight_ > kThumbnailMaxHeight) {
    thumbWidth_ =
        std::max(1, static_cast<int>((static_cast<long long>(layerWidth) * kThumbnailMaxHeight +
                                      layerHeight / 2) /
                                     layerHeight));
    thumbHeight_ = kThumbnailMaxHeight;
  }
  for (long frame : EvenlySpaced(frames, kSheetFrames)) cells_[frame] = refhost::Image();
}

void ContactSheet::Add(long frame, const refhost::Image& image) {
  auto cell = cells_.find(frame);
  if (cell == cells_.end()) return;
  cell->second = Shrink(image, thumbWidth_, thumbHeight_);
}

refhost::Image ContactSheet::Compose() const {
  const int count = std::max(1, static_cast<int>(cells_.size()));
  const int columns = std::min(count, kSheetColumns);
  const int rows = (count + columns - 1) / columns;
  refhost::Image sheet(kGap + columns * (thumbWidth_ + kGap), kGap + rows * (thumbHeight_ + kGap),
                       kBackground);
  const int scale = thumbWidth_ >= 96 ? 2 : 1;
  int i = 0;
  for (const auto& [frame, thumb] : cells_) {
    const int left = kGap + (i % columns) * (thumbWidth_ + kGap);
    const int top = kGap + (i / columns) * (thumbHeight_ + kGap);
    ++i;
    if (thumb.Empty()) continue;
    for (int y = 0; y < thumbHeight_; ++y) {
      for (int x = 0; x < thumbWidth_; ++x) sheet.At(left + x, top + y) = thumb.At(x, y);
    }
    // The label sits in a black box in the top-left corner; a thumbnail too small to
    // hold it goes unlabelled rather than spilling into its neighbours.
    const std::string label = std::to_string(frame);
    const int boxWidth = TextWidth(label, scale) + 2 * scale;
    const int boxHeight = kGlyphHeight * scale + 2 * scale;
    if (boxWidth > thumbWidth_ || boxHeight > thumbHeight_) continue;
    for (int y = 0; y < boxHeight; ++y) {
      for (int x = 0; x < boxWidth; ++x) sheet.At(left + x, top + y) = kLabelBox;
    }
    DrawText(sheet, left + scale, top + scale, label, scale, kLabelText);
  }
  return sheet;
}

}  // namespace velunary::cli
