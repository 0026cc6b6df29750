// The overspeed lock's frame logic, case by case on a fresh state: the timer and latch, the speed
// worked out from position and time, what initialize() keeps, and the power and constant-speed
// table.
#include "overspeed/logic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace overspeed {
namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The vehicle's state in one frame; the fields the lock does not read stay zero.
frame::VehicleState vehicleAt(std::int32_t time, double position, float speed = 0.0f) {
    frame::VehicleState vehicle{};
    vehicle.time = time;
    vehicle.position = position;
    vehicle.speed = speed;
    return vehicle;
}

frame::VehicleSpec vehicleWith(std::int32_t brakeNotches) {
    frame::VehicleSpec vehicle{};
    vehicle.brakeNotches = brakeNotches;
    vehicle.powerNotches = 1;  // limits nothing
    return vehicle;
}

// The driver's brake and the vehicle's emergency notch differ, so every brake check tells them apart.
constexpr std::int32_t kDriverBrake = 3;
constexpr std::int32_t kBrakeNotches = 8;
constexpr std::int32_t kEmergency = kBrakeNotches + 1;

// One step of a sequence: a frame (time, position) with what must hold after it, or an Initialize.
// Unset expectations are not checked.
struct Step {
    bool initialize = false;
    std::int32_t time = 0;
    double position = 0.0;
    std::optional<std::int32_t> brake;
    std::optional<std::int32_t> deadline;
    std::optional<bool> latched;
    std::optional<double> speed;  // computedSpeed, to within 1e-9
};

Step frameAt(std::int32_t time, double position) {
    Step step;
    step.time = time;
    step.position = position;
    return step;
}
Step initializeRun() {
    Step step;
    step.initialize = true;
    return step;
}

// A frame with its expectations, written as At(time, position).brake(3).deadline(6100).
struct At {
    Step step;
    At(std::int32_t time, double position) : step(frameAt(time, position)) {}
    At& brake(std::int32_t v) { return step.brake = v, *this; }
    At& deadline(std::int32_t v) { return step.deadline = v, *this; }
    At& latched(bool v) { return step.latched = v, *this; }
    At& speed(double v) { return step.speed = v, *this; }
    operator Step() const { return step; }  // NOLINT: lets rows list At(...) directly
};

// Frames every `every` ms from (time, position) up to and including `until`, at a steady speed.
std::vector<Step> steady(std::int32_t time, double position, std::int32_t until, std::int32_t every,
                         double kmh) {
    std::vector<Step> frames;
    for (; time <= until; time += every, position += kmh * every / 3600.0) {
        frames.push_back(frameAt(time, position));
    }
    return frames;
}

struct Sequence {
    std::string name;
    std::vector<Step> steps;
};

// Joins pieces of a sequence.
std::vector<Step> seq(std::initializer_list<std::vector<Step>> parts) {
    std::vector<Step> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}
std::vector<Step> one(Step s) { return {s}; }

class LockSequence : public testing::TestWithParam<Sequence> {};

TEST_P(LockSequence, FollowsTheFrames) {
    State state;
    setVehicleSpec(state, vehicleWith(kBrakeNotches));
    const frame::DriverHandles driver{.power = 0, .brake = kDriverBrake, .reverser = 1};
    int index = 0;
    for (const Step& step : GetParam().steps) {
        ++index;
        if (step.initialize) {
            initialize(state);
            continue;
        }
        SCOPED_TRACE("step " + std::to_string(index) + " at time " + std::to_string(step.time) +
                     ", position " + std::to_string(step.position));
        const frame::Handles out = elapse(state, driver, vehicleAt(step.time, step.position, 0.0f));
        if (step.brake) {
            EXPECT_EQ(out.brake, *step.brake);
        }
        if (step.deadline) {
            EXPECT_EQ(state.overspeedDeadline, *step.deadline);
        }
        if (step.latched) {
            EXPECT_EQ(state.emergencyLatched, *step.latched);
        }
        if (step.speed && std::isnan(*step.speed)) {
            EXPECT_TRUE(std::isnan(state.computedSpeed));
        }
        if (step.speed && !std::isnan(*step.speed)) {
            EXPECT_NEAR(state.computedSpeed, *step.speed, 1e-9);
        }
    }
}

