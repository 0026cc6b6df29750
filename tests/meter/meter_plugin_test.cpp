// The built Quinsora library, loaded as the host loads it: each case copies it into a private folder
// beside an INI file of its own, loads it fresh (so its state starts at load values), drives frames
// through the exported entry points and looks at the panel and sound arrays.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "frame/host.h"
#include "tools/host/plugin_library.h"
#include "tools/host/private_plugin.h"

namespace {

constexpr const char* kLibraryFile = "Quinsora" ATS_PLUGIN_SUFFIX;

using host::kUntouched;  // what the host's arrays hold before any frame
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

using host::Slots;

// A fresh copy of the plug-in in its own folder, with the given INI file beside it (none if empty).
class LoadedMeter {
public:
    explicit LoadedMeter(const std::string& ini) {
        host::PrivatePlugin::Options options;
        options.prefix = "quinsora";
        if (!ini.empty()) options.ini = ini;
        std::string error;
        library_ = host::PrivatePlugin::open(std::string(ATS_BIN) + "/" + kLibraryFile, options, &error);
        if (!library_) ADD_FAILURE() << "cannot load " << kLibraryFile << ": " << error;
        panel.fill(kUntouched);
        sound.fill(kUntouched);
    }

    bool loaded() const { return library_ != nullptr; }
    const host::EntryPoints& api() const { return library_->api(); }
    // The arrays are filled once, at load: a slot keeps what earlier frames wrote, as the host's do.
    frame::Handles elapse(const frame::VehicleState& vehicle) {
        return api().Elapse(vehicle, panel.data(), sound.data());
    }
    std::string iniPath() const { return library_->iniPath(); }

