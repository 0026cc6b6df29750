// The door logic with a fresh state per case: the frame sequences of sequences.h, then the lamps,
// the slots a frame writes, the beacons, the generator and the moments the settings are read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "door/logic.h"
#include "door/sequences.h"

namespace {

using door_test::Call;
using door_test::CallKind;
using door_test::kUntouched;

class Harness {
public:
    void tune(const door_test::Tuning& tuning) {
        settings.closetime = tuning.closetime;
        settings.doorlock = tuning.doorlock;
        settings.DoorNum = tuning.DoorNum;
        settings.DIR = tuning.DIR;
    }

    void call(const Call& c) {
        switch (c.kind) {
            case CallKind::Initialize:
                door::initialize(state, settings);
                break;
            case CallKind::SetVehicleSpec:
                door::setVehicleSpec(state, settings);
                break;
            case CallKind::DoorOpen:
                door::doorOpen(state);
                break;
            case CallKind::DoorClose:
                door::doorClose(state);
                break;
            case CallKind::Beacon:
                door::setBeaconData(state, settings, {c.type, 0, 0.0f, c.optional});
                break;
        }
    }

    void startRun() {
        call(door_test::vehicleSpec());
        call(door_test::initialize());
        frame(0, "", 0.0f);
    }

    // One frame with the given keys down; returns its outputs in short form.
    std::string frame(std::int32_t time, const char* keys, float speed) {
        state.keyState.fill(0);
        for (const char* k = keys; *k != '\0'; ++k)
            state.keyState[static_cast<std::uint8_t>(*k)] = door::KeyDownBit;
        std::fill(std::begin(panel), std::end(panel), kUntouched);
        std::fill(std::begin(sound), std::end(sound), kUntouched);
        frame::VehicleState vehicle{};
        vehicle.time = time;
        vehicle.speed = speed;
        vehicle.position = 123.0;
        handles = door::elapse(state, settings, driver, vehicle, panel, sound);
        EXPECT_EQ(handles.brake, door_test::kDriverBrake);
        EXPECT_EQ(handles.reverser, door_test::kDriverReverser);
        EXPECT_EQ(handles.constantSpeed, frame::ConstantSpeedKeep);
        return door_test::summarize(panel, sound, handles);
    }

