// The meter logic against fresh state per case: the update schedule, the rounding of each reading,
// the panel writes and what survives initialize.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "meter/logic.h"

namespace meter {
namespace {

constexpr std::int32_t kUntouched = -777;  // what the host's panel holds before a frame
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

using Panel = std::array<std::int32_t, frame::kSlotCount>;

// Fresh state, default settings, a panel full of kUntouched.
class MeterLogic : public ::testing::Test {
protected:
    MeterLogic() { panel.fill(kUntouched); }

    frame::Handles frameAt(std::int32_t time, float value) { return run(vehicleAt(time, value)); }
    frame::Handles run(const frame::VehicleState& vehicle) {
        return elapse(state, settings, driver, vehicle, panel.data());
    }

    // Every reading takes the same value, so any slot shows it.
    static frame::VehicleState vehicleAt(std::int32_t time, float value) {
        return {0.0, value, time, value, value, value, value, value, value};
    }

    // One slot per reading, in write order, so every reading can be seen at once.
    void showEverything() {
        settings.PanelBC = 1;
        settings.PanelMR = 2;
        settings.PanelER = 3;
        settings.PanelBP = 4;
        settings.PanelSAP = 5;
        settings.PanelCurrent = 6;
        settings.PanelCurrentABS = 7;
        settings.PanelSpeed = 8;
    }

