// Frame sequences of the door plug-in, shared by the logic test (fresh state per row) and the test
// that drives the built library (a fresh load per row). Each row starts a run (SetVehicleSpec,
// Initialize and one quiet frame at time 0) unless it says fromLoad, then plays its steps: the host
// calls before a frame, the keys held down in that frame, the speed, and the frame's outputs in
// short form (see summarize). The driver's handles are power 4, brake 2, reverser 1 throughout.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "frame/host.h"
#include "tools/host/private_plugin.h"

namespace door_test {

inline constexpr std::int32_t kDriverPower = 4;
inline constexpr std::int32_t kDriverBrake = 2;
inline constexpr std::int32_t kDriverReverser = 1;
// What the arrays hold before each frame, so that untouched slots show: the host harness's mark.
inline constexpr std::int32_t kUntouched = host::kUntouched;

// The integer settings of section "DATA" that a row runs with.
struct Tuning {
    std::int32_t closetime = 5000;
    std::int32_t doorlock = 1;
    std::int32_t DoorNum = 3;
    std::int32_t DIR = 1;
};

enum class CallKind { Initialize, SetVehicleSpec, DoorOpen, DoorClose, Beacon };

struct Call {
    CallKind kind;
    std::int32_t type = 0;
    std::int32_t optional = 0;
};

inline Call initialize() { return {CallKind::Initialize}; }
inline Call vehicleSpec() { return {CallKind::SetVehicleSpec}; }
inline Call hostOpens() { return {CallKind::DoorOpen}; }
inline Call hostCloses() { return {CallKind::DoorClose}; }
inline Call beacon(std::int32_t type, std::int32_t optional) { return {CallKind::Beacon, type, optional}; }

struct Step {
    std::vector<Call> calls;  // made before the frame, in this order
    std::int32_t time;
    const char* keys;  // the keys down in this frame: letters of R, E, T, Y (their key codes)
    float speed;
    const char* expect;
};

struct Sequence {
    const char* name;
    Tuning tuning;
    bool fromLoad;  // no run start: the first step is the first frame after load
    std::vector<Step> steps;
};

// A frame's outputs in short form: the doors ("closed", or the side and "open" or "closing" from
// the side lamps and the open switches), "p" and the returned power, then the sound slots that got
// SoundOnce and those that got SoundStop. Anything odd (a lamp pair that disagrees, a pending slot
// with another value) is spelt out, so it cannot pass unnoticed.
inline std::string summarize(const std::int32_t* panel, const std::int32_t* sound,
                             const frame::Handles& handles) {
    std::string out;
    const bool right = panel[200] == 1;
    const bool left = panel[201] == 1;
    const bool switchOn = panel[205] == 1 || panel[206] == 1;
    if (!left && !right && panel[20] == 1) {
        out = "closed";
    } else if (left != right && panel[20] == 0) {
        out = std::string(left ? "left" : "right") + (switchOn ? " open" : " closing");
    } else {
        out = "lamps 200=" + std::to_string(panel[200]) + " 201=" + std::to_string(panel[201]) +
              " 20=" + std::to_string(panel[20]);
    }
    out += " p" + std::to_string(handles.power);
    std::string once;
    std::string stop;
    std::string odd;
    for (int slot : {95, 96, 150, 151, 152, 153, 154, 155, 156, 157}) {
        const std::int32_t value = sound[slot];
        if (value == frame::SoundOnce) {
            once += " " + std::to_string(slot);
        } else if (value == frame::SoundStop) {
            stop += " " + std::to_string(slot);
        } else if (value != frame::SoundKeep) {
            odd += " " + std::to_string(slot) + "=" + std::to_string(value);
        }
    }
    if (!once.empty()) out += " once" + once;
    if (!stop.empty()) out += " stop" + stop;
    if (!odd.empty()) out += " odd" + odd;
    return out;
}

inline constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
inline constexpr std::int32_t kNearTop = std::numeric_limits<std::int32_t>::max() - 1000;

// clang-format off
inline const std::vector<Sequence>& sequences() {
    static const std::vector<Sequence> rows = {
        {"E_opens_left_and_cuts_power_from_the_next_frame", {}, false, {
            {{}, 1000, "E", 0, "left open p4 once 150 155 156"},
            {{}, 1100, "E", 0, "left open p0"},
            {{}, 1200, "",  0, "left open p0"}}},
        {"T_opens_right", {}, false, {
            {{}, 1000, "T", 0, "right open p4 once 151 155 156"},
            {{}, 1100, "",  0, "right open p0"}}},
        {"E_and_T_together_open_left", {}, false, {
            {{}, 1000, "ET", 0, "left open p4 once 150 155 156"},
            {{}, 1100, "",   0, "left open p0"}}},
        {"R_and_E_together_while_closed_open_left_and_R_is_refused", {.doorlock = 0}, false, {
            {{}, 1000, "RE", 0, "left open p4 once 150 155 156"},
            {{}, 1100, "",   0, "left open p0"}}},
        {"a_held_key_acts_once", {.doorlock = 0}, false, {
            {{}, 1000, "E",  0, "left open p4 once 150 155 156"},
            {{}, 2000, "ER", 0, "left closing p0 once 152 156 stop 150 151"},
            {{}, 7000, "ER", 0, "closed p0 once 154"},
            {{}, 7100, "ER", 0, "closed p4"},
            {{}, 7200, "R",  0, "closed p4"},
            {{}, 7300, "RE", 0, "left open p4 once 150 155 156"}}},
        {"E_is_refused_while_moving", {}, false, {
            {{}, 1000, "",  10, "closed p4 once 95"},
            {{}, 2000, "E", 10, "closed p4 once 156"},
            {{}, 3000, "",  3,  "closed p4 once 96"},
            {{}, 4000, "E", 0,  "left open p4 once 150 155 156"}}},
        {"E_in_the_frame_the_train_starts_moving_still_opens", {}, false, {
            {{}, 1000, "E", 10, "left open p4 once 95 150 155 156"}}},
        {"exactly_5_kmh_is_standing", {}, false, {
            {{}, 1000, "",  5, "closed p4"},
            {{}, 2000, "E", 5, "left open p4 once 150 155 156"}}},
        {"backwards_above_5_kmh_is_moving", {}, false, {
            {{}, 1000, "",  -6, "closed p4 once 95"},
            {{}, 2000, "E", -6, "closed p4 once 156"}}},
        {"a_NaN_speed_changes_nothing", {}, false, {
            {{}, 1000, "",  10,   "closed p4 once 95"},
            {{}, 2000, "",  kNaN, "closed p4"},
            {{}, 3000, "E", kNaN, "closed p4 once 156"},
            {{}, 4000, "",  0,    "closed p4 once 96"},
            {{}, 5000, "",  kNaN, "closed p4"},
            {{}, 6000, "E", kNaN, "left open p4 once 150 155 156"}}},
        {"door_lock_refuses_R_until_the_host_reports_its_doors_closed", {}, false, {
            {{},             1000, "E", 0, "left open p4 once 150 155 156"},
            {{},             2000, "R", 0, "left open p0 once 156"},
            {{hostCloses()}, 3000, "",  0, "left open p0"},
            {{},             4000, "R", 0, "left closing p0 once 152 156 stop 150 151"},
            {{},             9000, "",  0, "closed p0 once 154"},
            {{},             9100, "",  0, "closed p4"}}},
        {"door_lock_refuses_R_after_the_host_opens_again", {}, false, {
            {{hostCloses()},            1000, "E", 0, "left open p4 once 150 155 156"},
            {{hostOpens()},             2000, "R", 0, "left open p0 once 156"}}},
        {"without_door_lock_R_closes_with_the_host_doors_open", {.doorlock = 0}, false, {
            {{},             1000, "E", 0, "left open p4 once 150 155 156"},
            {{},             2000, "R", 0, "left closing p0 once 152 156 stop 150 151"}}},
        {"closing_with_counted_doors_takes_closetime", {.doorlock = 0}, false, {
            {{}, 5000,  "T", 0, "right open p4 once 151 155 156"},
            {{}, 10000, "R", 0, "right closing p0 once 153 156 stop 150 151"},
            {{}, 14999, "",  0, "right closing p0"},
            {{}, 15000, "",  0, "closed p0 once 154"},
            {{}, 15001, "",  0, "closed p4"}}},
        {"closing_without_counted_doors_ends_in_the_same_frame", {.doorlock = 0}, false, {
            {{beacon(87, 5)}, 1000, "E", 0, "left open p4 once 155 156"},
            {{},              2000, "R", 0, "closed p0 once 154 156"},
            {{},              2100, "",  0, "closed p4"}}},
        {"closetime_zero_ends_a_closing_with_counted_doors_at_once", {.closetime = 0, .doorlock = 0}, false, {
            {{}, 1000, "E", 0, "left open p4 once 150 155 156"},
            {{}, 2000, "R", 0, "closed p0 once 152 154 156 stop 150 151"},
            {{}, 2100, "",  0, "closed p4"}}},
        {"negative_closetime_ends_a_closing_at_once", {.closetime = -100, .doorlock = 0}, false, {
            {{}, 1000, "T", 0, "right open p4 once 151 155 156"},
            {{}, 2000, "R", 0, "closed p0 once 153 154 156 stop 150 151"}}},
        {"keys_are_refused_while_closing", {.doorlock = 0}, false, {
            {{}, 1000, "E", 0, "left open p4 once 150 155 156"},
            {{}, 2000, "R", 0, "left closing p0 once 152 156 stop 150 151"},
            {{}, 3000, "Y", 0, "left closing p0"},
            {{}, 4000, "E", 0, "left closing p0 once 156"},
            {{}, 4500, "R", 0, "left closing p0 once 156"},
            {{}, 5000, "T", 0, "left closing p0 once 156"},
            {{}, 7000, "",  0, "closed p0 once 154"}}},
        {"Y_switches_the_mode_only_while_closed", {}, false, {
            {{}, 1000, "Y",  0, "closed p4 once 157"},
            {{}, 2000, "E",  0, "left open p4 once 150 155 156"},
            {{}, 3000, "EY", 0, "left open p0"}}},
        {"Initialize_while_open_closes_in_the_next_frame", {}, false, {
            {{},             1000, "E", 0, "left open p4 once 150 155 156"},
            {{initialize()}, 2000, "",  0, "closed p0 once 154"},
            {{},             2100, "",  0, "closed p4"},
            {{},             2200, "E", 0, "left open p4 once 150 155 156"}}},
        // What Initialize keeps (the host's door report, the key edges) and what it resets (the
        // previous frame's time, the next check, the moving flag), each seen through an output.
        {"Initialize_keeps_the_host_doors_closed_report", {}, false, {
            {{hostCloses(), initialize()}, 1000, "E", 0, "left open p4 once 150 155 156"},
            {{},                           2000, "R", 0, "left closing p0 once 152 156 stop 150 151"}}},
        {"Initialize_keeps_the_previous_key_poll", {}, false, {
            {{},             1000, "E", 0, "left open p4 once 150 155 156"},
            {{initialize()}, 2000, "E", 0, "closed p0 once 154"}}},
        {"Initialize_forgets_the_previous_frame_time", {}, false, {
            {{},                                                 20000, "",  0, "closed p4"},
            {{initialize(), beacon(87, 300), beacon(88, 500)},   1000,  "",  0, "closed p4"},
            {{},                                                 5001,  "E", 0, "left open p4 once 150 155 156"}}},
        {"Initialize_clears_the_next_check", {}, false, {
            {{beacon(86, 0), beacon(87, 300)},                   100000, "E", 0, "left open p4 once 155 156"},
            {{initialize(), beacon(87, 300), beacon(88, 500)},   1000,   "",  0, "closed p0 once 154"},
            {{},                                                 5001,   "E", 0, "left open p4 once 150 155 156"}}},
        {"Initialize_clears_the_moving_flag", {}, false, {
            {{},             1000, "", 30, "closed p4 once 95"},
            {{initialize()}, 2000, "", 30, "closed p4 once 95"}}},
        {"E_and_Y_together_while_closed_both_act", {}, false, {
            {{}, 1000, "EY", 0, "left open p4 once 150 155 156 157"}}},
        {"the_first_frame_after_load_reports_the_doors_closing", {}, true, {
            {{}, 0,   "", 0, "closed p0 once 154"},
            {{}, 100, "", 0, "closed p4"}}},
        {"a_key_down_at_the_first_poll_after_load_counts_as_pressed", {}, true, {
            {{}, 0,   "E", 0, "left open p0 once 156"},
            {{}, 100, "",  0, "left open p0"},
            {{}, 200, "R", 0, "closed p0 once 154 156"},
            {{}, 300, "",  0, "closed p4"}}},
        {"DIR_zero_passes_the_driver_notch", {.DIR = 0}, false, {
            {{}, 1000, "E", 0, "left open p4 once 150 155 156"},
            {{}, 1100, "",  0, "left open p4"}}},
        {"negative_DIR_cuts_power", {.DIR = -1}, false, {
            {{}, 1000, "E", 0, "left open p4 once 150 155 156"},
            {{}, 1100, "",  0, "left open p0"}}},
        {"a_closing_started_at_time_zero_without_counted_doors_waits_a_frame", {.doorlock = 0}, false, {
            {{beacon(87, 5)}, 0,   "E", 0, "left open p4 once 155 156"},
            {{},              0,   "R", 0, "left closing p0 once 156"},
            {{},              100, "",  0, "closed p0 once 154"}}},
        {"time_going_back_or_standing_keeps_a_closing_running", {.doorlock = 0}, false, {
            {{}, 1000, "E", 0, "left open p4 once 150 155 156"},
            {{}, 2000, "R", 0, "left closing p0 once 152 156 stop 150 151"},
            {{}, 500,  "",  0, "left closing p0"},
            {{}, 3000, "",  0, "left closing p0"},
            {{}, 3000, "",  0, "left closing p0"},
            {{}, 6999, "",  0, "left closing p0"},
            {{}, 7000, "",  0, "closed p0 once 154"}}},
        // The deadline wraps past the top of the clock to a negative time, which the signed clock
        // reads as already passed.
        {"a_closing_near_the_top_of_the_clock_wraps_and_ends_at_once", {.doorlock = 0}, false, {
            {{}, kNearTop,       "E", 0, "left open p4 once 150 155 156"},
            {{}, kNearTop + 500, "R", 0, "closed p0 once 152 154 156 stop 150 151"}}},
        // Chance events, against the generator's draws 41, 467, 334, 500, 169, 724, 478, 358, 962,
        // 464, 705, 145 (per mille) from load.
        {"chance_openings_and_closings_follow_the_draws", {}, false, {
            {{beacon(87, -300), beacon(88, 500)}, 1000, "E", 0, "left open p4 once 150 155 156"},
            {{},             6000,  "", 0, "left open p0"},
            {{},             6001,  "", 0, "left open p0 once 152"},
            {{},             11002, "", 0, "left open p0 once 152"},
            {{},             16003, "", 0, "left open p0"},
            {{},             21004, "", 0, "left open p0"},
            {{},             26005, "", 0, "left open p0"},
            {{},             31006, "", 0, "left open p0"},
            {{},             36007, "", 0, "left open p0"},
            {{},             41008, "", 0, "left open p0"},
            {{},             46009, "", 0, "left open p0 once 150"},
            {{hostCloses()}, 47000, "R", 0, "left closing p0 once 152 156 stop 150 151"}}},
        // The first draw is 41: a chance of exactly 41 per mille does not open.
        {"a_draw_equal_to_the_opening_chance_does_not_open", {}, false, {
            {{beacon(87, 41), beacon(88, 500)}, 1000, "E", 0, "left open p4 once 155 156"}}},
        {"a_zero_chance_stops_chance_events_but_uses_its_draws", {}, false, {
            {{beacon(87, -300)}, 1000,  "E", 0, "left open p4 once 150 155 156"},
            {{beacon(88, 500)},  6001,  "",  0, "left open p0"},
            {{},                 11002, "",  0, "left open p0 once 150"}}},
        {"beacon_86_limits_chance_openings", {}, false, {
            {{beacon(86, 1), beacon(87, -500), beacon(88, 500)}, 1000, "T", 0,
                                 "right open p4 once 151 153 155 156"},
            {{},             6001,  "",  0, "right open p0 once 151"},
            {{},             11002, "",  0, "right open p0 once 153"},
            {{hostCloses()}, 12000, "R", 0, "closed p0 once 154 156"}}},
        {"the_closing_chance_survives_Initialize_the_opening_chance_does_not", {}, false, {
            {{beacon(87, -300), beacon(88, 500), initialize()}, 1000, "E", 0,
                                    "left open p4 once 150 155 156"},
            {{beacon(87, -300)}, 6001,  "", 0, "left open p0"},
            {{},                 11002, "", 0, "left open p0 once 150"}}},
        {"while_closed_the_next_check_follows_the_previous_frame", {}, false, {
            {{beacon(87, -300), beacon(88, 500)}, 100, "", 0, "closed p4"},
            {{}, 5000, "E", 0, "left open p4 once 150 155 156"},
            {{}, 5001, "",  0, "left open p0 once 150"}}},
        {"other_beacons_change_nothing", {}, false, {
            {{beacon(85, 500), beacon(89, 500), beacon(0, 500)}, 1000, "E", 0, "left open p4 once 150 155 156"},
            {{}, 6001, "", 0, "left open p0"}}},
    };
    return rows;
}
// clang-format on

inline std::string sequenceName(const Sequence& row) { return row.name; }

}  // namespace door_test
