// The attach routine against a fake platform (tests/startup/fake_platform.h): which notifications
// run it, what it does when the platform cannot name the library, cannot write, or names it with a
// path longer than any fixed buffer, and when it reads the INI file again or may skip it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "frame/startup.h"
#include "startup/fake_platform.h"

namespace {

using fake_platform::state;

struct TestValues {
    frame::IntSetting interval{400};
    std::string name{"D"};

    bool visitEntries(frame::SettingsFile& file, std::int32_t mode) {
        frame::transferInt(mode, file, "DATA", "interval", interval);
        frame::transferString(mode, file, "Key", "name", name);
        return true;
    }
};
using Store = frame::SettingsStore<TestValues>;

constexpr frame::StartupPolicy kEveryRunWithNotice{
    .everyNotification = true, .createMissingFile = true, .showNotice = true};
constexpr frame::StartupPolicy kEveryRunQuiet{
    .everyNotification = true, .createMissingFile = true, .showNotice = false};
constexpr frame::StartupPolicy kAttachOnlyNeverWrites{
    .everyNotification = false, .createMissingFile = false, .showNotice = true};

const char* const kModule = "C:\\Sim\\Plugins\\X.dll";
const char* const kIni = "C:\\Sim\\Plugins\\X.ini";

std::size_t count(const std::string& call) {
    return static_cast<std::size_t>(std::count(state().calls.begin(), state().calls.end(), call));
}

std::size_t reads() { return count(std::string("read ") + kIni); }

class AttachRoutine : public testing::Test {
protected:
    void SetUp() override {
        state() = {};
        state().modulePath = kModule;
    }
    void run(Store& store, const frame::StartupPolicy& policy, platform::LoaderEvent event) {
        frame::attachRoutine(store, memo_, policy, event);
    }

private:
    frame::StartupMemo memo_;
};

using enum platform::LoaderEvent;

struct ReasonRow {
    const char* name;
    frame::StartupPolicy policy;
    platform::LoaderEvent event;
    bool runs;
};

const ReasonRow kReasonRows[] = {
    {"EveryRunProcessAttach", kEveryRunQuiet, ProcessAttach, true},
    {"EveryRunThreadAttach", kEveryRunQuiet, ThreadAttach, true},
    {"EveryRunThreadDetach", kEveryRunQuiet, ThreadDetach, true},
    {"EveryRunProcessDetach", kEveryRunQuiet, ProcessDetach, true},
    {"AttachOnlyProcessAttach", kAttachOnlyNeverWrites, ProcessAttach, true},
    {"AttachOnlyThreadAttach", kAttachOnlyNeverWrites, ThreadAttach, false},
    {"AttachOnlyThreadDetach", kAttachOnlyNeverWrites, ThreadDetach, false},
    {"AttachOnlyProcessDetach", kAttachOnlyNeverWrites, ProcessDetach, false},
};

class AttachReasons : public AttachRoutine, public testing::WithParamInterface<ReasonRow> {};

TEST_P(AttachReasons, RunsAtTheNotificationsOfItsPolicy) {
    const ReasonRow& row = GetParam();
    Store store("");
    state().calls.clear();
    run(store, row.policy, row.event);
    EXPECT_EQ(count(std::string("exists ") + kIni), row.runs ? 1u : 0u);
    EXPECT_EQ(store.lastPath, row.runs ? kIni : "./ATS.ini");
}

INSTANTIATE_TEST_SUITE_P(Rows, AttachReasons, testing::ValuesIn(kReasonRows),
                         [](const testing::TestParamInfo<ReasonRow>& row) { return row.param.name; });

TEST_F(AttachRoutine, NoticeShowsTheModulePathBeforeTheIniIsRead) {
    Store store("");
    state().calls.clear();
    run(store, kEveryRunWithNotice, ProcessAttach);
    ASSERT_EQ(state().notices, std::vector<std::string>{kModule});
    ASSERT_FALSE(state().calls.empty());
    EXPECT_EQ(state().calls.front(), "notice");
}

TEST_F(AttachRoutine, ModulePathOfAnyLengthIsTakenWhole) {
    std::string folder = "C:\\";
    while (folder.size() < 10000) folder += "a.dll.d\\";
    state().modulePath = folder + "X.dll";
    Store store("");
    run(store, kEveryRunWithNotice, ProcessAttach);
    EXPECT_EQ(state().notices, std::vector<std::string>{folder + "X.dll"});
    EXPECT_EQ(store.lastPath, folder + "X.ini");
    EXPECT_EQ(state().files.count(folder + "X.ini"), 1u) << "the file is created beside the library";
    EXPECT_EQ(state().files.size(), 1u) << "and nowhere else";
}

TEST_F(AttachRoutine, UnnamedLibraryKeepsTheValuesInEffectAndWritesNothing) {
    state().modulePath.clear();
    state().files["./ATS.ini"]["DATA"]["interval"] = "250";
    Store store("");
    run(store, kEveryRunWithNotice, ProcessAttach);
    EXPECT_EQ(store.interval.load(), 250);
    EXPECT_EQ(count("write "), 0u);
    EXPECT_EQ(state().files.size(), 1u);
}

TEST_F(AttachRoutine, FailedCreationKeepsTheValuesAndIsTriedAgainAtTheNextRun) {
    state().files["./ATS.ini"]["DATA"]["interval"] = "250";
    state().writesFail = true;
    Store store("");
    run(store, kEveryRunQuiet, ProcessAttach);
    EXPECT_EQ(store.interval.load(), 250);
    EXPECT_EQ(state().files.count(kIni), 0u);
    const std::size_t writesAtAttach = count(std::string("write ") + kIni);
    EXPECT_GT(writesAtAttach, 0u);

    run(store, kEveryRunQuiet, ThreadAttach);
    EXPECT_EQ(count(std::string("write ") + kIni), 2 * writesAtAttach) << "tried again";

    state().writesFail = false;
    run(store, kEveryRunQuiet, ProcessDetach);
    ASSERT_EQ(state().files.count(kIni), 1u);
    EXPECT_EQ(state().files[kIni]["DATA"]["interval"], "250") << "the values that were in effect";
    EXPECT_EQ(state().files[kIni]["Key"]["name"], "D");
}

TEST_F(AttachRoutine, ExistingIniIsReadAndNeverCompleted) {
    state().files[kIni]["DATA"]["interval"] = "300";
    Store store("");
    run(store, kEveryRunQuiet, ProcessAttach);
    run(store, kEveryRunQuiet, ProcessDetach);
    EXPECT_EQ(store.interval.load(), 300);
    EXPECT_EQ(store.name, "D");
    EXPECT_EQ(count("write "), 0u);
}

TEST_F(AttachRoutine, MissingIniIsNotCreatedWhenThePolicySaysSo) {
    state().files["./ATS.ini"]["Key"]["name"] = "K";
    Store store("");
    run(store, kAttachOnlyNeverWrites, ProcessAttach);
    EXPECT_EQ(store.name, "K");
    EXPECT_EQ(count("write "), 0u);
    EXPECT_EQ(store.lastPath, kIni);
}

// --- Skipping the read of an unchanged file ---------------------------------------------------------

TEST_F(AttachRoutine, UnchangedFileIsNotReadAgainAndItsValuesStay) {
    state().files[kIni]["DATA"]["interval"] = "300";
    Store store("");
    run(store, kEveryRunWithNotice, ProcessAttach);
    const std::size_t readsAtAttach = reads();
    ASSERT_GT(readsAtAttach, 0u);
    run(store, kEveryRunWithNotice, ThreadAttach);
    run(store, kEveryRunWithNotice, ThreadDetach);
    EXPECT_EQ(reads(), readsAtAttach);
    EXPECT_EQ(store.interval.load(), 300);
    EXPECT_EQ(state().notices.size(), 3u) << "the notice is shown at every run all the same";
}

TEST_F(AttachRoutine, EditedFileIsReadAgain) {
    state().files[kIni]["DATA"]["interval"] = "300";
    Store store("");
    run(store, kEveryRunQuiet, ProcessAttach);
    state().files[kIni]["DATA"]["interval"] = "350";
    ++state().changes[kIni];
    run(store, kEveryRunQuiet, ThreadAttach);
    EXPECT_EQ(store.interval.load(), 350);
}

TEST_F(AttachRoutine, FileWithoutAStampIsReadAtEveryRun) {
    // A file written a moment ago: an edit in the same clock step would keep its stamp.
    state().files[kIni]["DATA"]["interval"] = "300";
    state().stampsSettled = false;
    Store store("");
    run(store, kEveryRunQuiet, ProcessAttach);
    const std::size_t readsPerRun = reads();
    state().files[kIni]["DATA"]["interval"] = "350";  // unseen by the stamps
    run(store, kEveryRunQuiet, ThreadAttach);
    EXPECT_EQ(reads(), 2 * readsPerRun);
    EXPECT_EQ(store.interval.load(), 350);
}

TEST_F(AttachRoutine, CreatedFileIsReadAtTheNextRunThenSkipped) {
    // What a read gives may differ from what was written (a read drops quotes, for one): the run
    // after the creation reads the file, the one after that may skip it.
    Store store("");
    run(store, kEveryRunQuiet, ProcessAttach);
    ASSERT_EQ(state().files.count(kIni), 1u);
    EXPECT_EQ(reads(), 0u);
    run(store, kEveryRunQuiet, ThreadAttach);
    const std::size_t readsAfterCreation = reads();
    EXPECT_GT(readsAfterCreation, 0u);
    run(store, kEveryRunQuiet, ThreadDetach);
    EXPECT_EQ(reads(), readsAfterCreation);
}

TEST_F(AttachRoutine, FileDeletedAfterASkippedRunIsCreatedAgain) {
    state().files[kIni]["DATA"]["interval"] = "300";
    Store store("");
    run(store, kEveryRunQuiet, ProcessAttach);
    run(store, kEveryRunQuiet, ThreadAttach);
    state().files.erase(kIni);
    run(store, kEveryRunQuiet, ThreadDetach);
    ASSERT_EQ(state().files.count(kIni), 1u);
    EXPECT_EQ(state().files[kIni]["DATA"]["interval"], "300");
}

}  // namespace
