// One fixed session of the plug-in, run through its real binary entry points, identical on
// every platform: the Windows driver runs it inside velunaria.aex under Wine, the Linux
// driver inside the shared library, and their frames are compared file by file.
#ifndef VELUNARY_WINDOWS_PLUGIN_SESSION_H
#define VELUNARY_WINDOWS_PLUGIN_SESSION_H

#include <string>
#include <vector>

#include "pf_effect.h"

namespace velunary::platform {

// Checks that PluginDataEntryFunction hands the host's description callback exactly the
// effect's second description, through the platform's calling convention. Returns one line
// per mismatch.
std::vector<std::string> CheckPluginDataEntry(PF_PluginDataEntryFunc entry);

// Runs the session: global setup, parameter setup, a scene with a non-black layer and
// keyframed controls, frames 0 to 9, then 5 and 12 (a replay and a jump), the Reset
// particles button, a few more frames, the about request and global setdown. Every output
// is written into `outDir` (created when missing) as "<sequence>-frame<k>.pam", a PAM image
// with tuple type RGB_ALPHA. Returns one line per failed check (a command's result, the
// about text, the ledger after setdown, a frame that should not be black); empty when all
// passed.
std::vector<std::string> RunPluginSession(PF_EffectMainFunc effectMain, const std::string& outDir);

}  // namespace velunary::platform

#endif
