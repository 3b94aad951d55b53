// Loading an effect library and finding its two entry points, with the system's loader.
#include "refhost/plugin_library.h"

#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace refhost {

namespace {

#ifdef _WIN32
std::string LastError() {
  return "Windows error " + std::to_string(GetLastError());
}
void* Open(const std::string& path) {
  return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
}
void* Symbol(void* module, const char* name) {
  FARPROC proc = GetProcAddress(static_cast<HMODULE>(module), name);
  void* address = nullptr;
  static_assert(sizeof proc == sizeof address);
  std::memcpy(&address, &proc, sizeof address);
  return address;
}
void Close(void* module) {
  FreeLibrary(static_cast<HMODULE>(module));
}
#else
std::string LastError() {
  const char* reason = dlerror();
  return reason != nullptr ? reason : "unknown reason";
}
void* Open(const std::string& path) {
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* Symbol(void* module, const char* name) {
  return dlsym(module, name);
}
void Close(void* module) {
  dlclose(module);
}
#endif

// Object and function pointers are converted through their bytes, which both loaders
// guarantee to be meaningful.
template <typename Function>
Function Find(void* module, const std::string& path, const char* name) {
  void* address = Symbol(module, name);
  if (address == nullptr) {
    const std::string reason = LastError();
    Close(module);
    throw std::runtime_error("refhost: " + path + " has no entry point " + name + ": " + reason);
  }
  Function function;
  static_assert(sizeof function == sizeof address);
  std::memcpy(&function, &address, sizeof function);
  return function;
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) {
  module_ = Open(path);
  if (module_ == nullptr) {
    throw std::runtime_error("refhost: cannot load " + path + ": " + LastError());
  }
  effectMain_ = Find<PF_EffectMainFunc>(module_, path, "EffectMain");
  pluginDataEntry_ = Find<PF_PluginDataEntryFunc>(module_, path, "PluginDataEntryFunction");
}

PluginLibrary::~PluginLibrary() {
  Close(module_);
}

}  // namespace refhost
