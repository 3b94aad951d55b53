// The effect's version, told to the host at global setup, in the property list and in the
// about text.
#ifndef VELUNARY_PLUGIN_EFFECT_VERSION_H
#define VELUNARY_PLUGIN_EFFECT_VERSION_H

#include "pf_effect.h"

namespace velunary {

inline constexpr int kMajorVersion = 1;
inline constexpr int kMinorVersion = 0;

// The host's packed version word: major number from bit 19, minor from bit 15, then bug
// fix, stage and build, all zero here. 1.0 packs to 0x80000; the property list's "eVER"
// holds the same value.
inline constexpr A_u_long kPackedVersion =
    (static_cast<A_u_long>(kMajorVersion) << 19) | (static_cast<A_u_long>(kMinorVersion) << 15);

static_assert(kPackedVersion == 0x80000);

}  // namespace velunary

#endif
