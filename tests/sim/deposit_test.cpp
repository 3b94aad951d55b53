// What a landing particle lays: round(deposit + the luminance of the pixel it lands on),
// at most 255, written gray and opaque. Gray pixels take a table of each deposit, other
// pixels the luminance of their own colour, which a host may leave on a trail field
// wherever its convolution does not keep gray pixels gray.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "pf_effect.h"
#include "sim/move_and_deposit.h"
#include "sim/simulation_state.h"
#include "sim/sin_cos.h"

namespace velunary {
namespace {

constexpr int kWidth = 8;

using Argb = std::array<std::uint8_t, 4>;

// One row of pixels as a world.
struct Row {
  Row() {
    world.data = pixels.data();
    world.rowbytes = 4 * kWidth;
    world.width = kWidth;
    world.height = 1;
  }
  std::array<Argb, kWidth> pixels{};
  PF_EffectWorld world{};
};

// A particle that lands on pixel x of the row, stepping right from the pixel before it.
Particle LandingOn(int x, bool infected) {
  return Particle{static_cast<double>(x) - 1.0, 0.0, 0.0, static_cast<std::uint8_t>(infected)};
}

TEST(Deposit, AddsToTheLuminanceOfGrayAndColouredPixelsAlike) {
  Row trail;
  trail.pixels[1] = {255, 100, 100, 100};
  trail.pixels[3] = {255, 200, 10, 30};
  trail.pixels[5] = {0, 250, 250, 250};
  trail.pixels[6] = {255, 100, 100, 100};
  Row infection;
  std::vector<Particle> particles = {
      LandingOn(1, false),  // 100 + 5
      LandingOn(1, false),  // on what the one before laid: 105 + 5
      LandingOn(3, false),  // 42.52 + 7.152 + 2.166 + 5 = 56.838: not red's 205
      LandingOn(5, true),   // 250 + 50, at most 255, whatever the alpha
      LandingOn(6, true),   // 100 + 50: the infected deposit, not the healthy one
  };
  simulationSettings = SimulationSettings{};
  simulationSettings.trailColor = 5.0;
  simulationSettings.infectedTrailColor = 50.0;
  simulationSettings.infectionEnabled = true;
  simulationState = SimulationState{};
  simulationState.particles = particles.data();
  simulationState.trailMap = trail.world;
  simulationState.infectionMap = infection.world;
  PF_InData in_data{};
  in_data.width = kWidth;
  in_data.height = 1;
  SinCosMemo trig{};
  MoveAndDepositRange(&in_data, 0, static_cast<std::int32_t>(particles.size()), trig);

  // Pixel, then what the trail and the InfectionMap (painted by infected particles) hold.
  const std::array<std::array<std::uint8_t, 3>, 4> expected = {
      {{1, 110, 0}, {3, 57, 0}, {5, 255, 255}, {6, 150, 150}}};
  for (const auto& [x, trailGray, infectionGray] : expected) {
    EXPECT_EQ(trail.pixels[x], (Argb{255, trailGray, trailGray, trailGray})) << "pixel " << +x;
    EXPECT_EQ(infection.pixels[x][1], infectionGray) << "pixel " << +x;
  }

  // The next pass, with another deposit, lays that one.
  simulationSettings.trailColor = 20.0;
  particles = {LandingOn(7, false)};
  simulationState.particles = particles.data();
  MoveAndDepositRange(&in_data, 0, 1, trig);
  EXPECT_EQ(trail.pixels[7][1], 20);

  simulationState = SimulationState{};
  simulationSettings = SimulationSettings{};
}

}  // namespace
}  // namespace velunary
