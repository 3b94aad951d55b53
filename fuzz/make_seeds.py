#!/usr/bin/env python3
"""Writes the seed sessions of fuzz/corpus/ from readable action lists, among them the
sessions whose last command the fault sweep breaks in every way it can.

The byte layout is the one fuzz/session_script.cpp reads: a header (width - 1, height - 1,
time step choice, time scale choice, final frame choice), then one action byte followed by
its arguments. Run it after changing the layout; findings kept in the corpus are raw
fuzzer inputs and are not written here.
"""
import os
import struct

# Every action in the interpreter's order, with its arguments as struct formats; "s" is a
# layer side and "n" / "N" a call count (a byte / two), each written less one.
ACTIONS = {"global_setup": "", "params_setup": "", "render": "b", "render_at": "i",
           "render_bad_step": "Bi", "change": "BB", "about": "", "setdown": "",
           "ignored_command": "B", "value": "BB", "key": "BbB", "layer": "BbBssB",
           "layer_from": "BbBssB", "layer_size": "ss", "frame_rate": "BB", "fail_call": "NB",
           "fail_op": "BnB", "missing_suite": "B", "memory_limit": "H", "cancel": "",
           "reverse": ""}
LESS_ONE = {"s": "B", "n": "B", "N": "H"}
# The options a choice byte picks from, in the order of the interpreter's tables.
CONTROLS = ("seed sensor_angle turn_angle sensor_distance decay trail_color particle_count"
            " infection infected_sensor_angle infected_turn_angle infected_sensor_distance"
            " infected_trail_color").split()
CHOICES = [CONTROLS] + [names.split() for names in [
    "input spawn infected", "demo disc black white dim transparent noise",
    "keyframe_text cancel out_of_memory bad_callback_param invalid_index one negative",
    "new_world dispose_world fill copy blend convolve new_handle lock_handle acquire_suite"
    " release_suite checkout checkin add_param abort",
    "handle world_transform ansi param_utils", "with_record without_record"]]
NAMES = {name: i for names in CHOICES for i, name in enumerate(names)}
NAMES.update(none=0xF0, reset=18)  # no optional layer; the Reset button's parameter index
STEPS = [1, 2, 1001, 100000, 1 << 30, 2**31 - 1]
SCALES = [24, 24000, 1]


def session(w, h, step, actions, scale=24, final=1):
    """A header and `actions`: comma-separated, each its name and arguments (numbers or
    names of choices); further arguments repeat the action ("render 0 1 2")."""
    data = bytes([w - 1, h - 1, STEPS.index(step), SCALES.index(scale), final])
    for action in actions.split(","):
        name, *args = action.split()
        formats = ACTIONS[name]
        for i in range(0, max(len(args), 1), max(len(formats), 1)):
            data += bytes([list(ACTIONS).index(name)])
            for f, arg in zip(formats, args[i:i + len(formats)], strict=True):
                value = NAMES[arg] if arg in NAMES else int(arg)
                data += struct.pack("<" + LESS_ONE.get(f, f), value - (f in LESS_ONE))
    return data


