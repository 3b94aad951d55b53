/*
 * The host's effect API as Velunary uses it: scalar types, error codes, commands, flags,
 * pixels and worlds, parameter definitions, the input and output records and the
 * callback tables the host hands to an effect.
 *
 * Plain C records: the effect and the host are compiled separately (the host may be the
 * compositing application or our reference host) and meet only through these layouts.
 * Only what the effect uses is declared; field names and values are the host's own.
 *
 * Ownership, in general: the host owns every record it passes in. Worlds made with
 * `new_world` belong to the effect until it passes them to `dispose_world`; handles made
 * with `host_new_handle` belong to the effect until `host_dispose_handle`.
 */
#ifndef VELUNARY_SDK_PF_EFFECT_H
#define VELUNARY_SDK_PF_EFFECT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Scalars ---------------------------------------------------------------------- */

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef uint8_t A_u_char;
typedef char A_char;
typedef uint64_t A_HandleSize;

typedef A_long PF_Err;
typedef A_long PF_Cmd;
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamType;
typedef A_long PF_ParamFlags;
typedef A_long PF_ParamUIFlags;
typedef A_long PF_OutFlags;
typedef A_long PF_NewWorldFlags;
typedef A_long PF_KernelFlags;

/* 16.16 fixed point: 65536 is 1.0. */
typedef A_long PF_Fixed;
typedef float PF_FpShort;
typedef double PF_FpLong;

/* The host's opaque reference to one effect instance; passed back in every callback. */
typedef struct _PF_ProgressInfo* PF_ProgPtr;

/* A host memory handle (an opaque reference to a block of bytes). */
typedef void** PF_Handle;

/* ---- Error codes ------------------------------------------------------------------ */

enum {
  PF_Err_NONE = 0,
  PF_Err_OUT_OF_MEMORY = 4,
  PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
  PF_Err_INVALID_INDEX = 513,
  PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
  PF_Err_INVALID_CALLBACK = 515,
  PF_Err_BAD_CALLBACK_PARAM = 516,
  /* Answered by `abort` once the user has cancelled the render. */
  PF_Interrupt_CANCEL = 517,
  PF_Err_CANNOT_PARSE_KEYFRAME_TEXT = 518
};

/* ---- Commands --------------------------------------------------------------------- */

enum {
  PF_Cmd_ABOUT = 0,
  PF_Cmd_GLOBAL_SETUP = 1,
  PF_Cmd_UNUSED_0 = 2,
  PF_Cmd_GLOBAL_SETDOWN = 3,
  PF_Cmd_PARAMS_SETUP = 4,
  PF_Cmd_SEQUENCE_SETUP = 5,
  PF_Cmd_SEQUENCE_RESETUP = 6,
  PF_Cmd_SEQUENCE_FLATTEN = 7,
  PF_Cmd_SEQUENCE_SETDOWN = 8,
  PF_Cmd_DO_DIALOG = 9,
  PF_Cmd_FRAME_SETUP = 10,
  PF_Cmd_RENDER = 11,
  PF_Cmd_FRAME_SETDOWN = 12,
  PF_Cmd_USER_CHANGED_PARAM = 13,
  PF_Cmd_UPDATE_PARAMS_UI = 14
};

/* ---- Flags ------------------------------------------------------------------------ */

enum {
  /* The output changes over time even when no parameter does. */
  PF_OutFlag_NON_PARAM_VARY = 0x4,
  /* The host shows `return_msg` to the user. */
  PF_OutFlag_DISPLAY_ERROR_MESSAGE = 0x100,
  /* The host renders the current frame again. */
  PF_OutFlag_FORCE_RERENDER = 0x400000
};

enum {
  PF_ParamFlag_CANNOT_TIME_VARY = 0x2,
  PF_ParamFlag_SUPERVISE = 0x40,
  PF_ParamFlag_START_COLLAPSED = 0x80
};

enum {
  PF_Param_LAYER = 0,
  PF_Param_CHECKBOX = 4,
  PF_Param_FLOAT_SLIDER = 10,
  PF_Param_GROUP_START = 13,
  PF_Param_GROUP_END = 14,
  PF_Param_BUTTON = 15
};

