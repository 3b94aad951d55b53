#include "error_names.h"

#include "errors.h"

namespace velunary::cli {
namespace {

struct ErrorName {
  PF_Err code;
  const char* name;
};

constexpr ErrorName kNames[] = {
    {PF_Err_NONE, "PF_Err_NONE"},
    {PF_Err_OUT_OF_MEMORY, "PF_Err_OUT_OF_MEMORY"},
    {PF_Err_INTERNAL_STRUCT_DAMAGED, "PF_Err_INTERNAL_STRUCT_DAMAGED"},
    {PF_Err_INVALID_INDEX, "PF_Err_INVALID_INDEX"},
    {PF_Err_UNRECOGNIZED_PARAM_TYPE, "PF_Err_UNRECOGNIZED_PARAM_TYPE"},
    {PF_Err_INVALID_CALLBACK, "PF_Err_INVALID_CALLBACK"},
    {PF_Err_BAD_CALLBACK_PARAM, "PF_Err_BAD_CALLBACK_PARAM"},
    {PF_Interrupt_CANCEL, "PF_Interrupt_CANCEL"},
    {PF_Err_CANNOT_PARSE_KEYFRAME_TEXT, "PF_Err_CANNOT_PARSE_KEYFRAME_TEXT"},
};

}  // namespace

std::string DescribeEffectError(PF_Err err) {
  const char* name = "unknown error";
  for (const ErrorName& entry : kNames) {
    if (entry.code == err) name = entry.name;
  }
  return std::string(name) + " (" + std::to_string(err) + ")";
}

void CheckEffect(PF_Err err, const std::string& what) {
  if (err != PF_Err_NONE) {
    throw RenderFailure("the effect failed " + what + ": " + DescribeEffectError(err));
  }
}

}  // namespace velunary::cli
