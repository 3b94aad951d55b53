// The effect in a reference-host session over a small scene, as the reliability tests
// drive it: set up, with its scene laid onto the host, and ready to be broken.
#ifndef VELUNARY_TESTS_RELIABILITY_SESSION_RIG_H
#define VELUNARY_TESTS_RELIABILITY_SESSION_RIG_H

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "holdings.h"
#include "host/effect_main.h"
#include "host/param_index.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost/session.h"
#include "scenes/demo_layer.h"
#include "scenes/spawn_shape.h"
#include "sim/simulation_state.h"

namespace velunary::reliability {

inline constexpr int kWidth = 24;
inline constexpr int kHeight = 16;
// Frames of 1001/24000 s: a time step other than 1, so truncation shows.
inline constexpr refhost::FrameRate kRate{1001, 24000};
// A code no host call gives by itself.
inline constexpr PF_Err kInjected = PF_Err_CANNOT_PARSE_KEYFRAME_TEXT;

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

struct SessionRig {
  explicit SessionRig(const Scene& scene, int width = kWidth, int height = kHeight)
      : session(host, EffectMain, width, height, kRate) {
    ResetProcessStateForTesting();
    EXPECT_EQ(session.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(session.ParamsSetup(), PF_Err_NONE);
    scene(host);
  }

  // The image of frame `frame`, rendered and checked to succeed.
  refhost::Image Render(long frame) {
    EXPECT_EQ(session.RenderFrame(frame), PF_Err_NONE) << "frame " << frame;
    return session.Output();
  }

  refhost::Host host;
  refhost::Session session;
};

// The image of frame `frame` as a fresh start renders it: a new process state, a new host,
// the scene, and that one render.
inline refhost::Image FreshRender(const Scene& scene, long frame, int width = kWidth,
                                  int height = kHeight) {
  SessionRig rig(scene, width, height);
  return rig.Render(frame);
}

}  // namespace velunary::reliability

#endif
