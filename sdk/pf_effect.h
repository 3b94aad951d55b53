/*
 * The host's effect API: scalar types, error codes, commands, flags, pixels and worlds,
 * parameter definitions, the input and output records and the callback tables the host
 * hands to an effect.
 *
 * Plain C records: the effect and the host are compiled separately (the host may be the
 * compositing application or our reference host) and meet only through these layouts, so
 * every record and table is declared in full, member for member, with the host's names,
 * in the host's order and up to the host's size, members nobody here touches included:
 * they are what gives the later members their offsets. Function slots nobody here calls
 * are plain `void*` under their own names. Only fixed-width scalars are used, so the
 * 64-bit Windows build and the Linux build share one layout, and beside each record
 * compile-time assertions pin its size and every offset, so any compiler that builds the
 * effect (the Windows cross-compiler too) proves the layout.
 *
 * Ownership, in general: the host owns every record it passes in. Worlds made with
 * `new_world` belong to the effect until it passes them to `dispose_world`; handles made
 * with `host_new_handle` belong to the effect until `host_dispose_handle`.
 */
#ifndef VELUNARY_SDK_PF_EFFECT_H
#define VELUNARY_SDK_PF_EFFECT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define PF_LAYOUT_ASSERT(condition) static_assert(condition, #condition)
#else
#define PF_LAYOUT_ASSERT(condition) _Static_assert(condition, #condition)
#endif
/* Pins a record's size, or one member's offset. */
#define PF_ASSERT_SIZE(type, size) PF_LAYOUT_ASSERT(sizeof(type) == (size))
#define PF_ASSERT_OFFSET(type, member, offset) PF_LAYOUT_ASSERT(offsetof(type, member) == (offset))

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Scalars ---------------------------------------------------------------------- */

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef uint8_t A_u_char;
/* Text: plain char, signed on both targets. */
typedef char A_char;
typedef uint64_t A_u_longlong;
typedef uint64_t A_HandleSize;

typedef A_long PF_Err;
typedef A_long PF_Cmd;
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamType;
typedef A_long PF_ParamFlags;
typedef A_long PF_ParamUIFlags;
typedef A_long PF_ChangeFlags;
typedef A_long PF_ParamValue;
typedef A_long PF_Quality;
typedef A_long PF_Field;
typedef A_long PF_InFlags;
typedef A_long PF_OutFlags;
typedef A_long PF_OutFlags2;
typedef A_long PF_WorldFlags;
typedef A_long PF_NewWorldFlags;
typedef uint32_t PF_KernelFlags;
typedef int8_t PF_Boolean;
typedef A_short PF_ValueDisplayFlags;
typedef uint32_t PF_FSliderFlags;
typedef A_short PF_SoundChannels;
typedef A_short PF_SoundFormat;
typedef A_short PF_SoundSampleSize;

/* 16.16 fixed point: 65536 is 1.0. */
typedef A_long PF_Fixed;
typedef float PF_FpShort;
typedef double PF_FpLong;

/* The host's opaque reference to one effect instance; passed back in every callback. */
typedef struct _PF_ProgressInfo* PF_ProgPtr;

/* A host memory handle (an opaque reference to a block of bytes). */
typedef void** PF_Handle;

PF_ASSERT_SIZE(A_long, 4);
PF_ASSERT_SIZE(A_u_long, 4);
PF_ASSERT_SIZE(A_short, 2);
PF_ASSERT_SIZE(A_u_short, 2);
PF_ASSERT_SIZE(A_char, 1);
PF_ASSERT_SIZE(A_u_char, 1);
PF_ASSERT_SIZE(A_u_longlong, 8);
PF_ASSERT_SIZE(A_HandleSize, 8);
PF_ASSERT_SIZE(PF_Boolean, 1);
PF_ASSERT_SIZE(PF_ValueDisplayFlags, 2);
PF_ASSERT_SIZE(PF_FSliderFlags, 4);
PF_ASSERT_SIZE(PF_KernelFlags, 4);
PF_ASSERT_SIZE(PF_SoundChannels, 2);
PF_ASSERT_SIZE(PF_FpShort, 4);
PF_ASSERT_SIZE(PF_FpLong, 8);
PF_ASSERT_SIZE(PF_ProgPtr, 8);
PF_ASSERT_SIZE(PF_Handle, 8);
PF_ASSERT_SIZE(void*, 8);

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
  PF_ParamFlag_START_COLLAPSED = 0x20
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

