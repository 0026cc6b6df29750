// A re-read of the settings while an entry point reads them, as a thread notification can cause on
// Windows: one thread edits the file, one re-loads the store, one reads the integer settings. Every
// value read is one that the file held, never a mix; under ThreadSanitizer there is no data race.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "frame/settings_store.h"
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

}  // namespace
