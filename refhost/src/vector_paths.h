// The two compilations of a hot pixel loop: one for the processor's 256-bit (AVX2) vectors,
// taken at run time where the processor has them and the host allows it, and one with the
// 128-bit vectors every x86-64 has. The loop, and so the bytes, are the same either way.
// Not for Windows, where GCC cannot align the stack for 32-byte spills; that build keeps
// the 128-bit loops.
#ifndef VELUNARY_REFHOST_VECTOR_PATHS_H
#define VELUNARY_REFHOST_VECTOR_PATHS_H

namespace refhost {

#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define VELUNARY_WIDE_VECTORS 1
inline bool CpuHasWideVectors() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}

// kPass must be always_inline, so that it is compiled anew inside this function.
template <auto kPass, class... Args>
[[gnu::target("avx2")]] void WidePass(const Args&... args) {
  kPass(args...);
}
#else
#define VELUNARY_WIDE_VECTORS 0
inline bool CpuHasWideVectors() {
  return false;
}
#endif

// kPass(args...) compiled for wide vectors when `wide` and the processor has them.
template <auto kPass, class... Args>
void RunPass(bool wide, const Args&... args) {
#if VELUNARY_WIDE_VECTORS
  if (wide && CpuHasWideVectors()) {
    WidePass<kPass>(args...);
    return;
  }
#endif
  static_cast<void>(wide);
  kPass(args...);
}

}  // namespace refhost

#endif
