// The interpreter of session scripts. A script opens with the layer size, the frame rate
// and the frame of the closing comparison; then a byte names each action (the table in
// Run) and the bytes after it its arguments, read one statement at a time: the order in
// which one call's arguments are evaluated is the compiler's, and the same bytes must
// replay the same session in every build. The effect's state is process-wide, so a script
// starts by returning it to its state at load; one script runs at a time.
#include "session_script.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/param_index.h"
#include "plugin/effect_main.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost/session.h"
#include "rig/session_rig.h"
#include "scenes/demo_layer.h"
#include "scenes/spawn_shape.h"
#include "sim/particle.h"
#include "sim/simulation_state.h"

namespace velunary::fuzzing {
namespace {

using refhost::Op;
using rig::TotalCalls;

constexpr int kMaxActions = 48;
// Simulated frames per script, replays included. A render beyond the budget is cancelled
// through `abort`, one more failure path exercised rather than an input thrown away, so
// that huge frame indices cost no more than small ones.
constexpr long kFrameBudget = 40;
constexpr long kCheckoutsPerFrame = 15;
constexpr int kMaxSide = 64;
constexpr A_long kMaxTime = std::numeric_limits<A_long>::max();
constexpr A_long kMinTime = std::numeric_limits<A_long>::min();
constexpr std::uint64_t kNoMemoryLimit = std::numeric_limits<std::uint64_t>::max();

constexpr std::array<A_long, 6> kTimeSteps = {1, 2, 1001, 100000, 1 << 30, kMaxTime};
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
// Layer images: 0 and 1 the shared scenes, 6 noise, and 2 to 5 the extremes of what seeding
// and sensing read: black, white, a luminance of 0.8504 just below what seeding takes as
// bright, and transparent but bright enough (alpha plays no part in seeding or sensing).
constexpr int kLayerPatterns = 7;
constexpr std::array<PF_Pixel, 4> kSolidLayers = {
    PF_Pixel{255, 0, 0, 0}, {255, 255, 255, 255}, {255, 4, 0, 0}, {0, 5, 0, 0}};
// What the entry point answers when "PF Param Utils Suite" 3, which global setdown and the
// parameter change acquire first, cannot be had.
constexpr PF_Err kNoParamUtils = 13;

refhost::Image ScriptLayer(std::uint8_t pattern, int width, int height, std::uint8_t seed) {
  const int kind = pattern % kLayerPatterns;
  if (kind == 0) return scenes::DemoLayer(width, height);
  if (kind == 1) return scenes::SpawnDisc(width, height);
  if (kind < kLayerPatterns - 1) return refhost::Image(width, height, kSolidLayers[kind - 2]);
  // Noise from a small linear congruential sequence: any bytes will do, as long as a
  // script replays to the same picture everywhere.
  refhost::Image image(width, height);
  std::uint32_t state = 0x9E3779B9u ^ seed;
  for (PF_Pixel& p : image.pixels) {
    state = state * 1664525u + 1013904223u;
    p = PF_Pixel{static_cast<A_u_char>(state >> 24), static_cast<A_u_char>(state >> 16),
                 static_cast<A_u_char>(state >> 8), static_cast<A_u_char>(state >> 4)};
  }
  return image;
}

// A control's value from a byte: a checkbox takes the low bit, a slider its range in 255
// steps, with 0 and 255 its ends exactly.
double ControlValue(const refhost::Host& host, ParamIndex index, std::uint8_t b) {
  const PF_ParamDef& def = host.Param(index);
  if (def.param_type == PF_Param_CHECKBOX) return b & 1;
  const double low = static_cast<double>(def.u.fs_d.valid_min);
  const double high = static_cast<double>(def.u.fs_d.valid_max);
  if (b == 0) return low;
  if (b == 255) return high;
  return std::clamp(low + (high - low) * (b / 255.0), low, high);
}

// A render within the script's frame budget, a parameter change, global setdown, or any
// other command (the closing renders included).
enum class Kind { Budgeted, Change, Setdown, Other };

// The codes a command of `kind` may return. `failed` is the operation whose planned
// failure fired (with code `injected`), if one did, and `first` whether it was the
// command's first call of its kind; `othersFailed` says whether anything else was wrong
// with the host meanwhile (a missing suite, a memory limit, a cancel, the frame budget, no
// parameters declared). Without any failure only 0 is right; with exactly one, the code
// that failure calls for; with several, any code one of them could give. `mayResize` says
// whether the command may be resizing the particle array.
std::vector<PF_Err> ExpectedCodes(std::optional<Op> failed, PF_Err injected, bool othersFailed,
                                  Kind kind, bool first, bool mayResize) {
  if (othersFailed) {
    return {PF_Err_NONE,
            injected,
            PF_Interrupt_CANCEL,
            PF_Err_OUT_OF_MEMORY,
            PF_Err_BAD_CALLBACK_PARAM,
            kNoParamUtils,
            PF_Err_INVALID_INDEX};
  }
  if (!failed) return {PF_Err_NONE};
  switch (*failed) {
    case Op::AcquireSuite:
      // The entry point's own code for Param Utils, the first suite a parameter change and
      // global setdown acquire; the suite cache's for any other.
      return {(kind == Kind::Change || kind == Kind::Setdown) && first ? kNoParamUtils
                                                                       : PF_Err_BAD_CALLBACK_PARAM};
    case Op::ReleaseSuite:
      // The host's own loss: the command has done its work.
      return {PF_Err_NONE};
    case Op::DisposeWorld:
      // Setdown retries a refused world and answers 0 whatever the host did with it: at
      // unload the host has nothing to do with a code.
      return {kind == Kind::Setdown ? PF_Err_NONE : injected};
    case Op::NewHandle:
    case Op::LockHandle:
      // A resize falls back to a new population, which may get its memory.
      if (mayResize) return {PF_Err_OUT_OF_MEMORY, PF_Err_NONE};
      return {PF_Err_OUT_OF_MEMORY};
    default:
      return {injected};
  }
}

// A failure planned for the next command: the call numbered `target` of `op`, or of all
// failable calls when there is no `op`. Without a code, none is planned.
struct Plan {
  std::optional<Op> op;
  long target = 0;
  PF_Err code = PF_Err_NONE;
};

// A failure of the fault sweep, made during the command numbered `command` (from 1, the
// first global setup included): its failable call `call` (from 1) fails with `code`, or the
// lent suite `suite` is missing. Command 0 notes what the last command did instead.
struct SweptFailure {
  long command = 0;
  long call = 0;
  PF_Err code = PF_Err_NONE;
  std::optional<std::size_t> suite;
};

// What the last command before the closing checks did, in the sweep's healthy run.
struct LastCommand {
  long number = 0;
  std::vector<Op> calls;  // its failable calls
  std::array<bool, kSuites.size()> acquired{};
};

class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size, std::optional<SweptFailure> swept = {})
      : data_(data), size_(size), swept_(swept) {}

