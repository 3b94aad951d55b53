// The plug-in as a host meets it: a library loaded at run time whose only exports are the
// two entry points, and a whole session through them.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "host/effect_fixture.h"
#include "host/param_index.h"
#include "refhost/plugin_library.h"

#if defined(__linux__)
#include <elf.h>
#endif

namespace velunary::testing {
namespace {

#if defined(__linux__)
// The defined, non-local symbols of an ELF64 library's dynamic symbol table: what dlsym
// and the dynamic linker can see.
std::set<std::string> DynamicExports(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> file{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
  std::set<std::string> names;
  Elf64_Ehdr header;
  if (file.size() < sizeof header) return names;
  std::memcpy(&header, file.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_shoff + std::size_t{header.e_shnum} * sizeof(Elf64_Shdr) > file.size()) {
    return names;
  }
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  std::memcpy(sections.data(), file.data() + header.e_shoff, sections.size() * sizeof(Elf64_Shdr));
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_type != SHT_DYNSYM || section.sh_link >= sections.size()) continue;
    const Elf64_Shdr& strings = sections[section.sh_link];
    for (std::size_t offset = 0; offset + sizeof(Elf64_Sym) <= section.sh_size;
         offset += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      std::memcpy(&symbol, file.data() + section.sh_offset + offset, sizeof symbol);
      if (symbol.st_shndx == SHN_UNDEF || ELF64_ST_BIND(symbol.st_info) == STB_LOCAL) continue;
      names.insert(file.data() + strings.sh_offset + symbol.st_name);
    }
  }
  return names;
}

TEST(SharedLibraryTest, ExportsOnlyTheTwoEntryPoints) {
  const std::set<std::string> expected = {"EffectMain", "PluginDataEntryFunction"};
  EXPECT_EQ(DynamicExports(VELUNARIA_LIBRARY), expected);
}
#endif

// Setup, parameters, 30 frames, a reset, 10 more frames, the about text and setdown, with
// every command answered 0; returns the last frame.
refhost::Image RunSession(refhost::Host& host, PF_EffectMainFunc effectMain, std::string* about) {
  refhost::Session session(host, effectMain, kWidth, kHeight, refhost::FrameRate{});
  EXPECT_EQ(session.GlobalSetup(), PF_Err_NONE);
  EXPECT_EQ(session.ParamsSetup(), PF_Err_NONE);
  host.SetLayer(0, TestLayer());
  for (long frame = 0; frame < 30; ++frame) {
    EXPECT_EQ(session.RenderFrame(frame), PF_Err_NONE) << frame;
  }
  EXPECT_EQ(session.ChangeParam(ResetButton), PF_Err_NONE);
  EXPECT_EQ(session.OutData().out_flags, PF_OutFlag_FORCE_RERENDER);
  for (long frame = 0; frame < 10; ++frame) {
    EXPECT_EQ(session.RenderFrame(frame), PF_Err_NONE) << frame;
  }
  const refhost::Image last = session.Output();
  EXPECT_EQ(session.About(about), PF_Err_NONE);
  EXPECT_EQ(session.GlobalSetdown(), PF_Err_NONE);
  return last;
}

TEST(SharedLibraryTest, FullSessionLeavesNothingBehind) {
  std::string loadedAbout;
  refhost::Image loadedFrame;
  {
    const refhost::PluginLibrary library(VELUNARIA_LIBRARY);
    refhost::Host host;
    loadedFrame = RunSession(host, library.EffectMain(), &loadedAbout);
    const refhost::Ledger ledger = host.GetLedger();
    EXPECT_TRUE(ledger.Empty()) << ledger.liveWorlds << " worlds, " << ledger.liveHandles
                                << " handles, " << ledger.acquiredSuites << " suites, "
                                << ledger.faults << " faults";
  }
  EXPECT_EQ(loadedAbout, "VELUNARY v1.0\rThank you for using Velunary. Let networks grow!");

  // The library keeps its own simulation: the same session through the statically linked
  // effect, from its load state, reaches the same frame.
  ResetProcessStateForTesting();
  refhost::Host host;
  std::string linkedAbout;
  const refhost::Image linkedFrame = RunSession(host, EffectMain, &linkedAbout);
  EXPECT_TRUE(host.GetLedger().Empty());
  EXPECT_EQ(loadedFrame, linkedFrame);
  EXPECT_NE(loadedFrame, refhost::Image(kWidth, kHeight, PF_Pixel{255, 0, 0, 0}));
}

}  // namespace
}  // namespace velunary::testing
