// Files no editor makes, in place of a settings file: 100 MB of lines, one line of 100 MB, a file
// that grows while it is read, a named pipe and devices. A load comes back with the values that the
// first 16 MiB hold (or with the values in effect), using memory within that bound; a save leaves
// such a file alone. The files are made at run time, never kept in the repository.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "frame/settings_store.h"
#include "platform/profile.h"
#include "profile/profile_files.h"

namespace {

namespace fs = profile_test::fs;
using profile_test::readBytes;
using profile_test::TempDir;

constexpr std::size_t kHundredMegabytes = std::size_t{100} << 20;

// The memory a load may take: the 16 MiB read bound, and room for the program's own. Under
// ThreadSanitizer every byte written costs four more of shadow memory, so the bound is not checked.
// The 100 MB cases run no threads and take minutes under it: they are left to the other lanes.
#if defined(__SANITIZE_THREAD__)
constexpr long kPeakBoundMiB = 0;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr long kPeakBoundMiB = 0;
#else
constexpr long kPeakBoundMiB = 48;
#endif
#else
constexpr long kPeakBoundMiB = 48;
#endif
constexpr bool kUnderThreadSanitizer = kPeakBoundMiB == 0;

void expectPeakWithinBound(long grownMiB) {
    EXPECT_GE(grownMiB, 0) << "the measuring child failed";
    if (kPeakBoundMiB > 0) {
        EXPECT_LT(grownMiB, kPeakBoundMiB) << "MiB of peak memory for one load";
    }
}

struct Values {
    frame::IntSetting number{-5};
    std::string text{"kept"};
    frame::IntSetting late{-6};
    void visitEntries(frame::SettingsFile& file, std::int32_t mode) {
        frame::transferInt(mode, file, "DATA", "number", number);
        frame::transferString(mode, file, "DATA", "text", text);
        frame::transferInt(mode, file, "LATE", "late", late);
    }
};
using Store = frame::SettingsStore<Values>;

// Writes the head, then filler lines up to the size, then the tail.
void writeLargeFile(const std::string& path, const std::string& head, const std::string& line,
                    std::size_t size, const std::string& tail) {
    std::ofstream out(path, std::ios::binary);
    out << head;
    std::string block;
    while (block.size() < (1u << 20)) block += line;
    for (std::size_t written = head.size(); written < size; written += block.size()) out << block;
    out << tail;
}

// How much the peak memory of a child process grows while it runs the action, in MiB.
long peakGrowthMiB(const std::function<void()>& action) {
    const pid_t child = ::fork();
    if (child == 0) {
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        action();
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const long grown = (after.ru_maxrss - before.ru_maxrss) / 1024;
        ::_exit(static_cast<int>(grown < 0 ? 0 : grown > 250 ? 250 : grown));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void expectSaveLeavesItAlone(Store& store, const std::string& path) {
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    store.number = 999;
    EXPECT_TRUE(store.save(path));
    platform::ProfileFile file(path);
    file.write("DATA", "number", "999");
    EXPECT_FALSE(file.commit()) << "a file not read whole is never rewritten";
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST(HostileFile, HundredMegabytesReadUpToTheBound) {
    if (kUnderThreadSanitizer) GTEST_SKIP() << "single-threaded, and minutes long under ThreadSanitizer";
    TempDir dir;
    const std::string path = dir.file("huge.ini");
    writeLargeFile(path, "[DATA]\r\nnumber=42\r\ntext=first\r\n", "filler=0123456789\r\n", kHundredMegabytes,
                   "[LATE]\r\nlate=7\r\n");
    Store store(dir.file("absent.ini"));
    const long grown = peakGrowthMiB([&] { store.load(path); });
    EXPECT_TRUE(store.load(path));
    EXPECT_EQ(store.number, 42);
    EXPECT_EQ(store.text, "first");
    EXPECT_EQ(store.late, -6) << "beyond the first 16 MiB: the value in effect stays";
    expectPeakWithinBound(grown);
    expectSaveLeavesItAlone(store, path);
}

TEST(HostileFile, SingleLineOfHundredMegabytesReadsAsNoLines) {
    if (kUnderThreadSanitizer) GTEST_SKIP() << "single-threaded, and minutes long under ThreadSanitizer";
    TempDir dir;
    const std::string path = dir.file("line.ini");
    writeLargeFile(path, "number=1", "v", kHundredMegabytes, "");
    Store store(dir.file("absent.ini"));
    const long grown = peakGrowthMiB([&] { store.load(path); });
    EXPECT_TRUE(store.load(path));
    EXPECT_EQ(store.number, -5);
    char out[256];
    EXPECT_EQ(platform::profileString("", "number", "none", out, sizeof out, path.c_str()), 4u);
    EXPECT_STREQ(out, "none");
    expectPeakWithinBound(grown);
    expectSaveLeavesItAlone(store, path);
}

TEST(HostileFile, FileThatGrowsWhileItIsReadIsReadToTheBound) {
    TempDir dir;
    const std::string path = dir.file("growing.ini");
    profile_test::writeBytes(path, "[DATA]\r\nnumber=42\r\n");
    std::atomic<bool> stop{false};
    std::thread grower([&] {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        const std::string block(1 << 16, ';');
        // Stops by itself at 256 MiB, so that a reader that never stops shows as a wrong value, not
        // as a full disk.
        for (std::size_t written = 0; !stop && written < (std::size_t{256} << 20); written += block.size())
            if (::write(fd, block.data(), block.size()) < 0) break;
        ::close(fd);
    });
    Store store(dir.file("absent.ini"));
    for (int i = 0; i < 5; ++i) {
        store.number = 0;
        EXPECT_TRUE(store.load(path));
        EXPECT_EQ(store.number, 42);
    }
    stop = true;
    grower.join();
}

TEST(HostileFile, NamedPipeWithAWriterIsNeverOpened) {
    TempDir dir;
    const std::string path = dir.file("pipe.ini");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    // A writer holds the pipe open, ready to send settings that must never be read.
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_GT(::write(writer, "[DATA]\nnumber=1\n", 16), 0);
    Store store(dir.file("absent.ini"));
    EXPECT_TRUE(store.load(path)) << "it exists";
    EXPECT_EQ(store.number, -5);
    EXPECT_TRUE(store.save(path));
    EXPECT_TRUE(fs::is_fifo(path));
    ::close(writer);
    ::close(reader);
}

TEST(HostileFile, DevicesReadAsNoFileAndAreNeverWritten) {
    for (const char* device : {"/dev/zero", "/dev/urandom", "/dev/null"}) {
        SCOPED_TRACE(device);
        if (!fs::exists(device)) continue;
        TempDir dir;
        const std::string link = dir.file("device.ini");
        fs::create_symlink(device, link);
        for (const std::string& path : {link, std::string(device)}) {
            Store store(dir.file("absent.ini"));
            EXPECT_TRUE(store.load(path));
            EXPECT_EQ(store.number, -5);
            EXPECT_EQ(store.text, "kept");
            EXPECT_FALSE(platform::writeProfileString("DATA", "number", "1", path.c_str()));
        }
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_TRUE(fs::is_character_file(device));
    }
}

}  // namespace