// Positions and times chosen so that the computed speeds are exact: 13 m in 360 ms is 130 km/h,
// 4 m in 100 ms is 144 km/h.
const Sequence kSequences[] = {
    {"FirstFrameAfterLoadWorksOutNoSpeed", {At(1000, 100.0).speed(0.0).deadline(0).brake(kDriverBrake)}},
    {"SteadyOverspeedLatchesOneFrameAfterTheDeadlinePasses",
     seq({one(At(1000, 100.0).speed(0.0).deadline(0)),
          one(At(1100, 104.0).speed(144.0).deadline(6100).brake(kDriverBrake)),
          steady(1200, 108.0, 6000, 100, 144.0),
          one(At(6100, 304.0).deadline(6100).latched(false).brake(kDriverBrake)),
          one(At(6200, 308.0).latched(true).brake(kDriverBrake)), one(At(6300, 312.0).brake(kEmergency))})},
    {"ExactlyArmSpeedArms", {At(1000, 100.0), At(1360, 113.0).speed(130.0).deadline(6360)}},
    {"JustUnderArmSpeedDoesNotArm", {At(1000, 100.0), At(1360, 112.99).deadline(0)}},
    {"ExactlyReleaseSpeedKeepsTheTimer",
     {At(1000, 100.0), At(1360, 113.0).deadline(6360), At(1720, 125.0).speed(120.0).deadline(6360)}},
    {"UnderReleaseSpeedClearsAndTheNextArmStartsAfresh",
     {At(1000, 100.0), At(1360, 113.0).deadline(6360), At(1720, 124.875).speed(118.75).deadline(0),
      At(2080, 137.875).speed(130.0).deadline(7080)}},
    {"FurtherOverspeedDoesNotMoveTheDeadline",
     {At(1000, 100.0), At(1100, 104.0).deadline(6100), At(1200, 110.0).speed(216.0).deadline(6100)}},
    {"BetweenReleaseAndArmSpeedLatchesAtTheDeadline",
     seq({one(At(1000, 100.0)), one(At(1100, 104.0).deadline(6100)), steady(1200, 108.0, 6000, 100, 126.0),
          one(At(6100, 279.5).speed(126.0).deadline(6100).latched(false)),
          one(At(6200, 283.0).latched(true).brake(kDriverBrake)), one(At(6300, 286.5).brake(kEmergency))})},
    {"ReleaseInTheDeadlineFrameWinsOverTheLatch",
     {At(1000, 100.0), At(1100, 104.0).deadline(6100), At(7000, 104.0).speed(0.0).deadline(0).latched(false),
      At(7100, 104.0).brake(kDriverBrake)}},
    {"LatchHoldsAtStandstillWhileTheTimerClears",
     {At(1000, 100.0), At(1100, 104.0), At(6200, 308.0).latched(true),
      At(6300, 308.0).deadline(0).brake(kEmergency), At(9000, 308.0).brake(kEmergency)}},
    // After Initialize the first frame has no previous frame: the old steps (204 m in 5100 ms) are
    // worked out again.
    {"InitializeReleasesTheLatchAndTheOldStepsReArmOnce",
     {At(1000, 100.0), At(1100, 104.0), At(6200, 308.0).latched(true), initializeRun(),
      At(500, 50.0).latched(false).brake(kDriverBrake).speed(144.0).deadline(5500),
      At(600, 50.0).speed(0.0).deadline(0).brake(kDriverBrake)}},
    {"InitializeWhileRunningWorksTheOldSpeedOutOnceMore",
     {At(1000, 100.0), At(1360, 114.0).speed(140.0), initializeRun(),
      At(3000, 400.0).speed(140.0).deadline(8000), At(3360, 410.0).speed(100.0).deadline(0)}},
    {"RunStartingAtTimeZeroUsesTheRetainedTimeStep",
     {At(1000, 100.0), At(1100, 101.0).speed(36.0), initializeRun(), At(0, 50.0).speed(36.0),
      At(100, 54.0).speed(144.0).deadline(5100)}},
    {"TimeStandingStillHoldsTheSpeedAndTheTimer",
     {At(1000, 100.0), At(1100, 104.0).deadline(6100), At(1100, 104.0).speed(144.0).deadline(6100),
      At(1100, 100.0).speed(144.0)}},
    {"TimeGoingBackHoldsTheSpeedUntilAForwardStep",
     {At(1000, 100.0), At(1100, 104.0).speed(144.0), At(900, 104.0).speed(144.0).deadline(6100),
      At(1000, 105.0).speed(36.0).deadline(0)}},
    {"NegativeTimesNeverWorkOutAStep",
     {At(-500, 100.0), At(-400, 104.0).speed(0.0), At(-300, 108.0).speed(0.0).deadline(0)}},
    {"PositionsBehindZeroWorkOutNoSpeed",
     {At(1000, -300.0), At(1100, -296.0).speed(0.0), At(1200, 0.0).speed(0.0), At(1300, 4.0).speed(0.0),
      At(1400, 8.0).speed(144.0).deadline(6400)}},
    {"PositionExactlyZeroDoesNotArmButTheNextNegativeOneDoes",
     {At(1000, 14.4), At(1100, 0.0).speed(518.4).deadline(0), At(1200, -14.4).speed(518.4).deadline(6200)}},
    {"PositionExactlyZeroStillLatches",
     seq({one(At(1000, 100.0)), one(At(1100, 104.0).deadline(6100)), steady(1200, 108.0, 6100, 100, 144.0),
          one(At(6200, 0.0).latched(true))})},
    {"PositionExactlyZeroStillReleases",
     {At(1000, 100.0), At(1100, 104.0).deadline(6100), At(5000, 0.0).speed(96.0).deadline(0)}},
    {"RunningBackwardsArmsLikeRunningForwards",
     {At(1000, 500.0), At(1100, 496.0).speed(144.0).deadline(6100)}},
    {"PositionNotANumberNeitherArmsNorReleases",
     {At(1000, 100.0), At(1100, 104.0).deadline(6100), At(1200, kNaN).speed(kNaN).deadline(6100),
      At(1300, 112.0).speed(kNaN).deadline(6100), At(1400, 112.0).speed(0.0).deadline(0),
      At(1500, kNaN).deadline(0), At(1600, 200.0).deadline(0)}},
    {"ClockWrapsPastItsTop", {At(kInt32Max - 49, 100.0), At(kInt32Min + 50, 104.0).speed(144.0)}},
    // Only the sum is pinned here: what the signed comparison then makes of a wrapped deadline is
    // left to the clock, which does not reach the top in a run.
    {"DeadlineSumWrapsPastTheTop",
     {At(kInt32Max - 1100, 100.0), At(kInt32Max - 1000, 104.0).deadline(kInt32Min + 3999)}},
};

