#include "effect_session.h"

#include <stdexcept>

#include "controls.h"
#include "error_names.h"
#include "errors.h"
#include "fit.h"

namespace velunary::cli {

EffectSession::EffectSession(const RenderPlan& plan, const std::string& pluginPath)
    : feedback_(plan.feedback), width_(plan.width), height_(plan.height), fit_(plan.fit) {
  try {
    library_.emplace(pluginPath);
  } catch (const std::runtime_error& e) {
    throw UsageError(std::string("cannot load the effect (give its library with --plugin): ") +
                     e.what());
  }
  // Poisoning what the effect gives back guards the tests; a render pays for it per frame.
  host_.SetPoisonOnRelease(false);
  session_ = std::make_unique<refhost::Session>(host_, library_->EffectMain(), plan.width,
                                                plan.height, plan.rate);
  CheckEffect(session_->GlobalSetup(), "global setup");
  setUp_ = true;
  CheckEffect(session_->ParamsSetup(), "parameter setup");
  ApplyControls(host_, plan.controls);
  if (!plan.resetBefore.empty()) RequireResetButton();
  if (plan.spawn) PresentLayer(LayerIndex("Spawn Layer"), plan.spawn);
  if (plan.infected) PresentLayer(LayerIndex("Infected Layer"), plan.infected);
  PresentLayer(0, plan.feedback ? nullptr : plan.layer);
}

EffectSession::~EffectSession() {
  if (setUp_) session_->GlobalSetdown();
}

void EffectSession::RequireResetButton() {
  if (resetButton_ < 0) resetButton_ = FindResetButton(host_);
}

int EffectSession::LayerIndex(const char* name) const {
  const int index = host_.FindParam(name);
  if (index < 0 || host_.Param(index).param_type != PF_Param_LAYER) {
    throw UsageError(std::string("the effect has no layer control \"") + name + "\"");
  }
  return index;
}

void EffectSession::PresentLayer(int index, std::shared_ptr<Footage> footage) {
  std::erase_if(footage_, [index](const auto& entry) { return entry.first == index; });
  if (footage == nullptr) {
    host_.SetLayer(index, index == 0 && feedback_
                              ? refhost::Image(width_, height_, PF_Pixel{255, 0, 0, 0})
                              : refhost::Image());
    return;
  }
  if (footage->IsStill()) {
    host_.SetLayer(index, Fitted(footage->StillImage(), width_, height_, fit_));
  } else {
    Footage* source = footage.get();
    // A frame the layer shows as it is is handed over shared, not copied.
    host_.SetLayerProvider(index, [this, source](int frame) {
      std::shared_ptr<const refhost::Image> image = source->FrameAt(frame);
      if (image == nullptr || fit_ == Fit::kStretch ||
          (image->width == width_ && image->height == height_)) {
        return image;
      }
      return std::make_shared<const refhost::Image>(Fitted(*image, width_, height_, fit_));
    });
  }
  footage_.emplace_back(index, std::move(footage));
}

std::string EffectSession::Render(long frame, bool reset) {
  // The effect's own output is its next layer; before frame 0 there is none (black).
  if (feedback_ && frame == 0) PresentLayer(0, nullptr);
  if (reset) {
    RequireResetButton();
    const PF_Err err = session_->ChangeParam(resetButton_);
    if (err != PF_Err_NONE) {
      return "the effect failed the reset before frame " + std::to_string(frame) + ": " +
             DescribeEffectError(err);
    }
  }
  const PF_Err err = session_->RenderFrame(frame);
  for (const auto& [index, footage] : footage_) {
    if (!footage->Failure().empty()) {
      return "stopped at frame " + std::to_string(frame) + ": " + footage->Failure();
    }
  }
  if (err != PF_Err_NONE) {
    return "the effect failed rendering frame " + std::to_string(frame) + ": " +
           DescribeEffectError(err);
  }
  if (feedback_) host_.SetLayer(0, session_->Output());
  return "";
}

}  // namespace velunary::cli
