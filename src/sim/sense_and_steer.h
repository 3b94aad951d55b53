// The steering pass: each particle samples the sensing image at three points ahead of it
// and turns towards the brightest. Runs on a worker thread over one index range.
#ifndef VELUNARY_SIM_SENSE_AND_STEER_H
#define VELUNARY_SIM_SENSE_AND_STEER_H

#include "pf_effect.h"
#include "sim/particle.h"

namespace velunary {

// Processes particles [first, last) in order, writing headings only. The thread's
// sensingRandom is seeded with `seed` on the thread's first call. Reads of the image are
// bounded by width and height, not by the image's own fields.
void SenseAndSteer(Particle* particles, int first, int last, int width, int height,
                   const PF_LayerDef* sensing, int seed);

}  // namespace velunary

#endif
