#include "sim/move_and_deposit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "host/host_services.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "sim/random.h"
#include "sim/simulation_state.h"
#include "sim_test_support.h"

namespace velunary {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kWidth = 6;
constexpr int kHeight = 4;

// Worlds come from the reference host, whose padded rows catch any read or write that
// ignores rowbytes; every check compares whole images, so stray writes show too.
class MoveAndDepositTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessStateForTesting();
    PF_Err err = PF_Err_NONE;
    NewBlackWorld(&in_, &simulationState.trailMap, &err);
    ASSERT_EQ(err, PF_Err_NONE);
    simulationSettings.trailColor = 50;
    simulationSettings.infectedTrailColor = 200;
  }

  void TearDown() override {
    for (PF_EffectWorld* world : {&simulationState.trailMap, &simulationState.infectionMap}) {
      if (!IsAbsent(*world)) HostDisposeWorld(&in_, world);
    }
    ResetProcessStateForTesting();
  }

  void EnableInfection(const refhost::Image& infection) {
    PF_Err err = PF_Err_NONE;
    NewBlackWorld(&in_, &simulationState.infectionMap, &err);
    ASSERT_EQ(err, PF_Err_NONE);
    infection.CopyInto(simulationState.infectionMap);
    simulationSettings.infectionEnabled = true;
  }

  void Move(std::vector<Particle>& particles) {
    simulationState.particles = particles.data();
    simulationState.particleCount = static_cast<std::int32_t>(particles.size());
    MoveAndDeposit(&in_);
  }

  static refhost::Image Trail() { return refhost::Image::FromWorld(simulationState.trailMap); }
  static refhost::Image Infection() {
    return refhost::Image::FromWorld(simulationState.infectionMap);
  }

  refhost::Host host_;
  PF_InData in_ = host_.MakeInData(kWidth, kHeight);
};

TEST_F(MoveAndDepositTest, ParticleThatWouldLeaveTheLayerTurnsInPlaceAndLaysNoTrail) {
  const std::vector<Particle> cases = {
      {kWidth - 1, 1, 0, 0},                               // right edge: nx = width
      {0, 2, kPi, 0},                                      // left edge: nx = -1
      {2, 0, -kPi / 2, 0},                                 // top edge: ny = -1
      {3, kHeight - 1, kPi / 2, 0},                        // bottom edge: ny = height
      {0.5, 1, kPi, 0},                                    // nx = -0.5 rounds to -1
      {kWidth - 1.5, 2, 0, 0},                             // nx = width - 0.5 rounds to width
      {2, 2, std::numeric_limits<double>::infinity(), 0},  // NaN step
  };
  // Repeated, so the draws run over more particles than the pass handles at once.
  std::vector<Particle> particles;
  for (int copy = 0; copy < 5; ++copy)
    particles.insert(particles.end(), cases.begin(), cases.end());
  const std::vector<Particle> before = particles;
  sharedRandom.seed(77u);
  RandomEngine expected(77u);

  Move(particles);

  for (std::size_t i = 0; i < particles.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(particles[i].x, before[i].x);
    EXPECT_EQ(particles[i].y, before[i].y);
    EXPECT_EQ(particles[i].heading, RandomHeading(expected));
  }
  EXPECT_EQ(sharedRandom, expected) << "one heading, two engine outputs, per particle";
  EXPECT_EQ(Trail(), refhost::Image(kWidth, kHeight, kBlack));
}

TEST_F(MoveAndDepositTest, StepRoundingIntoTheLayerMovesToTheUnroundedPosition) {
  std::vector<Particle> particles = {
      {0.6, 1, kPi, 0},                         // nx = -0.4: column 0
      {kWidth - 1.6, 2, 0, 0},                  // nx = width - 0.6: last column
      {2, 1, kPi / 2, 0},                       // one row down
      {kWidth - 1, kHeight - 1.6, kPi / 2, 0},  // ny = height - 0.6: last row
  };
  const std::vector<Particle> before = particles;
  const RandomEngine untouched = sharedRandom;

  Move(particles);

  for (std::size_t i = 0; i < particles.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(particles[i].x, before[i].x + std::cos(before[i].heading));
    EXPECT_EQ(particles[i].y, before[i].y + std::sin(before[i].heading));
    EXPECT_EQ(particles[i].heading, before[i].heading);
  }
  EXPECT_EQ(sharedRandom, untouched);
  refhost::Image expected(kWidth, kHeight, kBlack);
  expected.At(0, 1) = Gray(50);
  expected.At(kWidth - 1, 2) = Gray(50);
  expected.At(2, 2) = Gray(50);
  expected.At(kWidth - 1, kHeight - 1) = Gray(50);
  EXPECT_EQ(Trail(), expected);
}

