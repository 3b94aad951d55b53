// The interpreter of session scripts. A script opens with the layer size, the frame rate
// and the frame of the closing comparison, then reads one action at a time: a byte names
// the action and the bytes after it its arguments. Actions are the host's commands, changes
// to the scene (control values, keyframes, layers, layer size, frame rate) and failures
// planned for the next command. Any byte string is a valid script, so a fuzzer can mutate
// freely, and the same bytes always replay the same session.
//
// The effect's state is process-wide, so a script starts by returning it to its state at
// load; one script runs at a time.
#include "session_script.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "expected_codes.h"
#include "host/param_index.h"
#include "plugin/effect_main.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost/session.h"
#include "rig/session_rig.h"
#include "script_bytes.h"
#include "script_layers.h"
#include "sim/particle.h"
#include "sim/simulation_state.h"

namespace velunary::fuzzing {
namespace {

using rig::HoldingsMismatch;
using rig::HoldsAnything;
using rig::Refused;
using rig::TotalCalls;

using refhost::Op;

constexpr int kMaxActions = 48;
// Simulated frames per script, replays included. A render beyond the budget is cancelled
// through `abort`, one more failure path exercised rather than an input thrown away, so
// that huge frame indices cost no more than small ones.
constexpr long kFrameBudget = 40;
constexpr long kCheckoutsPerFrame = 15;
constexpr int kMaxSide = 64;

constexpr std::array<A_long, 6> kTimeSteps = {1,      2,       1001,
                                              100000, 1 << 30, std::numeric_limits<A_long>::max()};
constexpr std::array<A_u_long, 3> kTimeScales = {24, 24000, 1};
// Time steps of renders that name no frame: 0 at any time, and -1 at the most negative
// time, whose frame index does not fit 32 bits.
constexpr std::array<A_long, 2> kBadTimeSteps = {0, -1};
// Codes injected into host calls. Some are codes the effect also gives of its own accord
// (out of memory, a missing suite, a cancel): it must pass them on all the same.
constexpr std::array<PF_Err, 7> kInjectedCodes = {PF_Err_CANNOT_PARSE_KEYFRAME_TEXT,
                                                  PF_Interrupt_CANCEL,
                                                  PF_Err_OUT_OF_MEMORY,
                                                  PF_Err_BAD_CALLBACK_PARAM,
                                                  PF_Err_INVALID_INDEX,
                                                  1,
                                                  -7};
constexpr std::array<Op, 14> kFailableOps = {
    Op::NewWorld,      Op::DisposeWorld, Op::Fill,       Op::Copy,         Op::Blend,
    Op::Convolve,      Op::NewHandle,    Op::LockHandle, Op::AcquireSuite, Op::ReleaseSuite,
    Op::CheckoutParam, Op::CheckinParam, Op::AddParam,   Op::Abort};
// The controls a script may set, in declaration order: every row from "Random Seed" to
// "Infected Trail Color" but the Infection group's start and the Infected Layer.
constexpr std::array<ParamIndex, 12> kControls = [] {
  std::array<ParamIndex, 12> controls{};
  size_t n = 0;
  for (int i = RandomSeed; i <= InfectedTrailColor; ++i) {
    if (i != InfectionGroupStart && i != InfectedLayer) controls[n++] = static_cast<ParamIndex>(i);
  }
  return controls;
}();
constexpr std::array<ParamIndex, 3> kLayers = {Input, SpawnLayer, InfectedLayer};
constexpr std::array<PF_Cmd, 11> kIgnoredCommands = {2, 5, 6, 7, 8, 9, 10, 12, 14, 24, 1000};

constexpr const auto& kSuites = refhost::kLentSuites;

enum class Action : std::uint8_t {
  GlobalSetup,
  ParamsSetup,
  RenderFrame,
  RenderAt,
  RenderBadStep,
  ChangeParam,
  About,
  Setdown,
  IgnoredCommand,
  SetValue,
  SetKeyframe,
  SetLayer,
  SetLayerFrom,
  LayerSize,
  FrameRate,
  FailCall,
  FailOp,
  MissingSuite,
  MemoryLimit,
  Cancel,
  Count
};

// A failure planned for the next command: the n-th failable call from now, or the n-th
// call of one operation, both kept as absolute call numbers.
struct Plan {
  bool active = false;
  bool anyFailable = false;
  Op op = Op::Count;
  long target = 0;
  PF_Err code = PF_Err_NONE;
};

// A render within the script's frame budget, a render outside it (the closing
// comparison), or any other command.
enum class Kind { Render, Budgetless, Setdown, Other };

// A slider value from a byte: 0 and 255 are the ends of the range exactly.
double SliderValue(const PF_ParamDef& def, std::uint8_t b) {
  const double low = static_cast<double>(def.u.fs_d.valid_min);
  const double high = static_cast<double>(def.u.fs_d.valid_max);
  if (b == 0) return low;
  if (b == 255) return high;
  return std::clamp(low + (high - low) * (b / 255.0), low, high);
}

class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