    Slots panel{};
    Slots sound{};

private:
    std::unique_ptr<host::PrivatePlugin> library_;
};

frame::VehicleState allReadings(std::int32_t time, float value) {
    return {0.0, value, time, value, value, value, value, value, value};
}

// Every slot as the host filled it except the listed ones, which hold the given values.
Slots untouchedExcept(const std::vector<std::pair<std::size_t, std::int32_t>>& written) {
    Slots slots;
    slots.fill(kUntouched);
    for (const auto& [slot, value] : written) slots[slot] = value;
    return slots;
}

// ---------------------------------------------------------------------------------------------
// The update schedule, through the library: the BC reading on slot 10 after each frame.

struct Frame {
    std::int32_t time;
    float value;
    std::int32_t shown;
};

struct ScheduleRow {
    std::string name;
    std::int32_t interval;
    std::vector<Frame> frames;
};

// Frames every 100 ms from 10000 with the value (time - 9900) / 10: updates at 10500 (avg 35),
// 10900 (avg 85) and 11300 (avg 125); the grid then stands at 11600.
std::vector<Frame> steadyRunThen(const std::vector<Frame>& more) {
    std::vector<Frame> frames = {
        {10000, 10, 0},   {10100, 20, 0},   {10200, 30, 0},   {10300, 40, 0},    {10400, 50, 0},
        {10500, 60, 35},  {10600, 70, 35},  {10700, 80, 35},  {10800, 90, 35},   {10900, 100, 85},
        {11000, 110, 85}, {11100, 120, 85}, {11200, 130, 85}, {11300, 140, 125},
    };
    frames.insert(frames.end(), more.begin(), more.end());
    return frames;
}

std::vector<ScheduleRow> scheduleRows() {
    return {
        {"SteadyRunThenFrameWithinTwoIntervals", 400,
         steadyRunThen({{12300, 500, 500}, {12400, 600, 600}, {12500, 700, 700}, {12600, 800, 700}})},
        {"SteadyRunThenFramePastTwoIntervals", 400,
         steadyRunThen({{13000, 500, 500}, {13400, 600, 500}, {13500, 700, 650}})},
        {"RunStartingAtZero",
         400,
         {{0, 1, 0},
          {100, 2, 0},
          {200, 3, 0},
          {300, 4, 0},
          {400, 5, 0},
          {500, 6, 0},
          {600, 7, 0},
          {700, 8, 0},
          {800, 9, 0},
          {900, 10, 0},
          {1000, 11, 6}}},
        {"TimeGoingBack",
         400,
         {{10000, 10, 0}, {10500, 20, 15}, {5000, 10, 15}, {5100, 20, 15}, {10800, 30, 15}, {10900, 40, 25}}},
        {"ZeroInterval",
         0,
         {{0, 10, 0}, {100, 20, 0}, {100, 30, 0}, {200, 40, 25}, {300, 50, 50}, {300, 60, 50}}},
        {"NegativeInterval", -100, {{1000, 10, 0}, {1000, 20, 15}, {1000, 30, 30}, {1100, 40, 40}}},
    };
}

class MeterPluginSchedule : public ::testing::TestWithParam<ScheduleRow> {};

TEST_P(MeterPluginSchedule, ShowsTheAveragesOfTheRightFrames) {
    const ScheduleRow& row = GetParam();
    LoadedMeter meter("[DATA]\nUpDateTime=" + std::to_string(row.interval) + "\nPanelBC=10\n");
    ASSERT_TRUE(meter.loaded());
    meter.api().Initialize(0);
    for (const Frame& frame : row.frames) {
        SCOPED_TRACE("frame at time " + std::to_string(frame.time));
        meter.elapse(allReadings(frame.time, frame.value));
        EXPECT_EQ(meter.panel, untouchedExcept({{10, frame.shown}}));
    }
    EXPECT_EQ(meter.sound, untouchedExcept({}));
}

INSTANTIATE_TEST_SUITE_P(Rows, MeterPluginSchedule, ::testing::ValuesIn(scheduleRows()),
                         [](const ::testing::TestParamInfo<ScheduleRow>& row) { return row.param.name; });

// ---------------------------------------------------------------------------------------------
// Rounding and the panel keys, through the library. Interval 100: the frame at 1000 schedules
// 1100, the frame at 1101 updates with the average of both.

constexpr const char* kEverySlot =
    "[DATA]\nUpDateTime=100\nPanelBC=1\nPanelMR=2\nPanelER=3\nPanelBP=4\nPanelSAP=5\nPanelCurrent=6\n"
    "PanelCurrentABS=7\nPanelSpeed=8\n";

struct RoundingRow {
    std::string name;
    frame::VehicleState first;                                // at 1000
    frame::VehicleState second;                               // at 1101
    std::vector<std::pair<std::size_t, std::int32_t>> shown;  // slots 1..8: BC MR ER BP SAP I |I| speed
};

frame::VehicleState readings(float speed, float bc, float mr, float er, float bp, float sap, float current) {
    return {0.0, speed, 0, bc, mr, er, bp, sap, current};
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

std::vector<RoundingRow> roundingRows() {
    return {
        {"HalvesRoundUpAndCurrentAwayFromZero",
         readings(-30, 489, 489.49F, -1.2F, -1.6F, 12, -12),
         readings(-30, 490, 489.49F, -1.2F, -1.6F, 13, -13),
         {{1, 490}, {2, 489}, {3, 0}, {4, -1}, {5, 13}, {6, -13}, {7, 13}, {8, 30}}},
        {"CurrentJustInsideTheNegativeHalf",
         readings(30, 0, 0, 0, 0, 0, -12.49F),
         readings(-30, 0, 0, 0, 0, 0, -12.49F),
         {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, -12}, {7, 12}, {8, 30}}},
        {"CurrentSignsCancel",
         readings(0, -1.2F, 0, 0, 0, 0, 100),
         readings(0, -1.2F, 0, 0, 0, 0, -100),
         {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}}},
        {"OutOfRangeAndNaNAreDefined",
         readings(3.0e9F, kNaN, -3.0e9F, 0, 0, 0, -3.0e9F),
         readings(3.0e9F, 0, -3.0e9F, 0, 0, 0, -3.0e9F),
         {{1, 0}, {2, kMin}, {3, 0}, {4, 0}, {5, 0}, {6, kMin}, {7, kMax}, {8, kMax}}},
    };
}

class MeterPluginRounding : public ::testing::TestWithParam<RoundingRow> {};

