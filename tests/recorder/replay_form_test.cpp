// The replay form that recordings are written in: calls, key states and exact frames parse into
// steps in file order, "same" repeats the frame before's writes, and bad lines are named.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

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

}  // namespace
