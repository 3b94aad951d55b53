// The steering pass of one simulated frame, split over two new threads by index halves.
#ifndef VELUNARY_RENDER_SENSING_WORKERS_H
#define VELUNARY_RENDER_SENSING_WORKERS_H

#include "pf_effect.h"

namespace velunary {

// Steers particles [0, particleCount / 2) against `first` and the rest against `second`,
// on two threads started before either is joined; returns once both have ended. If a
// thread cannot be started or joined, std::system_error leaves, but only after every
// thread already running has been joined.
void RunSensingWorkers(const PF_InData* in_data, const PF_EffectWorld& first,
                       const PF_EffectWorld& second);

}  // namespace velunary

#endif
