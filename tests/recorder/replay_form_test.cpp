// The replay form that recordings are written in: calls, key states and exact frames parse into
// steps in file order, "same" repeats the frame before's writes, and bad lines are named.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/bench/run.h"
#include "tools/bench/scenario.h"

namespace {

const std::string kHead = "plugin Tavrel\n";
const std::string kFrame = "frame 0ms 0.1 54.5 36000000 1 2 3 4 5 -6 expect 0 3 1 0";

TEST(ReplayForm, ParsesCallsKeysAndFramesInFileOrder) {
    const bench::ParseResult parsed =
        bench::parseScenario(kHead +
                                 "call Load\n"
                                 "call SetBeaconData 87 1 125.5 -300\n"
                                 "keys 0x45=0x80 0x14=0x01\n" +
                                 kFrame + " panel 20=1 201=0 sound 150=1\n" +
                                 "frame 16ms 0.2 nan 36000016 0 0 0 0 0 inf expect 0 3 1 "
                                 "0 panel same\n"
                                 "call GetPluginVersion 131072\n",
                             "r.scn");
    ASSERT_TRUE(parsed.errors.empty()) << parsed.errors.front();
    const bench::Scenario& s = parsed.scenario;
    ASSERT_EQ(s.replay.steps.size(), 6u);
    EXPECT_EQ(s.replay.steps[1].call, bench::ReplayCall::SetBeaconData);
    EXPECT_EQ(s.replay.steps[1].distance, 125.5f);
    EXPECT_EQ(s.replay.steps[1].values[3], -300);
    EXPECT_EQ(s.replay.steps[2].keys.at(1), (std::pair<int, std::uint8_t>{0x14, 0x01}));
    ASSERT_EQ(s.replay.frames.size(), 2u);
    EXPECT_EQ(s.replay.frames[0].state.current, -6.0f);
    EXPECT_EQ(s.replay.frames[0].handles.power, 3);
    EXPECT_EQ(s.replay.frames[0].sound, (bench::SlotWrites{{150, 1}}));
    EXPECT_EQ(s.replay.frames[1].panel, s.replay.frames[0].panel);  // "same"
    EXPECT_TRUE(s.replay.frames[1].sound.empty());                  // left out: none written
    EXPECT_TRUE(std::isnan(s.replay.frames[1].state.speed));
    EXPECT_EQ(s.endMs, 16);  // no end line needed
}

struct Rejected {
    const char* name;
    std::string body;
    std::string message;
};

TEST(ReplayForm, RejectsBadLinesNamingFileAndLine) {
    const Rejected rows[] = {
        {"unknown call", "call Elapse\n", "r.scn:2: expected an entry point"},
        {"wrong argument count", "call SetPower\n", "r.scn:2: expected 1 number(s) after 'call SetPower'"},
        {"time going back", kFrame + "\n" + "frame -1ms 0 0 0 0 0 0 0 0 0 expect 0 0 0 0\n", "r.scn:3:"},
        {"frames out of order",
         "frame 5ms 0 0 0 0 0 0 0 0 0 expect 0 0 0 0\nframe 4ms 0 0 0 0 0 0 0 0 0 expect 0 0 0 0\n",
         "r.scn:3: frame times must not go back"},
        {"no expect", "frame 0ms 0 0 0 0 0 0 0 0 0 0 0 0 0\n", "r.scn:2: expected 'frame TIMEms"},
        {"slot beyond 255", kFrame + " panel 256=1\n", "r.scn:2: expected a slot 0 to 255"},
        {"key state beyond a byte", "keys 0x45=0x180\n", "r.scn:2: key codes and states are 0x00 to 0xFF"},
        {"a recording with keyframes", "at 0 speed 10\n" + kFrame + "\n",
         "a recording (call, keys, frame) takes no"},
    };
    for (const Rejected& row : rows) {
        SCOPED_TRACE(row.name);
        const bench::ParseResult parsed = bench::parseScenario(kHead + row.body, "r.scn");
        ASSERT_FALSE(parsed.errors.empty());
        EXPECT_NE(parsed.errors.front().find(row.message), std::string::npos) << parsed.errors.front();
    }
}

// A fake plug-in for the streaming replay: version 0x20000, brakes in notch 2 while the power
// notch it was given is odd, and writes panel slot 5 with the notch.
struct Fake {
    static inline std::int32_t power = 0;
    static void ATS_CALL Nothing() {}
    static std::int32_t ATS_CALL Version() { return 0x20000; }
    static void ATS_CALL Spec(frame::VehicleSpec) {}
    static void ATS_CALL Int(std::int32_t) {}
    static void ATS_CALL SetPower(std::int32_t notch) { power = notch; }
    static frame::Handles ATS_CALL Elapse(frame::VehicleState, std::int32_t* panel, std::int32_t*) {
        panel[5] = power;
        return {power % 2 != 0 ? 2 : 0, power, 0, 0};
    }
    static void ATS_CALL Beacon(frame::BeaconData) {}
    static host::EntryPoints api() {
        return {Nothing, Nothing, Version, Spec, Int,     Elapse,  SetPower, Int,
                Int,     Int,     Int,     Int,  Nothing, Nothing, Int,      Beacon};
    }
};

struct Replayed {
    const char* name;
    std::string body;
    std::vector<std::string> differences;  // what the checker names, in order
};

// The replay streams each frame to the sink as run() does, the calls before it as its events,
// and the checker compares frame by frame: the first difference named, with the frame's count.
TEST(ReplayRun, StreamsFramesAndChecksEachAgainstTheRecording) {
    const std::string frames =
        "call Load\ncall GetPluginVersion VERSION\ncall SetPower 3\n"
        "frame 0ms 0 0 0 0 0 0 0 0 0 expect 2 3 0 0 panel 5=3\n"
        "call SetPower 4\ncall HornBlow 1\n"
        "frame 16ms 0 0 16 0 0 0 0 0 0 expect BRAKE 4 0 0 panel 5=4\n";
    const auto with = [&](const std::string& version, const std::string& brake) {
        std::string text = kHead + frames;
        text.replace(text.find("VERSION"), 7, version);
        text.replace(text.find("BRAKE"), 5, brake);
        return text;
    };
    const Replayed rows[] = {
        {"the same outputs", with("131072", "0"), {}},
        {"a frame differs", with("131072", "1"), {"r.scn:8: frame 2 at 0.016 s: brake: expected 1, got 0"}},
        {"a call result differs, named before the frame after it",
         with("7", "1"),
         {"r.scn:3: GetPluginVersion: expected 7, got 131072",
          "r.scn:8: frame 2 at 0.016 s: brake: expected 1, got 0"}},
    };
    for (const Replayed& row : rows) {
        SCOPED_TRACE(row.name);
        const bench::ParseResult parsed = bench::parseScenario(row.body, "r.scn");
        ASSERT_TRUE(parsed.errors.empty()) << parsed.errors.front();
        bench::Checker checker(parsed.scenario);
        std::vector<std::string> events;
        std::vector<std::int32_t> times;
        bench::run(parsed.scenario, Fake::api(), [&](const bench::FrameRecord& record) {
            EXPECT_EQ(record.index, static_cast<std::int64_t>(times.size()));
            times.push_back(record.timeMs);
            for (const bench::Event* event : record.events) events.push_back(event->text);
            checker.frame(record);
        });
        EXPECT_EQ(times, (std::vector<std::int32_t>{0, 16}));
        EXPECT_EQ(events, (std::vector<std::string>{"Load", "GetPluginVersion", "SetPower 3", "SetPower 4",
                                                    "HornBlow 1"}));
        EXPECT_EQ(checker.failures(), row.differences);
        EXPECT_EQ(bench::frameCount(parsed.scenario), 2);
    }
}

// A call result after the last frame has no frame to carry it: the replay says so, never drops it.
TEST(ReplayRun, ACallResultAfterTheLastFrameThatDiffersIsNotLost) {
    const bench::ParseResult parsed = bench::parseScenario(
        kHead + "frame 0ms 0 0 0 0 0 0 0 0 0 expect 0 0 0 0 panel 5=0\ncall GetPluginVersion 7\n", "r.scn");
    ASSERT_TRUE(parsed.errors.empty()) << parsed.errors.front();
    Fake::power = 0;
    try {
        bench::run(parsed.scenario, Fake::api(), [](const bench::FrameRecord&) {});
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "r.scn:3: GetPluginVersion: expected 7, got 131072");
    }
}

}  // namespace
