// The fifteen parameter records of one simulated frame: checked out at the frame's time
// and, however the frame ends, checked in again exactly once, so the host never sees a
// check-out left open by the effect, nor one ended twice.
#ifndef VELUNARY_RENDER_FRAME_PARAMS_H
#define VELUNARY_RENDER_FRAME_PARAMS_H

#include <array>

#include "host/param_index.h"
#include "pf_effect.h"

namespace velunary {

// Every parameter a frame reads; the group rows and the button are never checked out.
// Layer 0 first and "Infection" last; "Random Seed" comes before "Spawn Layer".
inline constexpr std::array<ParamIndex, 15> kCheckoutOrder = {Input,
                                                              RandomSeed,
                                                              SpawnLayer,
                                                              SensorAngle,
                                                              TurnAngle,
                                                              SensorDistance,
                                                              Decay,
                                                              TrailColor,
                                                              ParticleCount,
                                                              InfectedLayer,
                                                              InfectedSensorAngle,
                                                              InfectedTurnAngle,
                                                              InfectedSensorDistance,
                                                              InfectedTrailColor,
                                                              Infection};

// The same records handed back; "Trail Color" before "Decay", "Infected Layer" late.
inline constexpr std::array<ParamIndex, 15> kCheckinOrder = {Input,
                                                             RandomSeed,
                                                             SpawnLayer,
                                                             SensorAngle,
                                                             TurnAngle,
                                                             SensorDistance,
                                                             TrailColor,
                                                             Decay,
                                                             ParticleCount,
                                                             InfectedSensorAngle,
                                                             InfectedTurnAngle,
                                                             InfectedSensorDistance,
                                                             InfectedTrailColor,
                                                             InfectedLayer,
                                                             Infection};

class FrameParams {
 public:
  explicit FrameParams(const PF_InData* in_data);
  // Checks in, in kCheckinOrder, every record still out, once each, ignoring the results:
  // the frame has already ended with the code that matters.
  ~FrameParams();
  FrameParams(const FrameParams&) = delete;
  FrameParams& operator=(const FrameParams&) = delete;

  // Checks the parameters out at host time `what_time`, asking `abort` after each. The
  // first nonzero answer of either goes into err and ends the check-outs. Does nothing
  // when err is already nonzero.
  void CheckOut(A_long what_time, PF_Err* err);

  // Checks every record in, in kCheckinOrder; the first failure goes into err and ends
  // the check-ins (the destructor hands back the rest). A record the host refused counts
  // as handed back: the host has had its one check-in and decided about it, and a second
  // check-in of the same record would end a check-out twice. Does nothing when err is
  // nonzero.
  void CheckIn(PF_Err* err);

  // Count records indexed by ParamIndex; those never checked out are all zero.
  const PF_ParamDef* Records() const { return records_.data(); }

 private:
  const PF_InData* in_data_;
  std::array<PF_ParamDef, Count> records_{};
  std::array<bool, Count> out_{};
};

}  // namespace velunary

#endif
