#include "sim/sense_and_steer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <numbers>
#include <thread>
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
constexpr int kSize = 21;
constexpr double kTurn = 0.3;
constexpr int kSeed = 1234;

// The sensing engine is per thread and seeded on the thread's first call, so each run
// gets a thread of its own unless a test means to continue one.
template <typename Body>
void OnNewThread(Body body) {
  std::thread worker(body);
  worker.join();
}

class SenseAndSteerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessStateForTesting();
    simulationSettings.sensorDistance = 4;
    simulationSettings.sensorAngle = kPi / 2;
    simulationSettings.turnAngle = kTurn;
    for (PF_EffectWorld* world : {&imageA_, &imageB_}) {
      PF_Err err = PF_Err_NONE;
      NewBlackWorld(&in_, world, &err);
      ASSERT_EQ(err, PF_Err_NONE);
    }
  }

  void TearDown() override {
    HostDisposeWorld(&in_, &imageA_);
    HostDisposeWorld(&in_, &imageB_);
  }

  // With heading 0 (or 2 pi), distance 4 and sensor angle pi / 2 the particle at the
  // centre senses ahead at (14, 10), left at (10, 6) and right at (10, 14): rows run
  // downwards, so h - a points up the image.
  void PaintSensors(int front, int left, int right) {
    refhost::Image image(kSize, kSize, Gray(0));
    image.At(14, 10) = Gray(front);
    image.At(10, 6) = Gray(left);
    image.At(10, 14) = Gray(right);
    image.CopyInto(imageA_);
  }

  void Steer(std::vector<Particle>& particles, int first, int last, int seed) {
    SenseAndSteer(particles.data(), first, last, kSize, kSize, &imageA_, seed);
  }

  refhost::Host host_;
  PF_InData in_ = host_.MakeInData(kSize, kSize);
  PF_EffectWorld imageA_{};
  PF_EffectWorld imageB_{};
};

struct Row {
  const char* name;
  int front, left, right;
  double turn;  // 0, +kTurn (right) or -kTurn (left)
};

TEST_F(SenseAndSteerTest, TurnsTowardsTheBrightestByTheDecisionTable) {
  const Row rows[] = {
      {"front brightest", 100, 50, 99, 0},           {"front = right > left", 100, 0, 100, kTurn},
      {"front = left > right", 100, 100, 0, -kTurn}, {"left > front > right", 50, 100, 0, -kTurn},
      {"right > front > left", 50, 0, 100, kTurn},   {"all equal", 80, 80, 80, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PaintSensors(row.front, row.left, row.right);
    // The second particle's sensors leave the image: its heading shows that the first one
    // drew nothing.
    std::vector<Particle> particles = {{10, 10, 2 * kPi, 0}, {0, 0, kPi, 0}};
    OnNewThread([&] { Steer(particles, 0, 2, kSeed); });
    EXPECT_EQ(particles[0].heading, 2 * kPi + row.turn);
    RandomEngine fresh(SeedBits(kSeed));
    EXPECT_EQ(particles[1].heading, RandomHeading(fresh));
    EXPECT_EQ(particles[0].x, 10);
    EXPECT_EQ(particles[0].y, 10);
  }
}

TEST_F(SenseAndSteerTest, EqualSidesAboveTheFrontTurnRightOnlyForADrawAboveOneHalf) {
  PaintSensors(10, 90, 90);
  struct Draw {
    std::uint32_t low, high;
    double turn;
  };
  const Draw draws[] = {
      {0u, 0x80000000u, -kTurn},  // exactly 0.5
      {0u, 0x80000001u, kTurn},   // just above
      {0u, 0x7fffffffu, -kTurn}   // just below
  };
  for (const Draw& draw : draws) {
    SCOPED_TRACE(draw.high);
    const RandomEngine crafted = EngineYielding({draw.low, draw.high});
    RandomEngine check = crafted;
    ASSERT_EQ(check(), draw.low);
    ASSERT_EQ(check(), draw.high);
    std::vector<Particle> particles = {{10, 10, 0, 0}, {0, 0, kPi, 0}};
    OnNewThread([&] {
      SensingRandom(0) = crafted;
      Steer(particles, 0, 2, kSeed);
    });
    EXPECT_EQ(particles[0].heading, draw.turn);
    EXPECT_EQ(particles[1].heading, RandomHeading(check)) << "one draw, two outputs";
  }
}

TEST_F(SenseAndSteerTest, AnySensorOutsideTheImageGivesANewHeadingInPlace) {
  simulationSettings.sensorDistance = 1;
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Particle> cases = {
      {0.6, 10, kPi, 0},        // front at x = -0.4: column 0, inside
      {0.5, 10, kPi, 0},        // front at x = -0.5: column -1
      {kSize - 1.6, 10, 0, 0},  // front at width - 0.6: inside
      {kSize - 1.5, 10, 0, 0},  // front at width - 0.5: outside
      {10, 0.6, 0, 0},          // left at y = -0.4: inside
      {10, 0.5, 0, 0},          // left at y = -0.5: outside
      {10, kSize - 1.5, 0, 0},  // right at height - 0.5: outside
      {10, 10, inf, 0},         // NaN sensors
      {10, 10, 0, 1},           // infected: sensors ~1e300 pixels away
  };
  simulationSettings.infectedSensorDistance = 1e300;
  // Repeated, so the draws run over more particles than the pass handles at once.
  std::vector<Particle> particles;
  for (int copy = 0; copy < 5; ++copy)
    particles.insert(particles.end(), cases.begin(), cases.end());
  const std::vector<Particle> before = particles;
  OnNewThread([&] { Steer(particles, 0, static_cast<int>(particles.size()), -32768); });

  RandomEngine expected(4294934528u);
  for (std::size_t i = 0; i < particles.size(); ++i) {
    SCOPED_TRACE(i);
    const bool inside = i % cases.size() == 0 || i % cases.size() == 2 || i % cases.size() == 4;
    EXPECT_EQ(particles[i].heading, inside ? before[i].heading : RandomHeading(expected));
    EXPECT_EQ(particles[i].x, before[i].x);
    EXPECT_EQ(particles[i].y, before[i].y);
  }
}

TEST_F(SenseAndSteerTest, ZeroSensorAngleSensesOnePixelAndNeverTurns) {
  simulationSettings.sensorAngle = 0;
  simulationSettings.sensorDistance = 3;
  refhost::Image gradient(kSize, kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) gradient.At(x, y) = Gray(10 * x + y);
  }
  gradient.CopyInto(imageA_);
  std::vector<Particle> particles;
  for (int heading = 0; heading < 360; ++heading) particles.push_back({10, 10, 1.0 * heading, 0});
  const std::vector<Particle> before = particles;

  OnNewThread([&] { Steer(particles, 0, 360, kSeed); });

  for (std::size_t i = 0; i < particles.size(); ++i) {
    EXPECT_EQ(particles[i].heading, before[i].heading) << i;
  }
}

