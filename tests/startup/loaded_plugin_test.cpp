// Start-up and shutdown as the host sees them: a built plug-in is copied into a private folder and
// loaded from there (dlopen on Linux, LoadLibrary under Windows), with a private current folder for
// "./ATS.ini". The settings are observed through the files on disk and through the outputs of the
// entry points; nothing here reaches inside a library.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "ats_plugins.h"
#include "startup/process.h"
#include "tools/host/plugin_library.h"
#include "tools/host/temp_folder.h"

namespace {

namespace fs = std::filesystem;
// The file name suffix of a built plug-in: ".dll" or ".so".
constexpr const char* kLibrarySuffix = ATS_PLUGIN_SUFFIX;

// Taken while the process still stands in the folder that ctest started it in: the tests move the
// current folder, and a relative path (or, under Wine, a path without a drive) would move with it.
const std::string kBin = fs::absolute(ATS_BIN).string();

constexpr std::int32_t kUntouched = -777777;  // what the arrays hold before a frame

// --- INI files as the tests read them ------------------------------------------------------------

struct Entry {
    std::string section;
    std::string key;
    std::string value;
    bool operator==(const Entry&) const = default;
};

void PrintTo(const Entry& entry, std::ostream* out) {
    *out << "[" << entry.section << "] '" << entry.key << "'='" << entry.value << "'";
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The entries of a file in file order, names trimmed: the padding of a key name is the writer's
// affair, the order, the sections and the values are what start-up promises.
std::vector<Entry> entriesOf(const std::string& bytes) {
    std::vector<Entry> entries;
    std::string section;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = trim(bytes.substr(start, end - start));
        start = bytes.find_first_not_of("\r\n", end);
        if (start == std::string::npos) start = bytes.size();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        entries.push_back({section, trim(line.substr(0, equals)), trim(line.substr(equals + 1))});
    }
    return entries;
}

std::string contentsOf(const std::string& path) {
    std::string bytes;
    host::readFile(path, &bytes);
    return bytes;
}

// Every file of a folder with its bytes, to show that nothing was added, removed or changed.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& item : fs::directory_iterator(folder)) {
        const std::string name = item.path().filename().string();
        files[name] = item.is_directory() ? "<folder>" : contentsOf(item.path().string());
    }
    return files;
}

// --- The three plug-ins ----------------------------------------------------------------------------

struct PluginRow {
    const char* name;
    bool createsIni;       // a missing INI file is created with the values in effect
    bool rerunsOnThreads;  // the attach work runs again at thread start and end (Windows)
    int noticesAtLoad;     // lines of the path notice at load and at unload (Linux)
    int noticesAtUnload;
    std::vector<Entry> created;  // what a created file holds with no "./ATS.ini"
    std::string atsIni;          // a "./ATS.ini" for the current folder...
    std::vector<Entry> fromAts;  // ...and what a created file then holds
    std::string partialIni;      // an existing INI that lacks most keys (never completed)
    int atsPanelSlot;            // a panel slot that a frame writes only with atsIni in effect, or -1
};

void PrintTo(const PluginRow& row, std::ostream* out) { *out << row.name; }

std::vector<Entry> doorDefaults(const std::string& closetime, const std::string& doorL) {
    return {{"DATA", "closetime", closetime}, {"DATA", "DoorNum", "3"}, {"DATA", "DIR", "1"},
            {"Key", "DoorL", doorL},          {"Key", "DoorR", "F"},    {"Key", "DoorC", "E"},
            {"Key", "DoorCar", "G"}};
}

std::vector<Entry> meterDefaults(const std::string& interval, const std::string& panelMR,
                                 const std::string& panelBC) {
    return {
        {"DATA", "UpDateTime", interval}, {"DATA", "PanelMR", panelMR},      {"DATA", "PanelBC", panelBC},
        {"DATA", "PanelER", "-1"},        {"DATA", "PanelBP", "-1"},         {"DATA", "PanelSAP", "-1"},
        {"DATA", "PanelCurrent", "-1"},   {"DATA", "PanelCurrentABS", "-1"}, {"DATA", "PanelSpeed", "-1"}};
}