/* Render quality, and the field a frame is rendered for (a whole frame). */
enum { PF_Quality_LO = 0, PF_Quality_HI = 1 };
enum { PF_Field_FRAME = 0 };

enum { PF_NewWorldFlag_NONE = 0 };

/* Kernel flags for `convolve`; 0 means two-dimensional, unnormalised, clamped, 32-bit
 * integer taps, transparent borders. */
enum { PF_KernelFlag_NONE = 0 };

/* Application id of Premiere Pro ("PrMr"), which hosts effects too. */
enum { PF_APPL_ID_PREMIERE = 0x50724D72 };

/* Sizes of the fixed text fields. */
enum { PF_MAX_EFFECT_PARAM_NAME_LEN = 31, PF_MAX_EFFECT_MSG_LEN = 255 };

/* ---- Small records ---------------------------------------------------------------- */

/* One 8-bit pixel; bytes in memory are alpha, red, green, blue. */
typedef struct PF_Pixel {
  A_u_char alpha;
  A_u_char red;
  A_u_char green;
  A_u_char blue;
} PF_Pixel;
PF_ASSERT_SIZE(PF_Pixel, 4);
PF_ASSERT_OFFSET(PF_Pixel, alpha, 0);
PF_ASSERT_OFFSET(PF_Pixel, red, 1);
PF_ASSERT_OFFSET(PF_Pixel, green, 2);
PF_ASSERT_OFFSET(PF_Pixel, blue, 3);

typedef struct PF_LRect {
  A_long left;
  A_long top;
  A_long right;
  A_long bottom;
} PF_LRect;
typedef PF_LRect PF_Rect;
PF_ASSERT_SIZE(PF_LRect, 16);
PF_ASSERT_OFFSET(PF_LRect, left, 0);
PF_ASSERT_OFFSET(PF_LRect, top, 4);
PF_ASSERT_OFFSET(PF_LRect, right, 8);
PF_ASSERT_OFFSET(PF_LRect, bottom, 12);

typedef struct PF_Point {
  A_long h;
  A_long v;
} PF_Point;
PF_ASSERT_SIZE(PF_Point, 8);
PF_ASSERT_OFFSET(PF_Point, h, 0);
PF_ASSERT_OFFSET(PF_Point, v, 4);

/* A ratio num / den, such as a pixel aspect ratio or a downsampling factor. */
typedef struct PF_RationalScale {
  A_long num;
  A_u_long den;
} PF_RationalScale;
PF_ASSERT_SIZE(PF_RationalScale, 8);
PF_ASSERT_OFFSET(PF_RationalScale, num, 0);
PF_ASSERT_OFFSET(PF_RationalScale, den, 4);

typedef struct PF_SpecVersion {
  A_short major;
  A_short minor;
} PF_SpecVersion;
PF_ASSERT_SIZE(PF_SpecVersion, 4);
PF_ASSERT_OFFSET(PF_SpecVersion, major, 0);
PF_ASSERT_OFFSET(PF_SpecVersion, minor, 2);

typedef struct PF_SoundFormatInfo {
  PF_FpLong rateF;
  PF_SoundChannels num_channels;
  PF_SoundFormat format;
  PF_SoundSampleSize sample_size;
} PF_SoundFormatInfo;
PF_ASSERT_SIZE(PF_SoundFormatInfo, 16);
PF_ASSERT_OFFSET(PF_SoundFormatInfo, rateF, 0);
PF_ASSERT_OFFSET(PF_SoundFormatInfo, num_channels, 8);
PF_ASSERT_OFFSET(PF_SoundFormatInfo, format, 10);
PF_ASSERT_OFFSET(PF_SoundFormatInfo, sample_size, 12);

typedef struct PF_SoundWorld {
  PF_SoundFormatInfo fi;
  A_long num_samples;
  void* dataP;
} PF_SoundWorld;
PF_ASSERT_SIZE(PF_SoundWorld, 32);
PF_ASSERT_OFFSET(PF_SoundWorld, fi, 0);
PF_ASSERT_OFFSET(PF_SoundWorld, num_samples, 16);
PF_ASSERT_OFFSET(PF_SoundWorld, dataP, 24);

/* ---- Worlds ----------------------------------------------------------------------- */

/*
 * An image: `height` rows of `width` pixels, row y starting `y * rowbytes` bytes after
 * `data`. `rowbytes` may exceed 4 * width (rows are padded). A record whose fields are all
 * zero (so `data` is null) stands for no image. `data` is the host's pixel pointer
 * (`PF_PixelPtr`), declared untyped because the effect addresses it by bytes.
 */