  std::string Run() {
    ResetProcessStateForTesting();
    width_ = bytes_.Side(kMaxSide);
    height_ = bytes_.Side(kMaxSide);
    const refhost::FrameRate rate{bytes_.Pick(kTimeSteps), bytes_.Pick(kTimeScales)};
    finalFrame_ = bytes_.U8() % 2;
    host_ = std::make_unique<refhost::Host>();
    session_ = std::make_unique<refhost::Session>(*host_, EffectMain, width_, height_, rate);
    // Every session starts as a host starts one: setup, parameters, the layer.
    Send("global setup", Kind::Other, [&] { return session_->GlobalSetup(); });
    ParamsSetup();
    AddToScene([w = width_, h = height_](refhost::Host& host) {
      host.SetLayer(Input, ScriptLayer(0, w, h, 0));
    });
    for (int i = 0; i < kMaxActions && !bytes_.Empty() && failure_.empty(); ++i) Step();
    if (failure_.empty()) Finish();
    session_.reset();
    host_.reset();
    return failure_;
  }

 private:
  void Step() {
    const auto action = static_cast<Action>(bytes_.U8() % static_cast<int>(Action::Count));
    switch (action) {
      case Action::GlobalSetup:
        Send("global setup", Kind::Other, [&] { return session_->GlobalSetup(); });
        break;
      case Action::ParamsSetup:
        ParamsSetup();
        break;
      case Action::RenderFrame: {
        const std::int64_t time =
            std::int64_t{static_cast<std::int8_t>(bytes_.U8())} * session_->InData().time_step;
        Render(static_cast<A_long>(std::clamp<std::int64_t>(
                   time, std::numeric_limits<A_long>::min(), std::numeric_limits<A_long>::max())),
               Kind::Render);
        break;
      }
      case Action::RenderAt:
        Render(bytes_.I32(), Kind::Render);
        break;
      case Action::RenderBadStep: {
        const A_long step = bytes_.Pick(kBadTimeSteps);
        const A_long time = bytes_.I32();
        RenderBadStep(step, step == 0 ? time : std::numeric_limits<A_long>::min());
        break;
      }
      case Action::ChangeParam: {
        // Two statements: the order in which a call's arguments are read is the
        // compiler's, and gcc reads these two the other way round from clang.
        const int index = bytes_.U8() % (Count + 1);
        const bool withRecord = (bytes_.U8() & 1) == 0;
        ChangeParam(index, withRecord);
        break;
      }
      case Action::About:
        Send("about", Kind::Other, [&] { return session_->About(nullptr); });
        break;
      case Action::Setdown:
        Setdown();
        break;
      case Action::IgnoredCommand:
        IgnoredCommand(bytes_.Pick(kIgnoredCommands));
        break;
      case Action::SetValue: {
        const ParamIndex index = bytes_.Pick(kControls);
        const std::uint8_t b = bytes_.U8();
        AddToScene([index, b](refhost::Host& host) {
          host.SetValue(index, ControlValue(host, index, b));
        });
        break;
      }
      case Action::SetKeyframe: {
        const ParamIndex index = bytes_.Pick(kControls);
        const int frame = static_cast<std::int8_t>(bytes_.U8());
        const std::uint8_t b = bytes_.U8();
        AddToScene([index, frame, b](refhost::Host& host) {
          host.SetKeyframe(index, frame, ControlValue(host, index, b));
        });
        break;
      }
      case Action::SetLayer:
      case Action::SetLayerFrom:
        SetLayer(action == Action::SetLayerFrom);
        break;
      case Action::LayerSize:
        width_ = bytes_.Side(kMaxSide);
        height_ = bytes_.Side(kMaxSide);
        session_->SetLayerSize(width_, height_);
        trace_ += "layer " + std::to_string(width_) + "x" + std::to_string(height_) + "; ";
        break;
      case Action::FrameRate:
        session_->SetFrameRate(
            refhost::FrameRate{bytes_.Pick(kTimeSteps), bytes_.Pick(kTimeScales)});
        trace_ += "time step " + std::to_string(session_->InData().time_step) + "; ";
        break;
      case Action::FailCall: {
        const long n = 1 + bytes_.U16() % 1024;
        plan_ = Plan{true, true, Op::Count, host_->CountFailableCalls() + n,
                     bytes_.Pick(kInjectedCodes)};
        host_->ClearFailures();
        host_->FailNthFailableCall(n, plan_.code);
        trace_.append("failable call ").append(std::to_string(n)).append(" fails; ");
        break;
      }
      case Action::FailOp: {
        const Op op = bytes_.Pick(kFailableOps);
        const long n = 1 + bytes_.U8() % 64;
        plan_ = Plan{true, false, op, host_->CallCount(op) + n, bytes_.Pick(kInjectedCodes)};
        host_->ClearFailures();
        host_->FailNthCall(op, n, plan_.code);
        trace_.append(refhost::OpName(op)).append(" ").append(std::to_string(n)).append(" fails; ");
        break;
      }
      case Action::MissingSuite: {
        const std::size_t i = bytes_.U8() % kSuites.size();
        missing_[i] = !missing_[i];
        host_->SetSuiteMissing(kSuites[i].name, kSuites[i].version, missing_[i]);
        trace_.append(kSuites[i].name).append(missing_[i] ? " missing; " : " back; ");
        break;
      }
      case Action::MemoryLimit: {
        const std::uint16_t limit = bytes_.U16();
        memoryLimited_ = limit != 0xFFFF;
        host_->SetMemoryLimit(memoryLimited_ ? std::uint64_t{limit} * 16
                                             : std::numeric_limits<std::uint64_t>::max());
        trace_.append("memory limit ").append(std::to_string(limit)).append("; ");
        break;
      }
      case Action::Cancel:
        host_->RequestCancel();
        cancelRequested_ = true;
        trace_.append("cancel; ");
        break;
      case Action::Count:
        break;
    }
  }

