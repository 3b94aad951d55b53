// What a landing particle lays: round(deposit + the luminance of the pixel it lands on),
// at most 255, written gray and opaque. Gray pixels take a table made once a pass, other
// pixels the luminance of their own colour, which a host may leave on a trail field
// wherever its convolution does not keep gray pixels gray.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "pf_effect.h"
#include "sim/move_and_deposit.h"
#include "sim/simulation_state.h"
#include "sim/sin_cos.h"

namespace velunary {
namespace {

constexpr int kWidth = 8;
constexpr A_long kRowbytes = 4 * kWidth;

struct Argb {
  std::uint8_t alpha;
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
};

// One row of pixels as a world, the ones not listed black.
struct Row {
  explicit Row(std::vector<std::pair<int, Argb>> pixels) : bytes(kRowbytes, 0) {
    for (const auto& [x, argb] : pixels) At(x) = argb;
    world.data = bytes.data();
    world.rowbytes = kRowbytes;
    world.width = kWidth;
    world.height = 1;
  }
  Argb& At(int x) { return *reinterpret_cast<Argb*>(bytes.data() + 4 * x); }
  std::vector<std::uint8_t> bytes;
  PF_EffectWorld world{};
};

// A particle that lands on pixel x of the row, stepping right from the pixel before it.
Particle LandingOn(int x, bool infected) {
  return Particle{static_cast<double>(x) - 1.0, 0.0, 0.0, static_cast<std::uint8_t>(infected)};
}

TEST(Deposit, AddsToTheLuminanceOfGrayAndColouredPixelsAlike) {
  Row trail({{1, Argb{255, 100, 100, 100}},
             {3, Argb{255, 200, 10, 30}},
             {5, Argb{0, 250, 250, 250}},
             {6, Argb{255, 100, 100, 100}}});
  Row infection({});
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
  simulationState.particleCount = static_cast<std::int32_t>(particles.size());
  simulationState.particleRecords = simulationState.particleCount;
  simulationState.trailMap = trail.world;
  simulationState.infectionMap = infection.world;
  PF_InData in_data{};
  in_data.width = kWidth;
  in_data.height = 1;

  SinCosMemo trig{};
  MoveAndDepositRange(&in_data, 0, simulationState.particleCount, trig);

  const struct {
    int x;
    std::uint8_t trail;
    std::uint8_t infection;  // what infected particles painted, 0 for none
  } expected[] = {{1, 110, 0}, {3, 57, 0}, {5, 255, 255}, {6, 150, 150}};
  for (const auto& e : expected) {
    const Argb laid = trail.At(e.x);
    EXPECT_EQ(laid.alpha, 255) << "pixel " << e.x;
    EXPECT_EQ(laid.red, e.trail) << "pixel " << e.x;
    EXPECT_EQ(laid.green, e.trail) << "pixel " << e.x;
    EXPECT_EQ(laid.blue, e.trail) << "pixel " << e.x;
    EXPECT_EQ(infection.At(e.x).red, e.infection) << "pixel " << e.x;
  }

  // The next pass, with another deposit, lays that one.
  simulationSettings.trailColor = 20.0;
  particles = {LandingOn(7, false)};
  simulationState.particles = particles.data();
  MoveAndDepositRange(&in_data, 0, 1, trig);
  EXPECT_EQ(trail.At(7).red, 20);

  simulationState = SimulationState{};
  simulationSettings = SimulationSettings{};
}

}  // namespace
}  // namespace velunary
