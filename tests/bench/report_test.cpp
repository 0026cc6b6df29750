// What the bench shows of a run, against a fake plug-in: the driver's handles beside the returned
// ones in the CSV, slot labels, the timeline's filters and its folding of a blinking lamp, and a
// chart of a long run that stays small and still shows a one-frame change. Then "bench ini": the
// keys each plug-in reads, as its own settings list has them, and what a file would make it misread.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "tools/bench/ini_check.h"
#include "tools/bench/report.h"
#include "tools/bench/run.h"
#include "tools/bench/scenario.h"
#include "tools/host/temp_folder.h"

namespace {

using bench::Scenario;

// A fake plug-in: returns the driver's power, brakes in notch 9 above 100 km/h whatever the driver
// asks, blinks panel slot 7 every 500 ms while the driver's power is 1, writes slot 8 only in the
// frame at 50 000 ms, and plays sound 3 once at each change of power.
struct Fake {
    static inline std::int32_t power = 0;
    static inline std::int32_t lastPower = 0;
    static void ATS_CALL Nothing() {}
    static std::int32_t ATS_CALL Version() { return 0x20000; }
    static void ATS_CALL Spec(frame::VehicleSpec) {}
    static void ATS_CALL Int(std::int32_t) {}
    static void ATS_CALL Beacon(frame::BeaconData) {}
    static void ATS_CALL SetPower(std::int32_t notch) { power = notch; }
    static frame::Handles ATS_CALL Elapse(frame::VehicleState state, std::int32_t* panel,
                                          std::int32_t* sound) {
        panel[7] = power == 1 && state.time % 1000 >= 500 ? 1 : 0;
        panel[8] = state.time == 50000 ? 42 : 0;
        sound[3] = power != lastPower ? frame::SoundOnce : frame::SoundKeep;
        lastPower = power;
        return {static_cast<double>(state.speed) > 100.0 ? 9 : 0, power, 0, 0};
    }
    static host::EntryPoints api() {
        power = lastPower = 0;
        return {Nothing, Nothing, Version, Spec, Int,     Elapse,  SetPower, Int,
                Int,     Int,     Int,     Int,  Nothing, Nothing, Int,      Beacon};
    }
};

Scenario scenarioFrom(const std::string& text) {
    bench::ParseResult result = bench::parseScenario(text, "r.scn");
    EXPECT_TRUE(result.errors.empty()) << (result.errors.empty() ? "" : result.errors.front());
    return result.scenario;
}

std::string timeline(const Scenario& s, const bench::TimelineOptions& options) {
    std::ostringstream out;
    bench::Timeline timeline(out, s, options);
    bench::run(s, Fake::api(), [&](const bench::FrameRecord& r) { timeline.frame(r); });
    return out.str();
}

TEST(Csv, DriverHandlesBesideTheReturnedOnesAndSlotsByLabel) {
    const Scenario s = scenarioFrom(
        "plugin Fake\nend 1\nlabel panel 7 blink\nat 0 speed 120\nat 0.5 brake 2\nat 0.5 doors open\n");
    std::ostringstream out;
    bench::writeCsv(out, s, bench::run(s, Fake::api()));
    std::istringstream in(out.str());
    std::string header, first, sixth;
    std::getline(in, header);
    std::getline(in, first);
    for (int i = 0; i < 5; ++i) std::getline(in, sixth);
    EXPECT_NE(header.find(",brake_driver_notch,brake_plugin_notch,"), std::string::npos) << header;
    EXPECT_NE(header.find(",host_doors_open,panel_7_blink,panel_8,sound_3,calls"), std::string::npos)
        << header;
    // At 0.5 s the driver asks for brake 2; the plug-in returns 9 (above 100 km/h) throughout.
    EXPECT_NE(first.find(",0,0,0,9,0,0,0,0,"), std::string::npos) << first;
    EXPECT_NE(sixth.find(",0,0,2,9,0,0,0,1,"), std::string::npos) << sixth;
    EXPECT_NE(sixth.find("\"SetBrake 2; DoorOpen\""), std::string::npos) << sixth;
}

TEST(Timeline, FoldsABlinkingLampWithoutBuryingTheCallsAroundIt) {
    const Scenario s =
        scenarioFrom("plugin Fake\nend 10\nlabel panel 7 blink\nat 1 power 1\nat 3.2 horn 1\nat 6 power 2\n");
    const std::string normal = timeline(s, {});
    EXPECT_NE(normal.find("7 blink: 1->0 (blinks every 0.500 s"), std::string::npos) << normal;
    EXPECT_EQ(normal.find("3.500"), std::string::npos) << "a folded blink is not shown:\n" << normal;
    EXPECT_NE(normal.find("calls    HornBlow 1"), std::string::npos) << normal;
    EXPECT_NE(normal.find("calls    SetPower 2"), std::string::npos) << normal;
    EXPECT_NE(normal.find("7 blink: stops blinking at 0"), std::string::npos) << normal;

    bench::TimelineOptions verbose;
    verbose.level = bench::TimelineOptions::Level::Verbose;
    EXPECT_NE(timeline(s, verbose).find("   3.500"), std::string::npos) << "verbose shows every change";
}

TEST(Timeline, OnlyAndTimeRangeChooseTheRows) {
    const Scenario s = scenarioFrom("plugin Fake\nend 10\nlabel panel 7 blink\nat 1 power 1\nat 6 power 2\n");
    bench::TimelineOptions options;
    ASSERT_EQ(bench::parseOnly("calls", s, &options), "");
    options.fromMs = 5000;
    const std::string text = timeline(s, options);
    EXPECT_EQ(text.find("SetPower 1"), std::string::npos) << text;
    EXPECT_NE(text.find("SetPower 2"), std::string::npos) << text;
    EXPECT_EQ(text.find("panel"), std::string::npos) << text;

    bench::TimelineOptions byLabel;
    ASSERT_EQ(bench::parseOnly("blink", s, &byLabel), "");
    EXPECT_TRUE(byLabel.panel[7]);
    EXPECT_FALSE(byLabel.calls);
    EXPECT_NE(bench::parseOnly("blinker", s, &byLabel).find("unknown item 'blinker'"), std::string::npos);
}

TEST(Chart, ALongRunStaysSmallAndKeepsAOneFrameChange) {
    const Scenario s = scenarioFrom("plugin Fake\nstep 1ms\nend 100\nat 20 power 1\nat 80 power 3\n");
    ASSERT_EQ(bench::frameCount(s), 100001);
    bench::Chart chart(s, bench::frameCount(s));
    bench::Checker checker(s);
    bench::run(s, Fake::api(), [&](const bench::FrameRecord& r) {
        chart.frame(r);
        checker.frame(r);
    });
    std::ostringstream out;
    chart.write(out, checker.results());
    const std::string svg = out.str();
    EXPECT_LT(svg.size(), 400000u) << "100,001 frames drawn from buckets";
    // Slot 8 holds 42 in one frame of 100,001: its row still spans 0 to 42.
    EXPECT_NE(svg.find(">panel 8</text>"), std::string::npos);
    EXPECT_NE(svg.find(">0 to 42</text>"), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST(Chart, MarksFailedAndMetExpectations) {
    const Scenario s =
        scenarioFrom("plugin Fake\nend 2\nat 1 power 1\nat 1.5 expect power = 2\nat 1 expect power = 1\n");
    bench::Chart chart(s, bench::frameCount(s));
    bench::Checker checker(s);
    bench::run(s, Fake::api(), [&](const bench::FrameRecord& r) {
        chart.frame(r);
        checker.frame(r);
    });
    ASSERT_EQ(checker.results().size(), 2u);
    EXPECT_EQ(checker.results()[0].failedAtMs, 1500);
    EXPECT_EQ(checker.results()[1].failedAtMs, -1);
    std::ostringstream out;
    chart.write(out, checker.results());
    EXPECT_NE(out.str().find("1 of 2 expectation(s) failed"), std::string::npos);
}

// ---- bench ini ------------------------------------------------------------------------------

TEST(SettingsTables, ComeFromThePluginsOwnLists) {
    const auto tavrel = bench::settingsOf("Tavrel");
    ASSERT_EQ(tavrel.size(), 9u);
    EXPECT_EQ(tavrel[0].key, "closetime");
    EXPECT_EQ(tavrel[0].defaultInt, 5000);
    EXPECT_FALSE(tavrel[1].written) << "doorlock is read only";
    EXPECT_TRUE(tavrel[2].written);
    EXPECT_EQ(tavrel[4].section, "Key");
    EXPECT_FALSE(tavrel[4].integer);
    const auto meter = bench::settingsOf("Quinsora");
    ASSERT_EQ(meter.size(), 9u);
    EXPECT_EQ(meter[0].key, "UpDateTime       ") << "keys as the plug-in passes them, padded";
    EXPECT_EQ(bench::settingsOf("Vesk").size(), 1u);
    EXPECT_TRUE(bench::settingsOf("Other").empty());
}

struct IniRow {
    const char* name;
    const char* plugin;
    std::string file;
    std::string warning;  // expected within one warning; empty: no warning at all
    std::string key;      // and, if given, the value this key resolves to
    std::string value;
};

TEST(IniCheck, ResolvesEachKeyAndWarnsOfWhatTheFileMakesThePluginMisread) {
    const IniRow rows[] = {
        {"plain values", "Tavrel", "[DATA]\r\nclosetime=3000\r\nDIR=0\r\n", "", "closetime", "3000"},
        {"a time with a unit", "Tavrel", "[DATA]\ncloseTime=1s\n",
         "t.ini:2: warning: closetime=1s is read as 1 ms", "closetime", "1"},
        {"a word for a switch", "Tavrel", "[DATA]\nDIR=off\n", "DIR=off is read as 0: only a number counts",
         "DIR", "0"},
        {"leading zeros are a plain number", "Tavrel", "[DATA]\nclosetime=000000000003000\n", "", "closetime",
         "3000"},
        {"a number beyond 32 bits", "Tavrel", "[DATA]\nclosetime=4294967296\n", "beyond 32 bits and wraps",
         "closetime", "0"},
        {"a fraction", "Tavrel", "[DATA]\nDoorNum=2.5\n", "the fraction is dropped", "DoorNum", "2"},
        {"an empty value keeps the built-in one", "Tavrel", "[DATA]\nclosetime=\n", "closetime is empty",
         "closetime", "5000"},
        {"a misspelt key", "Tavrel", "[DATA]\nclosetme=3000\n", "unknown key 'closetme' in [DATA]",
         "closetime", "5000"},
        {"the nearest key is offered", "Tavrel", "[DATA]\nclosetme=3000\n", "did you mean closetime?", "",
         ""},
        {"a key in the wrong section", "Tavrel", "[Key]\nDIR=0\n", "'DIR' belongs in [DATA], not [Key]",
         "DIR", "1"},
        {"an unknown section", "Tavrel", "[DAT]\nDIR=0\n", "unknown section '[DAT]'", "DIR", "1"},
        {"a repeated section is not read", "Tavrel", "[DATA]\nDIR=1\n[data]\nclosetime=1\n",
         "t.ini:3: warning: [data] again (first on line 1)", "closetime", "5000"},
        {"a repeated key", "Tavrel", "[DATA]\nDIR=0\nDIR=1\n", "t.ini:3: warning: 'DIR' again", "DIR", "0"},
        {"a key above any section", "Tavrel", "DIR=0\n[DATA]\n", "above any [section]", "DIR", "1"},
        {"a header without its bracket", "Tavrel", "[DATA\nDIR=0\n", "is not a section (no ']')", "DIR", "1"},
        {"a negative closing time", "Tavrel", "[DATA]\nclosetime=-5\n", "ends in the frame it starts",
         "closetime", "-5"},
        {"a switch that is neither 0 nor 1", "Tavrel", "[DATA]\ndoorlock=2\n", "any value but 0 counts as on",
         "doorlock", "2"},
        {"a slot beyond the panel", "Quinsora", "[DATA]\nPanelSpeed=256\n", "not a panel slot (0 to 255)",
         "PanelSpeed", "256"},
        {"two readings on one slot", "Quinsora", "[DATA]\nPanelMR=10\nPanelBC=10\n",
         "PanelBC and PanelMR both name panel slot 10: the slot shows PanelMR", "", ""},
        {"a padded key is read without its padding", "Quinsora", "[DATA]\nUpDateTime=500\n", "", "UpDateTime",
         "500"},
        {"a zero interval", "Quinsora", "[DATA]\nUpDateTime=0\n", "no longer move in steps", "", ""},
        {"a blank inside a key", "Quinsora", "[DATA]\nPanelCurrent ABS=3\n", "did you mean PanelCurrentABS?",
         "", ""},
        {"a byte-order mark and CR line ends", "Vesk", "\xEF\xBB\xBF[LOCK]\rF7UnlockKey=x\r", "",
         "F7UnlockKey", "x"},
    };
    host::TempFolder folder("bench-ini-test");
    for (const IniRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = folder.file(std::string(row.plugin) + ".ini");
        ASSERT_TRUE(host::writeFile(path, row.file));
        const auto before = std::filesystem::last_write_time(path);
        const bench::IniCheck check = bench::checkIni(row.plugin, row.file, path, "t.ini");
        std::string all;
        for (const std::string& w : check.warnings) all += w + "\n";
        if (row.warning.empty())
            EXPECT_TRUE(check.warnings.empty()) << all;
        else
            EXPECT_NE(all.find(row.warning), std::string::npos) << all;
        if (row.key[0] != '\0') {
            bool found = false;
            for (const bench::ResolvedSetting& s : check.settings) {
                if (s.entry.key.substr(0, s.entry.key.find(' ')) != row.key) continue;
                found = true;
                EXPECT_EQ(s.value, row.value);
            }
            EXPECT_TRUE(found);
        }
        std::string after;
        ASSERT_TRUE(host::readFile(path, &after));
        EXPECT_EQ(after, row.file) << "the file is never changed";
        EXPECT_EQ(std::filesystem::last_write_time(path), before);
    }
}

TEST(IniCheck, AScenariosIniLinesAreCheckedAndNamedByTheirScenarioLine) {
    const Scenario s = scenarioFrom("plugin Tavrel\nend 1\nini [DATA]\n# a comment\nini closetime=1s\n");
    const auto warnings = bench::scenarioIniWarnings(s.plugin, s.ini, s.iniLines, s.file);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("r.scn:5: warning: closetime=1s is read as 1 ms", 0), 0u) << warnings[0];
}

TEST(IniCheck, TellsThePluginByTheFilesNameOrItsKeys) {
    EXPECT_EQ(bench::guessPlugin("/x/Quinsora.ini", ""), "Quinsora");
    EXPECT_EQ(bench::guessPlugin("my.ini", "[DATA]\nclosetime=1\nDIR=0\n"), "Tavrel");
    EXPECT_EQ(bench::guessPlugin("my.ini", "[LOCK]\nF7UnlockKey=a\n"), "Vesk");
    EXPECT_EQ(bench::guessPlugin("ATS.ini", "[X]\ny=1\n"), "");
}

TEST(MeterSlots, NameTheSlotsTheIniGivesAndTheLaterReadingOnOneSlotWins) {
    const auto slots = bench::meterSlots(
        "Quinsora", "[DATA]\r\nPanelSpeed=10\r\nPanelMR=11\r\nPanelBC=11\r\nPanelER=300\r\n");
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0].slot, 11u);
    EXPECT_EQ(slots[0].key, "PanelMR") << "BC is written first, MR over it";
    EXPECT_EQ(slots[1].slot, 10u);
    EXPECT_EQ(slots[1].input, "speed");
    EXPECT_TRUE(bench::meterSlots("Tavrel", "[DATA]\nPanelSpeed=10\n").empty());
}

}  // namespace