  std::string Run() {
    ResetProcessStateForTesting();
    // Every session starts as a host starts one: setup, parameters, the layer.
    GlobalSetup();
    ParamsSetup();
    AddToScene([w = width_, h = height_](refhost::Host& host) {
      host.SetLayer(Input, ScriptLayer(0, w, h, 0));
    });
    using Action = void (Script::*)();
    // fuzz/make_seeds.py names the actions in this order.
    static constexpr std::array<Action, 21> kActions = {
        &Script::GlobalSetup,    &Script::ParamsSetup, &Script::RenderFrame, &Script::RenderAt,
        &Script::RenderBadStep,  &Script::ChangeParam, &Script::About,       &Script::Setdown,
        &Script::IgnoredCommand, &Script::SetValue,    &Script::SetKeyframe, &Script::SetLayer,
        &Script::SetLayerFrom,   &Script::LayerSize,   &Script::FrameRate,   &Script::FailCall,
        &Script::FailOp,         &Script::ToggleSuite, &Script::MemoryLimit, &Script::Cancel,
        &Script::Reverse};
    for (int i = 0; i < kMaxActions && size_ > 0 && failure_.empty(); ++i) {
      (this->*kActions[U8() % kActions.size()])();
    }
    finishing_ = true;
    if (failure_.empty()) Finish();
    return failure_;
  }
  const LastCommand& Last() const { return last_; }

 private:
  // Past the end, every byte reads as zero.
  std::uint8_t U8() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  // `n` bytes little-endian, as the seed writer packs them.
  std::uint32_t Le(int n) {
    std::uint32_t bits = 0;
    for (int i = 0; i < n; ++i) bits |= std::uint32_t{U8()} << (8 * i);
    return bits;
  }
  template <typename T, std::size_t N>
  T Pick(const std::array<T, N>& options) {
    return options[U8() % N];
  }
  int Side() { return 1 + U8() % kMaxSide; }
  int Frame() { return static_cast<std::int8_t>(U8()); }
  // A braced list is read left to right.
  refhost::FrameRate Rate() { return {Pick(kTimeSteps), Pick(kTimeScales)}; }