  static double ControlValue(const refhost::Host& host, ParamIndex index, std::uint8_t b) {
    const PF_ParamDef& def = host.Param(index);
    if (def.param_type == PF_Param_CHECKBOX) return b & 1;
    return SliderValue(def, b);
  }

  // The scene is kept as the changes made to it, so that it can be laid again onto a
  // fresh declaration (parameter setup forgets the old one) and onto a fresh host.
  void AddToScene(std::function<void(refhost::Host&)> change) {
    scene_.push_back(std::move(change));
    if (paramsDeclared_) scene_.back()(*host_);
  }

  void ApplyScene(refhost::Host& host) {
    for (const auto& change : scene_) change(host);
  }

  void SetLayer(bool fromFrame) {
    const ParamIndex index = bytes_.Pick(kLayers);
    const int frame = static_cast<std::int8_t>(bytes_.U8());
    const std::uint8_t pattern = bytes_.U8();
    const int w = bytes_.Side(kMaxSide);
    const int h = bytes_.Side(kMaxSide);
    const std::uint8_t seed = bytes_.U8();
    // The layer the effect is applied to always exists; the optional layers may be none.
    const bool none = index != Input && pattern >= 0xF0;
    const refhost::Image image = none ? refhost::Image() : ScriptLayer(pattern, w, h, seed);
    if (fromFrame) {
      AddToScene(
          [index, frame, image](refhost::Host& host) { host.SetLayerFrom(index, frame, image); });
    } else {
      AddToScene([index, image](refhost::Host& host) { host.SetLayer(index, image); });
    }
  }

