// The effect against the host's layout, byte for byte. Every record and table the host
// hands over is filled with a distinct byte pattern, except the members the effect is
// meant to read, which carry the host's values. An effect that takes a member from the
// wrong offset reads pattern bytes for a callback, a time or a size (and crashes, fails or
// renders something else); one that writes to the wrong offset changes bytes the host
// does not read back. The static assertions of sdk/ prove our declarations; this proves
// the effect uses them as the host does.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "host/param_index.h"
#include "pf_suites.h"
#include "plugin/effect_main.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost/session.h"
#include "sim/simulation_state.h"

namespace velunary {
namespace {

using refhost::Image;

constexpr int kWidth = 40;
constexpr int kHeight = 30;

// Every byte has its high bit set (so a pattern pointer is no address, and a pattern
// number a large negative one), and no two records or neighbouring bytes agree.
template <typename T>
void Poison(T* record, unsigned salt) {
  auto* bytes = reinterpret_cast<unsigned char*>(record);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    bytes[i] = static_cast<unsigned char>(0x80u | ((i * 37u + salt * 11u) & 0x7Fu));
  }
}

template <typename T>
bool SameBytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

struct Span {
  std::size_t offset;
  std::size_t size;
};
#define VELUNARY_SPAN(type, member)              \
  Span {                                         \
    offsetof(type, member), sizeof(type::member) \
  }

// The output members each command may write; the host reads back nothing else.
std::vector<Span> Writable(PF_Cmd cmd) {
  switch (cmd) {
    case PF_Cmd_GLOBAL_SETUP:
      return {VELUNARY_SPAN(PF_OutData, my_version), VELUNARY_SPAN(PF_OutData, out_flags)};
    case PF_Cmd_PARAMS_SETUP:
      return {VELUNARY_SPAN(PF_OutData, num_params)};
    case PF_Cmd_USER_CHANGED_PARAM:
      return {VELUNARY_SPAN(PF_OutData, out_flags)};
    case PF_Cmd_ABOUT:
      return {VELUNARY_SPAN(PF_OutData, return_msg)};
    default:
      return {};
  }
}

// The poisoned tables of the call in progress, and what went wrong so far.
struct PoisonedHost {
  PF_UtilCallbacks utils;
  SPBasicSuite basic;
  SPBasicSuite* realBasic;
  PF_HandleSuite1 handles;
  PF_WorldTransformSuite1 transform;
  PF_ANSICallbacksSuite1 ansi;
  std::vector<std::string> problems;
};
PoisonedHost poisoned{};

// Hands out the suites with only the operations the effect calls left in place.
SPErr AcquirePoisoned(const char* name, A_long version, const void** suite) {
  const SPErr err = poisoned.realBasic->AcquireSuite(name, version, suite);
  if (err != 0 || *suite == nullptr) return err;
  const std::string_view n(name);
  if (n == kPFHandleSuite) {
    const auto& real = *static_cast<const PF_HandleSuite1*>(*suite);
    Poison(&poisoned.handles, 5);
    poisoned.handles.host_new_handle = real.host_new_handle;
    poisoned.handles.host_lock_handle = real.host_lock_handle;
    poisoned.handles.host_dispose_handle = real.host_dispose_handle;
    poisoned.handles.host_get_handle_size = real.host_get_handle_size;
    *suite = &poisoned.handles;
  } else if (n == kPFWorldTransformSuite) {
    const auto& real = *static_cast<const PF_WorldTransformSuite1*>(*suite);
    Poison(&poisoned.transform, 6);
    poisoned.transform.blend = real.blend;
    poisoned.transform.convolve = real.convolve;
    *suite = &poisoned.transform;
  } else if (n == kPFANSISuite) {
    Poison(&poisoned.ansi, 7);
    poisoned.ansi.sprintf = static_cast<const PF_ANSICallbacksSuite1*>(*suite)->sprintf;
    *suite = &poisoned.ansi;
  }
  return 0;
}

// Stands between the session and the effect: the effect gets poisoned copies of the
// session's records, and the session gets back only the members the command may write.
PF_Err PoisonedEffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                          PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
  PF_InData in;
  Poison(&in, 1);
  in.inter.checkout_param = in_data->inter.checkout_param;
  in.inter.checkin_param = in_data->inter.checkin_param;
  in.inter.add_param = in_data->inter.add_param;
  in.inter.abort = in_data->inter.abort;
  Poison(&poisoned.utils, 2);
  poisoned.utils.new_world = in_data->utils->new_world;
  poisoned.utils.dispose_world = in_data->utils->dispose_world;
  poisoned.utils.fill = in_data->utils->fill;
  poisoned.utils.copy = in_data->utils->copy;
  poisoned.utils.ansi.sprintf = in_data->utils->ansi.sprintf;
  poisoned.utils.ansi.strcpy = in_data->utils->ansi.strcpy;
  in.utils = &poisoned.utils;
  Poison(&poisoned.basic, 3);
  poisoned.realBasic = in_data->pica_basicP;
  poisoned.basic.AcquireSuite = AcquirePoisoned;
  poisoned.basic.ReleaseSuite = in_data->pica_basicP->ReleaseSuite;
  in.pica_basicP = &poisoned.basic;
  in.effect_ref = in_data->effect_ref;
  in.appl_id = in_data->appl_id;
  in.current_time = in_data->current_time;
  in.time_step = in_data->time_step;
  in.time_scale = in_data->time_scale;
  in.width = in_data->width;
  in.height = in_data->height;

