// The movement pass walks the particles in array order and updates the trail fields in
// place, so a particle reads what the particles before it wrote in the same pass: two
// landings on one pixel add up, and a healthy particle can catch the infection an infected
// one painted a moment earlier. Nothing here may be reordered or split across threads.
#include "sim/move_and_deposit.h"

#include <cstddef>
#include <cstdint>

#include "sim/pixel_math.h"
#include "sim/random.h"
#include "sim/simulation_state.h"
#include "sim/sin_cos.h"

namespace velunary {
namespace {

std::uint8_t* PixelAt(const PF_EffectWorld& world, double column, double row) {
  const std::ptrdiff_t offset =
      static_cast<std::ptrdiff_t>(row) * world.rowbytes + 4 * static_cast<std::ptrdiff_t>(column);
  return static_cast<std::uint8_t*>(world.data) + offset;
}

void WriteGray(std::uint8_t* argb, std::uint8_t gray) {
  argb[0] = 255;
  argb[1] = gray;
  argb[2] = gray;
  argb[3] = gray;
}

// s = round(v + T) clamped to 255. With v >= 1 (the controls' range) s is at least 1; the
// lower bound only keeps the byte conversion defined should a deposit ever be below -0.5.
std::uint8_t DepositGray(double deposit, double trailLuminance) {
  const double s = RoundHalfAway(deposit + trailLuminance);
  const double gray = s >= 255.0 ? 255.0 : (s > 0.0 ? s : 0.0);
  return static_cast<std::uint8_t>(gray);
}

}  // namespace

void MoveAndDeposit(const PF_InData* in_data) {
  Particle* const particles = simulationState.particles;
  const std::int32_t count = simulationState.particleCount;
  if (particles == nullptr) {
    return;
  }
  const double width = in_data->width;
  const double height = in_data->height;
  const PF_EffectWorld& trail = simulationState.trailMap;
  const PF_EffectWorld& infection = simulationState.infectionMap;
  const bool infectionActive = simulationSettings.infectionEnabled && !IsAbsent(infection);
  const double healthyDeposit = simulationSettings.trailColor;
  const double infectedDeposit = simulationSettings.infectedTrailColor;

  for (std::int32_t i = 0; i < count; ++i) {
    Particle& p = particles[i];
    const SinCosPair step = SinCos(p.heading);
    const double nx = p.x + step.cosine;
    const double ny = p.y + step.sine;
    const double column = RoundHalfAway(nx);
    const double row = RoundHalfAway(ny);
    // Written so that a NaN position also counts as off the layer; comparing the rounded
    // doubles keeps every value, however large, away from an undefined int conversion.
    const bool onLayer = column >= 0.0 && column < width && row >= 0.0 && row < height;
    if (!onLayer) {
      p.heading = RandomHeading(sharedRandom);
      continue;
    }

    // The flag as it was on arrival: a particle infected below still lays healthy trail
    // this frame.
    const bool wasInfected = p.infected != 0;
    std::uint8_t* const trailPixel = PixelAt(trail, column, row);
    const std::uint8_t gray =
        DepositGray(wasInfected ? infectedDeposit : healthyDeposit, LuminanceAt(trailPixel));

    if (infectionActive) {
      std::uint8_t* const infectionPixel = PixelAt(infection, column, row);
      if (wasInfected) {
        WriteGray(infectionPixel, gray);
      } else if ((infectionPixel[1] | infectionPixel[2] | infectionPixel[3]) != 0) {
        // Every luminance weight is positive, so "luminance above 0" is exactly "some
        // colour byte is not 0", whatever the alpha.
        p.infected = 1;
      }
    }

    WriteGray(trailPixel, gray);
    p.x = nx;
    p.y = ny;
  }
}

}  // namespace velunary
