// Names for the host API's error codes, so a failure reads "PF_Err_OUT_OF_MEMORY (4)".
#ifndef VELUNARY_CLI_ERROR_NAMES_H
#define VELUNARY_CLI_ERROR_NAMES_H

#include <string>

#include "pf_effect.h"

namespace velunary::cli {

// "NAME (number)"; a code the API does not define reads "unknown error (number)".
std::string DescribeEffectError(PF_Err err);

// Throws RenderFailure "the effect failed WHAT: NAME (number)" unless `err` is 0.
void CheckEffect(PF_Err err, const std::string& what);

}  // namespace velunary::cli

#endif
