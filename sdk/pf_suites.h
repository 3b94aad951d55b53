/*
 * The host's suites: the basic suite through which every other suite is acquired, and
 * the function tables of the suites the effect calls, each in full and in the host's
 * layout (see pf_effect.h), with its size and offsets pinned beside it.
 *
 * A suite is acquired by name and version and must be released once per successful
 * acquisition, with the same name and version. The host's name for a table does not
 * carry the suite's version: "PF Handle Suite" version 2 is the table PF_HandleSuite1.
 */
#ifndef VELUNARY_SDK_PF_SUITES_H
#define VELUNARY_SDK_PF_SUITES_H

#include "pf_effect.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long SPErr;
typedef A_long SPBoolean;
PF_ASSERT_SIZE(SPErr, 4);
PF_ASSERT_SIZE(SPBoolean, 4);

/*
 * AcquireSuite: stores the suite's function table in *suite and returns 0, or returns a
 *   nonzero code (and stores nothing usable) when the host has no such suite.
 * ReleaseSuite: ends one acquisition of the suite.
 * The other slots (suite comparison and the host's block allocator) are not used here.
 */
typedef struct SPBasicSuite {
  SPErr (*AcquireSuite)(const char* name, A_long version, const void** suite);
  SPErr (*ReleaseSuite)(const char* name, A_long version);
  void* IsEqual;
  void* AllocateBlock;
  void* FreeBlock;
  void* ReallocateBlock;
  void* Undefined;
} SPBasicSuite;
PF_ASSERT_SIZE(SPBasicSuite, 56);
PF_ASSERT_OFFSET(SPBasicSuite, AcquireSuite, 0);
PF_ASSERT_OFFSET(SPBasicSuite, ReleaseSuite, 8);
PF_ASSERT_OFFSET(SPBasicSuite, IsEqual, 16);
PF_ASSERT_OFFSET(SPBasicSuite, AllocateBlock, 24);
PF_ASSERT_OFFSET(SPBasicSuite, FreeBlock, 32);
PF_ASSERT_OFFSET(SPBasicSuite, ReallocateBlock, 40);
PF_ASSERT_OFFSET(SPBasicSuite, Undefined, 48);

#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion2 2

/*
 * Memory handles ("PF Handle Suite" version 2).
 * host_new_handle: a new handle of `size` bytes (0 allowed), or null when memory is short.
 * host_lock_handle: the address of the handle's bytes, valid until disposal.
 * host_unlock_handle: ends a lock (the effect never calls it).
 * host_dispose_handle: frees the handle.
 * host_get_handle_size: the handle's size in bytes.
 * host_resize_handle: not used here.
 */
typedef struct PF_HandleSuite1 {
  PF_Handle (*host_new_handle)(A_HandleSize size);
  void* (*host_lock_handle)(PF_Handle handle);
  void (*host_unlock_handle)(PF_Handle handle);
  void (*host_dispose_handle)(PF_Handle handle);
  A_HandleSize (*host_get_handle_size)(PF_Handle handle);
  void* host_resize_handle;
} PF_HandleSuite1;
PF_ASSERT_SIZE(PF_HandleSuite1, 48);
PF_ASSERT_OFFSET(PF_HandleSuite1, host_new_handle, 0);
PF_ASSERT_OFFSET(PF_HandleSuite1, host_lock_handle, 8);
PF_ASSERT_OFFSET(PF_HandleSuite1, host_unlock_handle, 16);
PF_ASSERT_OFFSET(PF_HandleSuite1, host_dispose_handle, 24);
PF_ASSERT_OFFSET(PF_HandleSuite1, host_get_handle_size, 32);
PF_ASSERT_OFFSET(PF_HandleSuite1, host_resize_handle, 40);

#define kPFWorldTransformSuite "PF World Transform Suite"
#define kPFWorldTransformSuiteVersion1 1

/*
 * Image operations ("PF World Transform Suite" version 1).
 * blend: dst := src1 and src2 mixed by `ratio` (16.16; 0 gives src1, 65536 src2); the three
 *   worlds have one size, otherwise PF_Err_BAD_CALLBACK_PARAM.
 * convolve: dst := src convolved with one square kernel per channel of `kernel_size`
 *   (odd, positive) 32-bit integer taps; `area` null means the whole image. src and dst
 *   are distinct worlds of one size.
 * copy: as the utility callbacks' `copy` (pf_effect.h).
 * composite_rect, copy_hq, transfer_rect, transform_world: not used here.
 */
typedef struct PF_WorldTransformSuite1 {
  void* composite_rect;
  PF_Err (*blend)(PF_ProgPtr effect_ref, const PF_EffectWorld* src1, const PF_EffectWorld* src2,
                  PF_Fixed ratio, PF_EffectWorld* dst);
  PF_Err (*convolve)(PF_ProgPtr effect_ref, PF_EffectWorld* src, const PF_Rect* area,
                     PF_KernelFlags flags, A_long kernel_size, void* a_kernel, void* r_kernel,
                     void* g_kernel, void* b_kernel, PF_EffectWorld* dst);
  PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                 PF_Rect* dst_r);
  void* copy_hq;
  void* transfer_rect;
  void* transform_world;
} PF_WorldTransformSuite1;
PF_ASSERT_SIZE(PF_WorldTransformSuite1, 56);
PF_ASSERT_OFFSET(PF_WorldTransformSuite1, composite_rect, 0);
PF_ASSERT_OFFSET(PF_WorldTransformSuite1, blend, 8);
PF_ASSERT_OFFSET(PF_WorldTransformSuite1, convolve, 16);
PF_ASSERT_OFFSET(PF_WorldTransformSuite1, copy, 24);
PF_ASSERT_OFFSET(PF_WorldTransformSuite1, copy_hq, 32);
PF_ASSERT_OFFSET(PF_WorldTransformSuite1, transfer_rect, 40);
PF_ASSERT_OFFSET(PF_WorldTransformSuite1, transform_world, 48);

#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1

/* C-library functions ("PF ANSI Suite" version 1), with the C library's meaning; only
 * sprintf and strcpy are used here. The same slots as the utility callbacks' `ansi`,
 * without its trailing word. */
typedef struct PF_ANSICallbacksSuite1 {
  void* atan;
  void* atan2;
  void* ceil;
  void* cos;
  void* exp;
  void* fabs;
  void* floor;
  void* fmod;
  void* hypot;
  void* log;
  void* log10;
  void* pow;
  void* sin;
  void* sqrt;
  void* tan;
  A_long (*sprintf)(A_char* buffer, const A_char* format, ...);
  A_char* (*strcpy)(A_char* dst, const A_char* src);
  void* asin;
  void* acos;
} PF_ANSICallbacksSuite1;
PF_ASSERT_SIZE(PF_ANSICallbacksSuite1, 152);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, atan, 0);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, atan2, 8);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, ceil, 16);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, cos, 24);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, exp, 32);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, fabs, 40);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, floor, 48);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, fmod, 56);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, hypot, 64);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, log, 72);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, log10, 80);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, pow, 88);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, sin, 96);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, sqrt, 104);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, tan, 112);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, sprintf, 120);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, strcpy, 128);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, asin, 136);
PF_ASSERT_OFFSET(PF_ANSICallbacksSuite1, acos, 144);

#define kPFParamUtilsSuite "PF Param Utils Suite"
#define kPFParamUtilsSuiteVersion3 3

/* Acquired and released around two commands; none of its operations is called, so the
 * table is opaque here. */
typedef struct PF_ParamUtilsSuite3 PF_ParamUtilsSuite3;

#ifdef __cplusplus
}
#endif

#endif
