// The built-in layer the effect is applied to when no image is given: a dark field crossed
// by bright concentric rings and spokes around the centre, a web that the particles sense
// and follow.
#ifndef VELUNARY_SCENES_DEMO_LAYER_H
#define VELUNARY_SCENES_DEMO_LAYER_H

#include "refhost/image.h"

namespace velunary::scenes {

// An opaque gray image of width x height (both at least 1). The pattern scales with the
// smaller side, so small test layers show the same web as a full-size render. Computed
// with additions, multiplications and square roots only, so every machine produces the
// same pixels.
refhost::Image DemoLayer(int width, int height);

}  // namespace velunary::scenes

#endif
