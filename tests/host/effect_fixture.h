// A reference host and a session driving the statically linked effect, starting from the
// state the effect has when its library has just been loaded.
#ifndef VELUNARY_TESTS_HOST_EFFECT_FIXTURE_H
#define VELUNARY_TESTS_HOST_EFFECT_FIXTURE_H

#include <gtest/gtest.h>

#include "host/effect_main.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost/session.h"
#include "sim/simulation_state.h"

namespace velunary::testing {

inline constexpr int kWidth = 40;
inline constexpr int kHeight = 30;

// Calls of every operation the host offers, so far.
inline long TotalHostCalls(const refhost::Host& host) {
  long total = 0;
  for (int op = 0; op < static_cast<int>(refhost::Op::Count); ++op) {
    total += host.CallCount(static_cast<refhost::Op>(op));
  }
  return total;
}

// A gray layer with a brighter diagonal, so the trail field has structure to follow.
inline refhost::Image TestLayer() {
  refhost::Image layer(kWidth, kHeight, PF_Pixel{255, 60, 60, 60});
  for (int i = 0; i < kHeight; ++i) layer.At(i, i) = PF_Pixel{255, 240, 240, 240};
  return layer;
}

class EffectTest : public ::testing::Test {
 protected:
  EffectTest() { ResetProcessStateForTesting(); }

  // Global setup, parameter setup and the layer.
  void SetUpEffect() {
    ASSERT_EQ(session_.GlobalSetup(), PF_Err_NONE);
    ASSERT_EQ(session_.ParamsSetup(), PF_Err_NONE);
    host_.SetLayer(0, TestLayer());
  }

  // Frames first..last, in order.
  void RenderFrames(long first, long last) {
    for (long frame = first; frame <= last; ++frame) {
      ASSERT_EQ(session_.RenderFrame(frame), PF_Err_NONE) << "frame " << frame;
    }
  }

  refhost::Host host_;
  refhost::Session session_{host_, EffectMain, kWidth, kHeight, refhost::FrameRate{}};
};

}  // namespace velunary::testing

#endif