TEST_F(SenseAndSteerTest, InfectedFlagAloneSelectsTheInfectedSettings) {
  // Healthy sensors reach far outside; the infected ones see front = right > left.
  simulationSettings.sensorDistance = 100;
  simulationSettings.infectedSensorDistance = 4;
  simulationSettings.infectedSensorAngle = kPi / 2;
  simulationSettings.infectedTurnAngle = 0.25;
  simulationSettings.infectionEnabled = false;
  PaintSensors(100, 0, 100);
  std::vector<Particle> particles = {{10, 10, 0, 1}, {10, 10, 0, 0}};

  OnNewThread([&] { Steer(particles, 0, 2, kSeed); });

  EXPECT_EQ(particles[0].heading, 0.25);
  RandomEngine fresh(SeedBits(kSeed));
  EXPECT_EQ(particles[1].heading, RandomHeading(fresh));
}

TEST_F(SenseAndSteerTest, TwoWorkersDrawTheSameSequenceWhateverEachDrawServes) {
  // Worker A: a left/right draw, then a reset. Worker B: two resets. Each worker's second
  // draw must give the same heading.
  refhost::Image image(kSize, kSize, Gray(0));
  image.At(10, 6) = Gray(90);
  image.At(10, 14) = Gray(90);
  image.CopyInto(imageA_);
  image.CopyInto(imageB_);
  std::vector<Particle> particles = {
      {10, 10, 0, 0}, {0, 0, kPi, 0}, {0, 0, kPi, 0}, {0, 0, kPi, 0}};

  std::thread workerA(
      [&] { SenseAndSteer(particles.data(), 0, 2, kSize, kSize, &imageA_, kSeed); });
  std::thread workerB(
      [&] { SenseAndSteer(particles.data(), 2, 4, kSize, kSize, &imageB_, kSeed); });
  workerA.join();
  workerB.join();

  RandomEngine fresh(SeedBits(kSeed));
  const double firstReset = RandomHeading(fresh);
  const double secondReset = RandomHeading(fresh);
  EXPECT_EQ(particles[2].heading, firstReset);
  EXPECT_EQ(particles[3].heading, secondReset);
  EXPECT_EQ(particles[1].heading, secondReset);
}

TEST_F(SenseAndSteerTest, ThreadSeedsOnItsFirstCallEvenWithNothingToDoAndKeepsItsSequence) {
  std::vector<Particle> particles = {{0, 0, kPi, 0}, {0, 0, kPi, 0}, {0, 0, kPi, 0}};
  OnNewThread([&] {
    Steer(particles, 0, 0, 5);  // empty range: seeds with 5
    Steer(particles, 1, 2, 9);  // the seed of later calls is ignored
    Steer(particles, 2, 3, 5);
  });

  RandomEngine expected(5u);
  EXPECT_EQ(particles[0].heading, kPi) << "outside the range";
  EXPECT_EQ(particles[1].heading, RandomHeading(expected));
  EXPECT_EQ(particles[2].heading, RandomHeading(expected));
}

}  // namespace
}  // namespace velunary
