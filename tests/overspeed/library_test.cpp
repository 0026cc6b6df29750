// The built Vesk library driven through its exported entry points, as the simulator drives it: the
// key cases of the lock, loaded fresh from a private copy for every test.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "tools/host/private_plugin.h"

namespace {

constexpr std::int32_t kDriverBrake = 3;
constexpr std::int32_t kEmergency = 9;  // eight service notches plus one

frame::VehicleState vehicleAt(std::int32_t time, double position, float speed) {
    frame::VehicleState vehicle{};
    vehicle.time = time;
    vehicle.position = position;
    vehicle.speed = speed;
    return vehicle;
}

class VeskLibrary : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(load());
        api().Load();
        frame::VehicleSpec vehicle{};
        vehicle.brakeNotches = 8;
        vehicle.powerNotches = 4;
        api().SetVehicleSpec(vehicle);
        api().Initialize(0);
        api().SetBrake(kDriverBrake);
        api().SetReverser(1);
    }

    void TearDown() override {
        if (library_) api().Dispose();
    }

    void load() {
        const std::string built = std::string(ATS_BIN) + "/Vesk" + ATS_PLUGIN_SUFFIX;
        std::string error;
        host::PrivatePlugin::Options options;
        options.prefix = "vesk";
        library_ = host::PrivatePlugin::open(built, options, &error);
        ASSERT_NE(library_, nullptr) << built << ": " << error;
    }

    const host::EntryPoints& api() const { return library_->api(); }

    frame::Handles frame(std::int32_t time, double position, float speed = 144.0f) {
        return library_->elapse(vehicleAt(time, position, speed), panel_, sound_);
    }

    // Runs at 144 km/h (4 m every 100 ms) from time 1000 at position 100 until the latch has set in
    // the frame at 6200; the emergency brake shows from the next frame.
    void runIntoTheLatch() {
        for (std::int32_t t = 1000; t <= 6200; t += 100) {
            const frame::Handles out = frame(t, 100.0 + (t - 1000) / 25);
            ASSERT_EQ(out.brake, kDriverBrake) << "at time " << t;
        }
    }

    std::unique_ptr<host::PrivatePlugin> library_;
    host::Slots panel_{};
    host::Slots sound_{};
};

TEST_F(VeskLibrary, ReportsTheInterfaceVersion) { EXPECT_EQ(api().GetPluginVersion(), 0x20000); }

TEST_F(VeskLibrary, SustainedOverspeedLatchesTheEmergencyBrakeFromTheFrameAfter) {
    runIntoTheLatch();
    EXPECT_EQ(frame(6300, 312.0).brake, kEmergency);
    // Standing still, the driver's brake changes nothing while the latch holds.
    api().SetBrake(0);
    EXPECT_EQ(frame(20000, 312.0, 0.0f).brake, kEmergency);
}

// A dip below the release speed stops the timer; the next overspeed starts a fresh 5000 ms.
TEST_F(VeskLibrary, DipBelowReleaseSpeedRestartsTheTimer) {
    for (std::int32_t t = 1000; t <= 5000; t += 100) frame(t, 100.0 + (t - 1000) / 25);
    frame(5100, 263.0);  // 3 m in 100 ms: 108 km/h
    for (std::int32_t t = 5200; t <= 10300; t += 100) {
        ASSERT_EQ(frame(t, 263.0 + (t - 5100) / 25).brake, kDriverBrake) << "at time " << t;
    }
    EXPECT_EQ(frame(10400, 475.0).brake, kEmergency);
}

TEST_F(VeskLibrary, NothingButInitializeReleasesTheLatch) {
    runIntoTheLatch();
    api().KeyDown(7);
    api().KeyUp(7);
    api().HornBlow(1);
    api().DoorOpen();
    api().DoorClose();
    api().SetSignal(0);
    api().SetBeaconData(frame::BeaconData{.type = 0, .signal = 0, .distance = 0.0f, .optional = 0});
    api().SetPower(0);
    api().SetBrake(0);
    api().SetReverser(0);
    EXPECT_EQ(frame(6300, 312.0, 0.0f).brake, kEmergency);
    api().Initialize(0);
    EXPECT_EQ(frame(7000, 312.0, 0.0f).brake, 0);
}

TEST_F(VeskLibrary, ShapesPowerAndConstantSpeedAndPassesTheReverser) {
    struct Row {
        const char* name;
        std::int32_t driverPower;
        std::int32_t time;
        float speed;
        std::int32_t power;
        std::int32_t constantSpeed;
    };
    const Row rows[] = {
        {"NoPower", 0, 1000, 60.0f, 0, frame::ConstantSpeedOff},
        {"LowSpeedAtExactLimit", 3, 1100, 55.0f, 8, frame::ConstantSpeedOff},
        {"JustAboveLimit", 3, 1200, 55.1f, 3, frame::ConstantSpeedOff},
        {"NotchFiveAboveLimit", 5, 1300, -60.0f, 5, frame::ConstantSpeedKeep},
        {"NotchFiveLowSpeed", 5, 1400, 50.0f, 10, frame::ConstantSpeedOff},
        {"TimeZero", 5, 0, 60.0f, 0, frame::ConstantSpeedKeep},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        api().SetPower(row.driverPower);
        const frame::Handles out = frame(row.time, 100.0, row.speed);
        EXPECT_EQ(out.power, row.power);
        EXPECT_EQ(out.constantSpeed, row.constantSpeed);
        EXPECT_EQ(out.reverser, 1);
        EXPECT_EQ(out.brake, kDriverBrake);
    }
}

TEST_F(VeskLibrary, WritesNoPanelOrSoundSlot) {
    runIntoTheLatch();
    frame(6300, 312.0);
    EXPECT_TRUE(
        std::all_of(panel_.begin(), panel_.end(), [](std::int32_t v) { return v == host::kUntouched; }));
    EXPECT_TRUE(
        std::all_of(sound_.begin(), sound_.end(), [](std::int32_t v) { return v == host::kUntouched; }));
}

// A fresh load starts clear: the first frame works out no speed and the brake is the driver's.
TEST_F(VeskLibrary, ReloadStartsClear) {
    runIntoTheLatch();
    library_.reset();
    ASSERT_NO_FATAL_FAILURE(load());
    api().SetBrake(kDriverBrake);
    EXPECT_EQ(frame(7000, 500.0).brake, kDriverBrake);
    EXPECT_EQ(frame(7100, 504.0).brake, kDriverBrake);
}

}  // namespace