  // ---- Commands -------------------------------------------------------------------

  void ParamsSetup() {
    const PF_Err err =
        Send("parameter setup", Kind::Other, [&] { return session_->ParamsSetup(); });
    paramsDeclared_ = err == PF_Err_NONE;
    if (paramsDeclared_ && host_->ParamCount() != Count) {
      Fail("parameter setup succeeded with " + std::to_string(host_->ParamCount()) + " parameters");
      return;
    }
    if (paramsDeclared_) ApplyScene(*host_);
  }

  void Render(A_long time, Kind kind) {
    const std::int32_t frame = time / session_->InData().time_step;
    const PF_Err err =
        Send("render at " + std::to_string(time), kind, [&] { return session_->RenderAt(time); });
    if (!failure_.empty()) return;
    if (err == PF_Err_NONE) {
      CheckRendered(frame);
    } else if (err != PF_Err_BAD_CALLBACK_PARAM || !suiteFailed_) {
      // Any failure but a suite the host cannot supply ends with the reset.
      CheckReset();
    }
  }

  // A render that names no frame is refused before any host call.
  void RenderBadStep(A_long timeStep, A_long time) {
    trace_ += "render with time step " + std::to_string(timeStep) + "; ";
    PF_InData in = session_->InData();
    in.time_step = timeStep;
    in.current_time = time;
    PF_ParamDef* params[] = {nullptr};
    PF_EffectWorld output{};
    const long calls = TotalCalls(*host_);
    const std::int32_t nextFrame = simulationState.nextFrame;
    const Particle* particles = simulationState.particles;
    const PF_Err err =
        EffectMain(PF_Cmd_RENDER, &in, &session_->OutData(), params, &output, nullptr);
    if (err != PF_Err_BAD_CALLBACK_PARAM) Fail("returned " + std::to_string(err));
    if (TotalCalls(*host_) != calls) Fail("called the host");
    if (simulationState.nextFrame != nextFrame || simulationState.particles != particles) {
      Fail("changed the simulation");
    }
    host_->ClearFailures();
    plan_ = Plan{};
  }

  void ChangeParam(int index, bool withRecord) {
    const std::int32_t nextFrame = simulationState.nextFrame;
    const Particle* particles = simulationState.particles;
    const PF_Err err =
        Send("change of " + std::to_string(index) + (withRecord ? "" : " without record"),
             Kind::Other, [&] { return session_->ChangeParam(index, withRecord); });
    if (!failure_.empty() || err != PF_Err_NONE) return;
    if (session_->OutData().out_flags != PF_OutFlag_FORCE_RERENDER) {
      Fail("a parameter change did not ask for exactly a new render");
    }
    if (index == ResetButton && withRecord) {
      if (simulationState.nextFrame != 0 || simulationState.particles != nullptr ||
          IsAbsent(simulationState.trailMap) || IsAbsent(simulationState.infectionMap)) {
        Fail("the reset left frames, particles or no black maps");
      }
    } else if (simulationState.nextFrame != nextFrame || simulationState.particles != particles) {
      Fail("a change of another parameter touched the simulation");
    }
  }