TEST_P(MeterPluginRounding, ShowsEachReadingRoundedByItsRule) {
    const RoundingRow& row = GetParam();
    LoadedMeter meter(kEverySlot);
    ASSERT_TRUE(meter.loaded());
    frame::VehicleState first = row.first;
    frame::VehicleState second = row.second;
    first.time = 1000;
    second.time = 1101;
    meter.elapse(first);
    meter.elapse(second);
    EXPECT_EQ(meter.panel, untouchedExcept(row.shown));
}

INSTANTIATE_TEST_SUITE_P(Rows, MeterPluginRounding, ::testing::ValuesIn(roundingRows()),
                         [](const ::testing::TestParamInfo<RoundingRow>& row) { return row.param.name; });

// Keys 0 and 255 are written, -1 and 256 are not; with two keys on one slot the later one in the
// write order (BC, MR, ER, BP, SAP, current, |current|, speed) stands.
TEST(MeterPlugin, WritesOnlyValidKeysAndTheLaterOfTwoOnOneSlot) {
    LoadedMeter meter(
        "[DATA]\nUpDateTime=100\nPanelBC=0\nPanelMR=255\nPanelER=-1\nPanelBP=256\nPanelSAP=40\n"
        "PanelCurrent=40\n");
    ASSERT_TRUE(meter.loaded());
    frame::VehicleState vehicle = readings(0, 11, 22, 33, 44, 55, -66);
    vehicle.time = 1000;
    meter.elapse(vehicle);
    vehicle.time = 1101;
    meter.elapse(vehicle);
    EXPECT_EQ(meter.panel, untouchedExcept({{0, 11}, {255, 22}, {40, -66}}));
    EXPECT_EQ(meter.sound, untouchedExcept({}));
}

// With no INI file every key keeps its default and nothing is shown; the handles pass through as
// the driver last set them, Initialize included, and the version is the interface's.
TEST(MeterPlugin, DefaultsShowNothingAndPassTheHandlesThrough) {
    LoadedMeter meter("");
    ASSERT_TRUE(meter.loaded());
    EXPECT_EQ(meter.api().GetPluginVersion(), 0x20000);
    frame::Handles handles = meter.elapse(allReadings(100, 5));
    EXPECT_EQ(handles.brake, 0);
    EXPECT_EQ(handles.power, 0);
    EXPECT_EQ(handles.reverser, 0);
    EXPECT_EQ(handles.constantSpeed, frame::ConstantSpeedKeep);

    meter.api().SetBrake(3);
    meter.api().SetBrake(5);
    meter.api().SetPower(99);
    meter.api().SetReverser(-1);
    meter.api().Initialize(0);
    meter.api().DoorOpen();
    meter.api().SetBeaconData({86, 0, 0.0F, 1});
    for (std::int32_t time = 0; time <= 2000; time += 100) {
        handles = meter.elapse(allReadings(time, 50));
        EXPECT_EQ(handles.brake, 5);
        EXPECT_EQ(handles.power, 99);
        EXPECT_EQ(handles.reverser, -1);
        EXPECT_EQ(handles.constantSpeed, frame::ConstantSpeedKeep);
    }
    EXPECT_EQ(meter.panel, untouchedExcept({}));
    EXPECT_EQ(meter.sound, untouchedExcept({}));
}

// Initialize restarts the schedule but the slots keep the last run's values until the new run's
// first update, a full interval later, which averages only the new run's frames.
TEST(MeterPlugin, InitializeKeepsTheShownValues) {
    LoadedMeter meter("[DATA]\nUpDateTime=400\nPanelSpeed=9\n");
    ASSERT_TRUE(meter.loaded());
    meter.elapse(allReadings(10000, 30));
    meter.elapse(allReadings(10500, 30));
    meter.elapse(allReadings(10600, 1000));  // summed, never shown: Initialize drops it
    ASSERT_EQ(meter.panel[9], 30);

    meter.api().Initialize(0);
    const std::pair<std::int32_t, std::int32_t> frames[] = {{0, 30}, {500, 30}, {900, 30}, {1000, 60}};
    for (const auto& [time, shown] : frames) {
        SCOPED_TRACE("frame at time " + std::to_string(time));
        meter.elapse(allReadings(time, 60));
        EXPECT_EQ(meter.panel, untouchedExcept({{9, shown}}));
    }
}

}  // namespace
