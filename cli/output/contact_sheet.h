// A contact sheet: one picture with a labelled grid of evenly spaced frames of a render, to
// see the whole render at a glance.
#ifndef VELUNARY_CLI_CONTACT_SHEET_H
#define VELUNARY_CLI_CONTACT_SHEET_H

#include <map>
#include <vector>

#include "refhost/image.h"

namespace velunary::cli {

inline constexpr int kSheetFrames = 12;
inline constexpr int kSheetColumns = 4;
inline constexpr int kThumbnailMaxWidth = 320;
inline constexpr int kThumbnailMaxHeight = 240;

// `count` frames evenly spaced over the distinct values of `frames` in ascending order,
// the first and the last always among them; all of them when there are no more than
// `count`.
std::vector<long> EvenlySpaced(std::vector<long> frames, int count);

// Shrinks by averaging each thumbnail pixel's source rectangle (every channel rounded).
refhost::Image Shrink(const refhost::Image& image, int width, int height);

class ContactSheet {
 public:
  // `frames`: the render requests in order; the sheet shows up to kSheetFrames of them.
  ContactSheet(const std::vector<long>& frames, int layerWidth, int layerHeight);

  bool Wants(long frame) const { return cells_.count(frame) != 0; }
  // Keeps a thumbnail of a chosen frame; a later render of the same frame replaces it.
  void Add(long frame, const refhost::Image& image);
  // The grid in frame order, each cell labelled with its frame index; a frame never added
  // (an interrupted render) leaves its cell empty.
  refhost::Image Compose() const;

 private:
  int thumbWidth_ = 0;
  int thumbHeight_ = 0;
  std::map<long, refhost::Image> cells_;  // chosen frame -> thumbnail (empty until added)
};

}  // namespace velunary::cli

#endif