typedef struct PF_LayerDef {
  void* reserved0;
  void* reserved1;
  PF_WorldFlags world_flags;
  void* data;
  A_long rowbytes;
  A_long width;
  A_long height;
  PF_LRect extent_hint;
  void* platform_ref;
  A_long reserved_long1;
  void* reserved_long4;
  PF_RationalScale pix_aspect_ratio;
  void* reserved_long2;
  A_long origin_x;
  A_long origin_y;
  A_long reserved_long3;
  A_long dephault;
} PF_LayerDef;
PF_ASSERT_SIZE(PF_LayerDef, 120);
PF_ASSERT_OFFSET(PF_LayerDef, reserved0, 0);
PF_ASSERT_OFFSET(PF_LayerDef, reserved1, 8);
PF_ASSERT_OFFSET(PF_LayerDef, world_flags, 16);
PF_ASSERT_OFFSET(PF_LayerDef, data, 24);
PF_ASSERT_OFFSET(PF_LayerDef, rowbytes, 32);
PF_ASSERT_OFFSET(PF_LayerDef, width, 36);
PF_ASSERT_OFFSET(PF_LayerDef, height, 40);
PF_ASSERT_OFFSET(PF_LayerDef, extent_hint, 44);
PF_ASSERT_OFFSET(PF_LayerDef, platform_ref, 64);
PF_ASSERT_OFFSET(PF_LayerDef, reserved_long1, 72);
PF_ASSERT_OFFSET(PF_LayerDef, reserved_long4, 80);
PF_ASSERT_OFFSET(PF_LayerDef, pix_aspect_ratio, 88);
PF_ASSERT_OFFSET(PF_LayerDef, reserved_long2, 96);
PF_ASSERT_OFFSET(PF_LayerDef, origin_x, 104);
PF_ASSERT_OFFSET(PF_LayerDef, origin_y, 108);
PF_ASSERT_OFFSET(PF_LayerDef, reserved_long3, 112);
PF_ASSERT_OFFSET(PF_LayerDef, dephault, 116);

typedef PF_LayerDef PF_EffectWorld;

/* ---- Parameter definitions -------------------------------------------------------- */

typedef struct PF_FloatSliderDef {
  PF_FpLong value;
  PF_FpLong phase;
  A_char value_desc[32];
  PF_FpShort valid_min;
  PF_FpShort valid_max;
  PF_FpShort slider_min;
  PF_FpShort slider_max;
  PF_FpShort dephault;
  A_short precision;
  PF_ValueDisplayFlags display_flags;
  PF_FSliderFlags fs_flags;
  PF_FpShort curve_tolerance;
  PF_Boolean useExponent;
  PF_FpShort exponent;
} PF_FloatSliderDef;
PF_ASSERT_SIZE(PF_FloatSliderDef, 88);
PF_ASSERT_OFFSET(PF_FloatSliderDef, value, 0);
PF_ASSERT_OFFSET(PF_FloatSliderDef, phase, 8);
PF_ASSERT_OFFSET(PF_FloatSliderDef, value_desc, 16);
PF_ASSERT_OFFSET(PF_FloatSliderDef, valid_min, 48);
PF_ASSERT_OFFSET(PF_FloatSliderDef, valid_max, 52);
PF_ASSERT_OFFSET(PF_FloatSliderDef, slider_min, 56);
PF_ASSERT_OFFSET(PF_FloatSliderDef, slider_max, 60);
PF_ASSERT_OFFSET(PF_FloatSliderDef, dephault, 64);
PF_ASSERT_OFFSET(PF_FloatSliderDef, precision, 68);
PF_ASSERT_OFFSET(PF_FloatSliderDef, display_flags, 70);
PF_ASSERT_OFFSET(PF_FloatSliderDef, fs_flags, 72);
PF_ASSERT_OFFSET(PF_FloatSliderDef, curve_tolerance, 76);
PF_ASSERT_OFFSET(PF_FloatSliderDef, useExponent, 80);
PF_ASSERT_OFFSET(PF_FloatSliderDef, exponent, 84);

typedef struct PF_CheckBoxDef {
  PF_ParamValue value;
  PF_Boolean dephault;
  A_char reserved;
  A_short reserved1;
  union {
    const A_char* nameptr;
  } u;
} PF_CheckBoxDef;
PF_ASSERT_SIZE(PF_CheckBoxDef, 16);
PF_ASSERT_OFFSET(PF_CheckBoxDef, value, 0);
PF_ASSERT_OFFSET(PF_CheckBoxDef, dephault, 4);
PF_ASSERT_OFFSET(PF_CheckBoxDef, reserved, 5);
PF_ASSERT_OFFSET(PF_CheckBoxDef, reserved1, 6);
PF_ASSERT_OFFSET(PF_CheckBoxDef, u, 8);

