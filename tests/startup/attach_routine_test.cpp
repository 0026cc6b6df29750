// The attach routine against a fake platform (tests/startup/fake_platform.h): which notifications
// run it, what it does when the platform cannot name the library, cannot write, or names it with a
// path longer than any fixed buffer.
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

class AttachRoutine : public testing::Test {
protected:
    void SetUp() override {
        state() = {};
        state().modulePath = kModule;
    }
};

struct ReasonRow {
    const char* name;
    frame::StartupPolicy policy;
    int reason;
    bool runs;
};

const ReasonRow kReasonRows[] = {
    {"EveryRunProcessAttach", kEveryRunQuiet, frame::ProcessAttach, true},
    {"EveryRunThreadAttach", kEveryRunQuiet, frame::ThreadAttach, true},
    {"EveryRunThreadDetach", kEveryRunQuiet, frame::ThreadDetach, true},
    {"EveryRunProcessDetach", kEveryRunQuiet, frame::ProcessDetach, true},
    {"AttachOnlyProcessAttach", kAttachOnlyNeverWrites, frame::ProcessAttach, true},
    {"AttachOnlyThreadAttach", kAttachOnlyNeverWrites, frame::ThreadAttach, false},
    {"AttachOnlyThreadDetach", kAttachOnlyNeverWrites, frame::ThreadDetach, false},
    {"AttachOnlyProcessDetach", kAttachOnlyNeverWrites, frame::ProcessDetach, false},
};

class AttachReasons : public AttachRoutine, public testing::WithParamInterface<ReasonRow> {};

TEST_P(AttachReasons, RunsAtTheNotificationsOfItsPolicy) {
    const ReasonRow& row = GetParam();
    Store store("");
    state().calls.clear();
    frame::attachRoutine(store, row.policy, row.reason);
    EXPECT_EQ(count(std::string("exists ") + kIni), row.runs ? 1u : 0u);
    EXPECT_EQ(store.lastPath, row.runs ? kIni : "./ATS.ini");
}

INSTANTIATE_TEST_SUITE_P(Rows, AttachReasons, testing::ValuesIn(kReasonRows),
                         [](const testing::TestParamInfo<ReasonRow>& row) { return row.param.name; });

TEST_F(AttachRoutine, NoticeShowsTheModulePathBeforeTheIniIsRead) {
    Store store("");
    state().calls.clear();
    frame::attachRoutine(store, kEveryRunWithNotice, frame::ProcessAttach);
    ASSERT_EQ(state().notices, std::vector<std::string>{kModule});
    ASSERT_FALSE(state().calls.empty());
    EXPECT_EQ(state().calls.front(), "notice");
}

TEST_F(AttachRoutine, ModulePathOfAnyLengthIsTakenWhole) {
    std::string folder = "C:\\";
    while (folder.size() < 10000) folder += "a.dll.d\\";
    state().modulePath = folder + "X.dll";
    Store store("");
    frame::attachRoutine(store, kEveryRunWithNotice, frame::ProcessAttach);
    EXPECT_EQ(state().notices, std::vector<std::string>{folder + "X.dll"});
    EXPECT_EQ(store.lastPath, folder + "X.ini");
    EXPECT_EQ(state().files.count(folder + "X.ini"), 1u) << "the file is created beside the library";
    EXPECT_EQ(state().files.size(), 1u) << "and nowhere else";
}

TEST_F(AttachRoutine, UnnamedLibraryKeepsTheValuesInEffectAndWritesNothing) {
    state().modulePath.clear();
    state().files["./ATS.ini"]["DATA"]["interval"] = "250";
    Store store("");
    frame::attachRoutine(store, kEveryRunWithNotice, frame::ProcessAttach);
    EXPECT_EQ(store.interval.load(), 250);
    EXPECT_EQ(count("write "), 0u);
    EXPECT_EQ(state().files.size(), 1u);
}

TEST_F(AttachRoutine, FailedCreationKeepsTheValuesAndIsTriedAgainAtTheNextRun) {
    state().files["./ATS.ini"]["DATA"]["interval"] = "250";
    state().writesFail = true;
    Store store("");
    frame::attachRoutine(store, kEveryRunQuiet, frame::ProcessAttach);
    EXPECT_EQ(store.interval.load(), 250);
    EXPECT_EQ(state().files.count(kIni), 0u);
    const std::size_t writesAtAttach = count(std::string("write ") + kIni);
    EXPECT_GT(writesAtAttach, 0u);

    frame::attachRoutine(store, kEveryRunQuiet, frame::ThreadAttach);
    EXPECT_EQ(count(std::string("write ") + kIni), 2 * writesAtAttach) << "tried again";

    state().writesFail = false;
    frame::attachRoutine(store, kEveryRunQuiet, frame::ProcessDetach);
    ASSERT_EQ(state().files.count(kIni), 1u);
    EXPECT_EQ(state().files[kIni]["DATA"]["interval"], "250") << "the values that were in effect";
    EXPECT_EQ(state().files[kIni]["Key"]["name"], "D");
}

TEST_F(AttachRoutine, ExistingIniIsReadAndNeverCompleted) {
    state().files[kIni]["DATA"]["interval"] = "300";
    Store store("");
    frame::attachRoutine(store, kEveryRunQuiet, frame::ProcessAttach);
    frame::attachRoutine(store, kEveryRunQuiet, frame::ProcessDetach);
    EXPECT_EQ(store.interval.load(), 300);
    EXPECT_EQ(store.name, "D");
    EXPECT_EQ(count("write "), 0u);
}

TEST_F(AttachRoutine, MissingIniIsNotCreatedWhenThePolicySaysSo) {
    state().files["./ATS.ini"]["Key"]["name"] = "K";
    Store store("");
    frame::attachRoutine(store, kAttachOnlyNeverWrites, frame::ProcessAttach);
    EXPECT_EQ(store.name, "K");
    EXPECT_EQ(count("write "), 0u);
    EXPECT_EQ(store.lastPath, kIni);
}

}  // namespace
