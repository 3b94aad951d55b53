/*
 * The host's suites as Velunary uses them: the basic suite through which every other
 * suite is acquired, and the function tables of the suites the effect calls.
 *
 * A suite is acquired by name and version and must be released once per successful
 * acquisition, with the same name and version.
 */
#ifndef VELUNARY_SDK_PF_SUITES_H
#define VELUNARY_SDK_PF_SUITES_H

#include "pf_effect.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long SPErr;

/*
 * AcquireSuite: stores the suite's function table in *suite and returns 0, or returns a
 *   nonzero code (and stores nothing usable) when the host has no such suite.
 * ReleaseSuite: ends one acquisition of the suite.
 */
typedef struct SPBasicSuite {
  SPErr (*AcquireSuite)(const char* name, A_long version, const void** suite);
  SPErr (*ReleaseSuite)(const char* name, A_long version);
} SPBasicSuite;

#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion2 2

/*
 * Memory handles.
 * host_new_handle: a new handle of `size` bytes (0 allowed), or null when memory is short.
 * host_lock_handle: the address of the handle's bytes, valid until disposal.
 * host_unlock_handle: ends a lock (the effect never calls it).
 * host_dispose_handle: frees the handle.
 * host_get_handle_size: the handle's size in bytes.
 */
typedef struct PF_HandleSuite2 {
  PF_Handle (*host_new_handle)(A_HandleSize size);
  void* (*host_lock_handle)(PF_Handle handle);
  void (*host_unlock_handle)(PF_Handle handle);
  void (*host_dispose_handle)(PF_Handle handle);
  A_HandleSize (*host_get_handle_size)(PF_Handle handle);
} PF_HandleSuite2;

#define kPFWorldTransformSuite "PF World Transform Suite"
#define kPFWorldTransformSuiteVersion1 1

/*
 * Image operations.
 * blend: dst := src1 and src2 mixed by `ratio` (16.16; 0 gives src1, 65536 src2); the three
 *   worlds have one size, otherwise PF_Err_BAD_CALLBACK_PARAM.
 * convolve: dst := src convolved with one square kernel per channel of `kernel_size`
 *   (odd, positive) 32-bit integer taps; `area` null means the whole image. src and dst
 *   are distinct worlds of one size.
 */
typedef struct PF_WorldTransformSuite1 {
  PF_Err (*blend)(PF_ProgPtr effect_ref, const PF_EffectWorld* src1, const PF_EffectWorld* src2,
                  PF_Fixed ratio, PF_EffectWorld* dst);
  PF_Err (*convolve)(PF_ProgPtr effect_ref, PF_EffectWorld* src, const PF_Rect* area,
                     PF_KernelFlags flags, A_long kernel_size, void* a_kernel, void* r_kernel,
                     void* g_kernel, void* b_kernel, PF_EffectWorld* dst);
} PF_WorldTransformSuite1;

#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1

/* C-library text functions, with the C library's meaning. */
typedef struct PF_ANSICallbacksSuite1 {
  A_long (*sprintf)(A_char* buffer, const A_char* format, ...);
  A_char* (*strcpy)(A_char* dst, const A_char* src);
} PF_ANSICallbacksSuite1;

#define kPFParamUtilsSuite "PF Param Utils Suite"
#define kPFParamUtilsSuiteVersion3 3

/* Acquired and released around two commands; none of its operations is called, so the
 * table is opaque here. */
typedef struct PF_ParamUtilsSuite3 PF_ParamUtilsSuite3;

#ifdef __cplusplus
}
#endif

#endif
