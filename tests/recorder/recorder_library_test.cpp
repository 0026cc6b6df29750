// The recorder as the host loads it: without a usable real plug-in it still loads, passes the
// driver's handles through, writes no slot and its log says why; with one, the recording holds
// every state bit for bit (awkward values included) and replays without a difference.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include "tools/bench/run.h"
#include "tools/bench/scenario.h"
#include "tools/host/plugin_library.h"
#include "tools/host/temp_folder.h"

namespace {

std::string built(const std::string& name) { return std::string(ATS_BIN) + "/" + name + ATS_PLUGIN_SUFFIX; }

struct Unusable {
    const char* name;
    std::string ini;     // Recorder.ini; PLUGIN stands for the file written beside it, if any
    const char* beside;  // contents of that file, or null
    const char* log;     // expected in Recorder.log
};

TEST(Recorder, WithoutAUsablePluginLoadsPassesHandlesThroughAndLogsWhy) {
    const std::string suffix = ATS_PLUGIN_SUFFIX;
    const Unusable rows[] = {
        {"no INI file", "", nullptr, "is missing"},
        {"no plug-in named", "[Recorder]\r\nRecording=x.scn\r\n", nullptr, "names none"},
        {"plug-in missing", "[Recorder]\r\nPlugin=Nowhere" + suffix + "\r\n", nullptr, "cannot record"},
        {"not a library", "[Recorder]\r\nPlugin=Text" + suffix + "\r\n", "not a library at all\n",
         "cannot record"},
        {"the recorder itself", "[Recorder]\r\nPlugin=Recorder" + suffix + "\r\n", nullptr,
         "it is this recorder"},
    };
    for (const Unusable& row : rows) {
        SCOPED_TRACE(row.name);
        host::TempFolder folder("recorder");
        const std::string library = host::copyPluginTo(built("Recorder"), folder);
        if (!row.ini.empty()) {
            ASSERT_TRUE(host::writeFile(folder.file("Recorder.ini"), row.ini));
        }
        if (row.beside) {
            ASSERT_TRUE(host::writeFile(folder.file("Text" + suffix), row.beside));
        }
        {
            std::string error;
            auto recorder = host::PluginLibrary::open(library, &error);
            ASSERT_TRUE(recorder) << error;
            const host::EntryPoints& api = recorder->api();
            api.Load();
            EXPECT_EQ(api.GetPluginVersion(), 0x20000);
            api.SetVehicleSpec({8, 5, 0, 0, 0});
            api.Initialize(0);
            api.SetPower(3);
            api.SetBrake(2);
            api.SetReverser(-1);
            std::int32_t panel[256];
            std::int32_t sound[256];
            std::memset(panel, 0x5A, sizeof panel);
            std::memset(sound, 0x5A, sizeof sound);
            const frame::Handles handles = api.Elapse(frame::VehicleState{}, panel, sound);
            EXPECT_EQ(handles.brake, 2);
            EXPECT_EQ(handles.power, 3);
            EXPECT_EQ(handles.reverser, -1);
            EXPECT_EQ(handles.constantSpeed, 0);
            for (int slot = 0; slot < 256; ++slot) {
                EXPECT_EQ(panel[slot], 0x5A5A5A5A) << "panel " << slot;
                EXPECT_EQ(sound[slot], 0x5A5A5A5A) << "sound " << slot;
            }
            api.Dispose();
        }
        std::string log;
        const bool logged = host::readFile(folder.file("Recorder.log"), &log);
        EXPECT_TRUE(logged);
        EXPECT_NE(log.find(row.log), std::string::npos) << log;
    }
}

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}
bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

