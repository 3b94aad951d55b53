#include "control_panel.h"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "errors.h"
#include "footage.h"
#include "hidden_parts.h"
#include "keys_file.h"

namespace velunary::preview {
namespace {

// Units the effect's labels do not carry themselves.
const char* UnitOf(const std::string& name) {
  if (name.find("Distance") != std::string::npos) return " px";
  if (name.find("Trail Color") != std::string::npos) return " of 255";
  return "";
}

}  // namespace

ControlPanel::ControlPanel(PreviewEngine& engine, const std::map<int, std::string>& layerPaths,
                           std::string saveKeys)
    : engine_(engine), layerPaths_(layerPaths), saveKeys_(std::move(saveKeys)) {}

std::string ControlPanel::SaveKeys() {
  const std::filesystem::path path(saveKeys_);
  const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
  const int dirFd = cli::OpenFolder(folder);
  const std::string said = dirFd < 0
                               ? std::strerror(errno)
                               : cli::WriteWholeFileAt(dirFd, path.filename().string(),
                                                       cli::KeysFileText(engine_.Recording()));
  if (dirFd >= 0) ::close(dirFd);
  return said.empty() ? "" : "cannot write " + saveKeys_ + ": " + said;
}

void ControlPanel::Draw(const ShownFrame& shown, long generation, float width, double displayRate) {
  // A frame simulated after a change carries it: the pending value has arrived.
  if (generation != generation_) {
    generation_ = generation;
    std::erase_if(pending_, [generation](const auto& p) { return p.second.second < generation; });
  }
  const ImGuiIO& io = ImGui::GetIO();
  ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x - width, 0));
  ImGui::SetNextWindowSize(ImVec2(width, io.DisplaySize.y));
  ImGui::Begin("Velunary", nullptr,
               ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse);
  DrawTransport(shown, displayRate);
  ImGui::Separator();
  // The layer the effect is applied to comes first, as in the host's layer panel.
  ImGui::PushID(0);
  if (layerPaths_[0] == cli::kFeedbackInput) {
    ImGui::TextUnformatted("Layer");
    ImGui::TextDisabled("feedback: the effect's own previous frame");
  } else {
    DrawLayer(ControlInfo{0, "Layer", PF_Param_LAYER, 0, 0, 0, ""});
  }
  ImGui::PopID();
  // Groups fold; the controls of a folded group are not drawn.
  int depth = 0;
  int hiddenFrom = -1;  // the depth at which a folded group began, or -1
  for (const ControlInfo& control : engine_.Controls()) {
    if (control.type == PF_Param_GROUP_END) {
      if (hiddenFrom == depth) hiddenFrom = -1;
      --depth;
      if (hiddenFrom < 0) ImGui::Unindent();
      continue;
    }
    if (control.type == PF_Param_GROUP_START) {
      ++depth;
      if (hiddenFrom < 0) {
        ImGui::PushID(control.index);
        const bool open =
            ImGui::CollapsingHeader(control.name.c_str(), ImGuiTreeNodeFlags_DefaultOpen);
        ImGui::PopID();
        if (open) {
          ImGui::Indent();
        } else {
          hiddenFrom = depth;
        }
      }
      continue;
    }
    if (hiddenFrom >= 0) continue;
    ImGui::PushID(control.index);
    DrawControl(control, shown);
    ImGui::PopID();
  }
  if (!saveKeys_.empty()) {
    ImGui::Separator();
    if (ImGui::Button("Save keys")) {
      const std::string failure = SaveKeys();
      message_ = failure.empty() ? "saved " + saveKeys_ : failure;
    }
    ImGui::SameLine();
    ImGui::TextDisabled("%s", saveKeys_.c_str());
  }
  if (!message_.empty()) ImGui::TextWrapped("%s", message_.c_str());
  ImGui::End();
}

void ControlPanel::DrawTransport(const ShownFrame& shown, double displayRate) {
  // Keys steer the transport unless the user is typing a path.
  const bool keys = !ImGui::GetIO().WantTextInput;
  if (ImGui::Button(engine_.Playing() ? "Pause" : "Play") ||
      (keys && ImGui::IsKeyPressed(ImGuiKey_Space, false))) {
    if (engine_.Playing()) {
      engine_.Pause();
    } else {
      engine_.Play(true);
    }
  }
  ImGui::SameLine();
  if (ImGui::Button("Step") || (keys && ImGui::IsKeyPressed(ImGuiKey_RightArrow))) {
    engine_.Step();
  }
  ImGui::SameLine();
  if (ImGui::Button("Restart") || (keys && ImGui::IsKeyPressed(ImGuiKey_Home, false))) {
    engine_.Send(Request::Restart());
  }
  ImGui::Text("frame %ld", shown.frame);
  ImGui::SameLine();
  ImGui::TextDisabled("simulation %.1f fps, display %.0f fps", engine_.SimulationRate(),
                      displayRate);
  if (const std::string failure = engine_.Failure(); !failure.empty()) {
    ImGui::TextWrapped("stopped: %s", failure.c_str());
  }
}

void ControlPanel::DrawControl(const ControlInfo& control, const ShownFrame& shown) {
  const auto pending = pending_.find(control.index);
  const auto at = shown.values.find(control.index);
  double value = pending != pending_.end()  ? pending->second.first
                 : at != shown.values.end() ? at->second
                                            : 0;
  bool changed = false;
  switch (control.type) {
    case PF_Param_FLOAT_SLIDER: {
      char format[32];
      std::snprintf(format, sizeof format, "%%.%df%s", control.precision, UnitOf(control.name));
      ImGui::TextUnformatted(control.name.c_str());
      ImGui::SetNextItemWidth(-1);
      changed = ImGui::SliderScalar("##value", ImGuiDataType_Double, &value, &control.min,
                                    &control.max, format, ImGuiSliderFlags_AlwaysClamp);
      break;
    }
    case PF_Param_CHECKBOX: {
      bool on = value != 0;
      changed = ImGui::Checkbox(control.name.c_str(), &on);
      value = on ? 1 : 0;
      break;
    }
    case PF_Param_BUTTON:
      if (ImGui::Button(control.buttonText.empty() ? control.name.c_str()
                                                   : control.buttonText.c_str())) {
        engine_.Send(Request::Reset());
      }
      return;
    case PF_Param_LAYER:
      DrawLayer(control);
      return;
    default:
      return;
  }
  if (changed) {
    pending_[control.index] = {value, generation_};
    engine_.Send(Request::Control(control.index, value));
  }
}

void ControlPanel::DrawLayer(const ControlInfo& control) {
  std::string& path = layerPaths_[control.index];
  ImGui::TextUnformatted(control.name.c_str());
  ImGui::SetNextItemWidth(-110);
  ImGui::InputTextWithHint(
      "##path",
      control.index == 0 ? "built-in web; or PNG, sequence, clip" : "a PNG, a sequence or a clip",
      &path);
  ImGui::SameLine();
  if (ImGui::Button("Load") && !(path.empty() && control.index == 0)) {
    try {
      // The recording names the footage by a path that holds from any folder.
      engine_.Send(path.empty()
                       ? Request::Layer(control.index, nullptr, "")
                       : Request::Layer(control.index, cli::Footage::Open(control.name, path),
                                        std::filesystem::absolute(path).string()));
      message_.clear();
    } catch (const std::exception& e) {
      message_ = e.what();
    }
  }
  if (control.index == 0) return;  // the effect always has its own layer
  ImGui::SameLine();
  if (ImGui::Button("None")) {
    path.clear();
    engine_.Send(Request::Layer(control.index, nullptr, ""));
  }
}

}  // namespace velunary::preview
