#include "render/simulate_frame.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "host/host_services.h"
#include "render/frame_params.h"
#include "render/frame_worlds.h"
#include "render/sensing_workers.h"
#include "render/steering_chunks.h"
#include "sim/diffuse_and_decay.h"
#include "sim/seeding.h"
#include "sim/sense_and_steer.h"
#include "sim/simulation_state.h"

namespace velunary {

namespace {

// The gray plane of the sensing image, kept from frame to frame so that a frame finds its
// pages already mapped. Written by the render thread before the sensing workers start,
// read by them until they are joined within the frame.
std::vector<std::uint8_t> grayPlane;

// Room for a gray plane of the layer's size, or null when there is none to be had: the
// workers then read the host's images, which steers the particles alike.
std::uint8_t* GrayPlaneRoom(const PF_InData* in_data) {
  if (in_data->width <= 0 || in_data->height <= 0) {
    return nullptr;
  }
  try {
    grayPlane.resize(static_cast<std::size_t>(in_data->width) *
                     static_cast<std::size_t>(in_data->height));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return grayPlane.data();
}

}  // namespace

void ReleaseSensingScratch() {
  std::vector<std::uint8_t>().swap(grayPlane);
  ReleaseSteeringScratch();
}

void SimulateFrame(HostSuiteCache& suites, const PF_InData* in_data, A_long what_time,
                   PF_Err* err) {
  if (*err != PF_Err_NONE) {
    return;
  }
  // Declared first, so destroyed last: on every exit the layers the settings point into
  // stay checked out until every world of the frame is gone.
  FrameParams params(in_data);
  params.CheckOut(what_time, err);
  if (*err != PF_Err_NONE) {
    return;
  }
  ReadSettings(in_data, params.Records());

  SimulationState& state = simulationState;
  if (IsAbsent(state.trailMap)) {
    NewBlackWorld(in_data, &state.trailMap, err);
  }
  if (IsAbsent(state.infectionMap) && simulationSettings.infectionEnabled) {
    NewBlackWorld(in_data, &state.infectionMap, err);
  }
  if (*err == PF_Err_NONE) {
    PopulateParticles(suites, in_data, err);
  }

  // Taken before any pass starts: a shortage found later could not leave the frame whole.
  std::uint8_t* const plane = GrayPlaneRoom(in_data);
  if (*err == PF_Err_NONE && !ReserveSteeringScratch(state.particleRecords, SteeringThreads())) {
    *err = PF_Err_OUT_OF_MEMORY;
  }
  PF_EffectWorld first{};
  PF_EffectWorld second{};
  ScopedWorld firstHolder(in_data, &first);
  ScopedWorld secondHolder(in_data, &second);
  // Declared after the holders, so destroyed before them: on every exit its threads have
  // ended before the worlds they read go back to the host.
  ParticlePasses passes;
  // The host's blend reads the TrailMap and the InfectionMap's update reads and writes
  // that map; how it weighs them is the host's, so the movement pass, which paints both,
  // starts only once those calls are done, and only on a frame without an error: its
  // particle array and maps are then whole. It still overlaps the copy into the second
  // sensing image, which reads and writes only worlds of the frame's own.
  PrepareSensingWorlds(suites, in_data, &first, &second, err);
  if (*err != PF_Err_NONE) {
    return;
  }
  passes.StartMovement(in_data);
  *err = HostCopy(in_data, &first, &second);
  // The render resets the simulation after an error; the movement runs to its end first.
  if (*err != PF_Err_NONE) {
    return;
  }
  // Every particle moves before it steers, and steers against images made before this
  // frame's deposits. A gray layer (the network's own trail, or footage without colour)
  // is sensed from a plane of its own, one byte a pixel.
  const bool gray =
      plane != nullptr && MakeGrayPlane(first, in_data->width, in_data->height, plane);
  if (gray) {
    const SensingImage image{plane, in_data->width, true};
    passes.StartSensing(in_data, image, image);
  } else {
    // The half of the particles that reads the second image reads it while no host call
    // runs; every chunk is steered before the images go back.
    passes.StartSensing(in_data, HostSensingImage(first), HostSensingImage(second));
    passes.SteerRest();
    passes.Join();
  }
  // Threads steering on the plane no longer read the host's images, which go back at
  // their usual place among the host's calls.
  firstHolder.Release(err);
  secondHolder.Release(err);
  // The diffusion needs every deposit but nothing the steering writes, so this thread
  // steers until the movement ends, and then diffuses while the movement thread steers.
  passes.SteerWhileMoving();
  passes.WaitForMovement();

  DiffuseAndDecay(in_data, err, state.trailMap);
  // Without an Infected Layer the InfectionMap holds only deposits, which stay sharp.
  if (InfectionFedByLayer()) {
    DiffuseAndDecay(in_data, err, state.infectionMap);
  }
  passes.SteerRest();
  passes.Join();
  params.CheckIn(err);
}

}  // namespace velunary
