// The movement pass: every particle, in array order, steps one pixel along its heading
// and lays gray trail where it lands; infection is caught from and painted into the
// InfectionMap. Runs on the render thread.
#ifndef VELUNARY_SIM_MOVE_AND_DEPOSIT_H
#define VELUNARY_SIM_MOVE_AND_DEPOSIT_H

#include "pf_effect.h"

namespace velunary {

// Reads only in_data's width and height; works on the process-wide state and settings.
// Expects the TrailMap, and the InfectionMap when it has pixel data, to be of the layer's
// size. Makes no host call; off-layer headings come from sharedRandom.
void MoveAndDeposit(const PF_InData* in_data);

}  // namespace velunary

#endif