const PluginRow kPlugins[] = {
    {.name = "Tavrel",
     .createsIni = true,
     .rerunsOnThreads = true,
     .noticesAtLoad = 0,
     .noticesAtUnload = 0,
     .created = doorDefaults("5000", "D"),
     // The read-only entries doorlock and ReOpen are read from here but never written anywhere.
     .atsIni = "[DATA]\r\nclosetime=3000\r\ndoorlock=0\r\n[Key]\r\nDoorL=Q\r\nReOpen=X\r\n",
     .fromAts = doorDefaults("3000", "Q"),
     .partialIni = "; hand-made\r\n[DATA]\r\ndoorlock=0",
     .atsPanelSlot = -1},
    {.name = "Quinsora",
     .createsIni = true,
     .rerunsOnThreads = true,
     .noticesAtLoad = 1,
     .noticesAtUnload = 1,
     .created = meterDefaults("400", "-1", "-1"),
     // Other line endings, blanks and a padded key: read as the written file would be.
     .atsIni = "[DATA]\nUpDateTime = 250\nPanelMR=10\nPanelBC          =12\n",
     .fromAts = meterDefaults("250", "10", "12"),
     .partialIni = "; hand-made\n[DATA]\nPanelSpeed=7\n",
     .atsPanelSlot = 10},
    {.name = "Vesk",
     .createsIni = false,
     .rerunsOnThreads = false,
     .noticesAtLoad = 1,
     .noticesAtUnload = 0,
     .created = {},
     .atsIni = "[LOCK]\r\nF7UnlockKey=K\r\n",
     .fromAts = {},
     .partialIni = "[LOCK]\r\nOther=1\r\n",
     .atsPanelSlot = -1},
};

TEST(PluginRows, EveryBuiltPluginHasARow) {
    for (const char* name : host::kPluginNames) {
        const bool found = std::any_of(std::begin(kPlugins), std::end(kPlugins),
                                       [&](const PluginRow& row) { return std::string(row.name) == name; });
        EXPECT_TRUE(found) << name << " is built but has no row in kPlugins";
    }
}

// --- The fixture: a folder for the library, a current folder for "./ATS.ini" -----------------------

class Startup : public testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(cwd_.path());
    }
    void TearDown() override {
        fs::current_path(previous_);
        // A test that stopped half-way must not leave a folder that cannot be cleaned up.
        startup_test::setFolderWritable(folder_.path().string(), true);
    }

    // Copies bin/<name> into the library folder (or a folder given) and returns the copy's path.
    std::string install(const std::string& name) { return installIn(name, folder_.path()); }
    std::string installIn(const std::string& name, const fs::path& folder) {
        const fs::path target = folder / (name + kLibrarySuffix);
        fs::copy_file(fs::path(kBin) / (name + kLibrarySuffix), target, fs::copy_options::overwrite_existing);
        return target.string();
    }
    std::string iniOf(const std::string& name) const { return folder_.file(name + ".ini"); }
    std::string atsIni() const { return cwd_.file("ATS.ini"); }

    static std::unique_ptr<host::PluginLibrary> open(const std::string& library) {
        std::string error;
        auto loaded = host::PluginLibrary::open(library, &error);
        EXPECT_NE(loaded, nullptr) << error;
        return loaded;
    }

    host::TempFolder folder_{"ats-plugin"};
    host::TempFolder cwd_{"ats-cwd"};

private:
    fs::path previous_;
};

struct Frame {
    frame::Handles handles;
    std::array<std::int32_t, 256> panel;
    std::array<std::int32_t, 256> sound;
};

Frame runFrame(const host::PluginLibrary& library, std::int32_t time = 1000) {
    Frame frame{};
    frame.panel.fill(kUntouched);
    frame.sound.fill(kUntouched);
    frame::VehicleState state{};
    state.time = time;
    frame.handles = library.api().Elapse(state, frame.panel.data(), frame.sound.data());
    return frame;
}

// Whether the values of atsIni are in effect, where a frame shows them.
void expectAtsValuesInEffect(const host::PluginLibrary& library, const PluginRow& row) {
    if (row.atsPanelSlot < 0) return;
    EXPECT_NE(runFrame(library).panel[static_cast<std::size_t>(row.atsPanelSlot)], kUntouched)
        << "a panel key from ATS.ini";
}

// --- Every plug-in -----------------------------------------------------------------------------------

class EveryPlugin : public Startup, public testing::WithParamInterface<PluginRow> {};

TEST_P(EveryPlugin, LoadsAndAnswersTheHost) {
    const auto library = open(install(GetParam().name));
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->api().GetPluginVersion(), 0x20000);
    library->api().SetBrake(3);
    library->api().SetBrake(5);
    library->api().SetReverser(-1);
    const Frame frame = runFrame(*library);
    EXPECT_EQ(frame.handles.brake, 5);
    EXPECT_EQ(frame.handles.reverser, -1);
}

