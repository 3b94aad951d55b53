// The effect against the host's layout, byte for byte. Every record and table the host hands
// over is filled with a distinct byte pattern but for the members the effect is meant to
// read, which carry the host's values. An effect that takes a member from the wrong offset
// reads pattern bytes for a callback, a time or a size (and crashes, fails or renders something
// else); one that writes to the wrong offset changes bytes the host does not read back. sdk/'s
// static assertions prove our declarations; this proves the effect uses them as the host does.
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
T Pattern(unsigned salt) {
  T record;
  auto* bytes = reinterpret_cast<unsigned char*>(&record);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    bytes[i] = static_cast<unsigned char>(0x80u | ((i * 37u + salt * 11u) & 0x7Fu));
  }
  return record;
}

// A pattern but for the members `keep`, which hold the host's values.
template <typename T, typename... M>
T Poisoned(const T& real, unsigned salt, M T::*... keep) {
  T copy = Pattern<T>(salt);
  ((copy.*keep = real.*keep), ...);
  return copy;
}

template <typename T>
std::string Bytes(const T* records, std::size_t count = 1) {
  return std::string(reinterpret_cast<const char*>(records), count * sizeof(T));
}

// Hands over the output members each command may write; the host reads back nothing else.
void CopyWritable(PF_Cmd cmd, const PF_OutData& from, PF_OutData* to) {
  if (cmd == PF_Cmd_GLOBAL_SETUP) to->my_version = from.my_version;
  if (cmd == PF_Cmd_GLOBAL_SETUP || cmd == PF_Cmd_USER_CHANGED_PARAM)
    to->out_flags = from.out_flags;
  if (cmd == PF_Cmd_PARAMS_SETUP) to->num_params = from.num_params;
  if (cmd == PF_Cmd_ABOUT) std::memcpy(to->return_msg, from.return_msg, sizeof from.return_msg);
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

template <typename S, typename... M>
void PoisonSuite(const void** suite, S* copy, unsigned salt, M S::*... keep) {
  *copy = Poisoned(*static_cast<const S*>(*suite), salt, keep...);
  *suite = copy;
}

// Hands out the suites with only the operations the effect calls left in place.
SPErr AcquirePoisoned(const char* name, A_long version, const void** suite) {
  const SPErr err = poisoned.realBasic->AcquireSuite(name, version, suite);
  if (err != 0 || *suite == nullptr) return err;
  const std::string_view n(name);
  using Handles = PF_HandleSuite1;
  using Transform = PF_WorldTransformSuite1;
  if (n == kPFHandleSuite) {
    PoisonSuite(suite, &poisoned.handles, 5, &Handles::host_new_handle, &Handles::host_lock_handle,
                &Handles::host_dispose_handle, &Handles::host_get_handle_size);
  } else if (n == kPFWorldTransformSuite) {
    PoisonSuite(suite, &poisoned.transform, 6, &Transform::blend, &Transform::convolve);
  } else if (n == kPFANSISuite) {
    PoisonSuite(suite, &poisoned.ansi, 7, &PF_ANSICallbacksSuite1::sprintf);
  }
  return 0;
}

// Stands between the session and the effect: the effect gets poisoned copies of the
// session's records, and the session gets back only the members the command may write.
PF_Err PoisonedEffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                          PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
  using In = PF_InData;
  PF_InData in = Poisoned(*in_data, 1, &In::effect_ref, &In::appl_id, &In::current_time,
                          &In::time_step, &In::time_scale, &In::width, &In::height);
  using Inter = PF_InteractCallbacks;
  in.inter = Poisoned(in_data->inter, 9, &Inter::checkout_param, &Inter::checkin_param,
                      &Inter::add_param, &Inter::abort);
  using Utils = PF_UtilCallbacks;
  poisoned.utils = Poisoned(*in_data->utils, 2, &Utils::new_world, &Utils::dispose_world,
                            &Utils::fill, &Utils::copy);
  poisoned.utils.ansi =
      Poisoned(in_data->utils->ansi, 12, &PF_ANSICallbacks::sprintf, &PF_ANSICallbacks::strcpy);
  in.utils = &poisoned.utils;
  poisoned.realBasic = in_data->pica_basicP;
  poisoned.basic = Poisoned(*in_data->pica_basicP, 3, &SPBasicSuite::ReleaseSuite);
  poisoned.basic.AcquireSuite = AcquirePoisoned;
  in.pica_basicP = &poisoned.basic;
  // The effect reads no parameter from the array (it checks them out), and only the
  // host's own copy reads the output world's pixels.
  std::vector<PF_ParamDef> values;
  while (params[values.size()] != nullptr) {
    values.push_back(Pattern<PF_ParamDef>(10 + static_cast<unsigned>(values.size())));
  }
  std::vector<PF_ParamDef*> list;
  for (PF_ParamDef& value : values) list.push_back(&value);
  list.push_back(nullptr);
  using World = PF_EffectWorld;
  PF_EffectWorld world =
      Poisoned(*output, 8, &World::data, &World::rowbytes, &World::width, &World::height);
  PF_OutData out = Pattern<PF_OutData>(4);

  const auto readOnly = [&] {
    return Bytes(&in) + Bytes(&poisoned.utils) + Bytes(&poisoned.basic) + Bytes(&world) +
           Bytes(values.data(), values.size());
  };
  const std::string before = readOnly();
  const PF_Err err = EffectMain(cmd, &in, &out, list.data(), &world, extra);
  const std::string command = "command " + std::to_string(cmd) + ": ";
  if (readOnly() != before) poisoned.problems.push_back(command + "wrote into a record it reads");
  PF_OutData allowed = Pattern<PF_OutData>(4);
  CopyWritable(cmd, out, &allowed);
  if (Bytes(&out) != Bytes(&allowed)) {
    poisoned.problems.push_back(command + "wrote an output member the host does not read");
  }
  CopyWritable(cmd, out, out_data);
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
  const PF_OutData& out = session.OutData();
  // A braced list is evaluated in order.
  Transcript t;
  t.answers = {session.GlobalSetup(), static_cast<A_long>(out.my_version), out.out_flags,
               session.ParamsSetup(), out.num_params};
  Image layer(kWidth, kHeight, PF_Pixel{255, 60, 60, 60});
  for (int i = 0; i < kHeight; ++i) layer.At(i, i) = PF_Pixel{255, 240, 240, 240};
  host.SetLayer(Input, layer);
  for (long frame : {0, 1, 3}) {
    t.answers.push_back(session.RenderFrame(frame));
    t.frames.push_back(session.Output());
  }
  t.answers.insert(t.answers.end(),
                   {session.ChangeParam(ResetButton), out.out_flags, session.RenderFrame(0)});
  t.frames.push_back(session.Output());
  t.answers.insert(t.answers.end(), {session.About(&t.about), session.GlobalSetdown()});
  EXPECT_TRUE(host.GetLedger().Empty());
  return t;
}

TEST(HostAbiTest, EffectReadsAndWritesOnlyItsOwnMembersOfTheHostsRecords) {
  const Transcript plain = RunSession(EffectMain);
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
