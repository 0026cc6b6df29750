// File stamps (platform/file_stamp.h), on the real file system: which files have one, and that every
// change of a file that the plug-ins could miss by its contents alone changes its stamp. Runs on
// Linux and, under Wine, against the Windows services.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "platform/file_stamp.h"
#include "tools/host/temp_folder.h"

namespace {

namespace fs = std::filesystem;

void makeOld(const std::string& path) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

class FileStamp : public testing::Test {
protected:
    std::string file() const { return folder_.file("settings.ini"); }
    host::TempFolder folder_{"ats-stamp"};
};

TEST_F(FileStamp, OnlyASettledRegularFileHasOne) {
    EXPECT_FALSE(platform::fileStamp(file().c_str())) << "missing";
    fs::create_directory(folder_.file("folder.ini"));
    std::error_code notOnWindows;  // where a folder's time cannot be set, it is new: no stamp either
    fs::last_write_time(folder_.file("folder.ini"), fs::file_time_type::clock::now() - std::chrono::hours(1),
                        notOnWindows);
    EXPECT_FALSE(platform::fileStamp(folder_.file("folder.ini").c_str())) << "a folder";
    ASSERT_TRUE(host::writeFile(file(), "[DATA]\r\nPanelMR=10\r\n"));
    EXPECT_FALSE(platform::fileStamp(file().c_str())) << "written a moment ago";
    fs::last_write_time(file(), fs::file_time_type::clock::now() + std::chrono::hours(1));
    EXPECT_FALSE(platform::fileStamp(file().c_str())) << "written in the future";
    makeOld(file());
    const auto stamp = platform::fileStamp(file().c_str());
    ASSERT_TRUE(stamp) << "written an hour ago";
    EXPECT_EQ(stamp->size, 20u);
    EXPECT_EQ(platform::fileStamp(file().c_str()), stamp) << "and the same while the file is";
}

struct ChangeRow {
    const char* name;
    std::function<void(const std::string&)> change;  // done to an old file holding "[DATA]\r\nA=1\r\n"
};

TEST_F(FileStamp, EveryChangeOfAnOldFileChangesItsStamp) {
    const auto sameTime = [](const std::string& path, const std::string& bytes) {
        const auto time = fs::last_write_time(path);
        ASSERT_TRUE(host::writeFile(path, bytes));
        fs::last_write_time(path, time);
    };
    const ChangeRow rows[] = {
        {"RewrittenWithTheSameSize",
         [](const std::string& path) { ASSERT_TRUE(host::writeFile(path, "[DATA]\r\nA=2\r\n")); }},
        {"GrownWithItsTimeSetBack", [&](const std::string& path) { sameTime(path, "[DATA]\r\nA=22\r\n"); }},
        {"ReplacedByRenameWithTheSameSizeAndTime",
         [](const std::string& path) {
             const std::string other = path + ".new";
             ASSERT_TRUE(host::writeFile(other, "[DATA]\r\nA=2\r\n"));
             fs::last_write_time(other, fs::last_write_time(path));
             fs::rename(other, path);
         }},
    };
    for (const ChangeRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(host::writeFile(file(), "[DATA]\r\nA=1\r\n"));
        makeOld(file());
        const auto before = platform::fileStamp(file().c_str());
        ASSERT_TRUE(before);
        row.change(file());
        EXPECT_NE(platform::fileStamp(file().c_str()), before);
    }
}

}  // namespace