  void Setdown() {
    const PF_Err err =
        Send("global setdown", Kind::Setdown, [&] { return session_->GlobalSetdown(); });
    if (failure_.empty() && err == PF_Err_NONE) Check(HoldsAnything(*host_, refused_));
  }

  void IgnoredCommand(PF_Cmd cmd) {
    const long calls = TotalCalls(*host_);
    Send("command " + std::to_string(cmd), Kind::Other,
         [&] { return session_->Send(cmd, nullptr); });
    if (failure_.empty() && TotalCalls(*host_) != calls) Fail("an ignored command called the host");
  }

  // ---- Checks ---------------------------------------------------------------------

  // Sends one command and checks its code and what the effect holds when it returns.
  // Failures planned for it are forgotten afterwards, whether they fired or not.
  PF_Err Send(const std::string& what, Kind kind, const std::function<PF_Err()>& send) {
    trace_.append(what).append(" ");
    long watchdog = std::numeric_limits<long>::max();
    if (kind == Kind::Render) {
      const long used = host_->CallCount(Op::CheckoutParam) / kCheckoutsPerFrame;
      const long aborts = std::max(0L, kFrameBudget - used) * kCheckoutsPerFrame + 1;
      host_->FailNthCall(Op::Abort, aborts, PF_Interrupt_CANCEL);
      watchdog = host_->CallCount(Op::Abort) + aborts;
    }
    const PF_Err err = send();
    trace_.append("-> ").append(std::to_string(err));

    const std::optional<Op> failed = FiredPlan();
    if (failed) trace_.append(" (").append(refhost::OpName(*failed)).append(" failed)");
    trace_.append("; ");
    const bool othersFailed = host_->CallCount(Op::Abort) >= watchdog || cancelRequested_ ||
                              memoryLimited_ || !paramsDeclared_ ||
                              std::find(missing_.begin(), missing_.end(), true) != missing_.end();
    const PF_Err injected = plan_.code;
    host_->ClearFailures();
    host_->ClearCancel();
    plan_ = Plan{};
    cancelRequested_ = false;
    suiteFailed_ = failed == Op::AcquireSuite ||
                   std::find(missing_.begin(), missing_.end(), true) != missing_.end();
    if (failed == Op::ReleaseSuite) ++refused_.suiteReleases;
    if (failed == Op::CheckinParam) ++refused_.checkins;

    CheckCode(err, failed, injected, othersFailed, kind == Kind::Setdown);
    if (failure_.empty()) Check(HoldingsMismatch(*host_, refused_));
    return err;
  }

  std::optional<Op> FiredPlan() const {
    if (!plan_.active) return std::nullopt;
    if (plan_.anyFailable) {
      if (host_->CountFailableCalls() >= plan_.target) return host_->FailableCallOp(plan_.target);
    } else if (host_->CallCount(plan_.op) >= plan_.target) {
      return plan_.op;
    }
    return std::nullopt;
  }

  void CheckCode(PF_Err err, std::optional<Op> failed, PF_Err injected, bool othersFailed,
                 bool setdown) {
    const std::vector<PF_Err> allowed = ExpectedCodes(failed, injected, othersFailed, setdown);
    if (std::find(allowed.begin(), allowed.end(), err) == allowed.end()) {
      Fail("returned " + std::to_string(err) +
           (failed ? std::string(" after a failed ") + refhost::OpName(*failed) : std::string()));
    }
  }

