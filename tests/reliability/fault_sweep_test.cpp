// Whole sessions in which one host call fails: for each command a host sends (renders of a
// first frame, a next frame and a catch-up, with infection and both optional layers, at
// another layer size; parameter setup; about; the reset button; global setdown), every
// failable call it makes fails in turn, and every suite it uses goes missing. Each time the
// command must return the code the failure calls for, the host must hold for the effect
// exactly what its state refers to, and the next render must succeed and equal the same
// render from a fresh start; after global setdown the host holds nothing for the effect.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "host/param_index.h"
#include "rig/session_rig.h"
#include "scenes/demo_layer.h"
#include "scenes/spawn_shape.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

using refhost::Op;
using rig::kInjected;
using rig::Scene;

constexpr int kWidth = 24;
constexpr int kHeight = 16;

// The demo web as the layer, every control at its default (laid again after a parameter
// setup that failed).
void PlainScene(refhost::Host& host) {
  host.SetLayer(Input, scenes::DemoLayer(kWidth, kHeight));
}

// Every kind of host call a frame can make: the layer and the Infected Layer of another
// size than the simulation (scaled through the staging world), a Spawn Layer, and
// infection fed by a layer.
void RichScene(refhost::Host& host) {
  host.SetLayer(Input, scenes::DemoLayer(kWidth / 2, kHeight / 2));
  host.SetLayer(SpawnLayer, scenes::SpawnDisc(kWidth, kHeight));
  host.SetLayer(InfectedLayer, scenes::SpawnDisc(kWidth / 2, kHeight / 2));
  host.SetValue(Infection, 1);
}

struct SessionRig : rig::SessionRig {
  explicit SessionRig(const Scene& scene) : rig::SessionRig(kWidth, kHeight, rig::kRate, scene) {}
};

struct Case {
  const char* name;
  PF_Cmd cmd;
  Scene scene;
  std::function<void(SessionRig&)> before;  // runs without failures
  long frame;                               // the frame a render command renders
  int width = kWidth;                       // the layer size from `before` on
  int height = kHeight;
};

// A parameter change is one of the reset button.
PF_Err Send(SessionRig& rig, const Case& c) {
  if (c.cmd == PF_Cmd_RENDER) return rig.session.RenderFrame(c.frame);
  if (c.cmd == PF_Cmd_PARAMS_SETUP) return rig.session.ParamsSetup();
  PF_UserChangedParamExtra resetButton{ResetButton};
  return rig.session.Send(c.cmd, &resetButton);
}

constexpr const auto& kSuites = refhost::kLentSuites;
// What the entry point answers when the Param Utils suite, the first one global setdown
// and the parameter change acquire, cannot be had.
constexpr PF_Err kNoParamUtils = 13;

// How one case is broken, and what follows.
class CaseSweep {
 public:
  explicit CaseSweep(const Case& c) : case_(c) {
    for (long f = 0; f < static_cast<long>(fresh_.size()); ++f) {
      fresh_[f] = rig::SessionRig::FreshRender(c.width, c.height, c.scene, f);
    }
    SessionRig rig(c.scene);
    c.before(rig);
    const long first = rig.host.CountFailableCalls() + 1;
    std::array<long, kSuites.size()> acquired{};
    for (size_t i = 0; i < kSuites.size(); ++i) {
      acquired[i] = rig.host.Acquisitions(kSuites[i].name, kSuites[i].version);
    }
    EXPECT_EQ(Send(rig, c), PF_Err_NONE) << c.name;
    for (long n = first; n <= rig.host.CountFailableCalls(); ++n) {
      ops_.push_back(rig.host.FailableCallOp(n));
    }
    for (size_t i = 0; i < kSuites.size(); ++i) {
      usesSuite_[i] = rig.host.Acquisitions(kSuites[i].name, kSuites[i].version) > acquired[i];
    }
    cleanNext_ = rig.Render(simulationState.nextFrame);
  }

  // Fails call n (1-based) of the command.
  void FailCall(long n) {
    const Op op = ops_[n - 1];
    SCOPED_TRACE(testing::Message() << case_.name << ", call " << n << ": " << refhost::OpName(op));
    SessionRig rig(case_.scene);
    case_.before(rig);
    const long first = rig.host.CountFailableCalls() + 1;
    rig.host.FailNthFailableCall(n, op == Op::Abort ? PF_Interrupt_CANCEL : kInjected);
    const PF_Err err = Send(rig, case_);
    ASSERT_EQ(rig.host.FailableCallOp(first + n - 1), op) << "the command's calls changed";

    PF_Err expected = op == Op::Abort ? PF_Interrupt_CANCEL : kInjected;
    if (op == Op::AcquireSuite) {
      const bool paramUtilsFirst =
          case_.cmd == PF_Cmd_USER_CHANGED_PARAM || case_.cmd == PF_Cmd_GLOBAL_SETDOWN;
      expected = paramUtilsFirst && n == 1 ? kNoParamUtils : PF_Err_BAD_CALLBACK_PARAM;
    } else if (op == Op::ReleaseSuite ||
               (op == Op::DisposeWorld && case_.cmd == PF_Cmd_GLOBAL_SETDOWN)) {
      // The host's own loss: the command has done its work (setdown answers only 0 or a
      // suite the host cannot supply).
      expected = PF_Err_NONE;
    } else if (op == Op::NewHandle || op == Op::LockHandle) {
      expected = PF_Err_OUT_OF_MEMORY;
    }
    EXPECT_EQ(err, expected);
    // Every record checked out is handed back exactly once, even one the host refuses.
    EXPECT_EQ(rig.host.CallCount(Op::CheckinParam),
              rig.host.CallCount(Op::CheckoutParam) - (op == Op::CheckoutParam ? 1 : 0));
    const rig::Refused refused{op == Op::ReleaseSuite ? 1 : 0, op == Op::CheckinParam ? 1 : 0};
    if (case_.cmd == PF_Cmd_RENDER && err != PF_Err_NONE && op != Op::AcquireSuite) {
      ExpectReset();
    }
    Follow(rig, err, refused);
  }