    door::DoorSettings settings;
    door::DoorState state;
    frame::DriverHandles driver{door_test::kDriverPower, door_test::kDriverBrake, door_test::kDriverReverser};
    std::int32_t panel[256] = {};
    std::int32_t sound[256] = {};
    frame::Handles handles{};
};

// Every row of the shared sequences, step by step; a failure names the row and the step's time.
class DoorSequence : public testing::TestWithParam<door_test::Sequence> {};

TEST_P(DoorSequence, FramesGiveTheExpectedOutputs) {
    const door_test::Sequence& row = GetParam();
    Harness h;
    h.tune(row.tuning);
    if (!row.fromLoad) h.startRun();
    for (std::size_t i = 0; i < row.steps.size(); ++i) {
        const door_test::Step& step = row.steps[i];
        SCOPED_TRACE("step " + std::to_string(i) + " at time " + std::to_string(step.time));
        for (const Call& c : step.calls) h.call(c);
        EXPECT_EQ(h.frame(step.time, step.keys, step.speed), step.expect);
    }
}

INSTANTIATE_TEST_SUITE_P(Door, DoorSequence, testing::ValuesIn(door_test::sequences()),
                         [](const testing::TestParamInfo<door_test::Sequence>& row) {
                             return row.param.name;
                         });

// All the lamps and both loop sounds, after a few frames.
std::string lamps(const Harness& h) {
    std::string out;
    for (int slot : {200, 201, 202, 203, 20, 204, 205, 206, 207, 210, 238}) {
        out += (out.empty() ? "" : " ") + std::to_string(slot) + "=" + std::to_string(h.panel[slot]);
    }
    for (int slot : {158, 159}) {
        const std::int32_t v = h.sound[slot];
        out += " " + std::to_string(slot) + "=" +
               (v == frame::SoundLoop   ? "loop"
                : v == frame::SoundStop ? "stop"
                                        : std::to_string(v));
    }
    return out;
}

struct LampRow {
    const char* name;
    std::vector<door_test::Step> steps;  // after the run start; their expect is not used
    const char* lamps;
};

TEST(DoorLamps, FollowTheDoorsAndTheMode) {
    // clang-format off
    const LampRow rows[] = {
        {"closed_in_mode_1_after_Initialize", {{{}, 100, "", 0, ""}},
         "200=0 201=0 202=0 203=0 20=1 204=1 205=0 206=0 207=0 210=0 238=0 158=stop 159=stop"},
        {"left_open_in_mode_1", {{{}, 1000, "E", 0, ""}},
         "200=0 201=1 202=0 203=1 20=0 204=1 205=1 206=0 207=0 210=0 238=0 158=stop 159=loop"},
        {"right_open_in_mode_1", {{{}, 1000, "T", 0, ""}},
         "200=1 201=0 202=1 203=0 20=0 204=1 205=0 206=1 207=0 210=0 238=0 158=stop 159=loop"},
        {"right_open_in_mode_0", {{{}, 1000, "Y", 0, ""}, {{}, 2000, "T", 0, ""}},
         "200=1 201=0 202=0 203=0 20=0 204=0 205=0 206=1 207=0 210=0 238=0 158=loop 159=stop"},
        {"left_closing_keeps_its_side_lamp_with_the_switch_off",
         {{{}, 1000, "E", 0, ""}, {{door_test::hostCloses()}, 2000, "R", 0, ""}},
         "200=0 201=1 202=0 203=1 20=0 204=1 205=0 206=0 207=0 210=0 238=0 158=stop 159=loop"},
        {"moving_closed_in_mode_0", {{{}, 1000, "Y", 0, ""}, {{}, 2000, "", 30, ""}},
         "200=0 201=0 202=0 203=0 20=1 204=0 205=0 206=0 207=0 210=1 238=1 158=stop 159=stop"},
    };
    // clang-format on
    for (const LampRow& row : rows) {
        SCOPED_TRACE(row.name);
        Harness h;
        h.startRun();
        for (const door_test::Step& step : row.steps) {
            for (const Call& c : step.calls) h.call(c);
            h.frame(step.time, step.keys, step.speed);
        }
        EXPECT_EQ(lamps(h), row.lamps);
    }
}

// Lamp 207 lights in the second half of every second while both the host and we say open.
TEST(DoorLamps, OpenBlinkLamp) {
    struct Row {
        const char* name;
        bool hostClosed;
        bool open;
        std::int32_t time;
        std::int32_t lamp;
    };
    const Row rows[] = {
        {"first_half_499", false, true, 499, 0},
        {"second_half_500", false, true, 500, 1},
        {"second_half_999", false, true, 999, 1},
        {"next_second_1000", false, true, 1000, 0},
        {"second_half_1500", false, true, 1500, 1},
        {"negative_time_minus_600", false, true, -600, 1},
        {"negative_time_minus_400", false, true, -400, 0},
        {"lowest_time", false, true, std::numeric_limits<std::int32_t>::min(), 1},
        {"host_reports_doors_closed", true, true, 1500, 0},
        {"our_doors_closed", false, false, 1500, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Harness h;
        h.startRun();
        if (row.hostClosed) h.call(door_test::hostCloses());
        if (row.open) h.frame(100, "E", 0.0f);
        h.frame(row.time, "", 0.0f);
        EXPECT_EQ(h.panel[door::PanelOpenBlink], row.lamp);
    }
}

// Lamp 210: our doors closed while the host's are open, once the train has moved since Initialize.
TEST(DoorLamps, HostDoorsOpenLampWaitsForTheFirstMove) {
    struct Row {
        const char* name;
        Call before;
        std::int32_t time;
        float speed;
        std::int32_t lamp;
    };
    const Row rows[] = {
        {"not_yet_moved", door_test::hostOpens(), 1000, 0.0f, 0},
        {"moved", door_test::beacon(0, 0), 2000, 20.0f, 1},
        {"stopped_again", door_test::beacon(0, 0), 3000, 0.0f, 1},
        {"host_closes", door_test::hostCloses(), 4000, 0.0f, 0},
        {"host_opens", door_test::hostOpens(), 5000, 0.0f, 1},
        {"after_Initialize", door_test::initialize(), 6000, 0.0f, 0},
    };
    Harness h;
    h.startRun();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        h.call(row.before);
        h.frame(row.time, "", row.speed);
        EXPECT_EQ(h.panel[door::PanelHostDoorsOpen], row.lamp);
        EXPECT_EQ(h.panel[door::PanelMoving], row.speed > 5.0f ? 1 : 0);
    }
}

// Every frame writes exactly the door plug-in's slots, whatever happens in it.
TEST(DoorSlots, EveryFrameWritesItsSlotsAndNoOther) {
    std::set<int> panelSlots{20, 238, 210};
    for (int s = 200; s <= 207; ++s) panelSlots.insert(s);
    std::set<int> soundSlots{95, 96};
    for (int s = 150; s <= 159; ++s) soundSlots.insert(s);

    Harness h;
    h.settings.doorlock = 0;
    h.call(door_test::beacon(87, -500));
    h.call(door_test::beacon(88, 500));
    const std::vector<door_test::Step> steps = {
        {{}, 0, "", 0, ""},     {{}, 1000, "E", 0, ""},  {{}, 6001, "", 0, ""},
        {{}, 7000, "R", 0, ""}, {{}, 9000, "Y", 0, ""},  {{}, 12000, "", 30, ""},
        {{}, 13000, "", 0, ""}, {{}, 14000, "T", 0, ""}, {{}, 15000, "R", 0, ""}};
    for (const door_test::Step& step : steps) {
        SCOPED_TRACE("frame at " + std::to_string(step.time));
        h.frame(step.time, step.keys, step.speed);
        for (int slot = 0; slot < 256; ++slot) {
            EXPECT_EQ(h.panel[slot] != kUntouched, panelSlots.count(slot) == 1) << "panel slot " << slot;
            EXPECT_EQ(h.sound[slot] != kUntouched, soundSlots.count(slot) == 1) << "sound slot " << slot;
        }
    }
}

TEST(DoorBeacons, SetLimitAndCappedChances) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    struct Row {
        const char* name;
        std::int32_t type;
        std::int32_t optional;
        std::int32_t openLimit;
        std::int32_t openChance;
        bool countOnRelease;
        std::int32_t closeChance;
    };
    // DoorNum is 3; the state before each beacon is that of a fresh run.
    const Row rows[] = {
        {"86_above_DoorNum_takes_DoorNum", 86, 10, 3, 0, true, 0},
        {"86_below_DoorNum", 86, 1, 1, 0, true, 0},
        {"86_negative", 86, -4, -4, 0, true, 0},
        {"87_positive_stops_counting", 87, 200, 3, 200, false, 0},
        {"87_capped_at_500", 87, 800, 3, 500, false, 0},
        {"87_negative_keeps_counting", 87, -300, 3, 300, true, 0},
        {"87_zero", 87, 0, 3, 0, true, 0},
        {"87_lowest_value_is_capped_without_overflow", 87, kMin, 3, 500, true, 0},
        {"87_highest_value", 87, kMax, 3, 500, false, 0},
        {"88_negative_capped", 88, -700, 3, 0, true, 500},
        {"88_lowest_value_is_capped_without_overflow", 88, kMin, 3, 0, true, 500},
        {"88_small", 88, 7, 3, 0, true, 7},
        {"other_type", 85, 300, 3, 0, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Harness h;
        h.startRun();
        h.call(door_test::beacon(row.type, row.optional));
        EXPECT_EQ(h.state.openLimit, row.openLimit);
        EXPECT_EQ(h.state.openChance, row.openChance);
        EXPECT_EQ(h.state.countOnRelease, row.countOnRelease);
        EXPECT_EQ(h.state.closeChance, row.closeChance);
    }
}

TEST(DoorBeacons, InitializeRestoresTheLimitAndTheOpeningChanceButNotTheClosingChance) {
    Harness h;
    h.startRun();
    h.call(door_test::beacon(86, 1));
    h.call(door_test::beacon(87, 300));
    h.call(door_test::beacon(88, 400));
    h.call(door_test::initialize());
    EXPECT_EQ(h.state.openLimit, 3);
    EXPECT_EQ(h.state.openChance, 0);
    EXPECT_TRUE(h.state.countOnRelease);
    EXPECT_EQ(h.state.closeChance, 400);
}

// The generator from load, and that Initialize does not restart it.
TEST(DoorGenerator, DrawsTheKnownSequenceFromLoad) {
    const std::int32_t expected[] = {41, 467, 334, 500, 169, 724, 478, 358, 962, 464, 705, 145};
    door::DoorState state;
    for (std::int32_t value : expected) EXPECT_EQ(door::draw(state), value);

    door::DoorState other;
    door::DoorSettings settings;
    EXPECT_EQ(door::draw(other), 41);
    door::initialize(other, settings);
    EXPECT_EQ(door::draw(other), 467);
}

// Each setting is read at its own moment, so a re-read of the file takes effect there.
TEST(DoorSettingsMoments, DoorlockIsTakenAtSetVehicleSpec) {
    Harness h;
    h.startRun();  // door lock on
    h.settings.doorlock = 0;
    h.frame(1000, "E", 0.0f);
    EXPECT_EQ(h.frame(2000, "R", 0.0f), "left open p0 once 156");
    h.call(door_test::vehicleSpec());
    EXPECT_EQ(h.frame(3000, "R", 0.0f), "left open p0");  // still held: no new press
    EXPECT_EQ(h.frame(4000, "", 0.0f), "left open p0");
    EXPECT_EQ(h.frame(5000, "R", 0.0f), "left closing p0 once 152 156 stop 150 151");
}

TEST(DoorSettingsMoments, ClosetimeIsTakenWhenTheClosingStarts) {
    Harness h;
    h.settings.doorlock = 0;
    h.startRun();
    h.frame(1000, "E", 0.0f);
    h.settings.closetime = 2000;
    EXPECT_EQ(h.frame(2000, "R", 0.0f), "left closing p0 once 152 156 stop 150 151");
    h.settings.closetime = 100;
    EXPECT_EQ(h.frame(3999, "", 0.0f), "left closing p0");
    EXPECT_EQ(h.frame(4000, "", 0.0f), "closed p0 once 154");
}

TEST(DoorSettingsMoments, DoorNumIsTakenAtInitializeAndBeacon86) {
    Harness h;
    h.startRun();
    h.settings.DoorNum = 1;
    EXPECT_EQ(h.state.openLimit, 3);
    h.call(door_test::beacon(86, 10));
    EXPECT_EQ(h.state.openLimit, 1);
    h.settings.DoorNum = 2;
    h.call(door_test::initialize());
    EXPECT_EQ(h.state.openLimit, 2);
}

TEST(DoorSettingsMoments, DIRIsReadEveryFrame) {
    Harness h;
    h.startRun();
    h.frame(1000, "E", 0.0f);
    EXPECT_EQ(h.frame(1100, "", 0.0f), "left open p0");
    h.settings.DIR = 0;
    EXPECT_EQ(h.frame(1200, "", 0.0f), "left open p4");
}

// The key-name strings drive nothing: other names, and their letters held down, change no frame.
TEST(DoorKeys, KeyNamesAndOtherKeysDriveNothing) {
    Harness h;
    h.settings.DoorL = "Q";
    h.settings.DoorR = "W";
    h.settings.DoorC = "A";
    h.startRun();
    EXPECT_EQ(h.frame(1000, "QWADFGZ", 0.0f), "closed p4");
    EXPECT_EQ(h.frame(2000, "E", 0.0f), "left open p4 once 150 155 156");
}

}  // namespace