enum { PF_LayerDefault_NONE = 0 };

enum { PF_NewWorldFlag_NONE = 0 };

/* Kernel flags for `convolve`; 0 means two-dimensional, unnormalised, clamped, 32-bit
 * integer taps, transparent borders. */
enum { PF_KernelFlag_NONE = 0 };

/* Application id of Premiere Pro ("PrMr"), which hosts effects too. */
enum { PF_APPL_ID_PREMIERE = 0x50724D72 };

/* Sizes of the fixed text fields. */
enum { PF_MAX_EFFECT_PARAM_NAME_LEN = 31, PF_MAX_EFFECT_MSG_LEN = 255 };

/* ---- Pixels and worlds ------------------------------------------------------------ */

/* One 8-bit pixel; bytes in memory are alpha, red, green, blue. */
typedef struct PF_Pixel {
  A_u_char alpha;
  A_u_char red;
  A_u_char green;
  A_u_char blue;
} PF_Pixel;

typedef struct PF_Rect {
  A_long left;
  A_long top;
  A_long right;
  A_long bottom;
} PF_Rect;

/*
 * An image: `height` rows of `width` pixels, row y starting `y * rowbytes` bytes after
 * `data`. `rowbytes` may exceed 4 * width (rows are padded). A record whose fields are all
 * zero (so `data` is null) stands for no image.
 */
typedef struct PF_LayerDef {
  A_long world_flags;
  void* data;
  A_long rowbytes;
  A_long width;
  A_long height;
  PF_Rect extent_hint;
  void* platform_ref;
  PF_Fixed pix_aspect_ratio;
  A_long origin_x;
  A_long origin_y;
  A_long dephault;
} PF_LayerDef;

typedef PF_LayerDef PF_EffectWorld;

/* ---- Parameter definitions -------------------------------------------------------- */

typedef struct PF_FloatSliderDef {
  PF_FpLong value;
  PF_FpLong phase;
  PF_FpShort valid_min;
  PF_FpShort valid_max;
  PF_FpShort slider_min;
  PF_FpShort slider_max;
  PF_FpShort dephault;
  A_short precision;
  A_short display_flags;
  A_long fs_flags;
  PF_FpShort curve_tolerance;
  A_u_char useExponent;
  PF_FpShort exponent;
} PF_FloatSliderDef;

typedef struct PF_CheckBoxDef {
  A_long value;
  A_char dephault;
  A_char reserved;
  A_short reserved1;
  union {
    const A_char* nameptr;
  } u;
} PF_CheckBoxDef;

typedef struct PF_ButtonDef {
  A_long value;
  union {
    const A_char* namesptr;
  } u;
} PF_ButtonDef;

typedef union PF_ParamDefUnion {
  PF_LayerDef ld;
  PF_FloatSliderDef fs_d;
  PF_CheckBoxDef bd;
  PF_ButtonDef button_d;
} PF_ParamDefUnion;

/*
 * One parameter: declared by the effect through `add_param`, and filled by the host with
 * a value (or, for a layer, the layer's image) through `checkout_param`.
 */
typedef struct PF_ParamDef {
  union {
    /* The parameter id; stored in saved projects, so it never changes for a row. */
    A_long id;
    A_long change_flags;
  } uu;
  PF_ParamUIFlags ui_flags;
  A_short ui_width;
  A_short ui_height;
  PF_ParamType param_type;
  A_char name[PF_MAX_EFFECT_PARAM_NAME_LEN + 1];
  PF_ParamFlags flags;
  A_long unused;
  PF_ParamDefUnion u;
} PF_ParamDef;

typedef PF_ParamDef* PF_ParamList[];

/* The record passed as `extra` with PF_Cmd_USER_CHANGED_PARAM. */
typedef struct PF_UserChangedParamExtra {
  PF_ParamIndex param_index;
} PF_UserChangedParamExtra;

/* ---- Callbacks -------------------------------------------------------------------- */

