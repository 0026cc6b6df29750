// Files a user or a broken tool may leave behind: binary junk, NUL bytes, a 1 MB line, CR-only
// endings without a final newline, a byte-order mark with duplicates, values that are not numbers.
// Each loads without a crash, gives the values the Windows services give (the same rows run under
// Wine) and is never rewritten by a read.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "profile/profile_files.h"

namespace {

using profile_test::fixture;
using profile_test::readBytes;
using profile_test::TempDir;
using profile_test::writeBytes;

struct Expect {
    const char* section;
    const char* key;
    std::string text;     // "<none>": not found
    std::int32_t number;  // profileInt with the fallback -77
};

struct BadRow {
    std::string name;
    std::string bytes;
    std::vector<Expect> expect;
};

void PrintTo(const BadRow& row, std::ostream* os) { *os << row.name; }

// Bytes that no editor would write: a fixed pseudo-random sequence, so every run sees the same.
std::string binaryJunk(std::size_t size) {
    std::string junk(size, '\0');
    std::uint32_t state = 12345;
    for (char& c : junk) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(static_cast<unsigned char>(state >> 16));
    }
    junk[0] = 'x';  // not a byte-order mark
    return junk;
}

const std::string kMegabyte(1 << 20, 'x');

std::vector<BadRow> badRows() {
    return {
        {"BinaryJunkThenSection", binaryJunk(65536) + "\r\n[S]\r\nk=5\r\n", {{"S", "k", "5", 5}}},
        {"MegabyteValue",
         "[S]\r\nlong=" + kMegabyte + "\r\nk=5\r\n",
         {{"S", "long", kMegabyte.substr(0, 255), 0}, {"S", "k", "5", 5}}},
        {"MegabyteKey", "[S]\r\n" + kMegabyte + "=1\r\nk=5\r\n", {{"S", "k", "5", 5}}},
        {"MegabyteLineWithoutEquals", "[S]\r\n" + kMegabyte + "\r\nk=5", {{"S", "k", "5", 5}}},
        {"NulBytes", fixture("nul_bytes.ini"), {{"S", "k", "ab", 0}, {"S", "n", "7", 7}, {"T", "t", "1", 1}}},
        {"CrOnlyNoFinalNewline",
         fixture("cr_only_no_final_newline.ini"),
         {{"S", "k", "1", 1}, {"S", "n", "2", 2}}},
        {"ByteOrderMarkAndDuplicates",
         fixture("bom_duplicates.ini"),
         {{"S", "k", "1", 1}, {"S", "m", "<none>", -77}}},
        {"NotNumbers",
         fixture("not_numbers.ini"),
         {{"S", "letters", "abc", 0},
          {"S", "trailing", "12abc", 12},
          {"S", "empty", "", -77},
          {"S", "fraction", "1.5", 1},
          {"S", "hexprefix", "0x", 0},
          {"S", "huge", "99999999999", 1215752191}}},
    };
}

class BadInput : public testing::TestWithParam<BadRow> {};

TEST_P(BadInput, ReadsLikeWindowsAndLeavesTheFileAlone) {
    const BadRow& row = GetParam();
    TempDir dir;
    const std::string path = dir.file("bad.ini");
    writeBytes(path, row.bytes);
    const auto stamp = profile_test::fs::last_write_time(path);
    for (const Expect& expect : row.expect) {
        SCOPED_TRACE(std::string(expect.section) + " / " + expect.key);
        char out[256];
        const std::uint32_t got =
            platform::profileString(expect.section, expect.key, "<none>", out, sizeof out, path.c_str());
        EXPECT_EQ(std::string(out), expect.text);
        EXPECT_EQ(got, expect.text.size());
        EXPECT_EQ(platform::profileInt(expect.section, expect.key, -77, path.c_str()), expect.number);
    }
    EXPECT_EQ(readBytes(path), row.bytes) << "a read rewrote the file";
    EXPECT_EQ(profile_test::fs::last_write_time(path), stamp) << "a read touched the file";
}

INSTANTIATE_TEST_SUITE_P(Files, BadInput, testing::ValuesIn(badRows()),
                         [](const testing::TestParamInfo<BadRow>& row) { return row.param.name; });

}  // namespace