  void GlobalSetup() {
    Send("global setup", Kind::Other, [&] { return session_.GlobalSetup(); });
  }
  void ParamsSetup() {
    paramsDeclared_ =
        Send("parameter setup", Kind::Other, [&] { return session_.ParamsSetup(); }) == PF_Err_NONE;
    if (!paramsDeclared_) return;
    if (host_.ParamCount() != Count) {
      return Fail("parameter setup succeeded with " + std::to_string(host_.ParamCount()) +
                  " parameters");
    }
    for (const auto& change : scene_) change(host_);
  }
  void RenderFrame() {
    const std::int64_t time = std::int64_t{Frame()} * session_.InData().time_step;
    Render(static_cast<A_long>(std::clamp<std::int64_t>(time, kMinTime, kMaxTime)), Kind::Budgeted);
  }
  void RenderAt() { Render(static_cast<A_long>(Le(4)), Kind::Budgeted); }
  // A render that names no frame is refused before any host call.
  void RenderBadStep() {
    PF_InData in = session_.InData();
    in.time_step = Pick(kBadTimeSteps);
    in.current_time = static_cast<A_long>(Le(4));
    if (in.time_step != 0) in.current_time = kMinTime;
    Note("render with time step ", in.time_step);
    PF_ParamDef* params[] = {nullptr};
    PF_EffectWorld output{};
    const long calls = TotalCalls(host_);
    const auto before = Simulation();
    const PF_Err err =
        EffectMain(PF_Cmd_RENDER, &in, &session_.OutData(), params, &output, nullptr);
    if (err != PF_Err_BAD_CALLBACK_PARAM) Fail("returned " + std::to_string(err));
    if (TotalCalls(host_) != calls || Simulation() != before) {
      Fail("called the host or changed the simulation");
    }
    ForgetPlan();
  }
  void ChangeParam() {
    const int index = U8() % (Count + 1);
    const bool withRecord = (U8() & 1) == 0;
    Change(index, withRecord);
  }
  void About() {
    Send("about", Kind::Other, [&] { return session_.About(nullptr); });
  }
  void Setdown() {
    const PF_Err err =
        Send("global setdown", Kind::Setdown, [&] { return session_.GlobalSetdown(); });
    if (err == PF_Err_NONE) Fail(rig::HoldsAnything(host_, refused_));
  }
  void IgnoredCommand() {
    const PF_Cmd cmd = Pick(kIgnoredCommands);
    const long calls = TotalCalls(host_);
    Send("command " + std::to_string(cmd), Kind::Other,
         [&] { return session_.Send(cmd, nullptr); });
    if (TotalCalls(host_) != calls) Fail("an ignored command called the host");
  }
  void SetValue() {
    const ParamIndex index = Pick(kControls);
    const std::uint8_t b = U8();
    AddToScene([=](refhost::Host& host) { host.SetValue(index, ControlValue(host, index, b)); });
  }
  void SetKeyframe() {
    const ParamIndex index = Pick(kControls);
    const int frame = Frame();
    const std::uint8_t b = U8();
    AddToScene(
        [=](refhost::Host& host) { host.SetKeyframe(index, frame, ControlValue(host, index, b)); });
  }
  void SetLayer() { Layer(false); }
  void SetLayerFrom() { Layer(true); }
  void LayerSize() {
    width_ = Side();
    height_ = Side();
    session_.SetLayerSize(width_, height_);
    Note("layer ", width_, "x", height_);
  }
  void FrameRate() {
    session_.SetFrameRate(Rate());
    Note("time step ", session_.InData().time_step);
  }
  // A time-reversed layer: frame k lies at -k frame lengths.
  void Reverse() { Note("time step ", session_.InData().time_step *= -1); }
  void FailCall() { PlanFailure(std::nullopt); }
  void FailOp() { PlanFailure(Pick(kFailableOps)); }
  void ToggleSuite() {
    const std::size_t i = U8() % kSuites.size();
    missing_[i] = !missing_[i];
    host_.SetSuiteMissing(kSuites[i].name, kSuites[i].version, missing_[i]);
    Note(kSuites[i].name, missing_[i] ? " missing" : " back");
  }
  void MemoryLimit() {
    const std::uint32_t limit = Le(2);
    memoryLimited_ = limit != 0xFFFF;
    host_.SetMemoryLimit(memoryLimited_ ? std::uint64_t{limit} * 16 : kNoMemoryLimit);
    Note("memory limit ", limit);
  }
  void Cancel() {
    host_.RequestCancel();
    cancelRequested_ = true;
    Note("cancel");
  }