TEST_P(EveryPlugin, MissingIniIsCreatedWithTheDefaultsInOrder) {
    const PluginRow& row = GetParam();
    const auto library = open(install(row.name));
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(fs::exists(iniOf(row.name)), row.createsIni);
    EXPECT_EQ(entriesOf(contentsOf(iniOf(row.name))), row.created);
}

TEST_P(EveryPlugin, AtsIniValuesAreCopiedIntoACreatedIni) {
    const PluginRow& row = GetParam();
    ASSERT_TRUE(host::writeFile(atsIni(), row.atsIni));
    const auto library = open(install(row.name));
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(fs::exists(iniOf(row.name)), row.createsIni);
    EXPECT_EQ(entriesOf(contentsOf(iniOf(row.name))), row.fromAts);
}

TEST_P(EveryPlugin, ExistingIniIsNeverCompletedOrRewritten) {
    const PluginRow& row = GetParam();
    ASSERT_TRUE(host::writeFile(atsIni(), row.atsIni));
    ASSERT_TRUE(host::writeFile(iniOf(row.name), row.partialIni));
    const std::string library = install(row.name);
    const auto before = snapshot(folder_.path());
    {
        const auto loaded = open(library);
        ASSERT_NE(loaded, nullptr);
        runFrame(*loaded);
    }
    EXPECT_EQ(snapshot(folder_.path()), before);
}

TEST_P(EveryPlugin, WritesNoFileButItsOwnIni) {
    const PluginRow& row = GetParam();
    ASSERT_TRUE(host::writeFile(atsIni(), row.atsIni));
    const std::string library = install(row.name);
    const auto cwdBefore = snapshot(cwd_.path());
    {
        const auto loaded = open(library);
        ASSERT_NE(loaded, nullptr);
        runFrame(*loaded);
    }
    EXPECT_EQ(snapshot(cwd_.path()), cwdBefore) << "the current folder and its ATS.ini are only read";
    std::map<std::string, std::string> expected{
        {row.name + std::string(kLibrarySuffix), contentsOf(library)}};
    if (row.createsIni) expected[row.name + std::string(".ini")] = contentsOf(iniOf(row.name));
    EXPECT_EQ(snapshot(folder_.path()), expected);
}

TEST_P(EveryPlugin, DeletedIniIsBackAfterUnload) {
    const PluginRow& row = GetParam();
    {
        const auto library = open(install(row.name));
        ASSERT_NE(library, nullptr);
        fs::remove(iniOf(row.name));
    }
    EXPECT_EQ(fs::exists(iniOf(row.name)), row.createsIni) << "the run at unload creates a missing file";
    EXPECT_EQ(entriesOf(contentsOf(iniOf(row.name))), row.created);
}

TEST_P(EveryPlugin, FolderInPlaceOfTheIniLeavesTheLibraryLoading) {
    const PluginRow& row = GetParam();
    ASSERT_TRUE(host::writeFile(atsIni(), row.atsIni));
    fs::create_directory(iniOf(row.name));
    {
        const auto library = open(install(row.name));
        ASSERT_NE(library, nullptr);
        EXPECT_EQ(library->api().GetPluginVersion(), 0x20000);
        expectAtsValuesInEffect(*library, row);
    }
    EXPECT_TRUE(fs::is_directory(iniOf(row.name)));
    EXPECT_TRUE(fs::is_empty(iniOf(row.name)));
}

TEST_P(EveryPlugin, UnwritableFolderKeepsTheValuesInEffectAndIsTriedAgainAtUnload) {
    const PluginRow& row = GetParam();
    ASSERT_TRUE(host::writeFile(atsIni(), row.atsIni));
    const std::string library = install(row.name);
    startup_test::setFolderWritable(folder_.path().string(), false);
    const bool refused = !host::writeFile(folder_.file("probe"), "x");
    if (!refused) {
        fs::remove(folder_.file("probe"));
        startup_test::setFolderWritable(folder_.path().string(), true);
        GTEST_SKIP() << "this user can write into a read-only folder (root, or Windows attributes)";
    }
    {
        const auto loaded = open(library);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->api().GetPluginVersion(), 0x20000);
        expectAtsValuesInEffect(*loaded, row);
        EXPECT_FALSE(fs::exists(iniOf(row.name)));
        startup_test::setFolderWritable(folder_.path().string(), true);
    }
    EXPECT_EQ(fs::exists(iniOf(row.name)), row.createsIni) << "the run at unload tries again";
    EXPECT_EQ(entriesOf(contentsOf(iniOf(row.name))), row.fromAts) << "with the values that were in effect";
}

