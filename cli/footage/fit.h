// Footage of another shape than the layer, fitted the way the user asks: stretched over
// the whole layer (the host's own scaling, the default), or scaled with its aspect kept,
// either whole inside the layer with transparent bars (fit) or covering it with the
// overflow cut off evenly (fill). Pixels are taken nearest-neighbour, as the host scales.
#ifndef VELUNARY_CLI_FIT_H
#define VELUNARY_CLI_FIT_H

#include <string>

#include "refhost/image.h"

namespace velunary::cli {

enum class Fit { kStretch, kFit, kFill };

// "stretch", "fit" or "fill"; UsageError naming --fit otherwise.
Fit ParseFit(const std::string& text);

// `image` as the layer of `width` x `height` shows it. Stretching leaves it to the host, so
// it is returned as it is; so is an empty image or one of the layer's size.
refhost::Image Fitted(const refhost::Image& image, int width, int height, Fit fit);

}  // namespace velunary::cli

#endif