  // The scene is kept as the changes made to it, so that it can be laid again onto a
  // fresh declaration: parameter setup forgets the old one.
  void AddToScene(std::function<void(refhost::Host&)> change) {
    scene_.push_back(std::move(change));
    if (paramsDeclared_) scene_.back()(host_);
  }
  void Layer(bool fromFrame) {
    const ParamIndex index = Pick(kLayers);
    const int frame = Frame();
    const std::uint8_t pattern = U8();
    const int w = Side();
    const int h = Side();
    const std::uint8_t seed = U8();
    // The layer the effect is applied to always exists; the optional layers may be none.
    const bool none = index != Input && pattern >= 0xF0;
    const refhost::Image image = none ? refhost::Image() : ScriptLayer(pattern, w, h, seed);
    AddToScene([=](refhost::Host& host) {
      if (fromFrame) {
        host.SetLayerFrom(index, frame, image);
      } else {
        host.SetLayer(index, image);
      }
    });
  }
  // The n-th call of `op` from now, or of any failable operation; kept as an absolute call
  // number, to tell afterwards whether it fired.
  void PlanFailure(std::optional<Op> op) {
    const long n = op ? 1 + U8() % 64 : 1 + Le(2) % 1024;
    const PF_Err code = Pick(kInjectedCodes);
    host_.ClearFailures();
    plan_ = Plan{op, Calls(op) + n, code};
    if (op) {
      host_.FailNthCall(*op, n, code);
    } else {
      host_.FailNthFailableCall(n, code);
    }
    Note(op ? refhost::OpName(*op) : "failable call", " ", n, " fails");
  }
  long Calls(std::optional<Op> op) const {
    return op ? host_.CallCount(*op) : host_.CountFailableCalls();
  }

  // Sends one command and checks its code and what the effect holds when it returns.
  // Failures planned for it are forgotten afterwards, whether they fired or not.
  PF_Err Send(const std::string& what, Kind kind, const std::function<PF_Err()>& send) {
    const bool sweeping = swept_ && !finishing_;
    if (sweeping) ++commands_;
    const bool swept = sweeping && swept_->command == commands_;
    const bool noting = sweeping && swept_->command == 0;
    if (swept) Sweep(true);
    const long firstCall = Calls(plan_.op) + 1;
    const long firstFailable = host_.CountFailableCalls() + 1;
    const bool hadArray = simulationState.particles != nullptr;
    std::array<long, kSuites.size()> acquired{};
    for (std::size_t i = 0; noting && i < kSuites.size(); ++i) {
      acquired[i] = host_.Acquisitions(kSuites[i].name, kSuites[i].version);
    }
    long watchdog = std::numeric_limits<long>::max();
    if (kind == Kind::Budgeted) {
      const long used = host_.CallCount(Op::CheckoutParam) / kCheckoutsPerFrame;
      const long aborts = std::max(0L, kFrameBudget - used) * kCheckoutsPerFrame + 1;
      host_.FailNthCall(Op::Abort, aborts, PF_Interrupt_CANCEL);
      watchdog = host_.CallCount(Op::Abort) + aborts;
    }
    const PF_Err err = send();
    const std::optional<Op> failed = FiredPlan();
    if (noting) {
      last_ = {commands_, {}, {}};
      for (long n = firstFailable; n <= host_.CountFailableCalls(); ++n) {
        last_.calls.push_back(host_.FailableCallOp(n));
      }
      for (std::size_t i = 0; i < kSuites.size(); ++i) {
        last_.acquired[i] = host_.Acquisitions(kSuites[i].name, kSuites[i].version) > acquired[i];
      }
    }
    Note(what, " -> ", err,
         failed ? std::string(" (") + refhost::OpName(*failed) + " failed)" : "");
    const bool anyMissing = std::find(missing_.begin(), missing_.end(), true) != missing_.end();
    const bool othersFailed = host_.CallCount(Op::Abort) >= watchdog || cancelRequested_ ||
                              memoryLimited_ || !paramsDeclared_ || anyMissing;
    std::vector<PF_Err> allowed = ExpectedCodes(failed, plan_.code, othersFailed, kind,
                                                plan_.target == firstCall, !swept || hadArray);
    if (swept && swept_->suite) {
      // A suite the command acquires is missing, and nothing else is wrong.
      allowed = {std::string_view(kSuites[*swept_->suite].name) == kPFParamUtilsSuite
                     ? kNoParamUtils
                     : PF_Err_BAD_CALLBACK_PARAM};
    }
    if (swept) Sweep(false);
    Heal();
    suiteFailed_ = failed == Op::AcquireSuite || anyMissing;
    if (failed == Op::ReleaseSuite) ++refused_.suiteReleases;
    if (failed == Op::CheckinParam) ++refused_.checkins;
    if (std::find(allowed.begin(), allowed.end(), err) == allowed.end()) {
      Fail("returned " + std::to_string(err));
    }
    Fail(rig::HoldingsMismatch(host_, refused_));
    return err;
  }