TEST_P(EveryPlugin, IniNameTooLongToCreateLeavesTheLibraryLoading) {
    // A library file name of 255 bytes, the most a folder entry holds, with an extension shorter
    // than ".ini": its INI file can never be created, whoever runs the test.
    const PluginRow& row = GetParam();
    const std::string suffix = kLibrarySuffix;
    if (suffix.size() >= 4) GTEST_SKIP() << "an INI name is never longer than a \".dll\" name";
    const std::string name = row.name + std::string(255 - suffix.size() - std::strlen(row.name), 'n');
    const fs::path library = folder_.path() / (name + suffix);
    fs::copy_file(fs::path(kBin) / (row.name + suffix), library);
    ASSERT_TRUE(host::writeFile(atsIni(), row.atsIni));
    {
        const auto loaded = open(library.string());
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->api().GetPluginVersion(), 0x20000);
        expectAtsValuesInEffect(*loaded, row);
    }
    EXPECT_EQ(snapshot(folder_.path()).size(), 1u) << "only the library itself";
}

TEST_P(EveryPlugin, FolderRemovedWhileLoadedLeavesUnloadQuiet) {
    const PluginRow& row = GetParam();
    host::TempFolder outer("ats-gone");
    const fs::path folder = outer.path() / "plugins";
    fs::create_directory(folder);
    const std::string library = installIn(row.name, folder);
    const auto loaded = open(library);
    ASSERT_NE(loaded, nullptr);
    std::error_code error;
    fs::remove_all(folder, error);
    if (error || fs::exists(folder)) GTEST_SKIP() << "a loaded library cannot be deleted here";
    runFrame(*loaded);
    // The unload (end of scope) must neither crash nor bring the folder back.
    EXPECT_FALSE(fs::exists(folder));
}

TEST_P(EveryPlugin, ModulePathLongerThan260CharactersIsTakenWhole) {
    const PluginRow& row = GetParam();
    fs::path folder = folder_.path();
    while (folder.string().size() < 300) folder /= std::string(60, 'p');
    fs::create_directories(folder);
    const std::string library = installIn(row.name, folder);
    ASSERT_GT(library.size(), 300u);
    std::string error;
    {
        const auto loaded = host::PluginLibrary::open(startup_test::longPathForm(library), &error);
        if (loaded == nullptr)
            GTEST_SKIP() << "the loader refuses a path of " << library.size() << " characters: " << error;
        EXPECT_EQ(loaded->api().GetPluginVersion(), 0x20000);
    }
    const fs::path ini = folder / (row.name + std::string(".ini"));
    EXPECT_EQ(fs::exists(ini), row.createsIni) << ini.string();
    EXPECT_EQ(entriesOf(contentsOf(ini.string())), row.created);
    // Nothing appears elsewhere, for instance beside a path cut at 259 characters.
    std::size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(folder_.path())) files += item.is_regular_file();
    EXPECT_EQ(files, row.createsIni ? 2u : 1u);
}

TEST_P(EveryPlugin, LibraryOpenedByARelativePathKeepsItsIniWhenTheHostMovesOn) {
    // The host opens the library by a path relative to its current folder and later moves to a
    // folder that has a "plugins" folder too: the run at unload still belongs beside the library.
    const PluginRow& row = GetParam();
    const fs::path plugins = cwd_.path() / "plugins";
    fs::create_directory(plugins);
    installIn(row.name, plugins);
    host::TempFolder elsewhere("ats-elsewhere");
    fs::create_directory(elsewhere.path() / "plugins");
    {
        const auto library = open((fs::path("plugins") / (row.name + std::string(kLibrarySuffix))).string());
        ASSERT_NE(library, nullptr);
        fs::remove(plugins / (row.name + std::string(".ini")));
        fs::current_path(elsewhere.path());
    }
    EXPECT_EQ(fs::exists(plugins / (row.name + std::string(".ini"))), row.createsIni);
    EXPECT_TRUE(fs::is_empty(elsewhere.path() / "plugins"))
        << "nothing is written beside the new current folder";
}