    MeterState state;
    MeterSettings settings;
    frame::DriverHandles driver;
    Panel panel{};
};

// ---------------------------------------------------------------------------------------------
// The update schedule. Each frame carries a value of its own in every reading, so the value that
// the BC slot shows after a frame tells which frames the last update averaged.

struct Step {
    std::int32_t time;
    float value;
    std::int32_t shown;           // BC slot after the frame
    std::int32_t nextUpdateTime;  // after the frame
};

struct ScheduleCase {
    std::string name;
    std::int32_t interval;
    std::vector<Step> steps;
};

// Frames every 100 ms from 10000 to 11300 with the value (time - 9900) / 10, interval 400:
// scheduled at 10000, updates at 10500 (10..60, avg 35), 10900 (70..100, avg 85) and 11300
// (110..140, avg 125), after which the grid stands at 11600.
std::vector<Step> steadyRunTo11300() {
    return {
        {10000, 10, 0, 10400},   {10100, 20, 0, 10400},    {10200, 30, 0, 10400},   {10300, 40, 0, 10400},
        {10400, 50, 0, 10400},   {10500, 60, 35, 10800},   {10600, 70, 35, 10800},  {10700, 80, 35, 10800},
        {10800, 90, 35, 10800},  {10900, 100, 85, 11200},  {11000, 110, 85, 11200}, {11100, 120, 85, 11200},
        {11200, 130, 85, 11200}, {11300, 140, 125, 11600},
    };
}

std::vector<Step> steadyRunThen(std::vector<Step> more) {
    std::vector<Step> steps = steadyRunTo11300();
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

std::vector<ScheduleCase> scheduleCases() {
    return {
        // The strict comparison: 10400 does not update, 10500 does; the grid is kept at 10800.
        {"SteadyRunKeepsTheGrid", 400, steadyRunTo11300()},
        // More than two intervals past the grid point 11600: one update, the grid restarts at now.
        {"JumpPastTwoIntervalsReanchors", 400,
         steadyRunThen({{13000, 500, 500, 13400}, {13100, 600, 500, 13400}})},
        // Between one and two intervals past it: the grid stays behind, so the next frames update
        // again, each with only its own value, until the grid has passed now.
        {"JumpWithinTwoIntervalsLeavesTheGridBehind", 400,
         steadyRunThen({{12300, 500, 500, 12000},
                        {12400, 600, 600, 12400},
                        {12500, 700, 700, 12800},
                        {12600, 800, 700, 12800}})},
        // A run starting at 00:00:00: nothing is scheduled until a frame passes 400; the first update
        // averages every frame since the start (0..1000, values 1..11, avg 6).
        {"RunStartingAtZeroWaitsAFullInterval",
         400,
         {{0, 1, 0, 0},
          {100, 2, 0, 0},
          {200, 3, 0, 0},
          {300, 4, 0, 0},
          {400, 5, 0, 0},
          {500, 6, 0, 900},
          {600, 7, 0, 900},
          {700, 8, 0, 900},
          {800, 9, 0, 900},
          {900, 10, 0, 900},
          {1000, 11, 6, 1300}}},
        // Time going back freezes the shown value; the update after time passes the grid again
        // averages every frame since the last update (5000, 5100, 10800, 10900: avg 25).
        {"TimeGoingBackFreezesTheShownValues",
         400,
         {{10000, 10, 0, 10400},
          {10500, 20, 15, 10800},
          {5000, 10, 15, 10800},
          {5100, 20, 15, 10800},
          {10800, 30, 15, 10800},
          {10900, 40, 25, 11200}}},
        // Interval 0: a frame at 0 schedules nothing; then each frame later than the last one that
        // updated or scheduled updates, and a frame with an unchanged time is summed into the next.
        {"ZeroInterval",
         0,
         {{0, 10, 0, 0},
          {100, 20, 0, 100},
          {100, 30, 0, 100},
          {200, 40, 25, 200},
          {300, 50, 50, 300},
          {300, 60, 50, 300},
          {400, 70, 65, 400}}},
        // A negative interval: after the scheduling frame every frame updates, also while time stands
        // still; the first update averages the scheduling frame and itself.
        {"NegativeInterval",
         -100,
         {{1000, 10, 0, 900}, {1000, 20, 15, 900}, {1000, 30, 30, 900}, {1100, 40, 40, 1000}}},
        // A schedule that lands exactly on 0 means "none": the next frame schedules again.
        {"ScheduleLandingOnZeroMeansNone",
         -100,
         {{100, 10, 0, 0}, {100, 20, 0, 0}, {150, 30, 0, 50}, {150, 40, 25, 50}}},
        // Time sums wrap in 32 bits instead of overflowing: near the top of the clock the grid point
        // wraps to a large negative time, so the next frame updates at once and re-anchors.
        {"ScheduleArithmeticWrapsAtTheTopOfTheClock",
         400,
         {{kMax - 100, 10, 0, kMin + 299}, {kMax, 20, 15, kMin + 399}}},
    };
}

class MeterSchedule : public MeterLogic, public ::testing::WithParamInterface<ScheduleCase> {};

TEST_P(MeterSchedule, UpdatesOnTheGridAndAveragesTheRightFrames) {
    const ScheduleCase& row = GetParam();
    settings.UpDateTime = row.interval;
    settings.PanelBC = 10;
    for (std::size_t i = 0; i < row.steps.size(); ++i) {
        const Step& step = row.steps[i];
        SCOPED_TRACE("frame " + std::to_string(i) + " at time " + std::to_string(step.time));
        frameAt(step.time, step.value);
        EXPECT_EQ(panel[10], step.shown);
        EXPECT_EQ(state.nextUpdateTime, step.nextUpdateTime);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, MeterSchedule, ::testing::ValuesIn(scheduleCases()),
                         [](const ::testing::TestParamInfo<ScheduleCase>& row) { return row.param.name; });

// ---------------------------------------------------------------------------------------------
// Averaging and rounding, seen on the panel. The listed frames form one update: an update is due
// after 1000, the frames before the last one come at 1000 and the last one at 1001.

struct RoundingCase {
    std::string name;
    Reading reading;
    std::vector<float> frames;
    std::int32_t shown;
    std::int32_t shownAbsolute = 0;  // PanelCurrentABS, for the current rows
};

frame::VehicleState withReading(std::int32_t time, Reading reading, float value) {
    frame::VehicleState vehicle{0.0, 0.0F, time, 0.0F, 0.0F, 0.0F, 0.0F, 0.0F, 0.0F};
    switch (reading) {
        case BC:
            vehicle.bcPressure = value;
            break;
        case MR:
            vehicle.mrPressure = value;
            break;
        case ER:
            vehicle.erPressure = value;
            break;
        case BP:
            vehicle.bpPressure = value;
            break;
        case SAP:
            vehicle.sapPressure = value;
            break;
        case Current:
            vehicle.current = value;
            break;
        case Speed:
            vehicle.speed = value;
            break;
        case kReadingCount:
            break;
    }
    return vehicle;
}

std::int32_t slotOf(Reading reading) {
    constexpr std::array<std::int32_t, kReadingCount> slots{1, 2, 3, 4, 5, 6, 8};  // as showEverything
    return slots[reading];
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

std::vector<RoundingCase> roundingCases() {
    return {
        // Halves round up for the pressures and the speed.
        {"BcHalfRoundsUp", BC, {489.0F, 490.0F}, 490},
        {"BcJustBelowHalfRoundsDown", BC, {489.49F, 489.49F}, 489},
        // Below zero the pressures' rounding is not symmetric: -1.2 gives 0, -1.6 gives -1. Every
        // pressure uses it (the current's rounding would give -1 for -1.2).
        {"BcMinus1Point2GivesZero", BC, {-1.2F}, 0},
        {"BcMinus1Point6GivesMinusOne", BC, {-1.6F}, -1},
        {"MrUsesHalfUp", MR, {-1.2F}, 0},
        {"ErUsesHalfUp", ER, {-1.2F}, 0},
        {"BpUsesHalfUp", BP, {-1.2F}, 0},
        {"SapUsesHalfUp", SAP, {-1.2F}, 0},
        // The current rounds halves away from zero; its absolute slot shows the rounded value's size.
        {"CurrentNegativeHalfAwayFromZero", Current, {-12.0F, -13.0F}, -13, 13},
        {"CurrentJustAboveNegativeHalf", Current, {-12.49F, -12.49F}, -12, 12},
        {"CurrentPositiveHalfAwayFromZero", Current, {12.0F, 13.0F}, 13, 13},
        {"CurrentMinus1Point2GivesMinusOne", Current, {-1.2F}, -1, 1},
        // Summed with its sign: +100 and -100 cancel, and the absolute slot shows 0, not 100.
        {"CurrentSummedWithItsSign", Current, {100.0F, -100.0F}, 0, 0},
        // Speed is made absolute frame by frame before summing.
        {"ReversingSpeedShowsPositive", Speed, {-30.0F, -30.0F}, 30},
        {"SpeedBothDirectionsDoNotCancel", Speed, {-30.0F, 30.0F}, 30},
        // The sums are 32-bit floats: 2^24 + 1 + 1 stays 2^24 (in double it would average 5592406).
        {"SumsAreThirtyTwoBitFloats", BC, {16777216.0F, 1.0F, 1.0F}, 5592405},
        // Averages beyond the 32-bit range saturate; NaN from the host shows 0.
        {"HugeAverageSaturatesHigh", BC, {3.0e9F, 3.0e9F}, kMax},
        {"HugeNegativeAverageSaturatesLow", BC, {-3.0e9F}, kMin},
        {"InfinitePressureSaturates", MR, {kInf}, kMax},
        {"NaNPressureShowsZero", BP, {kNaN, 5.0F}, 0},
        {"HugeNegativeCurrentSaturates", Current, {-3.0e9F}, kMin, kMax},
        {"NaNCurrentShowsZero", Current, {kNaN}, 0, 0},
        {"MinusInfinityCurrentSaturates", Current, {-kInf}, kMin, kMax},
    };
}

class MeterRounding : public MeterLogic, public ::testing::WithParamInterface<RoundingCase> {};

TEST_P(MeterRounding, ShowsTheRoundedAverage) {
    const RoundingCase& row = GetParam();
    showEverything();
    state.nextUpdateTime = 1000;
    for (std::size_t i = 0; i < row.frames.size(); ++i) {
        const std::int32_t time = i + 1 == row.frames.size() ? 1001 : 1000;
        run(withReading(time, row.reading, row.frames[i]));
    }
    ASSERT_EQ(state.sampleCount, 0) << "the last frame should have updated";
    EXPECT_EQ(panel[static_cast<std::size_t>(slotOf(row.reading))], row.shown);
    if (row.reading == Current) {
        EXPECT_EQ(panel[7], row.shownAbsolute);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, MeterRounding, ::testing::ValuesIn(roundingCases()),
                         [](const ::testing::TestParamInfo<RoundingCase>& row) { return row.param.name; });

// The conversion at the edges of the 32-bit range, where a plain cast would be undefined.
TEST(MeterTruncation, StaysDefinedAtTheEdgesOfTheRange) {
    struct Row {
        const char* name;
        double value;
        std::int32_t expected;
    };
    const Row rows[] = {
        {"just below the top", 2147483647.9, kMax},
        {"the top plus one", 2147483648.0, kMax},
        {"just above the bottom", -2147483648.9, kMin},
        {"the bottom minus one", -2147483649.0, kMin},
        {"positive fraction", 7.9, 7},
        {"negative fraction truncates toward zero", -7.9, -7},
        {"NaN", std::numeric_limits<double>::quiet_NaN(), 0},
        {"infinity", std::numeric_limits<double>::infinity(), kMax},
        {"minus infinity", -std::numeric_limits<double>::infinity(), kMin},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(truncateToInt32(row.value), row.expected);
    }
    EXPECT_EQ(absoluteInt32(kMin), kMax);
    EXPECT_EQ(absoluteInt32(-5), 5);
}

// ---------------------------------------------------------------------------------------------
// Panel writes.

// One BC update to 42 (interval 100: frames at 1000 and 1101), with BC's key set to each row's
// value: a key in 0..255 gets the value, and no other slot is ever touched.
TEST_F(MeterLogic, WritesOnlyKeysFromZeroTo255) {
    struct Row {
        const char* name;
        std::int32_t key;
        bool written;
    };
    const Row rows[] = {
        {"lowest slot", 0, true},         {"highest slot", 255, true},   {"default -1", -1, false},
        {"one past the end", 256, false}, {"far negative", kMin, false}, {"far positive", kMax, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state = MeterState{};
        panel.fill(kUntouched);
        settings.UpDateTime = 100;
        settings.PanelBC = row.key;
        run(withReading(1000, BC, 42.0F));
        run(withReading(1101, BC, 42.0F));
        Panel expected;
        expected.fill(kUntouched);
        if (row.written) expected[static_cast<std::size_t>(row.key)] = 42;
        EXPECT_EQ(panel, expected);
    }
}

// With every key at its default nothing is shown, and the handles pass through unchanged.
TEST_F(MeterLogic, DefaultsWriteNoSlotAndPassTheHandlesThrough) {
    driver = {99, 5, -1};
    for (std::int32_t time = 0; time <= 2000; time += 100) {
        const frame::Handles handles = frameAt(time, 50.0F);
        EXPECT_EQ(handles.brake, 5);
        EXPECT_EQ(handles.power, 99);
        EXPECT_EQ(handles.reverser, -1);
        EXPECT_EQ(handles.constantSpeed, frame::ConstantSpeedKeep);
    }
    Panel expected;
    expected.fill(kUntouched);
    EXPECT_EQ(panel, expected);
}

// Set slots are written from the first frame on: before any update they show 0.
TEST_F(MeterLogic, SetSlotsShowZeroBeforeTheFirstUpdate) {
    showEverything();
    frameAt(100, 50.0F);
    for (std::size_t slot = 1; slot <= 8; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        EXPECT_EQ(panel[slot], 0);
    }
}

// Two keys on one slot: the later one in the write order stands.
TEST_F(MeterLogic, LaterKeyInTheWriteOrderWinsASharedSlot) {
    struct Row {
        const char* name;
        frame::IntSetting MeterSettings::*earlier;
        frame::IntSetting MeterSettings::*later;
        std::int32_t shown;
    };
    // Distinct readings: BC 1, MR 2, ER 3, BP 4, SAP 5, current -6, speed 7.
    const Row rows[] = {
        {"BC then MR", &MeterSettings::PanelBC, &MeterSettings::PanelMR, 2},
        {"SAP then current", &MeterSettings::PanelSAP, &MeterSettings::PanelCurrent, -6},
        {"current then its absolute value", &MeterSettings::PanelCurrent, &MeterSettings::PanelCurrentABS, 6},
        {"absolute current then speed", &MeterSettings::PanelCurrentABS, &MeterSettings::PanelSpeed, 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MeterSettings fresh;
        fresh.UpDateTime = 100;
        (fresh.*row.earlier) = 10;
        (fresh.*row.later) = 10;
        MeterState freshState;
        Panel shown{};
        for (const std::int32_t time : {1000, 1101}) {
            elapse(freshState, fresh, driver, {0.0, 7.0F, time, 1.0F, 2.0F, 3.0F, 4.0F, 5.0F, -6.0F},
                   shown.data());
        }
        EXPECT_EQ(shown[10], row.shown);
    }
}

// The keys and the interval are read afresh in every frame: a changed INI file takes effect in the
// next frame, with no copy kept.
TEST_F(MeterLogic, ReadsTheSettingsInEveryFrame) {
    settings.UpDateTime = 400;
    settings.PanelBC = 10;
    frameAt(10000, 20.0F);  // schedules 10400
    settings.PanelBC = 11;
    frameAt(10100, 20.0F);
    EXPECT_EQ(panel[11], 0);

    settings.UpDateTime = 1000;  // the next grid step uses the new interval
    frameAt(10500, 20.0F);
    EXPECT_EQ(state.nextUpdateTime, 11400);
    EXPECT_EQ(panel[11], 20);
}

// ---------------------------------------------------------------------------------------------
// Initialize.

// A restart clears the schedule and the sums but keeps the shown values until the new run's first
// update, which comes a full interval later and averages only the new run's frames.
TEST_F(MeterLogic, InitializeKeepsTheShownValuesUntilTheNextUpdate) {
    showEverything();
    settings.UpDateTime = 400;
    frameAt(10000, 30.0F);
    frameAt(10500, 30.0F);    // shows 30
    frameAt(10600, 1000.0F);  // summed, not yet shown
    ASSERT_EQ(panel[1], 30);

    initialize(state);
    EXPECT_EQ(state.nextUpdateTime, 0);
    EXPECT_EQ(state.sampleCount, 0);
    const std::vector<std::pair<std::int32_t, std::int32_t>> frames = {
        {0, 30}, {300, 30}, {500, 30}, {900, 30}, {1000, 60},
    };
    for (const auto& [time, shown] : frames) {
        SCOPED_TRACE("time " + std::to_string(time));
        frameAt(time, 60.0F);
        for (std::size_t slot = 1; slot <= 8; ++slot) EXPECT_EQ(panel[slot], shown) << "slot " << slot;
    }
}

}  // namespace
}  // namespace meter