typedef struct PF_ButtonDef {
  PF_ParamValue value;
  union {
    const A_char* namesptr;
  } u;
} PF_ButtonDef;
PF_ASSERT_SIZE(PF_ButtonDef, 16);
PF_ASSERT_OFFSET(PF_ButtonDef, value, 0);
PF_ASSERT_OFFSET(PF_ButtonDef, u, 8);

/* The host's union also holds slider, fixed slider, angle, color, point, popup, arbitrary,
 * path and 3D point definitions, none larger than the layer record, which sets its size;
 * only the kinds this effect declares are spelled out. */
typedef union PF_ParamDefUnion {
  PF_LayerDef ld;
  PF_FloatSliderDef fs_d;
  PF_CheckBoxDef bd;
  PF_ButtonDef button_d;
} PF_ParamDefUnion;
PF_ASSERT_SIZE(PF_ParamDefUnion, 120);

/*
 * One parameter: declared by the effect through `add_param`, and filled by the host with
 * a value (or, for a layer, the layer's image) through `checkout_param`.
 */
typedef struct PF_ParamDef {
  union {
    /* The parameter id; stored in saved projects, so it never changes for a row. */
    A_long id;
    PF_ChangeFlags change_flags;
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
PF_ASSERT_SIZE(PF_ParamDef, 176);
PF_ASSERT_OFFSET(PF_ParamDef, uu, 0);
PF_ASSERT_OFFSET(PF_ParamDef, ui_flags, 4);
PF_ASSERT_OFFSET(PF_ParamDef, ui_width, 8);
PF_ASSERT_OFFSET(PF_ParamDef, ui_height, 10);
PF_ASSERT_OFFSET(PF_ParamDef, param_type, 12);
PF_ASSERT_OFFSET(PF_ParamDef, name, 16);
PF_ASSERT_OFFSET(PF_ParamDef, flags, 48);
PF_ASSERT_OFFSET(PF_ParamDef, unused, 52);
PF_ASSERT_OFFSET(PF_ParamDef, u, 56);

typedef PF_ParamDef* PF_ParamDefPtr;
typedef PF_ParamDef* PF_ParamList[];

/* The record passed as `extra` with PF_Cmd_USER_CHANGED_PARAM. */
typedef struct PF_UserChangedParamExtra {
  PF_ParamIndex param_index;
} PF_UserChangedParamExtra;
PF_ASSERT_SIZE(PF_UserChangedParamExtra, 4);
PF_ASSERT_OFFSET(PF_UserChangedParamExtra, param_index, 0);

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
  PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
  PF_Err (*abort)(PF_ProgPtr effect_ref);
  void* progress;
  void* register_ui;
  void* checkout_layer_audio;
  void* checkin_layer_audio;
  void* get_audio_data;
  void* reserved_str[3];
  void* reserved[10];
} PF_InteractCallbacks;
PF_ASSERT_SIZE(PF_InteractCallbacks, 176);
PF_ASSERT_OFFSET(PF_InteractCallbacks, checkout_param, 0);
PF_ASSERT_OFFSET(PF_InteractCallbacks, checkin_param, 8);
PF_ASSERT_OFFSET(PF_InteractCallbacks, add_param, 16);
PF_ASSERT_OFFSET(PF_InteractCallbacks, abort, 24);
PF_ASSERT_OFFSET(PF_InteractCallbacks, progress, 32);
PF_ASSERT_OFFSET(PF_InteractCallbacks, register_ui, 40);
PF_ASSERT_OFFSET(PF_InteractCallbacks, checkout_layer_audio, 48);
PF_ASSERT_OFFSET(PF_InteractCallbacks, checkin_layer_audio, 56);
PF_ASSERT_OFFSET(PF_InteractCallbacks, get_audio_data, 64);
PF_ASSERT_OFFSET(PF_InteractCallbacks, reserved_str, 72);
PF_ASSERT_OFFSET(PF_InteractCallbacks, reserved, 96);

/* C-library services of the host, with the C library's meaning; the host keeps one more
 * word after the functions. */
typedef struct PF_ANSICallbacks {
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
  A_long ansi_procs[1];
} PF_ANSICallbacks;
PF_ASSERT_SIZE(PF_ANSICallbacks, 160);
PF_ASSERT_OFFSET(PF_ANSICallbacks, atan, 0);
PF_ASSERT_OFFSET(PF_ANSICallbacks, atan2, 8);
PF_ASSERT_OFFSET(PF_ANSICallbacks, ceil, 16);
PF_ASSERT_OFFSET(PF_ANSICallbacks, cos, 24);
PF_ASSERT_OFFSET(PF_ANSICallbacks, exp, 32);
PF_ASSERT_OFFSET(PF_ANSICallbacks, fabs, 40);
PF_ASSERT_OFFSET(PF_ANSICallbacks, floor, 48);
PF_ASSERT_OFFSET(PF_ANSICallbacks, fmod, 56);
PF_ASSERT_OFFSET(PF_ANSICallbacks, hypot, 64);
PF_ASSERT_OFFSET(PF_ANSICallbacks, log, 72);
PF_ASSERT_OFFSET(PF_ANSICallbacks, log10, 80);
PF_ASSERT_OFFSET(PF_ANSICallbacks, pow, 88);
PF_ASSERT_OFFSET(PF_ANSICallbacks, sin, 96);
PF_ASSERT_OFFSET(PF_ANSICallbacks, sqrt, 104);
PF_ASSERT_OFFSET(PF_ANSICallbacks, tan, 112);
PF_ASSERT_OFFSET(PF_ANSICallbacks, sprintf, 120);
PF_ASSERT_OFFSET(PF_ANSICallbacks, strcpy, 128);
PF_ASSERT_OFFSET(PF_ANSICallbacks, asin, 136);
PF_ASSERT_OFFSET(PF_ANSICallbacks, acos, 144);
PF_ASSERT_OFFSET(PF_ANSICallbacks, ansi_procs, 152);

/* Color conversions of the host; none is called here. */
typedef struct PF_ColorCallbacks {
  void* RGBtoHLS;
  void* HLStoRGB;
  void* RGBtoYIQ;
  void* YIQtoRGB;
  void* Luminance;
  void* Hue;
  void* Lightness;
  void* Saturation;
} PF_ColorCallbacks;
PF_ASSERT_SIZE(PF_ColorCallbacks, 64);
PF_ASSERT_OFFSET(PF_ColorCallbacks, RGBtoHLS, 0);
PF_ASSERT_OFFSET(PF_ColorCallbacks, HLStoRGB, 8);
PF_ASSERT_OFFSET(PF_ColorCallbacks, RGBtoYIQ, 16);
PF_ASSERT_OFFSET(PF_ColorCallbacks, YIQtoRGB, 24);
PF_ASSERT_OFFSET(PF_ColorCallbacks, Luminance, 32);
PF_ASSERT_OFFSET(PF_ColorCallbacks, Hue, 40);
PF_ASSERT_OFFSET(PF_ColorCallbacks, Lightness, 48);
PF_ASSERT_OFFSET(PF_ColorCallbacks, Saturation, 56);

/*
 * Utility callbacks, pointed to by the input record. The effect calls four of them; the
 * other typed slots are the same operations the suites offer, which the reference host
 * binds here too.
 *
 * new_world: makes an 8-bit world of width x height (both at least 1, else
 *   PF_Err_BAD_CALLBACK_PARAM) into `world`; the effect owns it until dispose_world.
 * dispose_world: frees a world made by new_world; any other world is refused.
 * fill: sets every pixel of `world` (inside `dst_rect`, or all when null) to `color`.
 * copy: copies `src` onto `dst`; with null rectangles, the whole of one onto the whole
 *   of the other (scaled when the sizes differ).
 * blend, convolve: as in "PF World Transform Suite" 1 (pf_suites.h).
 * host_new_handle ... host_get_handle_size: as in "PF Handle Suite" 2 (pf_suites.h).
 */
typedef struct PF_UtilCallbacks {
  void* begin_sampling;
  void* subpixel_sample;
  void* area_sample;
  void* get_batch_func_is_deprecated;
  void* end_sampling;
  void* composite_rect;
  PF_Err (*blend)(PF_ProgPtr effect_ref, const PF_EffectWorld* src1, const PF_EffectWorld* src2,
                  PF_Fixed ratio, PF_EffectWorld* dst);
  PF_Err (*convolve)(PF_ProgPtr effect_ref, PF_EffectWorld* src, const PF_Rect* area,
                     PF_KernelFlags flags, A_long kernel_size, void* a_kernel, void* r_kernel,
                     void* g_kernel, void* b_kernel, PF_EffectWorld* dst);
  PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                 PF_Rect* dst_r);
  PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                 PF_EffectWorld* world);
  void* gaussian_kernel;
  void* iterate;
  void* premultiply;
  void* premultiply_color;
  PF_Err (*new_world)(PF_ProgPtr effect_ref, A_long width, A_long height, PF_NewWorldFlags flags,
                      PF_EffectWorld* world);
  PF_Err (*dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
  void* iterate_origin;
  void* iterate_lut;
  void* transfer_rect;
  void* transform_world;
  PF_Handle (*host_new_handle)(A_u_longlong size);
  void* (*host_lock_handle)(PF_Handle handle);
  void (*host_unlock_handle)(PF_Handle handle);
  void (*host_dispose_handle)(PF_Handle handle);
  void* get_callback_addr;
  void* app;
  PF_ANSICallbacks ansi;
  PF_ColorCallbacks colorCB;
  void* get_platform_data;
  A_u_longlong (*host_get_handle_size)(PF_Handle handle);
  void* iterate_origin_non_clip_src;
  void* iterate_generic;
  void* host_resize_handle;
  void* subpixel_sample16;
  void* area_sample16;
  void* fill16;
  void* premultiply_color16;
  void* iterate16;
  void* iterate_origin16;
  void* iterate_origin_non_clip_src16;
  void* get_pixel_data8;
  void* get_pixel_data16;
  A_long reserved[1];
} PF_UtilCallbacks;
PF_ASSERT_SIZE(PF_UtilCallbacks, 552);
PF_ASSERT_OFFSET(PF_UtilCallbacks, begin_sampling, 0);
PF_ASSERT_OFFSET(PF_UtilCallbacks, subpixel_sample, 8);
PF_ASSERT_OFFSET(PF_UtilCallbacks, area_sample, 16);
PF_ASSERT_OFFSET(PF_UtilCallbacks, get_batch_func_is_deprecated, 24);
PF_ASSERT_OFFSET(PF_UtilCallbacks, end_sampling, 32);
PF_ASSERT_OFFSET(PF_UtilCallbacks, composite_rect, 40);
PF_ASSERT_OFFSET(PF_UtilCallbacks, blend, 48);
PF_ASSERT_OFFSET(PF_UtilCallbacks, convolve, 56);
PF_ASSERT_OFFSET(PF_UtilCallbacks, copy, 64);
PF_ASSERT_OFFSET(PF_UtilCallbacks, fill, 72);
PF_ASSERT_OFFSET(PF_UtilCallbacks, gaussian_kernel, 80);
PF_ASSERT_OFFSET(PF_UtilCallbacks, iterate, 88);
PF_ASSERT_OFFSET(PF_UtilCallbacks, premultiply, 96);
PF_ASSERT_OFFSET(PF_UtilCallbacks, premultiply_color, 104);
PF_ASSERT_OFFSET(PF_UtilCallbacks, new_world, 112);
PF_ASSERT_OFFSET(PF_UtilCallbacks, dispose_world, 120);
PF_ASSERT_OFFSET(PF_UtilCallbacks, iterate_origin, 128);
PF_ASSERT_OFFSET(PF_UtilCallbacks, iterate_lut, 136);
PF_ASSERT_OFFSET(PF_UtilCallbacks, transfer_rect, 144);
PF_ASSERT_OFFSET(PF_UtilCallbacks, transform_world, 152);
PF_ASSERT_OFFSET(PF_UtilCallbacks, host_new_handle, 160);
PF_ASSERT_OFFSET(PF_UtilCallbacks, host_lock_handle, 168);
PF_ASSERT_OFFSET(PF_UtilCallbacks, host_unlock_handle, 176);
PF_ASSERT_OFFSET(PF_UtilCallbacks, host_dispose_handle, 184);
PF_ASSERT_OFFSET(PF_UtilCallbacks, get_callback_addr, 192);
PF_ASSERT_OFFSET(PF_UtilCallbacks, app, 200);
PF_ASSERT_OFFSET(PF_UtilCallbacks, ansi, 208);
PF_ASSERT_OFFSET(PF_UtilCallbacks, colorCB, 368);
PF_ASSERT_OFFSET(PF_UtilCallbacks, get_platform_data, 432);
PF_ASSERT_OFFSET(PF_UtilCallbacks, host_get_handle_size, 440);
PF_ASSERT_OFFSET(PF_UtilCallbacks, iterate_origin_non_clip_src, 448);
PF_ASSERT_OFFSET(PF_UtilCallbacks, iterate_generic, 456);
PF_ASSERT_OFFSET(PF_UtilCallbacks, host_resize_handle, 464);
PF_ASSERT_OFFSET(PF_UtilCallbacks, subpixel_sample16, 472);
PF_ASSERT_OFFSET(PF_UtilCallbacks, area_sample16, 480);
PF_ASSERT_OFFSET(PF_UtilCallbacks, fill16, 488);
PF_ASSERT_OFFSET(PF_UtilCallbacks, premultiply_color16, 496);
PF_ASSERT_OFFSET(PF_UtilCallbacks, iterate16, 504);
PF_ASSERT_OFFSET(PF_UtilCallbacks, iterate_origin16, 512);
PF_ASSERT_OFFSET(PF_UtilCallbacks, iterate_origin_non_clip_src16, 520);
PF_ASSERT_OFFSET(PF_UtilCallbacks, get_pixel_data8, 528);
PF_ASSERT_OFFSET(PF_UtilCallbacks, get_pixel_data16, 536);
PF_ASSERT_OFFSET(PF_UtilCallbacks, reserved, 544);

