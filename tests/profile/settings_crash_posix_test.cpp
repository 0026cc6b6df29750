// Settings files survive a crash. A child process saves a settings store over and over, flipping
// between an old and a new set of values, and is killed (SIGKILL) at a random moment, hundreds of
// times: after each kill the INI file is the old or the new complete file, and a load gives one
// whole set of values. The temporary files that killed writers leave are removed by the next
// successful save, and a temporary file of a live writer is never taken for one of them.
//
// The test command kills 300 times (a few seconds); a longer run:
//   ATS_CRASH_KILLS=20000 build/native/bin/settings_crash_posix_test
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "frame/settings_store.h"
#include "platform/profile.h"
#include "profile/profile_files.h"

namespace {

namespace fs = profile_test::fs;
using profile_test::readBytes;
using profile_test::TempDir;
using profile_test::writeBytes;

struct CrashValues {
    frame::IntSetting number{0};
    std::string text;
    frame::IntSetting other{0};
    void visitEntries(frame::SettingsFile& file, std::int32_t mode) {
        frame::transferInt(mode, file, "DATA", "number", number);
        frame::transferString(mode, file, "Key", "text", text);
        frame::transferInt(mode, file, "DATA", "other", other);
    }
};
using Store = frame::SettingsStore<CrashValues>;

void setValues(Store& store, bool newSet) {
    store.number = newSet ? 123456789 : -1;
    store.text = newSet ? "the new text, longer than the old" : "old";
    store.other = newSet ? 0 : 2147483647;
}

// 1: the new set, 0: the old set, -1: a mix or anything else.
int whichValues(const Store& store) {
    Store old(store.lastPath);
    setValues(old, false);
    Store now(store.lastPath);
    setValues(now, true);
    const auto same = [&](const Store& other) {
        return store.number == other.number && store.text == other.text && store.other == other.other;
    };
    return same(now) ? 1 : same(old) ? 0 : -1;
}

// The temporary files in the folder; with a pid, only those that process made.
int temporaryFiles(const fs::path& folder, pid_t writer = 0) {
    const std::string mark = writer ? ".tmp" + std::to_string(writer) + "." : ".tmp";
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(mark) != std::string::npos) ++count;
    return count;
}

long killsToMake() {
    const char* asked = std::getenv("ATS_CRASH_KILLS");
    const long kills = asked ? std::atol(asked) : 0;
    return kills > 0 ? kills : 300;
}

TEST(SettingsCrash, KilledSaveLeavesTheOldOrTheNewFile) {
    TempDir dir;
    const std::string path = dir.file("crash.ini");
    const std::string absent = dir.file("absent.ini");
    Store store(absent);
    setValues(store, false);
    store.save(path);
    const auto oldBytes = readBytes(path);
    setValues(store, true);
    store.save(path);
    const auto newBytes = readBytes(path);
    ASSERT_TRUE(oldBytes && newBytes && oldBytes != newBytes);

    const long kills = killsToMake();
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMicroseconds(0, 15000);
    long sawNew = 0;
    long midWrite = 0;
    int mostLeft = 0;
    for (long kill = 0; kill < kills; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (bool newSet = false;; newSet = !newSet) {
                setValues(store, newSet);
                store.save(path);
            }
        }
        ::usleep(static_cast<useconds_t>(delayMicroseconds(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        const auto bytes = readBytes(path);
        ASSERT_TRUE(bytes == oldBytes || bytes == newBytes)
            << "kill " << kill << " (seed " << seed << ") left " << bytes.value_or("no file");
        Store reader(absent);
        ASSERT_TRUE(reader.load(path));
        const int which = whichValues(reader);
        ASSERT_NE(which, -1) << "kill " << kill << " (seed " << seed << ") loaded a mix";
        sawNew += which;
        if (temporaryFiles(dir.path(), child) > 0) ++midWrite;
        mostLeft = std::max(mostLeft, temporaryFiles(dir.path()));
    }
    std::printf(
        "%ld kills (seed %u): %ld in the middle of a write; the new file after %ld; at most %d "
        "temporary files at once\n",
        kills, seed, midWrite, sawNew, mostLeft);

    // The next successful save (one that changes the file) removes what the killed writers left.
    Store reader(absent);
    reader.load(path);
    setValues(store, whichValues(reader) == 0);
    store.save(path);
    EXPECT_EQ(temporaryFiles(dir.path()), 0);
}

// A temporary file is removed only when the process named in it is gone: a live writer's file,
// this process's own included, may be in flight and stays.
TEST(SettingsCrash, OnlyTemporaryFilesOfGoneWritersAreRemoved) {
    TempDir dir;
    const std::string path = dir.file("mine.ini");
    writeBytes(path, "[S]\nk=1\n");
    const pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const auto temporary = [&](const std::string& file, pid_t pid) {
        return dir.file("." + file + ".tmp" + std::to_string(pid) + ".7");
    };
    writeBytes(temporary("mine.ini", gone), "[S]\nk=half");
    writeBytes(temporary("mine.ini", ::getppid()), "in flight");
    writeBytes(temporary("mine.ini", ::getpid()), "in flight here");
    writeBytes(temporary("other.ini", gone), "another file's");
    writeBytes(dir.file(".mine.ini.tmpjunk"), "not a writer's name");

    ASSERT_TRUE(platform::writeProfileString("S", "k", "2", path.c_str()));
    EXPECT_FALSE(fs::exists(temporary("mine.ini", gone)));
    EXPECT_TRUE(fs::exists(temporary("mine.ini", ::getppid())));
    EXPECT_TRUE(fs::exists(temporary("mine.ini", ::getpid())));
    EXPECT_TRUE(fs::exists(temporary("other.ini", gone)));
    EXPECT_TRUE(fs::exists(dir.file(".mine.ini.tmpjunk")));
    EXPECT_EQ(readBytes(path), "[S]\nk=2\n");
}

}  // namespace
