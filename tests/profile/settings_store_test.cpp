// The settings store over the platform's profile services: load, save, the default and last
// paths, entry order, read-only entries and the 255-character cut. Runs on Linux and under Wine.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "door/settings.h"
#include "frame/settings_store.h"
#include "meter/settings.h"
#include "overspeed/settings.h"
#include "platform/profile.h"
#include "profile/profile_files.h"

namespace {

using profile_test::readBytes;
using profile_test::TempDir;
using profile_test::writeBytes;
using profile_test::fs::current_path;

// A small settings table: two integers, a string, a padded key in a second section, and an entry
// read but never written.
struct TestValues {
    frame::IntSetting number{400};
    std::string text{"abc"};
    frame::IntSetting padded{-5};
    frame::IntSetting readOnly{7};

    void visitEntries(frame::SettingsFile& file, std::int32_t mode) {
        frame::transferInt(mode, file, "DATA", "number", number);
        frame::transferString(mode, file, "DATA", "text", text);
        frame::transferInt(mode, file, "PAD", "Padded           ", padded);
        if (mode != frame::WriteMode) frame::transferInt(mode, file, "DATA", "readonly", readOnly);
    }
};

using Store = frame::SettingsStore<TestValues>;

const std::string kDefaultsFile = "[DATA]\r\nnumber=400\r\ntext=abc\r\n[PAD]\r\nPadded           =-5\r\n";

// Each test runs in a fresh current folder, so that "./ATS.ini" is its own.
class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override {
        previous_ = current_path();
        current_path(dir_.path());
    }
    void TearDown() override { current_path(previous_); }

    TempDir dir_;
    profile_test::fs::path previous_;
};

TEST_F(SettingsStoreTest, BuildingReadsAtsIniOfTheCurrentFolder) {
    writeBytes(dir_.file("ATS.ini"), "[DATA]\r\nnumber=3000\r\n");
    Store store("");
    EXPECT_EQ(store.number.load(), 3000);
    EXPECT_EQ(store.text, "abc");
    EXPECT_EQ(store.padded.load(), -5);
    EXPECT_EQ(store.defaultPath, "./ATS.ini");
    EXPECT_EQ(store.lastPath, "./ATS.ini");
}

TEST_F(SettingsStoreTest, LoadOfMissingFileChangesNothingButLastPath) {
    Store store("");
    const std::string path = dir_.file("missing.ini");
    EXPECT_FALSE(store.load(path));
    EXPECT_EQ(store.lastPath, path);
    EXPECT_EQ(store.number.load(), 400);
    EXPECT_EQ(store.text, "abc");
    EXPECT_FALSE(profile_test::fs::exists(path)) << "a load never creates the file";
}

TEST_F(SettingsStoreTest, FileWithOneKeyChangesOnlyThatVariable) {
    Store store("");
    const std::string path = dir_.file("one.ini");
    writeBytes(path, "[PAD]\r\nPadded=12\r\n");
    EXPECT_TRUE(store.load(path));
    EXPECT_EQ(store.padded.load(), 12);
    EXPECT_EQ(store.number.load(), 400);
    EXPECT_EQ(store.text, "abc");
    EXPECT_EQ(store.readOnly.load(), 7);
}

TEST_F(SettingsStoreTest, LongStringCutTo255) {
    Store store("");
    const std::string path = dir_.file("long.ini");
    writeBytes(path, "[DATA]\r\ntext=" + std::string(300, 'x') + "\r\n");
    store.load(path);
    EXPECT_EQ(store.text, std::string(255, 'x'));
}

TEST_F(SettingsStoreTest, SaveWritesEntriesInOrderWithoutReadOnlyOnes) {
    Store store("");
    const std::string path = dir_.file("new.ini");
    EXPECT_TRUE(store.save(path));
    EXPECT_EQ(readBytes(path), kDefaultsFile);
    EXPECT_EQ(store.lastPath, "./ATS.ini") << "save does not move lastPath";
}