  // Takes suite i away for the command; returns whether the command uses it.
  bool MissSuite(size_t i) {
    if (!usesSuite_[i]) return false;
    SCOPED_TRACE(testing::Message() << case_.name << ", no " << kSuites[i].name);
    SessionRig rig(case_.scene);
    case_.before(rig);
    rig.host.SetSuiteMissing(kSuites[i].name, kSuites[i].version, true);
    const PF_Err err = Send(rig, case_);
    rig.host.SetSuiteMissing(kSuites[i].name, kSuites[i].version, false);
    const bool paramUtils = std::string(kSuites[i].name) == kPFParamUtilsSuite;
    EXPECT_EQ(err, paramUtils ? kNoParamUtils : PF_Err_BAD_CALLBACK_PARAM);
    Follow(rig, err, {});
    return true;
  }

  long Calls() const { return static_cast<long>(ops_.size()); }

 private:
  static void ExpectReset() {
    EXPECT_EQ(simulationState.nextFrame, 0);
    EXPECT_EQ(simulationState.particleHandle, nullptr);
    EXPECT_TRUE(IsAbsent(simulationState.trailMap));
    EXPECT_TRUE(IsAbsent(simulationState.infectionMap));
  }

  // What the effect holds, then the next render (of the frame the simulation would reach
  // next) against a fresh start, then global setdown.
  void Follow(SessionRig& rig, PF_Err err, rig::Refused refused) {
    EXPECT_EQ(rig::HoldingsMismatch(rig.host, refused), "");
    rig.host.ClearFailures();
    if (case_.cmd == PF_Cmd_PARAMS_SETUP && err != PF_Err_NONE) {
      ASSERT_EQ(rig.session.ParamsSetup(), PF_Err_NONE);
      case_.scene(rig.host);
    }
    const long next = simulationState.nextFrame;
    ASSERT_LT(next, static_cast<long>(fresh_.size()));
    // A command that absorbed its failure left the simulation it always leaves; any other
    // left one that starts over.
    EXPECT_EQ(rig.Render(next), err == PF_Err_NONE ? cleanNext_ : fresh_[next])
        << "render of frame " << next;
    EXPECT_EQ(rig::HoldingsMismatch(rig.host, refused), "");
    EXPECT_EQ(rig.session.GlobalSetdown(), PF_Err_NONE);
    EXPECT_EQ(rig::HoldsAnything(rig.host, refused), "");
  }

  const Case& case_;
  std::array<refhost::Image, 4> fresh_;
  std::vector<Op> ops_;
  std::array<bool, kSuites.size()> usesSuite_{};
  refhost::Image cleanNext_;
};

TEST(FaultSweep, EveryFailableCallOfEveryCommandInTurn) {
  const auto none = [](SessionRig&) {};
  const auto after = [](std::initializer_list<long> frames) {
    const std::vector<long> list(frames);
    return [list](SessionRig& rig) {
      for (long frame : list) rig.Render(frame);
    };
  };
  const auto resized = [](SessionRig& rig) {
    rig.Render(0);
    rig.Render(1);
    rig.session.SetLayerSize(kHeight, kWidth);
  };
  const std::vector<Case> cases = {
      {"render of a first frame", PF_Cmd_RENDER, PlainScene, none, 0},
      {"render of a next frame", PF_Cmd_RENDER, PlainScene, after({0}), 1},
      {"render of a catch-up", PF_Cmd_RENDER, PlainScene, after({0, 1, 2}), 1},
      {"render of a next frame, infected, both layers", PF_Cmd_RENDER, RichScene, after({0}), 1},
      {"render of a catch-up, infected, both layers", PF_Cmd_RENDER, RichScene, after({0, 1}), 1},
      {"render at another layer size", PF_Cmd_RENDER, PlainScene, resized, 2, kHeight, kWidth},
      {"parameter setup", PF_Cmd_PARAMS_SETUP, PlainScene, none, 0},
      {"about", PF_Cmd_ABOUT, PlainScene, after({0}), 0},
      {"reset", PF_Cmd_USER_CHANGED_PARAM, RichScene, after({0, 1}), 0},
      {"global setdown", PF_Cmd_GLOBAL_SETDOWN, RichScene, after({0, 1}), 0},
  };
  long points = 0;
  for (const Case& c : cases) {
    CaseSweep sweep(c);
    ASSERT_GT(sweep.Calls(), 0) << c.name;
    for (long n = 1; n <= sweep.Calls(); ++n) sweep.FailCall(n);
    long suites = 0;
    for (size_t i = 0; i < kSuites.size(); ++i) suites += sweep.MissSuite(i) ? 1 : 0;
    std::printf("fault sweep: %s: %ld calls, %ld suites\n", c.name, sweep.Calls(), suites);
    points += sweep.Calls() + suites;
  }
  std::printf("fault sweep: %ld failure points in %zu commands\n", points, cases.size());
}

}  // namespace
}  // namespace velunary