INSTANTIATE_TEST_SUITE_P(Overspeed, LockSequence, testing::ValuesIn(kSequences),
                         [](const testing::TestParamInfo<Sequence>& row) { return row.param.name; });

// Power and constant speed: the driver's notch P, this frame's time and the speed the host reports.
struct PowerRow {
    std::string name;
    std::int32_t driverPower;
    std::int32_t time;
    float speed;
    std::int32_t power;
    std::int32_t constantSpeed;
};

const PowerRow kPowerRows[] = {
    {"NoPower", 0, 1000, 60.0f, 0, frame::ConstantSpeedOff},
    {"NegativePower", -2, 1000, 30.0f, 0, frame::ConstantSpeedOff},
    {"LowSpeedAtExactLimitRaisesFive", 3, 1000, 55.0f, 8, frame::ConstantSpeedOff},
    {"JustAboveLimitKeepsTheNotch", 3, 1000, 55.1f, 3, frame::ConstantSpeedOff},
    {"StandstillRaisesFive", 1, 1000, 0.0f, 6, frame::ConstantSpeedOff},
    {"NotchFiveAboveLimitKeepsConstantSpeed", 5, 1000, 60.0f, 5, frame::ConstantSpeedKeep},
    {"NotchFiveAtExactLimitSwitchesItOff", 5, 1000, 55.0f, 10, frame::ConstantSpeedOff},
    {"NotchFiveAtLowSpeedBecomesTen", 5, 1000, 50.0f, 10, frame::ConstantSpeedOff},
    {"NotchFourAboveLimit", 4, 1000, 60.0f, 4, frame::ConstantSpeedOff},
    {"NotchSixAboveLimit", 6, 1000, 60.0f, 6, frame::ConstantSpeedOff},
    {"ReverseSpeedCountsByItsSize", 5, 1000, -60.0f, 5, frame::ConstantSpeedKeep},
    {"ReverseLowSpeedRaises", 3, 1000, -55.0f, 8, frame::ConstantSpeedOff},
    {"UnlimitedNotch", 99, 1000, 100.0f, 99, frame::ConstantSpeedOff},
    {"TimeZeroCutsPowerButNotConstantSpeed", 5, 0, 60.0f, 0, frame::ConstantSpeedKeep},
    {"NegativeTimeCutsPower", 3, -1, 20.0f, 0, frame::ConstantSpeedOff},
    {"TopNotchAtLowSpeedStaysAtTheTop", kInt32Max - 2, 1000, 10.0f, kInt32Max, frame::ConstantSpeedOff},
    {"SpeedNotANumberCutsPower", 5, 1000, std::numeric_limits<float>::quiet_NaN(), 0,
     frame::ConstantSpeedOff},
    {"InfiniteSpeedIsHigh", 5, 1000, std::numeric_limits<float>::infinity(), 5, frame::ConstantSpeedKeep},
};