  // Makes the swept failure before the swept command, and ends a missing suite's absence
  // after it. The command must then have called what it calls without the failure.
  void Sweep(bool before) {
    if (swept_->suite) {
      const auto& [name, version] = kSuites[*swept_->suite];
      host_.SetSuiteMissing(name, version, before);
      missing_[*swept_->suite] = before;
    } else if (before) {
      plan_ = Plan{std::nullopt, host_.CountFailableCalls() + swept_->call, swept_->code};
      host_.FailNthFailableCall(swept_->call, swept_->code);
    } else if (!FiredPlan()) {
      Fail("the swept call did not fail");
    }
  }

  std::optional<Op> FiredPlan() const {
    if (plan_.code == PF_Err_NONE || Calls(plan_.op) < plan_.target) return std::nullopt;
    return plan_.op ? *plan_.op : host_.FailableCallOp(plan_.target);
  }

  void Render(A_long time, Kind kind) {
    const std::int32_t frame = time / session_.InData().time_step;
    const PF_Err err =
        Send("render at " + std::to_string(time), kind, [&] { return session_.RenderAt(time); });
    if (!failure_.empty()) return;
    if (err == PF_Err_NONE) {
      CheckRendered(frame);
    } else if (err != PF_Err_BAD_CALLBACK_PARAM || !suiteFailed_) {
      // Any failure but a suite the host cannot supply ends with the reset.
      const SimulationState& s = simulationState;
      if (s.nextFrame != 0 || s.particleHandle != nullptr || !IsAbsent(s.trailMap) ||
          !IsAbsent(s.infectionMap)) {
        Fail("a failed render did not reset the simulation");
      }
    }
  }

  void CheckRendered(std::int32_t frame) {
    const SimulationState& s = simulationState;
    if (frame < std::numeric_limits<std::int32_t>::max() && s.nextFrame != frame + 1) {
      Fail("next frame " + std::to_string(s.nextFrame) + " after frame " + std::to_string(frame));
    }
    if (IsAbsent(s.trailMap) || s.trailMap.width != width_ || s.trailMap.height != height_) {
      return Fail("no TrailMap of the layer's size after a render");
    }
    if (!(session_.Output() == refhost::Image::FromWorld(s.trailMap))) {
      Fail("the output is not the TrailMap");
    }
    // Seeding places particles on pixels; a step is taken only when it rounds onto one.
    for (std::int32_t i = 0; s.particles != nullptr && i < s.particleCount; ++i) {
      const Particle& p = s.particles[i];
      if (!(p.x > -0.5 && p.x < width_ - 0.5 && p.y > -0.5 && p.y < height_ - 0.5)) {
        return Fail("particle " + std::to_string(i) + " left the layer");
      }
    }
  }

  void Change(int index, bool withRecord) {
    const auto before = Simulation();
    const PF_Err err =
        Send("change of " + std::to_string(index) + (withRecord ? "" : " without record"),
             Kind::Change, [&] { return session_.ChangeParam(index, withRecord); });
    if (!failure_.empty() || err != PF_Err_NONE) return;
    if (session_.OutData().out_flags != PF_OutFlag_FORCE_RERENDER) {
      Fail("a parameter change did not ask for exactly a new render");
    }
    if (index != ResetButton || !withRecord) {
      if (Simulation() != before) Fail("a change of another parameter touched the simulation");
    } else if (Simulation() != Snapshot{0, nullptr} || IsAbsent(simulationState.trailMap) ||
               IsAbsent(simulationState.infectionMap)) {
      Fail("the reset left frames, particles or no black maps");
    }
  }

