// The session is a fixed script so that two builds of the plug-in on different platforms
// can be held to the same pixels. The scene exercises every input the simulation reads on
// every frame: a non-black layer to sense, a Spawn Layer, a keyframed slider (each frame
// reads its own value), infection switched on part-way by a checkbox keyframe, and an
// Infected Layer that feeds the InfectionMap.
#include "windows/plugin_session.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "host/param_index.h"
#include "refhost/host.h"
#include "refhost/image.h"
#include "refhost/session.h"
#include "scenes/demo_layer.h"
#include "scenes/spawn_shape.h"

namespace velunary::platform {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr long kReset = -1;  // marks the Reset particles button in the script

// In order, then back to an earlier frame (a replay from frame 0) and a jump ahead (another
// replay); after the reset, onwards from where playback stood, back to the start, and a
// long replay that lets the network spread over the whole layer.
constexpr long kScript[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 5, 12, kReset, 13, 14, 15, 0, 3, 60};

// The frame checked for trail: by then every particle has deposited several times.
constexpr long kTrailCheckFrame = 9;

constexpr std::string_view kAboutText =
    "VELUNARY v1.0\rThank you for using Velunary. Let networks grow!";

// Black with a bright square in the upper left quarter: particles that walk into it catch
// infection, the rest stay healthy, so both settings sets take part.
refhost::Image InfectionSource(int width, int height) {
  refhost::Image image(width, height, PF_Pixel{255, 0, 0, 0});
  for (int y = height / 8; y < height / 3; ++y) {
    for (int x = width / 8; x < width / 3; ++x) {
      image.At(x, y) = PF_Pixel{255, 200, 200, 200};
    }
  }
  return image;
}

void SetUpScene(refhost::Host& host) {
  host.SetLayer(Input, scenes::DemoLayer(kWidth, kHeight));
  host.SetLayer(SpawnLayer, scenes::SpawnDisc(kWidth, kHeight));
  host.SetLayer(InfectedLayer, InfectionSource(kWidth, kHeight));
  host.SetValue(RandomSeed, 1234);
  host.SetValue(ParticleCount, 10);
  host.SetKeyframe(SensorAngle, 0, 45);
  host.SetKeyframe(SensorAngle, 9, 30.5);
  host.SetValue(Decay, 0.25);
  host.SetKeyframe(Infection, 0, 0);
  host.SetKeyframe(Infection, 4, 1);
}

bool WritePam(const refhost::Image& image, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P7\nWIDTH " << image.width << "\nHEIGHT " << image.height
      << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  for (const PF_Pixel& p : image.pixels) {
    const char rgba[4] = {static_cast<char>(p.red), static_cast<char>(p.green),
                          static_cast<char>(p.blue), static_cast<char>(p.alpha)};
    out.write(rgba, sizeof rgba);
  }
  return static_cast<bool>(out);
}

bool HasColour(const refhost::Image& image) {
  for (const PF_Pixel& p : image.pixels) {
    if (p.red != 0 || p.green != 0 || p.blue != 0) {
      return true;
    }
  }
  return false;
}

// What PluginDataEntryFunction passed to the description callback.
struct Description {
  PF_PluginDataPtr inPtr = nullptr;
  std::string name, matchName, category, entryPoint;
  A_long type = 0, version = 0, subVersion = 0, reserved = 0;
  int calls = 0;
};

constexpr PF_Err kCallbackResult = 4711;

PF_Err RecordDescription(PF_PluginDataPtr inPtr, const A_char* name, const A_char* matchName,
                         const A_char* category, const A_char* entryPoint, A_long type,
                         A_long version, A_long subVersion, A_long reserved) {
  auto* d = static_cast<Description*>(inPtr);
  d->inPtr = inPtr;
  d->name = name;
  d->matchName = matchName;
  d->category = category;
  d->entryPoint = entryPoint;
  d->type = type;
  d->version = version;
  d->subVersion = subVersion;
  d->reserved = reserved;
  ++d->calls;
  return kCallbackResult;
}

template <typename T>
void Expect(std::vector<std::string>& failures, const char* what, const T& actual,
            const T& expected) {
  if (!(actual == expected)) {
    failures.push_back(std::string(what) + " differs from the expected value");
  }
}

}  // namespace

std::vector<std::string> CheckPluginDataEntry(PF_PluginDataEntryFunc entry) {
  std::vector<std::string> failures;
  Description d;
  const PF_Err result = entry(&d, RecordDescription, nullptr, "Reference Host", "1.0");
  Expect(failures, "PluginDataEntryFunction's result", result, kCallbackResult);
  Expect(failures, "the number of description callbacks", d.calls, 1);
  Expect(failures, "the opaque pointer", d.inPtr, static_cast<PF_PluginDataPtr>(&d));
  Expect(failures, "the name", d.name, std::string("Didezeri"));
  Expect(failures, "the match name", d.matchName, std::string("DIVA Rezederu"));
  Expect(failures, "the category", d.category, std::string("Sample Plug-ins"));
  Expect(failures, "the entry point name", d.entryPoint, std::string("EffectMain"));
  Expect(failures, "the kind", d.type, A_long{0x65464B54});
  Expect(failures, "the API version", d.version, A_long{13});
  Expect(failures, "the API subversion", d.subVersion, A_long{17});
  Expect(failures, "the reserved information", d.reserved, A_long{8});
  return failures;
}

std::vector<std::string> RunPluginSession(PF_EffectMainFunc effectMain, const std::string& outDir) {
  std::vector<std::string> failures;
  auto check = [&failures](const std::string& what, PF_Err err) {
    if (err != PF_Err_NONE) {
      failures.push_back(what + " returned " + std::to_string(err));
    }
  };

  std::error_code made;
  std::filesystem::create_directories(outDir, made);
  if (made) {
    return {"cannot create " + outDir + ": " + made.message()};
  }

  refhost::Host host;
  refhost::Session session(host, effectMain, kWidth, kHeight, refhost::FrameRate{1, 24});
  check("global setup", session.GlobalSetup());
  check("parameter setup", session.ParamsSetup());
  SetUpScene(host);

  int sequence = 0;
  for (const long frame : kScript) {
    if (frame == kReset) {
      check("the Reset particles button", session.ChangeParam(ResetButton));
      continue;
    }
    const std::string label = "render of frame " + std::to_string(frame);
    check(label, session.RenderFrame(frame));
    const refhost::Image output = session.Output();
    char name[32];
    std::snprintf(name, sizeof name, "%02d-frame%03ld.pam", sequence++, frame);
    if (!WritePam(output, outDir + "/" + name)) {
      failures.push_back("cannot write " + outDir + "/" + name);
    }
    if (frame == kTrailCheckFrame && !HasColour(output)) {
      failures.push_back(label + " is black: the session shows nothing to compare");
    }
  }

  std::string about;
  check("about", session.About(&about));
  Expect(failures, "the about text", std::string_view(about), kAboutText);
  check("global setdown", session.GlobalSetdown());

  const refhost::Ledger ledger = host.GetLedger();
  if (!ledger.Empty()) {
    failures.push_back("the effect still holds host resources after global setdown: " +
                       std::to_string(ledger.liveWorlds) + " worlds, " +
                       std::to_string(ledger.liveHandles) + " handles, " +
                       std::to_string(ledger.acquiredSuites) + " suites, " +
                       std::to_string(ledger.openCheckouts) + " check-outs, " +
                       std::to_string(ledger.faults) + " faults");
    for (const std::string& fault : ledger.faultLog) {
      failures.push_back("host fault: " + fault);
    }
  }
  return failures;
}

}  // namespace velunary::platform
