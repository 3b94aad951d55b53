// The steering rule: three sensors at distance d, straight ahead and a to either side,
// and a turn of t towards the brightest. Image rows run downwards, so a growing heading
// turns clockwise on screen: the right sensor sits at h + a and the left one at h - a.
//
// Each worker thread draws from its own engine and reads its own copy of the image, so two
// workers over disjoint ranges share nothing they write.
#include "sim/sense_and_steer.h"

#include <cstddef>
#include <cstdint>

#include "sim/pixel_math.h"
#include "sim/random.h"
#include "sim/simulation_state.h"
#include "sim/sin_cos.h"

namespace velunary {
namespace {

struct SteeringSettings {
  double distance;
  double sensorAngle;
  double turnAngle;
};

// One sensor point rounded to a pixel. Kept as doubles: the bounds test on the rounded
// values means what the test on their int conversions means, and sends huge or NaN
// coordinates (which no int can hold) outside without an undefined conversion.
struct SensorPixel {
  double column;
  double row;
};

SensorPixel Sensor(const Particle& p, double distance, double angle) {
  const SinCosPair direction = SinCos(angle);
  return {RoundHalfAway(p.x + distance * direction.cosine),
          RoundHalfAway(p.y + distance * direction.sine)};
}

bool Inside(const SensorPixel& s, double width, double height) {
  return s.column >= 0.0 && s.column < width && s.row >= 0.0 && s.row < height;
}

double LuminanceUnder(const PF_LayerDef& image, const SensorPixel& s) {
  const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(s.row) * image.rowbytes +
                                4 * static_cast<std::ptrdiff_t>(s.column);
  return LuminanceAt(static_cast<const std::uint8_t*>(image.data) + offset);
}

}  // namespace

void SenseAndSteer(Particle* particles, int first, int last, int width, int height,
                   const PF_LayerDef* sensing, int seed) {
  // Taken before the range check: the engine is seeded on the thread's first call even
  // when there is nothing to steer.
  RandomEngine& random = SensingRandom(SeedBits(seed));
  const SteeringSettings healthy{simulationSettings.sensorDistance, simulationSettings.sensorAngle,
                                 simulationSettings.turnAngle};
  const SteeringSettings infected{simulationSettings.infectedSensorDistance,
                                  simulationSettings.infectedSensorAngle,
                                  simulationSettings.infectedTurnAngle};
  const double w = width;
  const double h = height;

  for (int i = first; i < last; ++i) {
    Particle& p = particles[i];
    const SteeringSettings& s = p.infected != 0 ? infected : healthy;
    const double heading = p.heading;
    const SensorPixel front = Sensor(p, s.distance, heading);
    const SensorPixel left = Sensor(p, s.distance, heading - s.sensorAngle);
    const SensorPixel right = Sensor(p, s.distance, heading + s.sensorAngle);
    if (!(Inside(front, w, h) && Inside(left, w, h) && Inside(right, w, h))) {
      p.heading = RandomHeading(random);
      continue;
    }

    const double f = LuminanceUnder(*sensing, front);
    const double l = LuminanceUnder(*sensing, left);
    const double r = LuminanceUnder(*sensing, right);
    // First matching row wins; every comparison is strict, so ties (an all-black image
    // above all) leave the heading as it is. Headings are never wrapped into [0, 2 pi).
    if (f > l && f > r) {
      continue;
    }
    if (l > f && r > f) {
      p.heading = UniformUnit(random) > 0.5 ? heading + s.turnAngle : heading - s.turnAngle;
    } else if (r > l) {
      p.heading = heading + s.turnAngle;
    } else if (l > r) {
      p.heading = heading - s.turnAngle;
    }
  }
}

}  // namespace velunary