TEST_P(EveryPlugin, NoticeShowsTheLibraryPath) {
    const PluginRow& row = GetParam();
    const std::string library = install(row.name);
    if (!startup_test::kNoticeOnStandardError) {
        // A message box whose owner is a module handle: the system refuses the owner and the call
        // returns at once, so loading and unloading do not wait for anybody.
        const auto start = std::chrono::steady_clock::now();
        { const auto loaded = open(library); }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        return;
    }
    std::string expectedAtLoad, expectedAtUnload;
    for (int i = 0; i < row.noticesAtLoad; ++i) expectedAtLoad += library + "\n";
    for (int i = 0; i < row.noticesAtUnload; ++i) expectedAtUnload += library + "\n";
    testing::internal::CaptureStderr();
    auto loaded = open(library);
    const std::string atLoad = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    loaded.reset();
    const std::string atUnload = testing::internal::GetCapturedStderr();
    EXPECT_EQ(atLoad, expectedAtLoad);
    EXPECT_EQ(atUnload, expectedAtUnload);
}

// --- Thread notifications (Windows) -----------------------------------------------------------------

TEST_P(EveryPlugin, ThreadStartAndEndRecreatesADeletedIni) {
    if (!startup_test::kThreadNotifications) GTEST_SKIP() << "the Linux loader sends no thread notifications";
    const PluginRow& row = GetParam();
    const auto library = open(install(row.name));
    ASSERT_NE(library, nullptr);
    fs::remove(iniOf(row.name));
    startup_test::startAndEndThread();
    EXPECT_EQ(fs::exists(iniOf(row.name)), row.createsIni && row.rerunsOnThreads);
    EXPECT_EQ(entriesOf(contentsOf(iniOf(row.name))), row.created);
}

TEST_F(Startup, ThreadStartAndEndMakesQuinsoraReadAnEditedIni) {
    if (!startup_test::kThreadNotifications) GTEST_SKIP() << "the Linux loader sends no thread notifications";
    const auto library = open(install("Quinsora"));
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(runFrame(*library).panel[10], kUntouched);
    ASSERT_TRUE(host::writeFile(iniOf("Quinsora"), "[DATA]\r\nPanelMR=10\r\n"));
    startup_test::startAndEndThread();
    EXPECT_NE(runFrame(*library).panel[10], kUntouched) << "PanelMR from the edited file";
}

TEST_F(Startup, ThreadStartAndEndMakesTavrelReadAnEditedIni) {
    if (!startup_test::kThreadNotifications) GTEST_SKIP() << "the Linux loader sends no thread notifications";
    // The first frame after load reports the doors closing, so DIR cuts the power in it: whether
    // the power passes shows which DIR is in effect.
    const auto library = open(install("Tavrel"));
    ASSERT_NE(library, nullptr);
    ASSERT_TRUE(host::writeFile(iniOf("Tavrel"), "[DATA]\r\nDIR=0\r\n"));
    startup_test::startAndEndThread();
    library->api().SetPower(4);
    EXPECT_EQ(runFrame(*library).handles.power, 4) << "DIR 0 from the edited file";
}

// A re-read is skipped only for a file whose identity, size and last-write time are those of the
// last read, and that was last written long enough ago: every edit below keeps the size. (A file
// renamed into place with the old size and time is not tried here: Wine's profile service keeps
// such a file's old contents itself. tests/profile/file_stamp_test.cpp covers the stamps.)
void makeOld(const std::string& path) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

TEST_F(Startup, ThreadStartAndEndSeesAnEditOfTheSameSizeRightAfterARead) {
    if (!startup_test::kThreadNotifications) GTEST_SKIP() << "the Linux loader sends no thread notifications";
    ASSERT_TRUE(host::writeFile(iniOf("Quinsora"), "[DATA]\r\nPanelMR=10\r\n"));
    const auto library = open(install("Quinsora"));
    ASSERT_NE(library, nullptr);
    startup_test::startAndEndThread();
    // Most likely within the same step of the file system's clock as the write before.
    ASSERT_TRUE(host::writeFile(iniOf("Quinsora"), "[DATA]\r\nPanelMR=11\r\n"));
    startup_test::startAndEndThread();
    const Frame frame = runFrame(*library);
    EXPECT_EQ(frame.panel[10], kUntouched);
    EXPECT_NE(frame.panel[11], kUntouched) << "PanelMR from the edited file";
}

