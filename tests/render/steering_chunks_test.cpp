// The sensing pass may be steered in chunks, on any number of threads, finishing in any
// order; the headings must be those of each half steered in particle order with an engine
// of its own seeded alike, as two threads over the two halves would steer them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "render/movement_progress.h"
#include "render/steering_chunks.h"
#include "sim/random.h"
#include "sim/sense_and_steer.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

constexpr int kWidth = 97;
constexpr int kHeight = 61;
constexpr std::int32_t kSeed = -3;

// Particles all over a plane of random bytes with flat patches, near its edges too, so
// that every rule is taken: ahead brightest, one side, both sides (a draw), ties, and
// sensors off the image (a draw).
struct Scene {
  explicit Scene(std::int32_t count) {
    std::mt19937 make(11);
    plane.resize(static_cast<size_t>(kWidth) * kHeight);
    for (size_t i = 0; i < plane.size(); ++i) {
      plane[i] = (i / 7) % 5 == 0 ? 40 : static_cast<std::uint8_t>(make() % 6);
    }
    for (std::int32_t i = 0; i < count; ++i) {
      particles.push_back(Particle{static_cast<double>(make() % (kWidth * 100)) / 100.0,
                                   static_cast<double>(make() % (kHeight * 100)) / 100.0,
                                   static_cast<double>(make() % 360),
                                   static_cast<std::uint8_t>(i % 3 == 0)});
    }
  }
  std::vector<std::uint8_t> plane;
  std::vector<Particle> particles;
};

// What the stand-in movement does to a particle: a step along the row, which changes what
// its sensors see.
void Step(Particle& p) {
  p.x = p.x + 3.0 < kWidth ? p.x + 3.0 : p.x;
}

std::vector<Particle> SteeredHalfByHalf(const Scene& scene) {
  std::vector<Particle> particles = scene.particles;
  for (Particle& p : particles) Step(p);
  const auto count = static_cast<std::int32_t>(particles.size());
  const SensingImage image{scene.plane.data(), kWidth, true};
  SinCosMemo trig{};
  std::vector<PendingDraw> pending(particles.size());
  for (const auto& [first, last] : {std::pair{0, count / 2}, std::pair{count / 2, count}}) {
    RandomEngine engine(SeedBits(kSeed));
    const int n = SteerWithoutDraws(particles.data(), first, last, kWidth, kHeight, image, trig,
                                    pending.data());
    DrawPendingTurns(particles.data(), pending.data(), n, engine);
  }
  return particles;
}

std::vector<Particle> SteeredInChunks(const Scene& scene, int threads) {
  std::vector<Particle> particles = scene.particles;
  const auto count = static_cast<std::int32_t>(particles.size());
  EXPECT_TRUE(ReserveSteeringScratch(count, threads));
  const SensingImage image{scene.plane.data(), kWidth, true};
  MovementProgress moved;
  SteeringChunks chunks(particles.data(), count, kWidth, kHeight, image, image, SeedBits(kSeed));
  std::vector<std::jthread> steering;
  for (int k = 0; k < threads; ++k) {
    steering.emplace_back([&chunks, &moved, k] {
      while (chunks.SteerNext(moved, SteeringMemo(k))) {
      }
    });
  }
  // The movement steps the particles in stretches, publishing each, while the threads
  // wait for it.
  for (std::int32_t done = 0; done < count;) {
    const std::int32_t next = std::min(count, done + 1000);
    for (; done < next; ++done) Step(particles[static_cast<size_t>(done)]);
    moved.Publish(done);
  }
  steering.clear();
  return particles;
}

TEST(SteeringChunks, AnyThreadsDrawAsEachHalfSteeredInOrderWithItsOwnEngine) {
  simulationSettings.sensorDistance = 9.0;
  simulationSettings.sensorAngle = 0.4;
  simulationSettings.turnAngle = 0.3;
  simulationSettings.infectedSensorDistance = 5.0;
  simulationSettings.infectedSensorAngle = 0.8;
  simulationSettings.infectedTurnAngle = 0.6;
  // None, one particle (the second half's), and two halves of several chunks each, the
  // last of each half a part chunk.
  for (const std::int32_t count : {0, 1, 41001}) {
    const Scene scene(count);
    const std::vector<Particle> expected = SteeredHalfByHalf(scene);
    for (const int threads : {1, 2, 7}) {
      const std::vector<Particle> steered = SteeredInChunks(scene, threads);
      ASSERT_EQ(steered.size(), expected.size());
      for (size_t i = 0; i < steered.size(); ++i) {
        ASSERT_EQ(std::memcmp(&steered[i].heading, &expected[i].heading, sizeof(double)), 0)
            << count << " particles on " << threads << " threads: particle " << i;
      }
    }
  }
  ReleaseSteeringScratch();
}

}  // namespace
}  // namespace velunary