SEEDS = {
    "forward_replay_reset": session(24, 16, 1001, "render 0 1 2 2 5, change reset with_record,"
                                    " render 0, about, render -3, setdown, render 0"),
    "infection_and_both_layers": session(24, 16, 1001, "value infection 1,"
        " layer input 0 demo 12 8 0, layer spawn 0 disc 24 16 0, layer infected 0 disc 12 8 0,"
        " render 0 1 2 1, value infection 0, render 0 1"),
    "failing_calls_of_a_replay": session(24, 16, 1001, "value infection 1,"
        " layer infected 0 noise 9 7 0, layer spawn 0 disc 5 5 0, fail_call 40 keyframe_text,"
        " render 1 0, fail_call 75 keyframe_text, render 1, fail_call 150 negative, render 2,"
        " fail_op dispose_world 2 keyframe_text, render 3, fail_op release_suite 1 keyframe_text,"
        " render 4, fail_op new_handle 1 keyframe_text, render 0"),
    "controls_at_their_ends": session(16, 12, 1, ",".join(
        [f"value {c} 0" for c in CONTROLS] + ["render 0 1"] +
        [f"value {c} 255" for c in CONTROLS] + ["render 2 3"])),
    "tiny_layers": session(1, 1, 1, "render 0 1, layer_size 2 1, render 2 3,"
        " value particle_count 0, layer_size 5 5, render 4, layer input 0 white 1 1 0, render 5"),
    "huge_and_negative_times": session(8, 8, 1, "render_at 2147483647 -2147483648 -1, render 0,"
        " render_bad_step 0 5 2 -5, frame_rate 5 2, render_at 2147483647, render 1"),
    "keyframed_count_and_seed": session(20, 20, 2, "key particle_count 0 0 particle_count 4 255"
        " seed 2 7 seed 5 200 infection 3 1, layer spawn 0 dim 20 20 0, render 0 1 2 3 4 5 2"),
    "memory_suites_cancel": session(12, 10, 1, "memory_limit 0, render 0 1, memory_limit 65535,"
        " render 1, missing_suite handle, render 2, setdown, missing_suite handle param_utils,"
        " change reset with_record, setdown, missing_suite param_utils ansi, about,"
        " missing_suite ansi, cancel, render 2 0"),
    "setup_refused_and_ignored_commands": session(10, 6, 1001, "fail_op add_param 7"
        " keyframe_text, params_setup, render 0, params_setup, render 0, ignored_command 1 10,"
        " change 3 with_record reset without_record, global_setup, render 1"),
    "population_grows_and_shrinks_while_calls_fail": session(20, 14, 1001, "layer spawn 0 white"
        " 20 14 0, key particle_count 0 0 particle_count 2 255 particle_count 4 0 infection 0 0"
        " infection 2 1, render 0 1, fail_op copy 1 cancel, render 2 0 1, fail_op new_world 1"
        " negative, render 2, reverse, render 0 1 2 3 4, layer_size 9 30, render 5 2"),
    # A frame whose population grows fails before its passes: its staging copy, its new
    # InfectionMap; the passes must not walk 307 records over the 20 the array holds.
    **{f"failed_frame_of_a_growing_population_{op}": session(32, 32, 1001, "layer spawn 0 white"
        f" 32 32 0, key particle_count 0 0 particle_count 1 255 infection 0 0 infection 1 {on},"
        f" render 0, fail_op {op} 1 keyframe_text, render 1")
        for op, on in [("copy", 0), ("new_world", 1)]},
    "layer_per_frame_and_size_change": session(16, 16, 1001, "layer_from input 0 noise 16 16 3"
        " input 2 demo 7 30 0, layer spawn 0 none 1 1 0, layer infected 0 transparent 16 16 0,"
        " value infection 1, render 0 1 2, layer_size 32 10, render 3 4 1"),
}
# The fault sweep's sessions, at 24 x 16 and frames of 1001/24000 s: renders of a first
# frame, a next frame and a replay, also with infection and both optional layers (the
# layer and the Infected Layer of another size, scaled through the staging world), and at
# another layer size; a next frame whose population grows from 2 % to 30 % on a Spawn
# Layer (also with Infection switching on, with and without an Infected Layer, on a
# time-reversed layer and at a new layer size) or shrinks back; parameter setup; about;
# the reset button; global setdown.
RICH = ("value infection 1, layer input 0 demo 12 8 0, layer spawn 0 disc 24 16 0,"
        " layer infected 0 disc 12 8 0, ")
GROW = "layer spawn 0 white 24 16 0, key particle_count 0 0 particle_count 1 255, "
SWITCH_ON = GROW + "key infection 0 0 infection 1 1, " 
SWEEPS = {name: session(24, 16, 1001, actions, scale=24000) for name, actions in {
    "render_first_frame": "render 0", "render_next_frame": "render 0 1",
    "render_replay": "render 0 1 2 1", "render_resized": "render 0 1, layer_size 16 24, render 2",
    "render_next_frame_rich": RICH + "render 0 1", "render_replay_rich": RICH + "render 0 1 1",
    "render_grown": GROW + "render 0 1",
    "render_shrunk": "key particle_count 0 255 particle_count 1 0, render 0 1",
    "render_grown_infection_on": SWITCH_ON + "layer infected 0 disc 12 8 0, render 0 1",
    "render_grown_infection_on_without_layer": SWITCH_ON + "render 0 1",
    "render_grown_time_reversed": "reverse, " + GROW + "render 0 1",
    "render_grown_resized": GROW + "render 0, layer_size 16 24, render 1",
    "params_setup": "params_setup", "about": "render 0, about",
    "reset": RICH + "render 0 1, change reset with_record", "setdown": RICH + "render 0 1, setdown",
}.items()}


corpus = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
for prefix, sessions in [("seed_", SEEDS), ("sweep_", SWEEPS)]:
    for name, data in sessions.items():
        with open(os.path.join(corpus, prefix + name), "wb") as f:
            f.write(data)