  void CheckRendered(std::int32_t frame) {
    const SimulationState& s = simulationState;
    if (frame < std::numeric_limits<std::int32_t>::max() && s.nextFrame != frame + 1) {
      Fail("next frame " + std::to_string(s.nextFrame) + " after frame " + std::to_string(frame));
      return;
    }
    if (IsAbsent(s.trailMap) || s.trailMap.width != width_ || s.trailMap.height != height_) {
      Fail("no TrailMap of the layer's size after a render");
      return;
    }
    if (!(session_->Output() == refhost::Image::FromWorld(s.trailMap))) {
      Fail("the output is not the TrailMap");
      return;
    }
    // Seeding places particles on pixels; a step is taken only when it rounds onto one.
    for (std::int32_t i = 0; s.particles != nullptr && i < s.particleCount; ++i) {
      const Particle& p = s.particles[i];
      if (!(p.x > -0.5 && p.x < width_ - 0.5 && p.y > -0.5 && p.y < height_ - 0.5)) {
        Fail("particle " + std::to_string(i) + " left the layer");
        return;
      }
    }
  }

  void CheckReset() {
    const SimulationState& s = simulationState;
    if (s.nextFrame != 0 || s.particleHandle != nullptr || !IsAbsent(s.trailMap) ||
        !IsAbsent(s.infectionMap)) {
      Fail("a failed render did not reset the simulation");
    }
  }

  // With the host healthy again: a render (a replay, rendered twice) must succeed and
  // equal the same render in a process that has seen nothing else, and setdown must leave
  // nothing behind, in both.
  void Finish() {
    host_->ClearFailures();
    host_->ClearCancel();
    plan_ = Plan{};
    cancelRequested_ = false;
    for (std::size_t i = 0; i < kSuites.size(); ++i) {
      host_->SetSuiteMissing(kSuites[i].name, kSuites[i].version, false);
      missing_[i] = false;
    }
    host_->SetMemoryLimit(std::numeric_limits<std::uint64_t>::max());
    memoryLimited_ = false;
    if (!paramsDeclared_) ParamsSetup();
    // An InfectionMap kept while infection is off carries its pixels across a replay, as
    // it should; the button starts from black maps, which a fresh start matches.
    if (!IsAbsent(simulationState.infectionMap) && !simulationSettings.infectionEnabled) {
      ChangeParam(ResetButton, true);
    }
    const A_long step = session_->InData().time_step;
    const A_long time = std::min(finalFrame_, std::numeric_limits<A_long>::max() / step) * step;
    Render(time, Kind::Budgetless);
    Render(time, Kind::Budgetless);
    if (!failure_.empty()) return;
    const refhost::Image replayed = session_->Output();
    Setdown();
    if (!failure_.empty()) return;

    // The same host serves the fresh start: after setdown it lends the effect nothing, and
    // its parameters are declared again.
    trace_ += "-- fresh start; ";
    ResetProcessStateForTesting();
    Send("global setup", Kind::Budgetless, [&] { return session_->GlobalSetup(); });
    ParamsSetup();
    Render(time, Kind::Budgetless);
    if (failure_.empty() && !(session_->Output() == replayed)) {
      Fail("the render after the session differs from a fresh start's");
    }
    Setdown();
  }

  void Check(const std::string& problems) {
    if (!problems.empty()) Fail(problems);
  }

  void Fail(const std::string& what) {
    if (failure_.empty()) failure_ = what + "\n  after: " + trace_;
  }

  ScriptBytes bytes_;
  std::unique_ptr<refhost::Host> host_;
  std::unique_ptr<refhost::Session> session_;
  int width_ = 1;
  int height_ = 1;
  A_long finalFrame_ = 0;
  std::vector<std::function<void(refhost::Host&)>> scene_;
  bool paramsDeclared_ = false;
  Plan plan_;
  bool suiteFailed_ = false;  // in the last command, a suite could not be had
  std::array<bool, kSuites.size()> missing_{};
  bool memoryLimited_ = false;
  bool cancelRequested_ = false;
  Refused refused_;
  std::string trace_;
  std::string failure_;
};

}  // namespace

std::string RunSessionScript(const std::uint8_t* data, std::size_t size) {
  return Script(data, size).Run();
}

}  // namespace velunary::fuzzing
