#include "controls.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "errors.h"

namespace velunary::cli {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

double CheckboxValue(const ControlAssignment& a) {
  const std::string v = Lower(a.value);
  if (v == "on" || v == "1") return 1;
  if (v == "off" || v == "0") return 0;
  throw UsageError(a.option + ": \"" + a.name + "\" is a checkbox; its value is on, off, 1 or 0");
}

double SliderValue(const ControlAssignment& a, const PF_ParamDef& def) {
  const auto value = ParseNumber(a.value);
  if (!value) throw UsageError(a.option + ": \"" + a.value + "\" is not a number");
  const double min = def.u.fs_d.valid_min;
  const double max = def.u.fs_d.valid_max;
  if (*value < min || *value > max) {
    const int decimals = std::max<int>(def.u.fs_d.precision, 0);
    throw UsageError(a.option + ": " + a.value + " is outside the range of \"" + def.name + "\", " +
                     FormatValue(min, decimals) + " to " + FormatValue(max, decimals));
  }
  return *value;
}

const char* TypeName(PF_ParamType type) {
  switch (type) {
    case PF_Param_LAYER:
      return "layer";
    case PF_Param_CHECKBOX:
      return "checkbox";
    case PF_Param_FLOAT_SLIDER:
      return "float slider";
    case PF_Param_GROUP_START:
      return "group start";
    case PF_Param_GROUP_END:
      return "group end";
    case PF_Param_BUTTON:
      return "button";
    default:
      return "other";
  }
}

}  // namespace

std::string FormatValue(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string s = text;
  if (s.find('.') != std::string::npos) {
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

double ControlValue(const refhost::Host& host, int index, const ControlAssignment& a) {
  const PF_ParamDef& def = host.Param(index);
  if (def.param_type == PF_Param_CHECKBOX) return CheckboxValue(a);
  if (def.param_type == PF_Param_FLOAT_SLIDER) return SliderValue(a, def);
  if (def.param_type == PF_Param_LAYER) {
    throw UsageError(a.option + ": \"" + def.name +
                     "\" is a layer; give its image with --input, --spawn or --infected");
  }
  throw UsageError(a.option + ": \"" + def.name + "\" is a " + TypeName(def.param_type) +
                   " and takes no value");
}

int ControlIndex(const refhost::Host& host, const ControlAssignment& a) {
  const int index = host.FindParam(a.name);
  if (index < 0) {
    throw UsageError(a.option + ": the effect has no control named \"" + a.name +
                     "\" (velunary params lists them)");
  }
  return index;
}

void ApplyControls(refhost::Host& host, const std::vector<ControlAssignment>& assignments) {
  std::map<int, const ControlAssignment*> constants;
  std::map<int, const ControlAssignment*> keyed;
  for (const ControlAssignment& a : assignments) {
    const int index = ControlIndex(host, a);
    const double value = ControlValue(host, index, a);
    const PF_ParamDef& def = host.Param(index);
    auto& mine = a.frame ? keyed : constants;
    const auto& other = a.frame ? constants : keyed;
    if (other.count(index) != 0) {
      throw UsageError(a.option + ": \"" + def.name + "\" is already given by " +
                       other.at(index)->option + "; use either --set or --key for a control");
    }
    mine[index] = &a;
    try {
      if (a.frame) {
        host.SetKeyframe(index, *a.frame, value);
      } else {
        host.SetValue(index, value);
      }
    } catch (const std::invalid_argument& e) {
      throw UsageError(a.option + ": " + e.what());
    }
  }
}

int FindResetButton(const refhost::Host& host) {
  for (int i = 0; i < host.ParamCount(); ++i) {
    if (host.Param(i).param_type == PF_Param_BUTTON) return i;
  }
  throw UsageError("the effect declares no reset button");
}

std::string ControlsTable(const refhost::Host& host) {
  std::string table;
  std::string others;
  char line[160];
  std::snprintf(line, sizeof line, "%-26s %-13s %-20s %s\n", "name (for --set and --key)", "type",
                "range", "default");
  table += line;
  // Only what --set takes is listed as a control; the layers and the button have options of
  // their own, and the groups are the host's folding of the list, nothing to set.
  for (int i = 1; i < host.ParamCount(); ++i) {
    const PF_ParamDef& def = host.Param(i);
    std::string range;
    std::string dephault;
    if (def.param_type == PF_Param_FLOAT_SLIDER) {
      const int decimals = std::max<int>(def.u.fs_d.precision, 0);
      range = FormatValue(def.u.fs_d.valid_min, decimals) + " to " +
              FormatValue(def.u.fs_d.valid_max, decimals);
      dephault = FormatValue(def.u.fs_d.value, decimals);
    } else if (def.param_type == PF_Param_CHECKBOX) {
      range = "off, on";
      dephault = def.u.bd.value != 0 ? "on" : "off";
    } else {
      const std::string name = def.name;
      const char* option = name == "Spawn Layer"               ? "--spawn FOOTAGE"
                           : name == "Infected Layer"          ? "--infected FOOTAGE"
                           : def.param_type == PF_Param_BUTTON ? "--reset-before FRAME"
                                                               : nullptr;
      const std::string shown = def.param_type == PF_Param_BUTTON && def.u.button_d.u.namesptr
                                    ? std::string(def.u.button_d.u.namesptr)
                                    : name;
      if (option != nullptr) {
        std::snprintf(line, sizeof line, "  %-24s %s\n", shown.c_str(), option);
        others += line;
      }
      continue;
    }
    std::snprintf(line, sizeof line, "%-26s %-13s %-20s %s\n", def.name, TypeName(def.param_type),
                  range.c_str(), dephault.c_str());
    table += line;
  }
  return table + "\nSet with options of their own:\n" + others;
}

}  // namespace velunary::cli