  // With the host healthy again: a render (a replay, rendered twice) must succeed and
  // equal the same render in a process that has seen nothing else, and setdown must leave
  // nothing behind, in both.
  void Finish() {
    Heal();
    for (const auto& suite : kSuites) host_.SetSuiteMissing(suite.name, suite.version, false);
    missing_ = {};
    host_.SetMemoryLimit(kNoMemoryLimit);
    memoryLimited_ = false;
    if (!paramsDeclared_) ParamsSetup();
    const A_long step = session_.InData().time_step;
    const A_long time = std::min(finalFrame_, kMaxTime / std::abs(step)) * step;
    Render(time, Kind::Other);
    Render(time, Kind::Other);
    if (!failure_.empty()) return;
    const refhost::Image replayed = session_.Output();
    Setdown();
    if (!failure_.empty()) return;
    // The same host serves the fresh start: after setdown it lends the effect nothing, and
    // its parameters are declared again.
    Note("-- fresh start");
    ResetProcessStateForTesting();
    GlobalSetup();
    ParamsSetup();
    Render(time, Kind::Other);
    if (!(session_.Output() == replayed)) {
      Fail("the render after the session differs from a fresh start's");
    }
    Setdown();
  }

  // What a command that leaves the simulation alone must not change.
  using Snapshot = std::pair<std::int32_t, const Particle*>;
  static Snapshot Simulation() { return {simulationState.nextFrame, simulationState.particles}; }

  void ForgetPlan() {
    host_.ClearFailures();
    plan_ = Plan{};
  }
  void Heal() {
    ForgetPlan();
    host_.ClearCancel();
    cancelRequested_ = false;
  }

  template <typename... Parts>
  void Note(const Parts&... parts) {
    std::ostringstream line;
    (line << ... << parts);
    trace_ += line.str() + "; ";
  }

  // Keeps the first failure, with the commands that led to it; an empty one is none.
  void Fail(const std::string& what) {
    if (failure_.empty() && !what.empty()) failure_ = what + "\n  after: " + trace_;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::optional<SweptFailure> swept_;
  long commands_ = 0;  // sent before the closing checks, when sweeping
  bool finishing_ = false;
  LastCommand last_;
  // The header, read in declaration order.
  int width_ = Side();
  int height_ = Side();
  refhost::Host host_;
  refhost::Session session_{host_, EffectMain, width_, height_, Rate()};
  A_long finalFrame_ = U8() % 2;
  std::vector<std::function<void(refhost::Host&)>> scene_;
  bool paramsDeclared_ = false;
  Plan plan_;
  bool suiteFailed_ = false;  // in the last command, a suite could not be had
  std::array<bool, kSuites.size()> missing_{};
  bool memoryLimited_ = false;
  bool cancelRequested_ = false;
  rig::Refused refused_;
  std::string trace_;
  std::string failure_;
};

}  // namespace

std::string RunSessionScript(const std::uint8_t* data, std::size_t size) {
  return Script(data, size).Run();
}

std::string SweepSessionScript(const std::uint8_t* data, std::size_t size) {
  std::ostringstream failure;
  LastCommand last;
  {  // one host at a time
    Script healthy(data, size, SweptFailure{});
    failure << healthy.Run();
    last = healthy.Last();
  }
  if (failure.tellp() == 0 && last.calls.empty()) failure << "the last command calls nothing";
  for (std::size_t n = 1; n <= last.calls.size() && failure.tellp() == 0; ++n) {
    const Op op = last.calls[n - 1];
    const PF_Err code = op == Op::Abort ? PF_Interrupt_CANCEL : PF_Err_CANNOT_PARSE_KEYFRAME_TEXT;
    const std::string f =
        Script(data, size, SweptFailure{last.number, static_cast<long>(n), code, {}}).Run();
    if (!f.empty()) failure << "call " << n << ", " << refhost::OpName(op) << ", failed: " << f;
  }
  for (std::size_t i = 0; i < kSuites.size() && failure.tellp() == 0; ++i) {
    if (!last.acquired[i]) continue;
    const std::string f = Script(data, size, SweptFailure{last.number, 0, PF_Err_NONE, i}).Run();
    if (!f.empty()) failure << kSuites[i].name << " missing: " << f;
  }
  return failure.str();
}

}  // namespace velunary::fuzzing