struct SPBasicSuite;

/* ---- Input and output records ----------------------------------------------------- */

/*
 * What the host tells the effect with every command. The effect reads the callbacks,
 * `effect_ref`, `appl_id`, the times, the layer's `width` and `height` and the basic
 * suite, and writes nothing here.
 */
typedef struct PF_InData {
  PF_InteractCallbacks inter;
  struct PF_UtilCallbacks* utils;
  PF_ProgPtr effect_ref;
  PF_Quality quality;
  PF_SpecVersion version;
  A_long serial_num;
  A_long appl_id;
  A_long num_params;
  A_long reserved;
  A_long what_cpu;
  A_long what_fpu;
  /* The requested time: frame position current_time / time_step. A time-reversed layer
   * has a negative time_step. */
  A_long current_time;
  A_long time_step;
  A_long total_time;
  A_long local_time_step;
  A_u_long time_scale;
  PF_Field field;
  PF_Fixed shutter_angle;
  /* The layer's size in pixels. */
  A_long width;
  A_long height;
  PF_LRect extent_hint;
  A_long output_origin_x;
  A_long output_origin_y;
  PF_RationalScale downsample_x;
  PF_RationalScale downsample_y;
  PF_RationalScale pixel_aspect_ratio;
  PF_InFlags in_flags;
  PF_Handle global_data;
  PF_Handle sequence_data;
  PF_Handle frame_data;
  A_long start_sampL;
  A_long dur_sampL;
  A_long total_sampL;
  PF_SoundWorld src_snd;
  struct SPBasicSuite* pica_basicP;
  A_long pre_effect_source_origin_x;
  A_long pre_effect_source_origin_y;
  PF_Fixed shutter_phase;
} PF_InData;
PF_ASSERT_SIZE(PF_InData, 408);
PF_ASSERT_OFFSET(PF_InData, inter, 0);
PF_ASSERT_OFFSET(PF_InData, utils, 176);
PF_ASSERT_OFFSET(PF_InData, effect_ref, 184);
PF_ASSERT_OFFSET(PF_InData, quality, 192);
PF_ASSERT_OFFSET(PF_InData, version, 196);
PF_ASSERT_OFFSET(PF_InData, serial_num, 200);
PF_ASSERT_OFFSET(PF_InData, appl_id, 204);
PF_ASSERT_OFFSET(PF_InData, num_params, 208);
PF_ASSERT_OFFSET(PF_InData, reserved, 212);
PF_ASSERT_OFFSET(PF_InData, what_cpu, 216);
PF_ASSERT_OFFSET(PF_InData, what_fpu, 220);
PF_ASSERT_OFFSET(PF_InData, current_time, 224);
PF_ASSERT_OFFSET(PF_InData, time_step, 228);
PF_ASSERT_OFFSET(PF_InData, total_time, 232);
PF_ASSERT_OFFSET(PF_InData, local_time_step, 236);
PF_ASSERT_OFFSET(PF_InData, time_scale, 240);
PF_ASSERT_OFFSET(PF_InData, field, 244);
PF_ASSERT_OFFSET(PF_InData, shutter_angle, 248);
PF_ASSERT_OFFSET(PF_InData, width, 252);
PF_ASSERT_OFFSET(PF_InData, height, 256);
PF_ASSERT_OFFSET(PF_InData, extent_hint, 260);
PF_ASSERT_OFFSET(PF_InData, output_origin_x, 276);
PF_ASSERT_OFFSET(PF_InData, output_origin_y, 280);
PF_ASSERT_OFFSET(PF_InData, downsample_x, 284);
PF_ASSERT_OFFSET(PF_InData, downsample_y, 292);
PF_ASSERT_OFFSET(PF_InData, pixel_aspect_ratio, 300);
PF_ASSERT_OFFSET(PF_InData, in_flags, 308);
PF_ASSERT_OFFSET(PF_InData, global_data, 312);
PF_ASSERT_OFFSET(PF_InData, sequence_data, 320);
PF_ASSERT_OFFSET(PF_InData, frame_data, 328);
PF_ASSERT_OFFSET(PF_InData, start_sampL, 336);
PF_ASSERT_OFFSET(PF_InData, dur_sampL, 340);
PF_ASSERT_OFFSET(PF_InData, total_sampL, 344);
PF_ASSERT_OFFSET(PF_InData, src_snd, 352);
PF_ASSERT_OFFSET(PF_InData, pica_basicP, 384);
PF_ASSERT_OFFSET(PF_InData, pre_effect_source_origin_x, 392);
PF_ASSERT_OFFSET(PF_InData, pre_effect_source_origin_y, 396);
PF_ASSERT_OFFSET(PF_InData, shutter_phase, 400);