TEST_F(MoveAndDepositTest, DepositAddsToTheLuminanceRoundsHalfAwayAndSaturates) {
  refhost::Image trail(kWidth, kHeight, kBlack);
  trail.At(2, 0) = Gray(220);
  trail.At(3, 0) = Gray(255);
  trail.At(4, 0) = PF_Pixel{0, 100, 0, 0};  // luminance 21.26; alpha plays no part
  trail.CopyInto(simulationState.trailMap);
  std::vector<Particle> particles = {
      {0, 0, 0, 0},  // onto (1, 0) twice: 0 -> 50 -> 100
      {0, 0, 0, 0}, {1, 0, 0, 0},
      {2, 0, 0, 0}, {3, 0, 0, 0},  // onto (4, 0): 21.26 + 50 = 71.26 -> 71
  };

  Move(particles);

  refhost::Image expected = trail;
  expected.At(1, 0) = Gray(100);
  expected.At(2, 0) = Gray(255);
  expected.At(3, 0) = Gray(255);
  expected.At(4, 0) = Gray(71);
  EXPECT_EQ(Trail(), expected);

  // A fractional deposit of exactly half rounds up, not to the even neighbour.
  simulationSettings.trailColor = 50.5;
  std::vector<Particle> half = {{0, 2, 0, 0}};
  Move(half);
  EXPECT_EQ(Trail().At(1, 2), Gray(51));
}

TEST_F(MoveAndDepositTest, HealthyParticleCatchesInfectionFromAnyColourByteAndLaysHealthyTrail) {
  refhost::Image infection(kWidth, kHeight, kBlack);
  infection.At(1, 0) = PF_Pixel{0, 0, 0, 1};  // blue 1 alone
  infection.At(1, 1) = PF_Pixel{0, 0, 0, 0};  // black, transparent
  infection.At(1, 2) = PF_Pixel{255, 0, 0, 0};
  EnableInfection(infection);
  std::vector<Particle> particles = {{0, 0, 0, 0}, {0, 1, 0, 0}, {0, 2, 0, 0}};

  Move(particles);

  EXPECT_EQ(particles[0].infected, 1);
  EXPECT_EQ(particles[1].infected, 0);
  EXPECT_EQ(particles[2].infected, 0);
  EXPECT_EQ(Trail().At(1, 0), Gray(50)) << "trailColor in the step that infects";
  EXPECT_EQ(Infection(), infection) << "a healthy particle paints nothing";
}

TEST_F(MoveAndDepositTest, InfectedParticlePaintsItsGrayIntoBothMapsAndSpreadsWithinThePass) {
  refhost::Image trail(kWidth, kHeight, kBlack);
  trail.At(2, 1) = Gray(100);
  trail.CopyInto(simulationState.trailMap);
  refhost::Image infection(kWidth, kHeight, kBlack);
  infection.At(2, 1) = PF_Pixel{7, 9, 200, 3};
  EnableInfection(infection);
  std::vector<Particle> particles = {
      {0, 0, 0, 1},  // onto (1, 0): 0 + 200
      {1, 1, 0, 1},  // onto (2, 1): 100 + 200 saturates
      {0, 0, 0, 0},  // onto (1, 0), painted a moment ago: caught
  };

  Move(particles);

  EXPECT_EQ(particles[2].infected, 1);
  refhost::Image expectedTrail = trail;
  expectedTrail.At(1, 0) = Gray(250);  // 200, then the healthy 50 on top
  expectedTrail.At(2, 1) = Gray(255);
  EXPECT_EQ(Trail(), expectedTrail);
  refhost::Image expectedInfection = infection;
  expectedInfection.At(1, 0) = Gray(200);
  expectedInfection.At(2, 1) = Gray(255);
  EXPECT_EQ(Infection(), expectedInfection);
}

TEST_F(MoveAndDepositTest, WithInfectionOffOrNoMapNobodyCatchesItAndInfectedKeepTheirColour) {
  const refhost::Image infection(kWidth, kHeight, Gray(255));
  EnableInfection(infection);
  for (const bool withMap : {true, false}) {
    SCOPED_TRACE(withMap ? "infection off" : "no map");
    if (!withMap) {
      HostDisposeWorld(&in_, &simulationState.infectionMap);
      simulationState.infectionMap = PF_EffectWorld{};
    }
    simulationSettings.infectionEnabled = !withMap;
    const int row = withMap ? 0 : 2;
    std::vector<Particle> particles = {{0, 1.0 * row, 0, 0}, {0, row + 1.0, 0, 1}};

    Move(particles);

    EXPECT_EQ(particles[0].infected, 0);
    EXPECT_EQ(Trail().At(1, row), Gray(50));
    EXPECT_EQ(Trail().At(1, row + 1), Gray(200));
    if (withMap) {
      EXPECT_EQ(Infection(), infection);
    }
  }
}

}  // namespace
}  // namespace velunary
