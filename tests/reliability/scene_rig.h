// The shared session rig over a small scene, as the reliability tests break it.
#ifndef VELUNARY_TESTS_RELIABILITY_SCENE_RIG_H
#define VELUNARY_TESTS_RELIABILITY_SCENE_RIG_H

#include <functional>

#include "host/param_index.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "rig/session_rig.h"
#include "scenes/demo_layer.h"
#include "scenes/spawn_shape.h"
#include "sim/simulation_state.h"

namespace velunary::reliability {

inline constexpr int kWidth = 24;
inline constexpr int kHeight = 16;
using rig::kInjected;

// Parameter values and layers, laid onto a host after parameter setup.
using Scene = std::function<void(refhost::Host&)>;

// The demo web as the layer, every control at its default.
inline void PlainScene(refhost::Host& host) {
  host.SetLayer(Input, scenes::DemoLayer(kWidth, kHeight));
}

// Every kind of host call a frame can make: the layer and the Infected Layer of another
// size than the simulation (scaled through the staging world), a Spawn Layer, and
// infection fed by a layer.
inline void RichScene(refhost::Host& host) {
  host.SetLayer(Input, scenes::DemoLayer(kWidth / 2, kHeight / 2));
  host.SetLayer(SpawnLayer, scenes::SpawnDisc(kWidth, kHeight));
  host.SetLayer(InfectedLayer, scenes::SpawnDisc(kWidth / 2, kHeight / 2));
  host.SetValue(Infection, 1);
}

struct SessionRig : rig::SessionRig {
  explicit SessionRig(const Scene& scene, int width = kWidth, int height = kHeight)
      : rig::SessionRig(width, height, rig::kRate) {
    scene(host);
  }
};

// The image of frame `frame` as a fresh start renders it.
inline refhost::Image FreshRender(const Scene& scene, long frame, int width = kWidth,
                                  int height = kHeight) {
  SessionRig rig(scene, width, height);
  return rig.Render(frame);
}

}  // namespace velunary::reliability

#endif
