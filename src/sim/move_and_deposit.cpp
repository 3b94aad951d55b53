// The movement pass walks the particles in array order and updates the trail fields in
// place, so a particle reads what the particles before it wrote in the same pass: two
// landings on one pixel add up, and a healthy particle can catch the infection an infected
// one painted a moment earlier. Nothing here may be reordered or split across threads.
//
// What can run ahead is each particle's step, which depends on that particle alone: it is
// planned for a batch of particles at a time and the pixels it lands on are prefetched, so
// the in-order deposits that follow find them in cache. The pass is otherwise bound by the
// latency of reading scattered pixels.
#include "sim/move_and_deposit.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "sim/pixel_math.h"
#include "sim/random.h"
#include "sim/simulation_state.h"
#include "sim/sin_cos.h"

namespace velunary {
namespace {

constexpr std::int32_t kBatch = 16;

struct Step {
  double nx;
  double ny;
  std::ptrdiff_t trailOffset;      // of the pixel landed on; meaningful when onLayer
  std::ptrdiff_t infectionOffset;  // likewise, in the InfectionMap
  bool onLayer;
};

struct Layer {
  PixelGrid grid;
  A_long trailRowbytes;
  A_long infectionRowbytes;
};

Step PlanStep(const Particle& p, SinCosMemo& trig, const Layer& layer) {
  const SinCosPair direction = trig.Of(p.heading);
  Step step;
  step.nx = p.x + direction.cosine;
  step.ny = p.y + direction.sine;
  std::int32_t column;
  std::int32_t row;
  // A NaN or huge position counts as off the layer.
  step.onLayer = PixelOfPoint(step.nx, step.ny, layer.grid, &column, &row);
  if (step.onLayer) {
    step.trailOffset = static_cast<std::ptrdiff_t>(row) * layer.trailRowbytes + 4 * column;
    step.infectionOffset = static_cast<std::ptrdiff_t>(row) * layer.infectionRowbytes + 4 * column;
  } else {
    step.trailOffset = 0;
    step.infectionOffset = 0;
  }
  return step;
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
  return RoundedByte(deposit + trailLuminance);
}

// DepositGray of a deposit on each gray pixel, by its gray value. The trail fields hold
// gray pixels wherever the host's convolution keeps them gray, and then a deposit is a
// table read: the table's bytes are DepositGray's own, so the result is the same to the bit.
struct GrayDeposits {
  double deposit;  // the table's; told apart by its bits, so that any value is remade
  bool made;
  std::uint8_t after[256];
};

// The calling thread's table for `deposit`, made anew only when the deposit changes: a
// pass runs in stretches, and a frame's deposits stay the same.
const GrayDeposits& GrayDepositsFor(double deposit, GrayDeposits* table) {
  if (!table->made ||
      std::bit_cast<std::uint64_t>(table->deposit) != std::bit_cast<std::uint64_t>(deposit)) {
    for (int value = 0; value < 256; ++value) {
      const auto v = static_cast<std::uint8_t>(value);
      table->after[value] = DepositGray(deposit, Luminance(v, v, v));
    }
    table->deposit = deposit;
    table->made = true;
  }
  return *table;
}

// What the table's deposit turns the pixel at `argb` into.
std::uint8_t Deposited(const std::uint8_t* argb, const GrayDeposits& table) {
  const std::uint8_t red = argb[1];
  if (red == argb[2] && red == argb[3]) {
    return table.after[red];
  }
  return DepositGray(table.deposit, LuminanceAt(argb));
}

}  // namespace

void MoveAndDepositRange(const PF_InData* in_data, std::int32_t first, std::int32_t last,
                         SinCosMemo& trig) {
  Particle* const particles = simulationState.particles;
  if (particles == nullptr) {
    return;
  }
  const PF_EffectWorld& trail = simulationState.trailMap;
  const PF_EffectWorld& infection = simulationState.infectionMap;
  auto* const trailData = static_cast<std::uint8_t*>(trail.data);
  auto* const infectionData = static_cast<std::uint8_t*>(infection.data);
  const bool infectionActive = simulationSettings.infectionEnabled && !IsAbsent(infection);
  thread_local GrayDeposits healthyTable{};
  thread_local GrayDeposits infectedTable{};
  const GrayDeposits& healthy = GrayDepositsFor(simulationSettings.trailColor, &healthyTable);
  const GrayDeposits& infected =
      GrayDepositsFor(simulationSettings.infectedTrailColor, &infectedTable);
  const Layer layer{
      PixelGrid{static_cast<double>(in_data->width), static_cast<double>(in_data->height)},
      trail.rowbytes, infection.rowbytes};

  // Planned one batch ahead: a batch's pixels are fetched while the batch before it lays
  // its deposits, which a particle's own step never reads.
  Step planned[2][kBatch];
  const auto plan = [&](std::int32_t base, Step* steps) {
    const std::int32_t n = std::min(kBatch, last - base);
    for (std::int32_t j = 0; j < n; ++j) {
      steps[j] = PlanStep(particles[base + j], trig, layer);
      if (steps[j].onLayer) {
        __builtin_prefetch(trailData + steps[j].trailOffset, 1);
        if (infectionActive) __builtin_prefetch(infectionData + steps[j].infectionOffset, 1);
      }
    }
  };
  if (first < last) plan(first, planned[0]);
  for (std::int32_t base = first, batch = 0; base < last; base += kBatch, batch ^= 1) {
    const std::int32_t n = std::min(kBatch, last - base);
    if (base + kBatch < last) plan(base + kBatch, planned[batch ^ 1]);
    const Step* const steps = planned[batch];

    for (std::int32_t j = 0; j < n; ++j) {
      Particle& p = particles[base + j];
      const Step& step = steps[j];
      if (!step.onLayer) {
        p.heading = RandomHeading(sharedRandom);
        continue;
      }

      // The flag as it was on arrival: a particle infected below still lays healthy
      // trail this frame.
      const bool wasInfected = p.infected != 0;
      std::uint8_t* const trailPixel = trailData + step.trailOffset;
      const std::uint8_t gray = Deposited(trailPixel, wasInfected ? infected : healthy);

      if (infectionActive) {
        std::uint8_t* const infectionPixel = infectionData + step.infectionOffset;
        if (wasInfected) {
          WriteGray(infectionPixel, gray);
        } else if ((infectionPixel[1] | infectionPixel[2] | infectionPixel[3]) != 0) {
          // Every luminance weight is positive, so "luminance above 0" is exactly "some
          // colour byte is not 0", whatever the alpha.
          p.infected = 1;
        }
      }

      WriteGray(trailPixel, gray);
      p.x = step.nx;
      p.y = step.ny;
    }
  }
}

}  // namespace velunary
