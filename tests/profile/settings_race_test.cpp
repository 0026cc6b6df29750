// A re-read of the settings while an entry point reads them, as a thread notification can cause on
// Windows: one thread edits the file, one re-loads the store, one reads the integer settings. Every
// value read is one that the file held, never a mix; under ThreadSanitizer there is no data race.
//
// The soak (SettingsSoak) runs the door and meter logic's Elapse on the host thread, frame after
// frame, while the file changes and short-lived threads re-read it one after another, as Tavrel and
// Quinsora do at every thread notification on Windows (the loader runs those one at a time). Vesk
// re-reads nothing after load. It runs ATS_SOAK_SECONDS seconds (default 2, the lanes' short run);
//   ATS_SOAK_SECONDS=600 build/tsan/bin/settings_race_test --gtest_filter='SettingsSoak.*'
// or scripts/fuzz.sh soak 600 soaks for as long as asked.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "door/logic.h"
#include "door/settings.h"
#include "frame/settings_store.h"
#include "meter/logic.h"
#include "meter/settings.h"
#include "platform/profile.h"
#include "profile/profile_files.h"

namespace {

constexpr std::int32_t kOld = 0x11111111;
constexpr std::int32_t kNew = -0x7EEEEEEF;  // every byte differs from kOld's

struct RaceValues {
    frame::IntSetting a{kOld};
    frame::IntSetting b{kOld};
    void visitEntries(frame::SettingsFile& file, std::int32_t mode) {
        frame::transferInt(mode, file, "DATA", "a", a);
        frame::transferInt(mode, file, "DATA", "b", b);
    }
};

TEST(SettingsRace, ReloadWhileReadingSeesWholeValues) {
    profile_test::TempDir dir;
    const std::string path = dir.file("race.ini");
    profile_test::writeBytes(
        path, "[DATA]\r\na=" + std::to_string(kOld) + "\r\nb=" + std::to_string(kOld) + "\r\n");
    frame::SettingsStore<RaceValues> store(path);

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<long> reads{0};
    std::thread reader([&] {
        while (!done.load()) {
            for (const frame::IntSetting* value : {&store.a, &store.b}) {
                const std::int32_t seen = value->load(std::memory_order_relaxed);
                if (seen != kOld && seen != kNew) torn.fetch_add(1);
            }
            reads.fetch_add(1);
        }
    });
    std::thread editor([&] {
        for (int i = 0; i < 150; ++i) {
            const std::string text = std::to_string(i % 2 ? kNew : kOld);
            platform::writeProfileString("DATA", "a", text.c_str(), path.c_str());
            platform::writeProfileString("DATA", "b", text.c_str(), path.c_str());
        }
    });
    for (int i = 0; i < 300; ++i) store.load(path);
    editor.join();
    done = true;
    reader.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
}

// How long each soak runs.
std::chrono::milliseconds soakTime() {
    const char* text = std::getenv("ATS_SOAK_SECONDS");
    const long seconds = text ? std::strtol(text, nullptr, 10) : 2;
    return std::chrono::milliseconds(seconds > 0 ? seconds * 1000 : 2000);
}

// What happens beside the host thread for the length of a soak: one thread edits the file between
// two sets of values, another starts one short-lived thread after another, each re-reading the
// file into the store as a thread notification does.
template <class Values>
class ReReads {
public:
    ReReads(frame::SettingsStore<Values>& store, std::string path, std::array<std::string, 2> files)
        : editor_([this, path, files] {
              // Each version is written beside the file and renamed over it, so that a re-read
              // finds one whole version or the other.
              for (unsigned i = 0; !done_.load(); ++i) {
                  profile_test::writeBytes(path + ".new", files[i % 2]);
                  std::rename((path + ".new").c_str(), path.c_str());
              }
          }),
          notifier_([this, &store, path] {
              while (!done_.load()) {
                  std::thread notified([&store, path] { store.load(path); });
                  notified.join();
                  reReads_.fetch_add(1);
              }
          }) {}
    ~ReReads() { stop(); }
    long stop() {
        done_ = true;
        if (editor_.joinable()) editor_.join();
        if (notifier_.joinable()) notifier_.join();
        return reReads_.load();
    }

private:
    std::atomic<bool> done_{false};
    std::atomic<long> reReads_{0};
    std::thread editor_;
    std::thread notifier_;
};

TEST(SettingsSoak, MeterElapseAgainstReReads) {
    profile_test::TempDir dir;
    const std::string path = dir.file("Quinsora.ini");
    // Two sets of slots (10 to 12, 20 to 22): every frame shows each reading in one of its two slots,
    // never elsewhere.
    const std::array<std::string, 2> files{
        "[DATA]\r\nUpDateTime=100\r\nPanelBC=10\r\nPanelSpeed=11\r\nPanelCurrent=12\r\n",
        "[DATA]\r\nUpDateTime=-7\r\nPanelBC=20\r\nPanelSpeed=21\r\nPanelCurrent=22\r\n"};
    profile_test::writeBytes(path, files[0]);
    frame::SettingsStore<meter::MeterSettings> store(path);
    meter::MeterState state;
    const frame::DriverHandles driver{3, 2, 1};

    long frames = 0;
    long strayWrites = 0;
    ReReads<meter::MeterSettings> reReads(store, path, files);
    const auto end = std::chrono::steady_clock::now() + soakTime();
    std::array<std::int32_t, frame::kSlotCount> panel{};
    for (std::int32_t now = 20; std::chrono::steady_clock::now() < end; now += 20, ++frames) {
        panel.fill(-1);
        const frame::VehicleState vehicle{1.0 * now, 80.0F, now, 3.5F, 7.0F, 4.0F, 5.0F, 0.0F, -120.0F};
        const frame::Handles out = meter::elapse(state, store, driver, vehicle, panel.data());
        EXPECT_EQ(out.power, 3);
        for (std::size_t slot = 0; slot < panel.size(); ++slot)
            if (panel[slot] != -1 && (slot % 10 > 2 || slot < 10 || slot > 22)) ++strayWrites;
    }
    const long loads = reReads.stop();
    EXPECT_EQ(strayWrites, 0);
    EXPECT_GT(loads, 0);
    std::printf("meter soak: %ld frames against %ld re-reads\n", frames, loads);
}

TEST(SettingsSoak, DoorElapseAgainstReReads) {
    profile_test::TempDir dir;
    const std::string path = dir.file("Tavrel.ini");
    const std::array<std::string, 2> files{
        "[DATA]\r\nclosetime=100\r\nDoorNum=3\r\nDIR=1\r\ndoorlock=0\r\n[Key]\r\nDoorL=D\r\n",
        "[DATA]\r\nclosetime=-2147483648\r\nDoorNum=-1\r\nDIR=0\r\ndoorlock=1\r\n[Key]\r\nDoorL="
        "QQQQQQQQ\r\n"};
    profile_test::writeBytes(path, files[0]);
    frame::SettingsStore<door::DoorSettings> store(path);
    door::DoorState state;
    const frame::DriverHandles driver{4, 1, 1};

    long frames = 0;
    ReReads<door::DoorSettings> reReads(store, path, files);
    const auto end = std::chrono::steady_clock::now() + soakTime();
    std::array<std::int32_t, frame::kSlotCount> panel{};
    std::array<std::int32_t, frame::kSlotCount> sound{};
    door::setVehicleSpec(state, store);
    door::initialize(state, store);
    for (std::int32_t now = 20; std::chrono::steady_clock::now() < end; now += 20, ++frames) {
        // Every half second the doors open on the left (E) or close (R), at a stand.
        state.keyState.fill(0);
        if (now % 1000 < 100) state.keyState[door::KeyOpenLeft] = door::KeyDownBit;
        if (now % 1000 >= 500 && now % 1000 < 600) state.keyState[door::KeyClose] = door::KeyDownBit;
        if (frames % 97 == 0) door::initialize(state, store);
        const frame::VehicleState vehicle{0.0, 0.0F, now, 0.0F, 0.0F, 0.0F, 0.0F, 0.0F, 0.0F};
        const frame::Handles out = door::elapse(state, store, driver, vehicle, panel.data(), sound.data());
        EXPECT_TRUE(out.power == 4 || out.power == 0) << out.power;
    }
    const long loads = reReads.stop();
    EXPECT_GT(loads, 0);
    std::printf("door soak: %ld frames against %ld re-reads\n", frames, loads);
}

}  // namespace