TEST_F(SettingsStoreTest, SavedFileReadsBackTheSameValues) {
    Store store("");
    store.number = -1;
    store.padded = 0;
    store.text = "two words";
    const std::string path = dir_.file("round.ini");
    store.save(path);
    const std::string bytes = readBytes(path).value_or("");
    EXPECT_NE(bytes.find("number=-1\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("=0\r\n"), std::string::npos) << bytes;

    Store other("");
    EXPECT_TRUE(other.load(path));
    EXPECT_EQ(other.number.load(), -1);
    EXPECT_EQ(other.padded.load(), 0);
    EXPECT_EQ(other.text, "two words");
}

TEST_F(SettingsStoreTest, SaveWithEmptyPathWritesIntoTheLastLoaded) {
    Store store("");
    const std::string path = dir_.file("last.ini");
    store.load(path);  // not found, but it becomes the last path
    store.save("");
    EXPECT_EQ(readBytes(path), kDefaultsFile);
    EXPECT_FALSE(profile_test::fs::exists(dir_.file("ATS.ini")));
}

TEST_F(SettingsStoreTest, SecondLoadWithoutAKeyKeepsTheFirstValue) {
    Store store("");
    const std::string first = dir_.file("first.ini");
    const std::string second = dir_.file("second.ini");
    writeBytes(first, "[DATA]\r\nnumber=1\r\ntext=one\r\n");
    writeBytes(second, "[DATA]\r\ntext=two\r\n");
    store.load(first);
    store.load(second);
    EXPECT_EQ(store.number.load(), 1);
    EXPECT_EQ(store.text, "two");
}

TEST_F(SettingsStoreTest, EditsAreSeenByTheNextLoad) {
    Store store("");
    const std::string path = dir_.file("edited.ini");
    store.save(path);
    writeBytes(path, "[DATA]\r\nnumber=55\r\n");
    store.load(path);
    EXPECT_EQ(store.number.load(), 55);
}

TEST_F(SettingsStoreTest, SaveIntoMissingFolderStillSucceeds) {
    Store store("");
    EXPECT_TRUE(store.save(dir_.file("no/such/folder/x.ini")));
    EXPECT_FALSE(profile_test::fs::exists(dir_.path() / "no"));
}

// Each plug-in's store, saved in one commit, gives exactly the bytes that its entries written one
// by one give: into a missing file (the file a plug-in creates) and into a hand-edited one. The
// one-by-one writes are each plug-in's write-mode entries with their defaults, in list order.
struct Write {
    const char* section;
    const char* key;
    const char* value;
};

const std::vector<Write> kDoorWrites = {
    {"DATA", "closetime", "5000"}, {"DATA", "DoorNum", "3"}, {"DATA", "DIR", "1"},    {"Key", "DoorL", "D"},
    {"Key", "DoorR", "F"},         {"Key", "DoorC", "E"},    {"Key", "DoorCar", "G"},
};
const std::vector<Write> kMeterWrites = {
    {"DATA", "UpDateTime       ", "400"}, {"DATA", "PanelMR          ", "-1"},
    {"DATA", "PanelBC          ", "-1"},  {"DATA", "PanelER          ", "-1"},
    {"DATA", "PanelBP          ", "-1"},  {"DATA", "PanelSAP         ", "-1"},
    {"DATA", "PanelCurrent     ", "-1"},  {"DATA", "PanelCurrentABS  ", "-1"},
    {"DATA", "PanelSpeed       ", "-1"},
};
const std::vector<Write> kOverspeedWrites = {{"LOCK", "F7UnlockKey      ", ""}};

const std::optional<std::string> kCreated = std::nullopt;
const std::optional<std::string> kHandEdited =
    "; my train\n[data]\nDIR = 0 \n\n[LOCK]\nf7unlockkey=A\n[Other]\nx=1";

template <class Values>
void expectOneCommitLikeOneByOne(const profile_test::TempDir& dir, const std::vector<Write>& writes) {
    for (const std::optional<std::string>& before : {kCreated, kHandEdited}) {
        SCOPED_TRACE(before ? "hand-edited file" : "created file");
        const std::string oneByOne = dir.file("one-by-one.ini");
        const std::string saved = dir.file("saved.ini");
        profile_test::fs::remove(oneByOne);
        profile_test::fs::remove(saved);
        if (before) {
            writeBytes(oneByOne, *before);
            writeBytes(saved, *before);
        }
        for (const Write& write : writes)
            platform::writeProfileString(write.section, write.key, write.value, oneByOne.c_str());
        frame::SettingsStore<Values> store(dir.file("absent.ini"));
        store.save(saved);
        ASSERT_TRUE(readBytes(saved).has_value());
        EXPECT_EQ(readBytes(saved), readBytes(oneByOne));
    }
}

TEST_F(SettingsStoreTest, TavrelSaveGivesTheBytesOfItsWritesOneByOne) {
    expectOneCommitLikeOneByOne<door::DoorSettings>(dir_, kDoorWrites);
}

TEST_F(SettingsStoreTest, QuinsoraSaveGivesTheBytesOfItsWritesOneByOne) {
    expectOneCommitLikeOneByOne<meter::MeterSettings>(dir_, kMeterWrites);
}

TEST_F(SettingsStoreTest, VeskSaveGivesTheBytesOfItsWritesOneByOne) {
    expectOneCommitLikeOneByOne<overspeed::OverspeedSettings>(dir_, kOverspeedWrites);
}

}  // namespace
