// What saved projects and hosts hold the effect to, each pinned once: the parameter rows
// as the host stores them, the property list's bytes, the version and the library's exports.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/effect_main.h"
#include "plugin/effect_version.h"
#include "rig/session_rig.h"
#include "windows/expected_pipl.h"

namespace velunary {
namespace {

// One line per row after the layer: name, type, id, flags, UI fields, then the type's own
// record (a slider's ranges, default and look; a checkbox's or button's value and text;
// a layer's all zero bytes). A group row carries the record of the row before it, or none.
std::string RowListing(const refhost::Host& host) {
  std::ostringstream out;
  out.precision(17);
  for (int i = 1; i < host.ParamCount(); ++i) {
    const PF_ParamDef& d = host.Param(i);
    const PF_ParamDefUnion zero{};
    const bool group = d.param_type == PF_Param_GROUP_START || d.param_type == PF_Param_GROUP_END;
    const bool empty = std::memcmp(&d.u, &zero, sizeof zero) == 0;
    const PF_ParamType record = group && !empty ? host.Param(i - 1).param_type : d.param_type;
    out << i << " " << d.name << " | " << d.param_type << " " << d.uu.id << " " << d.flags << " "
        << d.ui_flags << " " << d.ui_width << " " << d.ui_height << " |";
    if (record == PF_Param_FLOAT_SLIDER) {
      const PF_FloatSliderDef& f = d.u.fs_d;
      out << " " << f.value << " " << f.dephault << " " << f.valid_min << " " << f.valid_max << " "
          << f.slider_min << " " << f.slider_max << " " << f.precision << " " << f.curve_tolerance
          << " " << f.phase << " " << f.display_flags << " " << f.fs_flags << " "
          << int{f.useExponent} << " " << f.exponent;
    } else if (record == PF_Param_CHECKBOX) {
      out << " " << d.u.bd.value << " " << int{d.u.bd.dephault} << " '"
          << (d.u.bd.u.nameptr ? d.u.bd.u.nameptr : "(null)") << "'";
    } else if (record == PF_Param_BUTTON) {
      out << " " << d.u.button_d.value << " '"
          << (d.u.button_d.u.namesptr ? d.u.button_d.u.namesptr : "(null)") << "'";
    } else {
      out << (empty ? " zero" : " not zero");
    }
    out << "\n";
  }
  return out.str();
}

// name | type id flags ui_flags ui_width ui_height | record, in RowListing's order.
constexpr const char* kRows = R"(1 Spawn Layer | 0 2 64 0 0 0 | zero
2 Random Seed | 10 1 64 0 0 0 | 32767 32767 -32768 32767 -32768 32767 0 0.05000000074505806 0 0 0 0 0
3 Sensor Angle | 10 3 64 0 0 0 | 45 45 0 360 0 360 1 0.05000000074505806 0 0 0 0 0
4 Turn Angle | 10 4 64 0 0 0 | 45 45 0 360 0 360 1 0.05000000074505806 0 0 0 0 0
5 Sensor Distance | 10 5 64 0 0 0 | 9 9 1 100 1 100 2 0.05000000074505806 0 0 0 0 0
6 Decay | 10 6 64 0 0 0 | 0.10000000000000001 0.10000000149011612 0 1 0 1 2 0.05000000074505806 0 0 0 0 0
7 Trail Color | 10 7 64 0 0 0 | 50 50 1 255 1 255 0 0.05000000074505806 0 0 0 0 0
8 Particle Count in % | 10 8 64 0 0 0 | 15 15 2 30 2 30 0 0.05000000074505806 0 0 0 0 0
9 Infection | 4 9 64 0 0 0 | 0 0 ''
10 Infection | 13 10 64 0 0 0 | 0 0 ''
11 Infected Layer | 0 11 64 0 0 0 | zero
12 Infected Sensor Angle | 10 12 64 0 0 0 | 13 13 0 360 0 360 1 0.05000000074505806 0 0 0 0 0
13 Infected Turn Angle | 10 13 64 0 0 0 | 7 7 0 360 0 360 1 0.05000000074505806 0 0 0 0 0
14 Infected Sensor Distance | 10 14 64 0 0 0 | 15 15 1 100 1 100 2 0.05000000074505806 0 0 0 0 0
15 Infected Trail Color | 10 15 64 0 0 0 | 100 100 1 255 1 255 0 0.05000000074505806 0 0 0 0 0
16 Infected Trail Color | 14 16 64 0 0 0 | 100 100 1 255 1 255 0 0.05000000074505806 0 0 0 0 0
17 Settings | 13 17 0 0 0 0 | zero
18 Button | 15 18 64 0 0 0 | 0 'Reset particles'
19 Button | 14 19 64 0 0 0 | 0 'Reset particles'
)";

TEST(Contracts, VersionFlagsAndParameterRows) {
  rig::SessionRig rig(8, 8, rig::kRate);
  ASSERT_EQ(rig.setupError, PF_Err_NONE);
  EXPECT_EQ(rig.session.OutData().my_version, kPackedVersion);
  EXPECT_EQ(rig.session.OutData().out_flags, PF_OutFlag_NON_PARAM_VARY);
  EXPECT_EQ(rig.session.OutData().num_params, 20);
  EXPECT_EQ(RowListing(rig.host), kRows);
}

// The data of the resource of type "PIPL", id 16000, language U.S. English (1033) in a .res
// file: a run of entries (data size, header size, header, data), each padded to 4 bytes,
// whose header opens with the type and the name in UTF-16 and holds the language at 22.
std::vector<unsigned char> PropertyList(const std::vector<unsigned char>& file) {
  const unsigned char key[] = {'P', 0, 'I', 0, 'P', 0, 'L', 0, 0, 0, 0xFF, 0xFF, 0x80, 0x3E};
  auto word = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | file[at + static_cast<std::size_t>(i)];
    return v;
  };
  for (std::size_t at = 0; at + 32 <= file.size();) {
    const std::uint32_t data = word(at);
    const std::uint32_t header = word(at + 4);
    if (std::memcmp(&file[at + 8], key, sizeof key) == 0 && (word(at + 28) >> 16) == 1033 &&
        at + header + data <= file.size()) {
      return {file.begin() + at + header, file.begin() + at + header + data};
    }
    at = (at + header + data + 3) & ~std::size_t{3};
  }
  return {};
}

