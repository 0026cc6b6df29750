// The scenario parser (accepted and rejected lines, with file:line messages), interpolation, the
// library format check, and the runner against a fake plug-in: events reach the frame they are
// due in, written slots are told from untouched ones, the train model closes the loop, and a
// failed expectation names its line, time, expected and actual value.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "tools/bench/run.h"
#include "tools/bench/scenario.h"
#include "tools/host/library_format.h"

namespace {

using bench::Channel;
using bench::Compare;
using bench::EventKind;
using bench::Output;
using bench::Scenario;

const std::string kHead = "plugin Tavrel\nend 10\n";

bench::ParseResult parse(const std::string& body) { return bench::parseScenario(kHead + body, "t.scn"); }

std::size_t channel(Channel c) { return static_cast<std::size_t>(c); }

struct Accepted {
    const char* name;
    std::string body;  // after the plugin and end lines
    std::function<void(const Scenario&)> verify;
};

TEST(ScenarioParser, AcceptsEachStatement) {
    const Accepted rows[] = {
        {"slot labels, panel and sound apart", "label panel 20 doors-closed\nlabel sound 20 chime\n",
         [](const Scenario& s) {
             EXPECT_EQ(s.panelLabels[20].name, "doors-closed");
             EXPECT_EQ(s.panelLabels[20].line, 3);
             EXPECT_EQ(s.soundLabels[20].name, "chime");
             EXPECT_EQ(s.panelLabels[21].name, "");
         }},
        {"times in seconds and milliseconds", "at 1.5 speed 40\nat 2500ms speed 50\nat 3s speed 60\n",
         [](const Scenario& s) {
             const auto& k = s.keyframes[channel(Channel::Speed)];
             ASSERT_EQ(k.size(), 3u);
             EXPECT_EQ(k[0].timeMs, 1500);
             EXPECT_EQ(k[1].timeMs, 2500);
             EXPECT_EQ(k[2].timeMs, 3000);
             EXPECT_EQ(k[2].value, 60.0);
         }},
        {"every channel",
         "at 0 bc 1\nat 0 mr 2\nat 0 er 3\nat 0 bp 4\nat 0 sap 5\nat 0 current -6\nat 0 position 7\n",
         [](const Scenario& s) {
             for (int c = 1; c < bench::kChannelCount; ++c) {
                 EXPECT_EQ(s.keyframes[static_cast<std::size_t>(c)].size(), 1u)
                     << bench::channelName(Channel(c));
             }
             EXPECT_EQ(s.keyframes[channel(Channel::Current)][0].value, -6.0);
         }},
        {"ini lines taken verbatim, comment signs included",
         "ini [DATA]\nini closetime=3000 # not a comment\nini\n",
         [](const Scenario& s) {
             EXPECT_TRUE(s.hasIni);
             EXPECT_EQ(s.ini, "[DATA]\r\nclosetime=3000 # not a comment\r\n\r\n");
         }},
        {"no ini lines: no file", "", [](const Scenario& s) { EXPECT_FALSE(s.hasIni); }},
        {"comments and blank lines", "# a comment\n\n   \nstep 50ms # frames\n",
         [](const Scenario& s) { EXPECT_EQ(s.stepMs, 50); }},
        {"vehicle fields by name", "vehicle brake-notches 6 power-notches 4 extra3 3\n",
         [](const Scenario& s) {
             EXPECT_EQ(s.vehicle.brakeNotches, 6);
             EXPECT_EQ(s.vehicle.powerNotches, 4);
             EXPECT_EQ(s.vehicle.extra3, 3);
         }},
        {"clock as H:MM:SS", "clock 10:30:05.5\n", [](const Scenario& s) { EXPECT_EQ(s.clockMs, 37805500); }},
        {"events in time order, file order within one time",
         "at 2 key E up\nat 1 key e down\nat 1 beacon 87 -300\nat 1 host-key 4 down\nat 0 doors close\nat 0 "
         "initialize\n",
         [](const Scenario& s) {
             ASSERT_EQ(s.events.size(), 6u);
             EXPECT_EQ(s.events[0].kind, EventKind::DoorClose);
             EXPECT_EQ(s.events[1].kind, EventKind::Initialize);
             EXPECT_EQ(s.events[2].kind, EventKind::KeyboardDown);
             EXPECT_EQ(s.events[2].value, 'E');
             EXPECT_EQ(s.events[3].kind, EventKind::SetBeaconData);
             EXPECT_EQ(s.events[3].value, 87);
             EXPECT_EQ(s.events[3].optional, -300);
             EXPECT_EQ(s.events[4].kind, EventKind::KeyDown);
             EXPECT_EQ(s.events[5].kind, EventKind::KeyboardUp);
         }},
        {"clock jump", "at 5 clock 0:00:01\n",
         [](const Scenario& s) {
             EXPECT_EQ(s.events.at(0).kind, EventKind::SetClock);
             EXPECT_EQ(s.events.at(0).value, 1000);
         }},
        {"virtual-key code in hex", "at 0 key 0x76 down\n",
         [](const Scenario& s) { EXPECT_EQ(s.events.at(0).value, 0x76); }},
        {"handle, horn and signal calls",
         "at 0 power 99\nat 0 brake -1\nat 0 reverser 1\nat 0 horn 2\nat 0 signal 4\n",
         [](const Scenario& s) {
             ASSERT_EQ(s.events.size(), 5u);
             EXPECT_EQ(s.events[0].value, 99);
             EXPECT_EQ(s.events[1].value, -1);
             EXPECT_EQ(s.events[3].kind, EventKind::HornBlow);
             EXPECT_EQ(s.events[4].kind, EventKind::SetSignal);
         }},
        {"expectation with a command name", "at 1 expect sound 154 = SoundOnce\n",
         [](const Scenario& s) {
             const auto& e = s.expectations.at(0);
             EXPECT_EQ(e.output, Output::Sound);
             EXPECT_EQ(e.slot, 154);
             EXPECT_EQ(e.value, 1.0);
             EXPECT_EQ(e.line, 3);
             EXPECT_EQ(e.fromMs, 1000);
             EXPECT_EQ(e.toMs, 1000);
         }},
        {"range expectation to the end", "from 2 to end expect panel all untouched\n",
         [](const Scenario& s) {
             const auto& e = s.expectations.at(0);
             EXPECT_EQ(e.compare, Compare::Untouched);
             EXPECT_EQ(e.slot, bench::kAllSlots);
             EXPECT_EQ(e.fromMs, 2000);
             EXPECT_GT(e.toMs, 10000);
         }},
        {"comparisons on speed", "at 5 expect speed <= 0.5\n",
         [](const Scenario& s) {
             EXPECT_EQ(s.expectations.at(0).compare, Compare::LessOrEqual);
             EXPECT_EQ(s.expectations.at(0).value, 0.5);
         }},
        {"train model",
         "model power 1 2 3 4 5\nmodel brake 1 2 3 4 5 6 7 8 9\nmodel grade -0.5\nat 0 speed 30\n",
         [](const Scenario& s) {
             EXPECT_TRUE(s.model.enabled);
             EXPECT_EQ(s.model.brake.size(), 9u);
             EXPECT_EQ(s.model.grade, -0.5);
         }},
    };
    for (const Accepted& row : rows) {
        SCOPED_TRACE(row.name);
        const bench::ParseResult result = parse(row.body);
        ASSERT_TRUE(result.errors.empty()) << result.errors.front();
        row.verify(result.scenario);
    }
}

struct Rejected {
    const char* name;
    std::string text;     // the whole file
    std::string message;  // expected within the first error
};

TEST(ScenarioParser, RejectsBadLinesNamingFileAndLine) {
    const Rejected rows[] = {
        {"unknown statement", kHead + "speed 40\n", "t.scn:3: expected a statement"},
        {"time that is not a number", kHead + "at soon speed 40\n", "t.scn:3: expected a time"},
        {"negative time", kHead + "at -1 speed 40\n", "t.scn:3: a time must lie between"},
        {"fraction of a millisecond", kHead + "at 0.0005 speed 40\n",
         "t.scn:3: a time must be whole milliseconds"},
        {"value with trailing text", kHead + "at 1 speed 40kmh\n",
         "t.scn:3: expected speed (a number), got '40kmh'"},
        {"notch that is not whole", kHead + "at 1 power 2.5\n", "t.scn:3: expected a notch (a whole number)"},
        {"notch beyond 32 bits", kHead + "at 1 power 4294967296\n", "t.scn:3: expected a notch"},
        {"unknown key", kHead + "at 1 key F7 down\n", "t.scn:3: expected a key"},
        {"key without down or up", kHead + "at 1 key E pressed\n", "t.scn:3: expected 'down' or 'up'"},
        {"doors neither open nor close", kHead + "at 1 doors ajar\n", "t.scn:3: expected 'open' or 'close'"},
        {"beacon without a type", kHead + "at 1 beacon\n",
         "t.scn:3: expected 'at TIME beacon TYPE [OPTIONAL]'"},
        {"unknown event", kHead + "at 1 whistle\n", "t.scn:3: expected a keyframe"},
        {"expect an unknown output", kHead + "at 1 expect lamp 3 = 1\n", "t.scn:3: expected an output"},
        {"slot out of range", kHead + "at 1 expect panel 256 = 1\n",
         "t.scn:3: expected a slot number (0 to 255)"},
        {"all slots compared to a value", kHead + "at 1 expect panel all = 1\n",
         "can only be expected untouched"},
        {"handle expected untouched", kHead + "at 1 expect power untouched\n", "only panel and sound slots"},
        {"bad comparison", kHead + "at 1 expect power ~ 1\n", "t.scn:3: expected a comparison"},
        {"range that ends before it starts", kHead + "from 5 to 2 expect power = 0\n",
         "t.scn:3: the range ends"},
        {"expectation between frames", kHead + "at 1.05 expect power = 0\n", "t.scn:3: no frame at 1050 ms"},
        {"expectation after the end", kHead + "at 11 expect power = 0\n",
         "t.scn:3: this expectation lies after"},
        {"event after the end", kHead + "at 11 power 1\n", "t.scn:3: this event lies after the end"},
        {"more frames than the bench runs", "plugin Vesk\nstep 1ms\nend 20000\n",
         "t.scn:3: the run has 20000001 frames"},
        {"zero frame step", kHead + "step 0\n", "t.scn:3: the frame step must be at least 1 ms"},
        {"unknown vehicle field", kHead + "vehicle wheels 8\n", "t.scn:3: expected brake-notches"},
        {"bad clock", kHead + "clock 10:75:00\n", "t.scn:3: expected a clock time"},
        {"plug-in named twice", kHead + "plugin Vesk\n", "t.scn:3: the plug-in is already named on line 1"},
        {"no plug-in", "end 10\n", "t.scn:1: expected a 'plugin NAME' line"},
        {"no end", "plugin Vesk\n", "t.scn:1: expected an 'end TIME' line"},
        // Found by tests/fuzz/scenario_fuzz: an empty file's errors named line 0.
        {"empty file", "", "t.scn:1: expected a 'plugin NAME' line"},
        // Whole-model checks run after the last line, and still name the line at fault.
        {"model brake rates short of the emergency notch",
         kHead + "model power 1 2 3 4 5\nmodel brake 1 2 3 4 5 6 7 8\nat 1 power 1\n",
         "t.scn:4: the train model needs 9 brake rates"},
        {"model without power rates", kHead + "model grade 1\nmodel brake 1 2 3 4 5 6 7 8 9\nat 1 power 1\n",
         "t.scn:3: the train model needs 5 power rates"},
        {"model with speed keyframes",
         kHead + "model power 1 2 3 4 5\nmodel brake 1 2 3 4 5 6 7 8 9\nat 0 speed 1\nat 5 speed 9\nat 1 "
                 "power 1\n",
         "t.scn:6: with a train model the speed comes from the model"},
        {"model with position keyframes",
         kHead + "model power 1 2 3 4 5\nmodel brake 1 2 3 4 5 6 7 8 9\nat 2 position 5\nat 1 power 1\n",
         "t.scn:5: with a train model the position comes from the model"},
        {"negative model rate", kHead + "model power 1 -2\n", "t.scn:3: power rates must not be negative"},
        {"label of a slot beyond 255", kHead + "label panel 256 x\n",
         "t.scn:3: expected a slot number (0 to 255)"},
        {"label with a blank in it", kHead + "label sound 150 door chime\n",
         "t.scn:3: expected 'label panel|sound SLOT NAME'"},
        {"label with a comma (a CSV column)", kHead + "label panel 20 a,b\n", "t.scn:3: a label is letters"},
        {"slot labelled twice", kHead + "label panel 20 a\nlabel panel 20 b\n",
         "t.scn:4: panel 20 is already labelled on line 3"},
    };
    for (const Rejected& row : rows) {
        SCOPED_TRACE(row.name);
        const bench::ParseResult result = bench::parseScenario(row.text, "t.scn");
        ASSERT_FALSE(result.errors.empty());
        EXPECT_NE(result.errors.front().find(row.message), std::string::npos) << result.errors.front();
    }
}

TEST(ScenarioParser, ReportsEveryBadLineAndQuotesIt) {
    const bench::ParseResult result = parse("at 1 speed fast\nstep 100ms\nat 2 brake x\n");
    ASSERT_EQ(result.errors.size(), 2u);
    EXPECT_EQ(result.errors[0], "t.scn:3: expected speed (a number), got 'fast' in 'at 1 speed fast'");
    EXPECT_EQ(result.errors[1].rfind("t.scn:5: ", 0), 0u) << result.errors[1];
}

// Found by tests/fuzz/scenario_fuzz: a message quoted the whole line, however long; and a bare
// "title" line threw out of the parser (the bench aborted).
TEST(ScenarioParser, ClipsLongTextInMessages) {
    const std::string longWord(100000, 'x');
    const bench::ParseResult result =
        parse("at 1 speed " + longWord + "\nvehicle " + longWord + " 1\nvehicle " + longWord + " z\n");
    ASSERT_EQ(result.errors.size(), 3u);
    for (const std::string& message : result.errors) {
        EXPECT_LT(message.size(), 400u) << message.substr(0, 100);
        EXPECT_NE(message.find("xxx...'"), std::string::npos) << message.substr(0, 100);
    }
}

TEST(ScenarioParser, BareTitleGivesAnEmptyTitle) {
    for (const char* line : {"title\n", "title   \n", "title\t\n"}) {
        const bench::ParseResult result = parse(line);
        EXPECT_TRUE(result.errors.empty()) << line;
        EXPECT_EQ(result.scenario.title, "") << line;
    }
}

TEST(ValueAt, InterpolatesLinearlyAndHoldsAtBothEnds) {
    const std::vector<bench::Keyframe> keys{{1000, 10.0}, {3000, 30.0}, {3000, 0.0}, {4000, 100.0}};
    const struct {
        const char* name;
        std::int32_t time;
        double value;
    } rows[] = {
        {"before the first keyframe", 0, 10.0},
        {"on the first", 1000, 10.0},
        {"half way", 2000, 20.0},
        {"jump: the later keyframe counts at its time", 3000, 0.0},
        {"after the jump", 3500, 50.0},
        {"after the last", 9000, 100.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_DOUBLE_EQ(bench::valueAt(keys, row.time, -1.0), row.value);
    }
    EXPECT_EQ(bench::valueAt({}, 500, -1.0), -1.0);
}

// A minimal PE header: "MZ", e_lfanew at 0x3C pointing to "PE\0\0" and the machine field.
std::string peHeader(std::uint16_t machine) {
    std::string bytes(0x100, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = static_cast<char>(0x80);
    std::memcpy(&bytes[0x80], "PE\0\0", 4);
    bytes[0x84] = static_cast<char>(machine & 0xFF);
    bytes[0x85] = static_cast<char>(machine >> 8);
    return bytes;
}

std::string elfHeader(char elfClass) {
    return std::string(
               "\x7F"
               "ELF",
               4) +
           elfClass + std::string(59, '\0');
}

TEST(LibraryFormat, SaysWhichBenchCanLoadTheLibrary) {
    const host::HostKind win64{true, true}, win32{true, false}, linux64{false, true};
    const struct {
        const char* name;
        std::string head;
        host::HostKind program;
        std::string problem;
    } rows[] = {
        {"32-bit DLL in the 64-bit bench", peHeader(0x014C), win64, "32-bit DLL: use the 32-bit bench"},
        {"64-bit DLL in the 32-bit bench", peHeader(0x8664), win32, "64-bit DLL: use the 64-bit bench"},
        {"64-bit DLL in the 64-bit bench", peHeader(0x8664), win64, ""},
        {"32-bit DLL in the 32-bit bench", peHeader(0x014C), win32, ""},
        {"DLL for another processor", peHeader(0xAA64), win64, "a DLL for another processor"},
        {"DLL in the Linux bench", peHeader(0x8664), linux64, "a Windows DLL"},
        {"Linux library in a Windows bench", elfHeader(2), win64, "a Linux library"},
        {"64-bit Linux library", elfHeader(2), linux64, ""},
        {"32-bit Linux library", elfHeader(1), linux64, "32-bit library"},
        {"MZ without a PE header", std::string("MZ") + std::string(0x40, '\0'), win64, "a DOS program"},
        {"e_lfanew beyond the bytes read",
         [] {
             std::string h = peHeader(0x8664);
             h[0x3D] = 0x7F;
             return h;
         }(),
         win64, "a DOS program"},
        {"unknown bytes: left to the loader", "hello", linux64, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string problem = host::libraryFormatProblem(row.head, row.program);
        if (row.problem.empty())
            EXPECT_EQ(problem, "");
        else
            EXPECT_NE(problem.find(row.problem), std::string::npos) << problem;
    }
}

// A fake plug-in for the runner: it records the time at which calls arrive, writes panel slot 7
// only in frames whose power notch is odd, and brakes in the emergency notch above 100 km/h. Its
// functions use the host's calling convention, as a plug-in's entry points do.
struct Fake {
    static inline std::int32_t power = 0;
    static inline std::int32_t lastFrameTime = -1;
    static inline std::int32_t powerSeenAt = -1;
    static void ATS_CALL Nothing() {}
    static std::int32_t ATS_CALL Version() { return 0x20000; }
    static void ATS_CALL Spec(frame::VehicleSpec) {}
    static void ATS_CALL Init(std::int32_t) {}
    static frame::Handles ATS_CALL Elapse(frame::VehicleState state, std::int32_t* panel,
                                          std::int32_t* sound) {
        lastFrameTime = state.time;
        if (power % 2 != 0) panel[7] = power;
        sound[3] = frame::SoundKeep;
        return {static_cast<double>(state.speed) > 100.0 ? 9 : 0, power, 0, 0};
    }
    static void ATS_CALL SetPower(std::int32_t notch) {
        power = notch;
        powerSeenAt = lastFrameTime;
    }
    static void ATS_CALL Int(std::int32_t) {}
    static void ATS_CALL Beacon(frame::BeaconData) {}
    static host::EntryPoints api() {
        return {Nothing, Nothing, Version, Spec, Init,    Elapse,  SetPower, Int,
                Int,     Int,     Int,     Int,  Nothing, Nothing, Int,      Beacon};
    }
};

Scenario scenarioFrom(const std::string& text) {
    bench::ParseResult result = bench::parseScenario(text, "r.scn");
    EXPECT_TRUE(result.errors.empty()) << (result.errors.empty() ? "" : result.errors.front());
    return result.scenario;
}

TEST(Runner, CallsBeforeTheFrameDueAndTellsWrittenSlots) {
    Fake::power = 0;
    const Scenario s = scenarioFrom("plugin Fake\nstep 100ms\nend 1\nat 0.25 power 3\nat 0.6 power 2\n");
    const bench::Recording r = bench::run(s, Fake::api());
    ASSERT_EQ(r.frames.size(), 11u);
    EXPECT_EQ(Fake::powerSeenAt, 500);  // the last call (power 2) came after the frame at 0.5 s
    EXPECT_EQ(r.frames[2].handles.power, 0);
    EXPECT_EQ(r.frames[3].handles.power, 3);  // a call at 0.25 s reaches the frame at 0.3 s
    EXPECT_TRUE(r.frames[3].panelWritten[7]);
    EXPECT_FALSE(r.frames[3].panelWritten[8]);
    EXPECT_TRUE(r.frames[3].soundWritten[3]);
    EXPECT_FALSE(r.frames[6].panelWritten[7]);
    EXPECT_EQ(r.frames[6].panel[7], 3) << "the host's array keeps the last value written";
}

TEST(Runner, ClockStartsWhereTheScenarioSaysAndJumpsWhereItIsSet) {
    const Scenario s = scenarioFrom("plugin Fake\nclock 0:00:10\nend 1\nat 0.5 clock 0:00:02\n");
    const bench::Recording r = bench::run(s, Fake::api());
    EXPECT_EQ(r.frames[0].state.time, 10000);
    EXPECT_EQ(r.frames[4].state.time, 10400);
    EXPECT_EQ(r.frames[5].state.time, 2000);
    EXPECT_EQ(r.frames[10].state.time, 2500);
}

TEST(Runner, FailedExpectationNamesLineTimeExpectedAndActual) {
    Fake::power = 0;
    const Scenario s = scenarioFrom(
        "plugin Fake\nend 1\nat 0.3 power 3\n"
        "at 0.3 expect power = 3\n"                   // line 4: holds
        "at 0.5 expect power = 4\n"                   // line 5: fails
        "from 0 to end expect panel 7 untouched\n"    // line 6: fails from 0.3 s
        "from 0 to 0.2 expect panel all untouched\n"  // line 7: holds
        "at 1 expect sound 3 = SoundOnce\n");         // line 8: fails
    const std::vector<std::string> failures = bench::check(s, bench::run(s, Fake::api()));
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_EQ(failures[0], "r.scn:5: at 0.500 s: power: expected 4, got 3");
    EXPECT_EQ(failures[1], "r.scn:6: at 0.300 s: panel 7: expected untouched, got written 3");
    EXPECT_EQ(failures[2], "r.scn:8: at 1.000 s: sound 3: expected SoundOnce, got SoundKeep");
}

TEST(Runner, TrainModelMovesWithTheReturnedHandles) {
    Fake::power = 0;
    // Power notch 1 gives 10 km/h/s; above 100 km/h the fake returns the emergency notch (9).
    const Scenario s = scenarioFrom(
        "plugin Fake\nend 20\nvehicle brake-notches 8 power-notches 1\nmodel power 10\n"
        "model brake 1 1 1 1 1 1 1 1 20\nat 0 speed 90\nat 0 power 1\nstart-position 100\n");
    const bench::Recording r = bench::run(s, Fake::api());
    double top = 0.0;
    for (const auto& f : r.frames) top = std::max(top, static_cast<double>(f.state.speed));
    EXPECT_GT(top, 100.0);
    EXPECT_LT(top, 102.0);
    EXPECT_NEAR(static_cast<double>(r.frames[5].state.speed), 95.0, 1e-3);
    EXPECT_NEAR(r.frames[10].state.position - r.frames[0].state.position, (90.0 + 100.0) / 2 / 3.6, 0.01);
}

TEST(TrainModel, BrakeStopsTheTrainWithoutRunningItBackwards) {
    bench::TrainModel model;
    model.power = {1.0, 2.0};
    model.brake = {1.0, 2.0, 8.0};
    const struct {
        const char* name;
        double speed;
        frame::Handles handles;
        double grade;
        double next;
    } rows[] = {
        {"power notch 2", 10.0, {0, 2, 0, 0}, 0.0, 12.0},
        {"a notch beyond the list takes the last rate", 10.0, {0, 7, 0, 0}, 0.0, 12.0},
        {"brake wins over power", 10.0, {1, 2, 0, 0}, 0.0, 9.0},
        {"emergency stops at zero", 3.0, {3, 0, 0, 0}, 0.0, 0.0},
        {"coasting on a grade", 10.0, {0, 0, 0, 0}, 0.5, 10.5},
        {"a grade stronger than the brake", 10.0, {1, 0, 0, 0}, 1.5, 10.5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        model.grade = row.grade;
        EXPECT_DOUBLE_EQ(bench::modelSpeed(model, row.speed, row.handles, 1.0), row.next);
    }
}

}  // namespace