TEST(Recorder, RecordsEveryStateExactlyAndTheRecordingReplaysWithoutADifference) {
    host::TempFolder folder("recorder");
    host::copyPluginTo(built("Quinsora"), folder);
    ASSERT_TRUE(
        host::writeFile(folder.file("Quinsora.ini"),
                        "[DATA]\r\nUpDateTime=50\r\nPanelSpeed=1\r\nPanelBC=2\r\nPanelCurrent=3\r\n"));
    const std::string library = host::copyPluginTo(built("Recorder"), folder);
    ASSERT_TRUE(host::writeFile(
        folder.file("Recorder.ini"),
        std::string("[Recorder]\r\nPlugin=Quinsora") + ATS_PLUGIN_SUFFIX + "\r\nRecording=run.scn\r\n"));
    const float awkward[] = {0.1f,
                             -0.0f,
                             std::numeric_limits<float>::denorm_min(),
                             std::numeric_limits<float>::max(),
                             -std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN(),
                             1.0f / 3.0f,
                             16777217.0f};
    std::vector<frame::VehicleState> states;
    {
        std::string error;
        auto recorder = host::PluginLibrary::open(library, &error);
        ASSERT_TRUE(recorder) << error;
        const host::EntryPoints& api = recorder->api();
        api.Load();
        api.SetVehicleSpec({8, 5, 1, 2, 3});
        api.Initialize(1);
        std::int32_t panel[256] = {};
        std::int32_t sound[256] = {};
        frame::VehicleState state{};
        state.time = 2147483647 - 500;  // the clock wraps during the run
        for (int i = 0; i < 400; ++i) {
            const float f = awkward[static_cast<std::size_t>(i) % std::size(awkward)];
            state.time = frame::clockAdd(state.time, 17);
            state.position = i % 7 == 0 ? 0.1 + i * 1e-12 : std::nextafter(state.position, 1e300);
            state.speed = i % 5 == 0 ? f : static_cast<float>(i) / 7.0f;
            state.bcPressure = f;
            state.mrPressure = -f;
            state.current = static_cast<float>(i % 11) * 0.3f - 1.0f;
            if (i % 50 == 0) api.SetBeaconData({87, 3, 123.456f, -300});
            if (i % 90 == 0) api.KeyDown(i);
            states.push_back(state);
            api.Elapse(state, panel, sound);
        }
        api.Dispose();
    }
    std::string text;
    ASSERT_TRUE(host::readFile(folder.file("run.scn"), &text));
    const bench::ParseResult parsed = bench::parseScenario(text, "run.scn");
    ASSERT_TRUE(parsed.errors.empty()) << parsed.errors.front();
    const auto& frames = parsed.scenario.replay.frames;
    ASSERT_EQ(frames.size(), states.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const frame::VehicleState& want = states[i];
        const frame::VehicleState& got = frames[i].state;
        EXPECT_TRUE(sameBits(got.position, want.position)) << got.position << " " << want.position;
        EXPECT_TRUE(sameBits(got.speed, want.speed)) << got.speed << " " << want.speed;
        EXPECT_EQ(got.time, want.time);
        EXPECT_TRUE(sameBits(got.bcPressure, want.bcPressure));
        EXPECT_TRUE(sameBits(got.mrPressure, want.mrPressure));
        EXPECT_TRUE(sameBits(got.current, want.current));
    }
    // The replay, against the plug-in beside the recording's INI file, gives every recorded output.
    std::string error;
    auto plugin = host::PluginLibrary::open(folder.file(std::string("Quinsora") + ATS_PLUGIN_SUFFIX), &error);
    ASSERT_TRUE(plugin) << error;
    const bench::Recording replayed = bench::run(parsed.scenario, plugin->api());
    const std::vector<std::string> differences = bench::check(parsed.scenario, replayed);
    EXPECT_TRUE(differences.empty()) << differences.front();
}

// A host that crashes loses little: the recording is on disk, complete to its last frame, before
// Dispose, and the final write adds the rest.
TEST(Recorder, WritesTheRecordingDuringTheSessionAndAgainAtDispose) {
    host::TempFolder folder("recorder");
    host::copyPluginTo(built("Vesk"), folder);
    const std::string library = host::copyPluginTo(built("Recorder"), folder);
    ASSERT_TRUE(host::writeFile(folder.file("Recorder.ini"),
                                std::string("[Recorder]\r\nPlugin=Vesk") + ATS_PLUGIN_SUFFIX +
                                    "\r\nRecording=run.scn\r\nWriteEvery=1\r\n"));
    std::string error;
    auto recorder = host::PluginLibrary::open(library, &error);
    ASSERT_TRUE(recorder) << error;
    const host::EntryPoints& api = recorder->api();
    api.Load();
    std::int32_t panel[256] = {};
    std::int32_t sound[256] = {};
    for (int i = 0; i < 10; ++i)
        api.Elapse(frame::VehicleState{0.0, 1.0f, i * 10, 0, 0, 0, 0, 0, 0}, panel, sound);
    // The writer writes every second; wait for it, up to a generous bound.
    std::string text;
    for (int wait = 0; wait < 100 && text.find("frame 90ms") == std::string::npos; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        host::readFile(folder.file("run.scn"), &text);
    }
    const bench::ParseResult during = bench::parseScenario(text, "run.scn");
    ASSERT_TRUE(during.errors.empty()) << text;
    EXPECT_EQ(during.scenario.replay.frames.size(), 10u);
    api.Dispose();
    ASSERT_TRUE(host::readFile(folder.file("run.scn"), &text));
    EXPECT_NE(text.find("\ncall Dispose\n"), std::string::npos);
    EXPECT_FALSE(host::readFile(folder.file("run.scn.tmp"), &text));  // nothing left beside it
}

}  // namespace