TEST(Contracts, PropertyListBytes) {
#ifndef VELUNARIA_PIPL_RES
  GTEST_SKIP() << "no resource compiler was found at configure time";
#else
  std::ifstream in(VELUNARIA_PIPL_RES, std::ios::binary);
  const std::vector<unsigned char> file{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(PropertyList(file), platform::ExpectedPipl());
#endif
}

// The description the host asks for and the about text are pinned by the plug-in session
// check every build runs (windows/plugin_session.cpp); here what that session does not
// reach: a host without a description callback, and the about command where it writes no text.
TEST(Contracts, AnswersWithoutADescriptionCallbackOrAboutText) {
  EXPECT_EQ(PluginDataEntryFunction(nullptr, nullptr, nullptr, "host", "1"),
            PF_Err_INVALID_CALLBACK);
  refhost::Host host;
  // Premiere gets no text; without the ANSI suite nothing is written either.
  for (bool premiere : {true, false}) {
    PF_InData in = host.MakeInData(8, 8);
    if (premiere) in.appl_id = PF_APPL_ID_PREMIERE;
    host.SetSuiteMissing(kPFANSISuite, kPFANSISuiteVersion1, !premiere);
    PF_OutData out{};
    std::strcpy(out.return_msg, "before");
    const long calls = rig::TotalCalls(host);
    EXPECT_EQ(EffectMain(PF_Cmd_ABOUT, &in, &out, nullptr, nullptr, nullptr),
              premiere ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_STREQ(out.return_msg, "before");
    EXPECT_EQ(rig::TotalCalls(host) == calls, premiere);
  }
  EXPECT_EQ(rig::HoldingsMismatch(host, {}), "");
}

#if defined(__linux__)
TEST(Contracts, LibraryExportsOnlyTheTwoEntryPoints) {
  // The symbols the library defines for the dynamic linker, as binutils lists them: by name.
  FILE* nm = popen("nm -D --defined-only --just-symbols '" VELUNARIA_LIBRARY "'", "r");
  ASSERT_NE(nm, nullptr);
  std::string names;
  for (int c = std::fgetc(nm); c != EOF; c = std::fgetc(nm)) names += static_cast<char>(c);
  EXPECT_EQ(pclose(nm), 0);
  EXPECT_EQ(names, "EffectMain\nPluginDataEntryFunction\n");
}
#endif

}  // namespace
}  // namespace velunary
