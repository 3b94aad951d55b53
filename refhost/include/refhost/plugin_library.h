// Loads an effect library at run time (dlopen, or LoadLibrary on Windows) and finds its
// two entry points, so the host drives the real binary interface.
#ifndef VELUNARY_REFHOST_PLUGIN_LIBRARY_H
#define VELUNARY_REFHOST_PLUGIN_LIBRARY_H

#include <string>

#include "pf_effect.h"

namespace refhost {

class PluginLibrary {
 public:
  // Throws std::runtime_error naming the path and the system's reason when the library
  // cannot be loaded or lacks either entry point.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  PF_EffectMainFunc EffectMain() const { return effectMain_; }
  PF_PluginDataEntryFunc PluginDataEntry() const { return pluginDataEntry_; }

 private:
  void* module_ = nullptr;
  PF_EffectMainFunc effectMain_ = nullptr;
  PF_PluginDataEntryFunc pluginDataEntry_ = nullptr;
};

}  // namespace refhost

#endif