TEST_F(Startup, ThreadStartAndEndSeesAnEditOfAnOldFile) {
    if (!startup_test::kThreadNotifications) GTEST_SKIP() << "the Linux loader sends no thread notifications";
    ASSERT_TRUE(host::writeFile(iniOf("Quinsora"), "[DATA]\r\nPanelMR=10\r\n"));
    makeOld(iniOf("Quinsora"));
    const auto library = open(install("Quinsora"));
    ASSERT_NE(library, nullptr);
    startup_test::startAndEndThread();
    startup_test::startAndEndThread();
    EXPECT_NE(runFrame(*library).panel[10], kUntouched) << "the values stay while the file does";
    ASSERT_TRUE(host::writeFile(iniOf("Quinsora"), "[DATA]\r\nPanelMR=11\r\n"));
    startup_test::startAndEndThread();
    const Frame frame = runFrame(*library);
    EXPECT_EQ(frame.panel[10], kUntouched);
    EXPECT_NE(frame.panel[11], kUntouched) << "PanelMR from the edited file";
}

TEST_F(Startup, ThreadStartAndEndLeavesVeskAlone) {
    if (!startup_test::kThreadNotifications) GTEST_SKIP() << "the Linux loader sends no thread notifications";
    ASSERT_TRUE(host::writeFile(iniOf("Vesk"), "[LOCK]\r\nF7UnlockKey=A\r\n"));
    const std::string libraryPath = install("Vesk");
    const auto library = open(libraryPath);
    ASSERT_NE(library, nullptr);
    fs::remove(iniOf("Vesk"));
    startup_test::startAndEndThread();
    EXPECT_EQ(snapshot(folder_.path()).size(), 1u) << "only the library itself";
}

INSTANTIATE_TEST_SUITE_P(Plugins, EveryPlugin, testing::ValuesIn(kPlugins),
                         [](const testing::TestParamInfo<PluginRow>& row) { return row.param.name; });

// --- Which file wins, observed through the outputs ---------------------------------------------------

// Quinsora writes a panel slot only when a panel key names it, so the slots written show which keys
// are in effect.
TEST_F(Startup, QuinsoraReadsItsOwnIniOverAtsIni) {
    ASSERT_TRUE(host::writeFile(atsIni(), "[DATA]\r\nPanelMR=10\r\nPanelBC=11\r\n"));
    ASSERT_TRUE(host::writeFile(iniOf("Quinsora"), "[DATA]\r\nPanelBC=21\r\nPanelER=22\r\n"));
    const auto library = open(install("Quinsora"));
    ASSERT_NE(library, nullptr);
    const Frame frame = runFrame(*library);
    EXPECT_NE(frame.panel[10], kUntouched) << "PanelMR from ATS.ini, which the own file lacks";
    EXPECT_EQ(frame.panel[11], kUntouched) << "PanelBC of ATS.ini is overridden";
    EXPECT_NE(frame.panel[21], kUntouched) << "PanelBC from the own file";
    EXPECT_NE(frame.panel[22], kUntouched) << "PanelER from the own file";
}

TEST_F(Startup, QuinsoraSeesAnEditAtTheNextLoad) {
    const std::string library = install("Quinsora");
    {
        const auto loaded = open(library);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(runFrame(*loaded).panel[7], kUntouched);
    }
    ASSERT_TRUE(host::writeFile(iniOf("Quinsora"), "[DATA]\r\nPanelSpeed=7\r\n"));
    const auto loaded = open(library);
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(runFrame(*loaded).panel[7], kUntouched);
}

TEST_F(Startup, TavrelTakesDirFromItsIni) {
    // In the first frame after load the doors report closing, so the power is cut only with DIR on.
    const struct {
        const char* name;
        std::string ini;
        std::int32_t power;
    } rows[] = {
        {"Default", "", 0},
        {"DirOff", "[DATA]\r\nDIR=0\r\n", 4},
        {"DirNegative", "[DATA]\r\nDIR=-1\r\n", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        host::TempFolder folder("ats-dir");
        const fs::path target = folder.path() / (std::string("Tavrel") + kLibrarySuffix);
        fs::copy_file(fs::path(kBin) / target.filename(), target);
        if (!row.ini.empty()) {
            ASSERT_TRUE(host::writeFile(folder.file("Tavrel.ini"), row.ini));
        }
        const auto library = open(target.string());
        ASSERT_NE(library, nullptr);
        library->api().SetPower(4);
        EXPECT_EQ(runFrame(*library).handles.power, row.power);
    }
}

}  // namespace