/*
 * What the effect tells the host back. The effect writes only `my_version`, `out_flags`,
 * `num_params` and `return_msg`; the host reads them after the command.
 */
typedef struct PF_OutData {
  A_u_long my_version;
  A_char name[32];
  PF_Handle global_data;
  A_long num_params;
  PF_Handle sequence_data;
  A_long flat_sdata_size;
  PF_Handle frame_data;
  A_long width;
  A_long height;
  PF_Point origin;
  PF_OutFlags out_flags;
  A_char return_msg[PF_MAX_EFFECT_MSG_LEN + 1];
  A_long start_sampL;
  A_long dur_sampL;
  PF_SoundWorld dest_snd;
  PF_OutFlags2 out_flags2;
} PF_OutData;
PF_ASSERT_SIZE(PF_OutData, 408);
PF_ASSERT_OFFSET(PF_OutData, my_version, 0);
PF_ASSERT_OFFSET(PF_OutData, name, 4);
PF_ASSERT_OFFSET(PF_OutData, global_data, 40);
PF_ASSERT_OFFSET(PF_OutData, num_params, 48);
PF_ASSERT_OFFSET(PF_OutData, sequence_data, 56);
PF_ASSERT_OFFSET(PF_OutData, flat_sdata_size, 64);
PF_ASSERT_OFFSET(PF_OutData, frame_data, 72);
PF_ASSERT_OFFSET(PF_OutData, width, 80);
PF_ASSERT_OFFSET(PF_OutData, height, 84);
PF_ASSERT_OFFSET(PF_OutData, origin, 88);
PF_ASSERT_OFFSET(PF_OutData, out_flags, 96);
PF_ASSERT_OFFSET(PF_OutData, return_msg, 100);
PF_ASSERT_OFFSET(PF_OutData, start_sampL, 356);
PF_ASSERT_OFFSET(PF_OutData, dur_sampL, 360);
PF_ASSERT_OFFSET(PF_OutData, dest_snd, 368);
PF_ASSERT_OFFSET(PF_OutData, out_flags2, 400);

/* ---- Entry points ----------------------------------------------------------------- */

/* The effect's one entry point: one command per call, on the host's thread. */
typedef PF_Err (*PF_EffectMainFunc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);

typedef void* PF_PluginDataPtr;

/* The host's description callback, called once by PluginDataEntryFunction. */
typedef PF_Err (*PF_PluginDataCB)(PF_PluginDataPtr inPtr, const A_char* inNameZ,
                                  const A_char* inMatchNameZ, const A_char* inCategoryZ,
                                  const A_char* inEntryPointNameZ, A_long inType,
                                  A_long inAEVersion, A_long inAESubVersion, A_long inReservedInfo);

typedef PF_Err (*PF_PluginDataEntryFunc)(PF_PluginDataPtr inPtr,
                                         PF_PluginDataCB inPluginDataCallBackPtr,
                                         struct SPBasicSuite* inSPBasicSuitePtr,
                                         const A_char* inHostName, const A_char* inHostVersion);

#ifdef __cplusplus
}
#endif

#endif
