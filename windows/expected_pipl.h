// The bytes the plug-in's property list resource must hold, encoded here from the list of
// properties rather than read from the resource script, so a mistake in either shows up as
// a difference.
#ifndef VELUNARY_WINDOWS_EXPECTED_PIPL_H
#define VELUNARY_WINDOWS_EXPECTED_PIPL_H

#include <vector>

namespace velunary::platform {

// 286 bytes: version 1, a zero word, twelve properties in their fixed order.
std::vector<unsigned char> ExpectedPipl();

}  // namespace velunary::platform

#endif
