// The built door plug-in, loaded as the host loads it, replaying the frame sequences of
// sequences.h through its exported entry points. The keys go through the platform's keyboard:
// HostGetKeyboardState of this program on Linux, the thread's keyboard state on Windows. Each row
// loads a fresh copy with an INI file of the row's settings beside it, so the row starts from the
// state at load, the generator's included.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>

#include "door/sequences.h"
#include "tools/host/private_plugin.h"

namespace {

constexpr const char* kPluginFile = "Tavrel" ATS_PLUGIN_SUFFIX;

using door_test::Call;
using door_test::CallKind;

std::string iniFor(const door_test::Tuning& tuning) {
    return "[DATA]\r\nclosetime=" + std::to_string(tuning.closetime) +
           "\r\ndoorlock=" + std::to_string(tuning.doorlock) +
           "\r\nDoorNum=" + std::to_string(tuning.DoorNum) + "\r\nDIR=" + std::to_string(tuning.DIR) + "\r\n";
}

class LoadedDoor {
public:
    // Copies the plug-in into a folder of its own, with the settings file beside it, and loads it.
    explicit LoadedDoor(const door_test::Tuning& tuning) {
        host::PrivatePlugin::Options options;
        options.prefix = "tavrel";
        options.ini = iniFor(tuning);
        library_ = host::PrivatePlugin::open(std::string(ATS_BIN) + "/" + kPluginFile, options, &error_);
    }

    bool loaded() const { return library_ != nullptr; }
    const std::string& error() const { return error_; }
    const host::EntryPoints& api() const { return library_->api(); }

    void call(const Call& c) {
        switch (c.kind) {
            case CallKind::Initialize:
                api().Initialize(0);
                break;
            case CallKind::SetVehicleSpec:
                api().SetVehicleSpec({6, 4, 1, 2, 5});
                break;
            case CallKind::DoorOpen:
                api().DoorOpen();
                break;
            case CallKind::DoorClose:
                api().DoorClose();
                break;
            case CallKind::Beacon:
                api().SetBeaconData({c.type, 1, 25.0f, c.optional});
                break;
        }
    }

    std::string frame(std::int32_t time, const char* keys, float speed) {
        host::releaseAllKeys();
        for (const char* k = keys; *k != '\0'; ++k) host::setKeyDown(*k, true);
        frame::VehicleState vehicle{};
        vehicle.time = time;
        vehicle.speed = speed;
        const frame::Handles handles = library_->elapse(vehicle, panel_, sound_);
        EXPECT_EQ(handles.brake, door_test::kDriverBrake);
        EXPECT_EQ(handles.reverser, door_test::kDriverReverser);
        EXPECT_EQ(handles.constantSpeed, frame::ConstantSpeedKeep);
        for (int slot = 0; slot < 256; ++slot) {
            const bool panelSlot = slot == 20 || (slot >= 200 && slot <= 207) || slot == 210 || slot == 238;
            const bool soundSlot = slot == 95 || slot == 96 || (slot >= 150 && slot <= 159);
            EXPECT_EQ(panel_[static_cast<std::size_t>(slot)] != door_test::kUntouched, panelSlot)
                << "panel slot " << slot;
            EXPECT_EQ(sound_[static_cast<std::size_t>(slot)] != door_test::kUntouched, soundSlot)
                << "sound slot " << slot;
        }
        return door_test::summarize(panel_.data(), sound_.data(), handles);
    }

private:
    std::string error_;
    std::unique_ptr<host::PrivatePlugin> library_;
    host::Slots panel_{};
    host::Slots sound_{};
};

class LoadedDoorSequence : public testing::TestWithParam<door_test::Sequence> {
protected:
    void TearDown() override { host::releaseAllKeys(); }
};

TEST_P(LoadedDoorSequence, FramesGiveTheExpectedOutputs) {
    const door_test::Sequence& row = GetParam();
    LoadedDoor door(row.tuning);
    ASSERT_TRUE(door.loaded()) << door.error();
    door.api().SetPower(door_test::kDriverPower);
    door.api().SetBrake(door_test::kDriverBrake);
    door.api().SetReverser(door_test::kDriverReverser);
    if (!row.fromLoad) {
        door.call(door_test::vehicleSpec());
        door.call(door_test::initialize());
        door.frame(0, "", 0.0f);
    }
    for (std::size_t i = 0; i < row.steps.size(); ++i) {
        const door_test::Step& step = row.steps[i];
        SCOPED_TRACE("step " + std::to_string(i) + " at time " + std::to_string(step.time));
        for (const Call& c : step.calls) door.call(c);
        EXPECT_EQ(door.frame(step.time, step.keys, step.speed), step.expect);
    }
}

INSTANTIATE_TEST_SUITE_P(Door, LoadedDoorSequence, testing::ValuesIn(door_test::sequences()),
                         [](const testing::TestParamInfo<door_test::Sequence>& row) {
                             return row.param.name;
                         });

// The host's own key events, horn and signal aspects change nothing: only the keyboard counts.
TEST(LoadedDoor, KeyEventsOfTheHostDriveNothing) {
    LoadedDoor door(door_test::Tuning{});
    ASSERT_TRUE(door.loaded()) << door.error();
    door.api().SetPower(door_test::kDriverPower);
    door.api().SetBrake(door_test::kDriverBrake);
    door.api().SetReverser(door_test::kDriverReverser);
    door.call(door_test::vehicleSpec());
    door.call(door_test::initialize());
    door.frame(0, "", 0.0f);
    for (std::int32_t key = 0; key < 16; ++key) door.api().KeyDown(key);
    door.api().HornBlow(1);
    door.api().SetSignal(3);
    EXPECT_EQ(door.frame(1000, "", 0.0f), "closed p4");
    EXPECT_EQ(door.frame(2000, "T", 0.0f), "right open p4 once 151 155 156");
    EXPECT_EQ(door.api().GetPluginVersion(), 0x20000);
}

}  // namespace
