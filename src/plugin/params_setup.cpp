// One record is filled and handed to the host per row; the host keeps a copy. The group
// rows 10, 16 and 19 are not cleared first: they go out in the record the row before left
// behind, with only their type, id (and for row 10 the name) changed, so they carry that
// row's flags, name and type-specific fields. That is what hosts have always received for
// these rows, so it stays that way.
#include "plugin/params_setup.h"

#include <cstring>

#include "host/param_index.h"

namespace velunary {

namespace {

// The host's default tolerance for audio curves, which every slider declares.
constexpr PF_FpShort kCurveTolerance = 0.05f;

// A float slider whose valid range is also its slider's travel.
struct SliderRow {
  A_long id;
  const char* name;
  PF_FpShort min;
  PF_FpShort max;
  double dephault;  // the float copy rounds Decay's 0.1; every other default is exact
  A_short precision;
};

class Declarer {
 public:
  explicit Declarer(const PF_InData* in_data) : in_data_(in_data) {}

  // A fresh row: the whole record zero, then type, id, name and flags.
  void Begin(PF_ParamType type, A_long id, const char* name, PF_ParamFlags flags) {
    std::memset(&def_, 0, sizeof def_);
    def_.param_type = type;
    def_.uu.id = id;
    SetName(name);
    def_.flags = flags;
  }

  // A row in what the previous row left in the record, with its own type and id.
  void CarryOver(PF_ParamType type, A_long id) {
    def_.param_type = type;
    def_.uu.id = id;
  }

  void SetName(const char* name) { in_data_->utils->ansi.strcpy(def_.name, name); }

  PF_ParamDef& Def() { return def_; }

  PF_Err Add() { return in_data_->inter.add_param(in_data_->effect_ref, -1, &def_); }

 private:
  const PF_InData* in_data_;
  PF_ParamDef def_;
};

PF_Err DeclareSlider(Declarer& declarer, const SliderRow& row) {
  declarer.Begin(PF_Param_FLOAT_SLIDER, row.id, row.name, PF_ParamFlag_SUPERVISE);
  PF_FloatSliderDef& slider = declarer.Def().u.fs_d;
  slider.value = row.dephault;
  slider.dephault = static_cast<PF_FpShort>(row.dephault);
  slider.valid_min = row.min;
  slider.slider_min = row.min;
  slider.valid_max = row.max;
  slider.slider_max = row.max;
  slider.precision = row.precision;
  slider.curve_tolerance = kCurveTolerance;
  return declarer.Add();
}

PF_Err DeclareLayer(Declarer& declarer, A_long id, const char* name) {
  declarer.Begin(PF_Param_LAYER, id, name, PF_ParamFlag_SUPERVISE);
  declarer.Def().u.ld.dephault = PF_LayerDefault_NONE;
  return declarer.Add();
}

// Ids equal indices on every row but "Spawn Layer" (id 2) and "Random Seed" (id 1).
constexpr A_long kSpawnLayerId = 2;
constexpr SliderRow kRandomSeed{1, "Random Seed", -32768, 32767, 32767, 0};

constexpr SliderRow kHealthySliders[] = {
    {SensorAngle, "Sensor Angle", 0, 360, 45, 1},
    {TurnAngle, "Turn Angle", 0, 360, 45, 1},
    {SensorDistance, "Sensor Distance", 1, 100, 9, 2},
    {Decay, "Decay", 0, 1, 0.1, 2},
    {TrailColor, "Trail Color", 1, 255, 50, 0},
    {ParticleCount, "Particle Count in %", 2, 30, 15, 0},
};

constexpr SliderRow kInfectedSliders[] = {
    {InfectedSensorAngle, "Infected Sensor Angle", 0, 360, 13, 1},
    {InfectedTurnAngle, "Infected Turn Angle", 0, 360, 7, 1},
    {InfectedSensorDistance, "Infected Sensor Distance", 1, 100, 15, 2},
    {InfectedTrailColor, "Infected Trail Color", 1, 255, 100, 0},
};

// Rows 1 to 19 in index order; the first refused row ends the declaration.
PF_Err DeclareAll(Declarer& declarer) {
  if (PF_Err err = DeclareLayer(declarer, kSpawnLayerId, "Spawn Layer")) return err;
  if (PF_Err err = DeclareSlider(declarer, kRandomSeed)) return err;
  for (const SliderRow& row : kHealthySliders) {
    if (PF_Err err = DeclareSlider(declarer, row)) return err;
  }

  declarer.Begin(PF_Param_CHECKBOX, Infection, "Infection", PF_ParamFlag_SUPERVISE);
  declarer.Def().u.bd.u.nameptr = "";  // no text beside the box
  if (PF_Err err = declarer.Add()) return err;

  declarer.CarryOver(PF_Param_GROUP_START, InfectionGroupStart);
  declarer.SetName("Infection");
  if (PF_Err err = declarer.Add()) return err;

  if (PF_Err err = DeclareLayer(declarer, InfectedLayer, "Infected Layer")) return err;
  for (const SliderRow& row : kInfectedSliders) {
    if (PF_Err err = DeclareSlider(declarer, row)) return err;
  }

  declarer.CarryOver(PF_Param_GROUP_END, InfectionGroupEnd);
  if (PF_Err err = declarer.Add()) return err;

  declarer.Begin(PF_Param_GROUP_START, SettingsGroupStart, "Settings", 0);
  if (PF_Err err = declarer.Add()) return err;

  declarer.Begin(PF_Param_BUTTON, ResetButton, "Button", PF_ParamFlag_SUPERVISE);
  declarer.Def().u.button_d.u.namesptr = "Reset particles";
  if (PF_Err err = declarer.Add()) return err;

  declarer.CarryOver(PF_Param_GROUP_END, SettingsGroupEnd);
  return declarer.Add();
}

}  // namespace

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                   PF_LayerDef* /*output*/) {
  Declarer declarer(in_data);
  const PF_Err err = DeclareAll(declarer);
  if (err == PF_Err_NONE && out_data != nullptr) {
    out_data->num_params = Count;
  }
  return err;
}

}  // namespace velunary
