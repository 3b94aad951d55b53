#!/usr/bin/env python3
"""Writes the seed sessions of fuzz/corpus/ from readable action lists.

The byte layout is the one fuzz/session_script.cpp reads: a header (width - 1, height - 1,
time step choice, time scale choice, final frame choice), then one action byte followed by
its arguments. Run it after changing the layout; findings kept in the corpus are raw
fuzzer inputs and are not written here.
"""
import os
import struct

ACTIONS = [
    "global_setup", "params_setup", "render_frame", "render_at", "render_bad_step",
    "change_param", "about", "setdown", "ignored_command", "set_value", "set_keyframe",
    "set_layer", "set_layer_from", "layer_size", "frame_rate", "fail_call", "fail_op",
    "missing_suite", "memory_limit", "cancel",
]
CONTROLS = ["seed", "sensor_angle", "turn_angle", "sensor_distance", "decay", "trail_color",
            "particle_count", "infection", "infected_sensor_angle", "infected_turn_angle",
            "infected_sensor_distance", "infected_trail_color"]
LAYERS = ["input", "spawn", "infected"]
PATTERNS = ["demo", "disc", "black", "white", "dim", "transparent", "noise"]
STEPS = [1, 2, 1001, 100000, 1 << 30, 2**31 - 1]
SCALES = [24, 24000, 1]
CODES = ["keyframe_text", "cancel", "out_of_memory", "bad_callback_param", "invalid_index",
         "one", "negative"]
OPS = ["new_world", "dispose_world", "fill", "copy", "blend", "convolve", "new_handle",
       "lock_handle", "acquire_suite", "release_suite", "checkout", "checkin", "add_param",
       "abort"]
SUITES = ["handle", "world_transform", "ansi", "param_utils"]
NONE = 0xF0  # a pattern byte from here on means "no layer" for the optional layers


def i8(v):
    return struct.pack("<b", v)


def header(w, h, step, scale=24, final=1):
    return bytes([w - 1, h - 1, STEPS.index(step), SCALES.index(scale), final])


def act(name, *args):
    return bytes([ACTIONS.index(name)]) + b"".join(args)


def render(frame):
    return act("render_frame", i8(frame))


def render_at(time):
    return act("render_at", struct.pack("<i", time))


def value(control, b):
    return act("set_value", bytes([CONTROLS.index(control), b]))


def key(control, frame, b):
    return act("set_keyframe", bytes([CONTROLS.index(control)]), i8(frame), bytes([b]))


def layer(which, pattern, w, h, frame=0, from_frame=False, seed=0):
    p = NONE if pattern is None else PATTERNS.index(pattern)
    name = "set_layer_from" if from_frame else "set_layer"
    return act(name, bytes([LAYERS.index(which)]), i8(frame), bytes([p, w - 1, h - 1, seed]))


def fail_call(n, code="keyframe_text"):
    return act("fail_call", struct.pack("<H", n - 1), bytes([CODES.index(code)]))


def fail_op(op, n, code="keyframe_text"):
    return act("fail_op", bytes([OPS.index(op), n - 1, CODES.index(code)]))


def change(index, record=True):
    return act("change_param", bytes([index, 0 if record else 1]))


RESET = 18

SEEDS = {
    "forward_replay_reset": header(24, 16, 1001) + b"".join(
        [render(0), render(1), render(2), render(2), render(5), change(RESET), render(0),
         act("about"), render(-3), act("setdown"), render(0)]),
    "infection_and_both_layers": header(24, 16, 1001) + b"".join(
        [value("infection", 1), layer("input", "demo", 12, 8), layer("spawn", "disc", 24, 16),
         layer("infected", "disc", 12, 8), render(0), render(1), render(2), render(1),
         value("infection", 0), render(0), render(1)]),
    "failing_calls_of_a_replay": header(24, 16, 1001) + b"".join(
        [value("infection", 1), layer("infected", "noise", 9, 7), layer("spawn", "disc", 5, 5),
         fail_call(40), render(1), render(0), fail_call(75), render(1), fail_call(150, "negative"),
         render(2), fail_op("dispose_world", 2), render(3), fail_op("release_suite", 1),
         render(4), fail_op("new_handle", 1), render(0)]),
    "controls_at_their_ends": header(16, 12, 1) + b"".join(
        [value(c, 0) for c in CONTROLS] + [render(0), render(1)] +
        [value(c, 255) for c in CONTROLS] + [render(2), render(3)]),
    "tiny_layers": header(1, 1, 1) + b"".join(
        [render(0), render(1), act("layer_size", bytes([1, 0])), render(2), render(3),
         value("particle_count", 0), act("layer_size", bytes([4, 4])), render(4),
         layer("input", "white", 1, 1), render(5)]),
    "huge_and_negative_times": header(8, 8, 1) + b"".join(
        [render_at(2**31 - 1), render_at(-2**31), render_at(-1), render(0),
         act("render_bad_step", bytes([0]), struct.pack("<i", 5)),
         act("render_bad_step", bytes([2]), struct.pack("<i", -5)),
         act("frame_rate", bytes([5, 2])), render_at(2**31 - 1), render(1)]),
    "keyframed_count_and_seed": header(20, 20, 2) + b"".join(
        [key("particle_count", 0, 0), key("particle_count", 4, 255), key("seed", 2, 7),
         key("seed", 5, 200), key("infection", 3, 1), layer("spawn", "dim", 20, 20),
         render(0), render(1), render(2), render(3), render(4), render(5), render(2)]),
    "memory_suites_cancel": header(12, 10, 1) + b"".join(
        [act("memory_limit", struct.pack("<H", 0)), render(0), render(1),
         act("memory_limit", struct.pack("<H", 0xFFFF)), render(1),
         act("missing_suite", bytes([0])), render(2), act("setdown"),
         act("missing_suite", bytes([0])), act("missing_suite", bytes([3])), change(RESET),
         act("setdown"), act("missing_suite", bytes([3])), act("missing_suite", bytes([2])),
         act("about"), act("missing_suite", bytes([2])), act("cancel"), render(2), render(0)]),
    "setup_refused_and_ignored_commands": header(10, 6, 1001) + b"".join(
        [fail_op("add_param", 7), act("params_setup"), render(0), act("params_setup"), render(0),
         act("ignored_command", bytes([1])), act("ignored_command", bytes([10])),
         change(3), change(RESET, record=False), act("global_setup"), render(1)]),
    "layer_per_frame_and_size_change": header(16, 16, 1001) + b"".join(
        [layer("input", "noise", 16, 16, frame=0, from_frame=True, seed=3),
         layer("input", "demo", 7, 30, frame=2, from_frame=True),
         layer("spawn", None, 1, 1), layer("infected", "transparent", 16, 16),
         value("infection", 1), render(0), render(1), render(2),
         act("layer_size", bytes([31, 9])), render(3), render(4), render(1)]),
}


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, "seed_" + name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
