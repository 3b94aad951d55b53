// The positions of the effect's parameters in the host's parameter array. Index 0 is the
// layer the effect is applied to, supplied by the host; the rest are declared in this
// order, so the order is part of the saved-project format and never changes.
#ifndef VELUNARY_HOST_PARAM_INDEX_H
#define VELUNARY_HOST_PARAM_INDEX_H

namespace velunary {

enum ParamIndex : int {
  Input = 0,
  SpawnLayer,
  RandomSeed,
  SensorAngle,
  TurnAngle,
  SensorDistance,
  Decay,
  TrailColor,
  ParticleCount,
  Infection,
  InfectionGroupStart,
  InfectedLayer,
  InfectedSensorAngle,
  InfectedTurnAngle,
  InfectedSensorDistance,
  InfectedTrailColor,
  InfectionGroupEnd,
  SettingsGroupStart,
  ResetButton,
  SettingsGroupEnd,
  Count
};

static_assert(Count == 20);

}  // namespace velunary

#endif