class PowerTable : public testing::TestWithParam<PowerRow> {};

// The latch changes only the brake: each row holds with and without it. The reverser passes.
TEST_P(PowerTable, ShapesPowerAndConstantSpeed) {
    const PowerRow& row = GetParam();
    for (const bool latched : {false, true}) {
        SCOPED_TRACE(latched ? "latched" : "not latched");
        State state;
        state.emergencyNotch = kEmergency;
        state.emergencyLatched = latched;
        const frame::DriverHandles driver{.power = row.driverPower, .brake = kDriverBrake, .reverser = -1};
        const frame::Handles out = elapse(state, driver, vehicleAt(row.time, 10.0, row.speed));
        EXPECT_EQ(out.power, row.power);
        EXPECT_EQ(out.constantSpeed, row.constantSpeed);
        EXPECT_EQ(out.reverser, -1);
        EXPECT_EQ(out.brake, latched ? kEmergency : kDriverBrake);
    }
}

INSTANTIATE_TEST_SUITE_P(Overspeed, PowerTable, testing::ValuesIn(kPowerRows),
                         [](const testing::TestParamInfo<PowerRow>& row) { return row.param.name; });

// The reported speed drives only power and constant speed; the computed speed only the timer.
TEST(OverspeedSpeeds, ReportedSpeedNeverArmsAndComputedSpeedNeverShapesPower) {
    State state;
    const frame::DriverHandles driver{.power = 3, .brake = 0, .reverser = 0};
    elapse(state, driver, vehicleAt(1000, 100.0, 300.0f));
    const frame::Handles out = elapse(state, driver, vehicleAt(1100, 104.0, 20.0f));
    EXPECT_EQ(state.computedSpeed, 144.0);
    EXPECT_NE(state.overspeedDeadline, 0);  // armed by the computed 144, though the host says 20
    EXPECT_EQ(out.power, 8);                // raised by the reported 20, though the computed is 144
    elapse(state, driver, vehicleAt(1200, 104.1, 300.0f));
    EXPECT_EQ(state.overspeedDeadline, 0);  // released by the computed 3.6, though the host says 300
}

struct NotchRow {
    std::string name;
    std::int32_t brakeNotches;
    std::int32_t emergencyNotch;
};

TEST(OverspeedVehicle, EmergencyNotchIsOneAboveTheServiceNotches) {
    const NotchRow rows[] = {
        {"Eight", 8, 9},
        {"None", 0, 1},
        {"Negative", -4, -3},
        {"TopStaysAtTheTop", kInt32Max, kInt32Max},
    };
    for (const NotchRow& row : rows) {
        SCOPED_TRACE(row.name);
        State state;
        setVehicleSpec(state, vehicleWith(row.brakeNotches));
        EXPECT_EQ(state.emergencyNotch, row.emergencyNotch);
    }
}

TEST(OverspeedVehicle, LatchBeforeAnyVehicleSpecBrakesWithNotchZero) {
    State state;
    state.emergencyLatched = true;
    const frame::Handles out =
        elapse(state, frame::DriverHandles{.power = 0, .brake = 4, .reverser = 0}, vehicleAt(1000, 1.0));
    EXPECT_EQ(out.brake, 0);
}

TEST(OverspeedInitialize, ResetsTheRunAndKeepsTheNotchAndTheSteps) {
    State state;
    state.emergencyNotch = 9;
    state.lastTime = 1234;
    state.lastPosition = 55.5;
    state.timeStep = 100;
    state.positionStep = 4.0;
    state.computedSpeed = 144.0;
    state.overspeedDeadline = 6100;
    state.emergencyLatched = true;
    initialize(state);
    EXPECT_EQ(state.emergencyNotch, 9);
    EXPECT_EQ(state.lastTime, 0);
    EXPECT_EQ(state.lastPosition, 0.0);
    EXPECT_EQ(state.timeStep, 100);
    EXPECT_EQ(state.positionStep, 4.0);
    EXPECT_EQ(state.computedSpeed, 0.0);
    EXPECT_EQ(state.overspeedDeadline, 0);
    EXPECT_FALSE(state.emergencyLatched);
}

}  // namespace
}  // namespace overspeed
