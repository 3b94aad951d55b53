// Spawn Layer shapes: particles start on the bright pixels of the Spawn Layer, so a shape
// decides where the network begins to grow.
#ifndef VELUNARY_SCENES_SPAWN_SHAPE_H
#define VELUNARY_SCENES_SPAWN_SHAPE_H

#include "refhost/image.h"

namespace velunary::scenes {

// An opaque image of width x height: black, with a white filled disc at the centre whose
// radius is a third of the smaller side (at least one pixel).
refhost::Image SpawnDisc(int width, int height);

}  // namespace velunary::scenes

#endif
