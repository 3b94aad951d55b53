// The movement pass: every particle, in array order, steps one pixel along its heading
// and lays gray trail where it lands; infection is caught from and painted into the
// InfectionMap. Runs on one thread at a time, which the driver chooses.
#ifndef VELUNARY_SIM_MOVE_AND_DEPOSIT_H
#define VELUNARY_SIM_MOVE_AND_DEPOSIT_H

#include <cstdint>

#include "pf_effect.h"
#include "sim/sin_cos.h"

namespace velunary {

// The pass over particles [first, last), remembering sines and cosines in `trig`. Reads
// only in_data's width and height; works on the process-wide state and settings. Expects
// the TrailMap, and the InfectionMap when it has pixel data, to be of the layer's size.
// Makes no host call; off-layer headings come from sharedRandom. Passes over consecutive
// ranges, in order, do exactly what one pass over their union does, so a caller may
// publish its progress between them.
void MoveAndDepositRange(const PF_InData* in_data, std::int32_t first, std::int32_t last,
                         SinCosMemo& trig);

}  // namespace velunary

#endif
