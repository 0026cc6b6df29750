// What only our POSIX writer promises: a read or write that fails at any call leaves the values in
// effect, the old file exactly as it was and no temporary file behind (through the fault seam of
// failing_file_io.h, for single writes and for a settings store's load and save), an
// unchanged value leaves the file untouched, permission bits are kept, a symbolic link is followed,
// and things that are not regular files are refused without blocking.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ostream>
#include <string>
#include <vector>

#include "frame/settings_store.h"
#include "platform/profile.h"
#include "profile/failing_file_io.h"
#include "profile/profile_files.h"

namespace {

namespace fs = profile_test::fs;
using failing_file_io::Call;
using profile_test::readBytes;
using profile_test::TempDir;
using profile_test::writeBytes;

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// Each call of a kind fails in turn (the first, then the second, ...) until the operation no
// longer makes that many calls.
struct FaultRow {
    std::string name;
    Call call;
    int error;
};

void PrintTo(const FaultRow& row, std::ostream* os) { *os << row.name; }

const FaultRow kFaultRows[] = {
    {"OpenFails", Call::Open, EACCES},      {"ReadFails", Call::Read, EIO},
    {"WriteFails", Call::Write, ENOSPC},    {"SyncFails", Call::Sync, EIO},
    {"CloseFails", Call::Close, EIO},       {"RenameFails", Call::Rename, EXDEV},
    {"ReadInterrupted", Call::Read, EINTR}, {"WriteInterrupted", Call::Write, EINTR},
};

std::string rowName(const testing::TestParamInfo<FaultRow>& row) { return row.param.name; }

bool hasTemporaryFile(const fs::path& folder) {
    for (const std::string& name : folderEntries(folder))
        if (name.find(".tmp") != std::string::npos) return true;
    return false;
}

class FailedWrite : public testing::TestWithParam<FaultRow> {
protected:
    void TearDown() override { failing_file_io::disarm(); }
};

// A write that fails at any step reports it, leaves the old file (or no file) and no temporary
// file; one that succeeds despite the fault (a failed sync of the folder after the rename) has the
// new file in place. Either way the next write goes through.
TEST_P(FailedWrite, LeavesTheOldFileAndNoTemporaryFile) {
    const FaultRow& row = GetParam();
    const std::string before = "; kept\n[S]\nk=1\n" + std::string(100000, 'p') + "=x\n";
    for (const bool existed : {true, false}) {
        for (int nth = 1;; ++nth) {
            SCOPED_TRACE((existed ? "existing file, call " : "new file, call ") + std::to_string(nth));
            TempDir dir;
            const std::string path = dir.file("settings.ini");
            if (existed) writeBytes(path, before);
            failing_file_io::failAt(row.call, nth, row.error);
            const bool wrote = platform::writeProfileString("S", "k", "2", path.c_str());
            failing_file_io::disarm();
            const bool fired = failing_file_io::fired();
            EXPECT_FALSE(hasTemporaryFile(dir.path()));
            if (wrote) {
                EXPECT_EQ(platform::profileInt("S", "k", 0, path.c_str()), 2);
            } else {
                EXPECT_TRUE(fired) << "only a fault makes a write fail";
                EXPECT_TRUE(readBytes(path) == (existed ? std::optional<std::string>(before) : std::nullopt))
                    << "the old file changed";
                EXPECT_TRUE(platform::writeProfileString("S", "k", "2", path.c_str()));
                EXPECT_EQ(platform::profileInt("S", "k", 0, path.c_str()), 2);
            }
            if (!fired) break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCall, FailedWrite, testing::ValuesIn(kFaultRows), rowName);

// The same faults during a settings store's load and save. A load that cannot read the file keeps
// the values in effect (a read error anywhere reads as no file, never as part of one); a save that
// cannot replace the file leaves the old one and no temporary file, and the values stay.
struct FaultValues {
    frame::IntSetting a{1};
    frame::IntSetting b{2};
    std::string name{"old"};
    void visitEntries(frame::SettingsFile& file, std::int32_t mode) {
        frame::transferInt(mode, file, "DATA", "a", a);
        frame::transferString(mode, file, "DATA", "name", name);
        frame::transferInt(mode, file, "MORE", "b", b);
    }
};

class FailedStore : public FailedWrite {};

TEST_P(FailedStore, LoadKeepsTheValuesOrReadsThemAll) {
    const FaultRow& row = GetParam();
    for (int nth = 1;; ++nth) {
        SCOPED_TRACE("call " + std::to_string(nth));
        TempDir dir;
        const std::string path = dir.file("store.ini");
        writeBytes(path, "[DATA]\na=10\nname=new\n[MORE]\nb=20\n" + std::string(200000, ';') + "\n");
        frame::SettingsStore<FaultValues> store(dir.file("absent.ini"));
        failing_file_io::failAt(row.call, nth, row.error);
        EXPECT_TRUE(store.load(path));
        failing_file_io::disarm();
        const bool all = store.a == 10 && store.b == 20 && store.name == "new";
        const bool none = store.a == 1 && store.b == 2 && store.name == "old";
        EXPECT_TRUE(all || none) << store.a << " " << store.b << " " << store.name;
        if (!failing_file_io::fired()) {
            EXPECT_TRUE(all);
            break;
        }
    }
}

TEST_P(FailedStore, SaveLeavesTheOldFileOrWritesTheNewOne) {
    const FaultRow& row = GetParam();
    const std::string before = "; mine\n[DATA]\na=10\nname=new\n";
    for (int nth = 1;; ++nth) {
        SCOPED_TRACE("call " + std::to_string(nth));
        TempDir dir;
        const std::string path = dir.file("store.ini");
        writeBytes(path, before);
        frame::SettingsStore<FaultValues> store(dir.file("absent.ini"));
        failing_file_io::failAt(row.call, nth, row.error);
        EXPECT_TRUE(store.save(path));
        failing_file_io::disarm();
        const auto after = readBytes(path);
        EXPECT_TRUE(after == before || after == "; mine\n[DATA]\na=1\nname=old\n[MORE]\nb=2\n")
            << after.value_or("(no file)");
        EXPECT_FALSE(hasTemporaryFile(dir.path()));
        EXPECT_EQ(store.a, 1);
        EXPECT_EQ(store.name, "old");
        if (!failing_file_io::fired()) {
            EXPECT_NE(after, before);
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCall, FailedStore, testing::ValuesIn(kFaultRows), rowName);

TEST(PosixWriter, UnchangedValueLeavesTheFileUntouched) {
    TempDir dir;
    const std::string path = dir.file("same.ini");
    writeBytes(path, "[S]\nk = 1 \n");
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_TRUE(platform::writeProfileString("S", "k", "1", path.c_str()));
    ASSERT_TRUE(platform::writeProfileString("S", "absent", nullptr, path.c_str()));
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST(PosixWriter, ChangingWriteKeepsPermissionBits) {
    TempDir dir;
    const std::string path = dir.file("mode.ini");
    writeBytes(path, "[S]\nk=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(platform::writeProfileString("S", "k", "2", path.c_str()));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readBytes(path), "[S]\nk=2\n");
}

TEST(PosixWriter, SymbolicLinkIsFollowed) {
    TempDir dir;
    fs::create_directory(dir.path() / "real");
    const std::string target = dir.file("real/target.ini");
    writeBytes(target, "[S]\nk=1\n");
    fs::create_symlink("real/target.ini", dir.path() / "link.ini");
    ASSERT_TRUE(platform::writeProfileString("S", "k", "2", dir.file("link.ini").c_str()));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.ini"));
    EXPECT_EQ(readBytes(target), "[S]\nk=2\n");
    EXPECT_EQ(folderEntries(dir.path() / "real"), std::vector<std::string>{"target.ini"});
}

TEST(PosixWriter, LongestFileNameCanBeWritten) {
    TempDir dir;
    const std::string path = dir.file(std::string(251, 'n') + ".ini");  // 255 bytes, the most a name has
    ASSERT_TRUE(platform::writeProfileString("S", "k", "1", path.c_str()));
    ASSERT_TRUE(platform::writeProfileString("S", "k", "2", path.c_str()));
    EXPECT_EQ(readBytes(path), "[S]\r\nk=2\r\n");
}

TEST(PosixWriter, ParentThatIsAFileFails) {
    TempDir dir;
    writeBytes(dir.file("plain"), "not a folder");
    EXPECT_FALSE(platform::writeProfileString("S", "k", "1", dir.file("plain/x.ini").c_str()));
    EXPECT_EQ(readBytes(dir.file("plain")), "not a folder");
}

TEST(PosixWriter, NamedPipeIsRefusedWithoutBlocking) {
    TempDir dir;
    const std::string path = dir.file("pipe.ini");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(platform::profileInt("S", "k", 4, path.c_str()), 4);
    EXPECT_FALSE(platform::writeProfileString("S", "k", "1", path.c_str()));
    EXPECT_TRUE(fs::is_fifo(path));
}

// Permissions stop writes only for a user other than root; CI runs as root.
TEST(PosixWriter, ReadOnlyFileIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files; run as another user to check this";
    TempDir dir;
    const std::string path = dir.file("ro.ini");
    writeBytes(path, "[S]\nk=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(platform::writeProfileString("S", "k", "2", path.c_str()));
    EXPECT_FALSE(platform::writeProfileString("S", "k", "1", path.c_str()))
        << "even an unchanged value fails";
    EXPECT_EQ(readBytes(path), "[S]\nk=1\n");
}

TEST(PosixWriter, UnwritableFolderFails) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders; run as another user to check this";
    TempDir dir;
    const std::string path = dir.file("x.ini");
    writeBytes(path, "[S]\nk=1\n");
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_FALSE(platform::writeProfileString("S", "k", "2", path.c_str()));
    EXPECT_FALSE(platform::writeProfileString("S", "k", "2", dir.file("new.ini").c_str()));
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(readBytes(path), "[S]\nk=1\n");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"x.ini"});
}

}  // namespace
