// What only our POSIX writer promises: a write that fails at any step leaves the old file exactly
// as it was and no temporary file behind (through the fault seam of failing_file_io.h), an
// unchanged value leaves the file untouched, permission bits are kept, a symbolic link is followed,
// and things that are not regular files are refused without blocking.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ostream>
#include <string>
#include <vector>

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

struct FaultRow {
    std::string name;
    Call call;
    int countdown;
    int error;
};

void PrintTo(const FaultRow& row, std::ostream* os) { *os << row.name; }

class FailedWrite : public testing::TestWithParam<FaultRow> {
protected:
    void TearDown() override { failing_file_io::disarm(); }
};

TEST_P(FailedWrite, LeavesTheOldFileAndNoTemporaryFile) {
    const FaultRow& row = GetParam();
    const std::string before = "; kept\n[S]\nk=1\n" + std::string(100000, 'p') + "=x\n";
    for (const bool existed : {true, false}) {
        SCOPED_TRACE(existed ? "existing file" : "new file");
        TempDir dir;
        const std::string path = dir.file("settings.ini");
        if (existed) writeBytes(path, before);
        failing_file_io::failAt(row.call, row.countdown, row.error);
        EXPECT_FALSE(platform::writeProfileString("S", "k", "2", path.c_str()));
        failing_file_io::disarm();
        EXPECT_EQ(readBytes(path), existed ? std::optional<std::string>(before) : std::nullopt);
        EXPECT_EQ(folderEntries(dir.path()),
                  existed ? std::vector<std::string>{"settings.ini"} : std::vector<std::string>{});
        // The next write, without a fault, goes through.
        EXPECT_TRUE(platform::writeProfileString("S", "k", "2", path.c_str()));
        EXPECT_EQ(platform::profileInt("S", "k", 0, path.c_str()), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, FailedWrite,
                         testing::Values(FaultRow{"TemporaryFileNotCreated", Call::Open, 1, EACCES},
                                         FaultRow{"FirstWriteFails", Call::Write, 1, ENOSPC},
                                         FaultRow{"WriteFailsHalfway", Call::Write, 2, ENOSPC},
                                         FaultRow{"SyncFails", Call::Sync, 1, EIO},
                                         FaultRow{"CloseFails", Call::Close, 1, EIO},
                                         FaultRow{"RenameFails", Call::Rename, 1, EXDEV}),
                         [](const testing::TestParamInfo<FaultRow>& row) { return row.param.name; });

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