/*
 * Interaction callbacks, inside the input record.
 *
 * checkout_param: fills `param` with the value of parameter `index` at `what_time` (in
 *   units of 1/time_scale seconds; frame position what_time / time_step). A layer
 *   parameter receives the layer's world, owned by the host and valid until check-in.
 *   Returns PF_Err_INVALID_INDEX for an index outside the declared list.
 * checkin_param: ends a check-out; once for every successful checkout_param.
 * add_param: appends a copy of `def` when `index` is -1 (the only index accepted).
 * abort: 0 while the user has not cancelled; PF_Interrupt_CANCEL once they have.
 */
typedef struct PF_InteractCallbacks {
  PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                           A_long time_step, A_u_long time_scale, PF_ParamDef* param);
  PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
  PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDef* def);
  PF_Err (*abort)(PF_ProgPtr effect_ref);
} PF_InteractCallbacks;

/* C-library services of the host, with the C library's meaning. */
typedef struct PF_ANSICallbacks {
  A_long (*sprintf)(A_char* buffer, const A_char* format, ...);
  A_char* (*strcpy)(A_char* dst, const A_char* src);
} PF_ANSICallbacks;

/*
 * Utility callbacks, pointed to by the input record.
 *
 * new_world: makes an 8-bit world of width x height (both at least 1, else
 *   PF_Err_BAD_CALLBACK_PARAM) into `world`; the effect owns it until dispose_world.
 * dispose_world: frees a world made by new_world; any other world is refused.
 * fill: sets every pixel of `world` (inside `dst_rect`, or all when null) to `color`.
 * copy: copies `src` onto `dst`; with null rectangles, the whole of one onto the whole
 *   of the other (scaled when the sizes differ).
 */
typedef struct PF_UtilCallbacks {
  PF_Err (*new_world)(PF_ProgPtr effect_ref, A_long width, A_long height,
                      PF_NewWorldFlags flags, PF_EffectWorld* world);
  PF_Err (*dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
  PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                 PF_EffectWorld* world);
  PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                 PF_Rect* src_r, PF_Rect* dst_r);
  PF_ANSICallbacks ansi;
} PF_UtilCallbacks;

struct SPBasicSuite;

/* ---- Input and output records ----------------------------------------------------- */

/* What the host tells the effect with every command. */
typedef struct PF_InData {
  PF_InteractCallbacks inter;
  PF_UtilCallbacks* utils;
  PF_ProgPtr effect_ref;
  A_long appl_id;
  A_long version;
  /* The requested time: frame position current_time / time_step. */
  A_long current_time;
  A_long time_step;
  A_long total_time;
  A_u_long time_scale;
  /* The layer's size in pixels. */
  A_long width;
  A_long height;
  struct SPBasicSuite* pica_basicP;
} PF_InData;

/* What the effect tells the host back. */
typedef struct PF_OutData {
  A_u_long my_version;
  A_char name[32];
  A_long num_params;
  A_long width;
  A_long height;
  PF_OutFlags out_flags;
  A_char return_msg[PF_MAX_EFFECT_MSG_LEN + 1];
  PF_OutFlags out_flags2;
} PF_OutData;

/* ---- Entry points ----------------------------------------------------------------- */

/* The effect's one entry point: one command per call, on the host's thread. */
typedef PF_Err (*PF_EffectMainFunc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);

typedef void* PF_PluginDataPtr;

/* The host's description callback, called once by PluginDataEntryFunction. */
typedef PF_Err (*PF_PluginDataCB)(PF_PluginDataPtr inPtr, const A_char* inNameZ,
                                  const A_char* inMatchNameZ, const A_char* inCategoryZ,
                                  const A_char* inEntryPointNameZ, A_long inType,
                                  A_long inAEVersion, A_long inAESubVersion,
                                  A_long inReservedInfo);

typedef PF_Err (*PF_PluginDataEntryFunc)(PF_PluginDataPtr inPtr,
                                         PF_PluginDataCB inPluginDataCallBackPtr,
                                         struct SPBasicSuite* inSPBasicSuitePtr,
                                         const A_char* inHostName, const A_char* inHostVersion);

#ifdef __cplusplus
}
#endif

#endif