  PF_OutData out;
  Poison(&out, 4);
  // The effect reads no parameter from the array (it checks them out), and only the
  // host's own copy reads the output world's pixels.
  std::vector<PF_ParamDef> values;
  while (params[values.size()] != nullptr) values.push_back(PF_ParamDef{});
  std::vector<PF_ParamDef*> list;
  for (PF_ParamDef& value : values) {
    Poison(&value, 10 + static_cast<unsigned>(list.size()));
    list.push_back(&value);
  }
  list.push_back(nullptr);
  PF_EffectWorld world;
  Poison(&world, 8);
  world.data = output->data;
  world.rowbytes = output->rowbytes;
  world.width = output->width;
  world.height = output->height;

  const PF_InData inBefore = in;
  const PF_OutData outBefore = out;
  const PF_UtilCallbacks utilsBefore = poisoned.utils;
  const SPBasicSuite basicBefore = poisoned.basic;
  const std::vector<PF_ParamDef> valuesBefore = values;
  const PF_EffectWorld worldBefore = world;
  const PF_Err err = EffectMain(cmd, &in, &out, list.data(), &world, extra);

  const std::string command = "command " + std::to_string(cmd) + ": ";
  if (!SameBytes(in, inBefore) || !SameBytes(poisoned.utils, utilsBefore) ||
      !SameBytes(poisoned.basic, basicBefore)) {
    poisoned.problems.push_back(command + "wrote into the input record or its tables");
  }
  if (std::memcmp(values.data(), valuesBefore.data(), values.size() * sizeof(PF_ParamDef)) != 0 ||
      !SameBytes(world, worldBefore)) {
    poisoned.problems.push_back(command + "wrote into the parameters or the output record");
  }
  std::vector<bool> writable(sizeof(PF_OutData), false);
  for (const Span& span : Writable(cmd)) {
    for (std::size_t i = 0; i < span.size; ++i) writable[span.offset + i] = true;
    std::memcpy(reinterpret_cast<unsigned char*>(out_data) + span.offset,
                reinterpret_cast<const unsigned char*>(&out) + span.offset, span.size);
  }
  const auto* now = reinterpret_cast<const unsigned char*>(&out);
  const auto* was = reinterpret_cast<const unsigned char*>(&outBefore);
  for (std::size_t i = 0; i < sizeof(PF_OutData); ++i) {
    if (now[i] != was[i] && !writable[i]) {
      poisoned.problems.push_back(command + "wrote output byte " + std::to_string(i));
      break;
    }
  }
  return err;
}

// What a session of every command the effect handles gives the host back.
struct Transcript {
  std::vector<A_long> answers;  // results, then what the host read back
  std::string about;
  std::vector<Image> frames;
};

Transcript RunSession(PF_EffectMainFunc effectMain) {
  ResetProcessStateForTesting();
  refhost::Host host;
  refhost::Session session(host, effectMain, kWidth, kHeight, refhost::FrameRate{1001, 24000});
  Transcript t;
  const PF_OutData& out = session.OutData();
  t.answers.push_back(session.GlobalSetup());
  t.answers.push_back(static_cast<A_long>(out.my_version));
  t.answers.push_back(out.out_flags);
  t.answers.push_back(session.ParamsSetup());
  t.answers.push_back(out.num_params);
  Image layer(kWidth, kHeight, PF_Pixel{255, 60, 60, 60});
  for (int i = 0; i < kHeight; ++i) layer.At(i, i) = PF_Pixel{255, 240, 240, 240};
  host.SetLayer(Input, layer);
  for (long frame : {0, 1, 3}) {
    t.answers.push_back(session.RenderFrame(frame));
    t.frames.push_back(session.Output());
  }
  t.answers.push_back(session.ChangeParam(ResetButton));
  t.answers.push_back(out.out_flags);
  t.answers.push_back(session.RenderFrame(0));
  t.frames.push_back(session.Output());
  t.answers.push_back(session.About(&t.about));
  t.answers.push_back(session.GlobalSetdown());
  EXPECT_TRUE(host.GetLedger().Empty());
  return t;
}

TEST(HostAbiTest, EffectReadsAndWritesOnlyItsOwnMembersOfTheHostsRecords) {
  const Transcript plain = RunSession(EffectMain);
  poisoned.problems.clear();
  const Transcript throughPatterns = RunSession(PoisonedEffectMain);
  EXPECT_EQ(poisoned.problems, std::vector<std::string>{});
  EXPECT_EQ(throughPatterns.answers, plain.answers);
  EXPECT_EQ(throughPatterns.about, plain.about);
  EXPECT_EQ(throughPatterns.frames, plain.frames);
  // Not a blank session: the frames show a trail and the host read the effect's answers.
  EXPECT_NE(plain.frames[1], Image(kWidth, kHeight, PF_Pixel{255, 0, 0, 0}));
  EXPECT_EQ(plain.answers[4], Count);
  EXPECT_FALSE(plain.about.empty());
}

}  // namespace
}  // namespace velunary
