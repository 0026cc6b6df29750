// How long one frame takes in each plug-in, called through its entry point as the simulator calls
// it, alone and with the recorder in front of it; how large a minute of recording at 60 frames per
// second is; how fast the bench replays it. Speed is measured here, never asserted in tests.
//   build/native/bin/elapse_benchmark [--benchmark_filter=Tavrel]
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>

#include <memory>

#include "ats_plugins.h"
#include "tools/bench/run.h"
#include "tools/bench/scenario.h"
#include "tools/host/private_plugin.h"

namespace {

std::string pluginPath(const char* name) { return std::string(ATS_BIN) + "/" + name + ATS_PLUGIN_SUFFIX; }

// Loads the plug-in privately; recorded, loads the recorder privately instead, with the plug-in
// and its INI copied beside it (the recorder loads it at Load) and a recording into run.scn.
std::unique_ptr<host::PrivatePlugin> install(const char* name, const char* ini, bool recorded,
                                             std::string* error) {
    host::PrivatePlugin::Options options;
    options.prefix = "perf";
    options.ini = ini;
    if (!recorded) return host::PrivatePlugin::open(pluginPath(name), options, error);
    options.ini =
        std::string("[Recorder]\r\nPlugin=") + name + ATS_PLUGIN_SUFFIX + "\r\nRecording=run.scn\r\n";
    std::unique_ptr<host::PrivatePlugin> recorder =
        host::PrivatePlugin::open(pluginPath("Recorder"), options, error);
    if (!recorder) return nullptr;
    const std::string copy = host::copyPluginTo(pluginPath(name), recorder->folder());
    if (copy.empty() || !host::writeFile(recorder->folder().file(std::string(name) + ".ini"), ini)) {
        *error = std::string("cannot copy ") + name + " beside the recorder";
        return nullptr;
    }
    return recorder;
}

void elapse(benchmark::State& run, const char* name, const char* ini, bool recorded) {
    std::string error;
    const std::unique_ptr<host::PrivatePlugin> plugin = install(name, ini, recorded, &error);
    if (!plugin) {
        run.SkipWithError(error.c_str());
        return;
    }
    const host::EntryPoints& api = plugin->api();
    api.Load();
    api.SetVehicleSpec({8, 5, 0, 0, 10});
    api.Initialize(0);
    api.SetPower(3);
    // The arrays are filled once: the frame's own cost is measured, not the host's marking.
    host::Slots panel{};
    host::Slots sound{};
    frame::VehicleState state{};
    state.position = 100.0;
    state.time = 1000;
    for (auto _ : run) {
        state.time += 16;
        state.position += 0.5;
        state.speed = 112.5f;
        state.bcPressure = 340.0f;
        state.current = -120.0f;
        benchmark::DoNotOptimize(api.Elapse(state, panel.data(), sound.data()));
        benchmark::ClobberMemory();
    }
    // With the recorder, frames beyond its buffer are counted as lost: the writer thread drains it
    // every 20 ms, far slower than this loop fills it, so this is the cost of a frame, recorded or not.
    api.Dispose();
}

// One minute at 60 frames per second with states as a simulator gives them (pressures and current
// with all their digits, the clock in steps of 16 and 17 ms), through the recorder; the bytes of the
// recording, then the time the bench takes to parse and replay it.
void recordedMinute(benchmark::State& run, const char* name, const char* ini) {
    std::string error;
    const std::unique_ptr<host::PrivatePlugin> plugin = install(name, ini, true, &error);
    if (!plugin) {
        run.SkipWithError(error.c_str());
        return;
    }
    const host::TempFolder& folder = plugin->folder();
    std::string text;
    {
        const host::EntryPoints& api = plugin->api();
        api.Load();
        api.SetVehicleSpec({8, 5, 0, 0, 10});
        api.Initialize(0);
        std::int32_t panel[256] = {};
        std::int32_t sound[256] = {};
        frame::VehicleState state{};
        state.time = 36000000;
        for (int i = 0; i < 3600; ++i) {
            if (i % 600 == 0) api.SetPower(i / 600 % 5);
            const double t = i / 60.0;
            state.time += (i % 3 == 0) ? 16 : 17;
            state.speed = static_cast<float>(40.0 + 30.0 * std::sin(t / 10.0));
            state.position += static_cast<double>(state.speed) / 3.6 / 60.0;
            state.bcPressure = static_cast<float>(150.0 + 140.0 * std::sin(t / 7.0));
            state.mrPressure = static_cast<float>(780.0 + 10.0 * std::cos(t / 3.0));
            state.erPressure = static_cast<float>(490.0 - 0.5 * t);
            state.bpPressure = static_cast<float>(480.0 - 0.5 * t);
            state.sapPressure = static_cast<float>(140.0 * std::sin(t / 5.0) * std::sin(t / 5.0));
            state.current = static_cast<float>(350.0 * std::cos(t / 4.0));
            api.Elapse(state, panel, sound);
        }
        api.Dispose();
        plugin->unload();  // the recorder writes its recording as it is unloaded
    }
    if (!host::readFile(folder.file("run.scn"), &text)) {
        run.SkipWithError("no recording written");
        return;
    }
    // The replay runs the copy in the folder, beside the INI file it was recorded with; loading and
    // unloading it is left out of the time.
    const std::string copy = folder.file(std::string(name) + ATS_PLUGIN_SUFFIX);
    std::size_t frames = 0;
    for (auto _ : run) {
        run.PauseTiming();
        std::string openError;
        auto library = host::PluginLibrary::open(copy, &openError);
        run.ResumeTiming();
        const bench::ParseResult parsed = bench::parseScenario(text, "run.scn");
        const bench::Recording replayed = bench::run(parsed.scenario, library->api());
        frames = replayed.frames.size();
        if (!bench::check(parsed.scenario, replayed).empty()) run.SkipWithError("the replay differs");
        run.PauseTiming();
        library.reset();
        run.ResumeTiming();
    }
    run.counters["recording_bytes_per_minute"] = static_cast<double>(text.size());
    run.counters["replayed_frames_per_second"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate);
}

// Quinsora with every reading shown, so the frame does all its slot writes.
constexpr const char* kAllMeters =
    "[DATA]\r\nUpDateTime=400\r\nPanelMR=1\r\nPanelBC=2\r\nPanelER=3\r\nPanelBP=4\r\nPanelSAP=5\r\n"
    "PanelCurrent=6\r\nPanelCurrentABS=7\r\nPanelSpeed=8\r\n";

// The INI a plug-in runs with here: the one that makes its frame do the most work.
const char* iniFor(const std::string& name) { return name == "Quinsora" ? kAllMeters : ""; }

}  // namespace

int main(int argc, char** argv) {
    for (const char* name : host::kPluginNames) {
        benchmark::RegisterBenchmark((std::string("elapse/") + name).c_str(), elapse, name, iniFor(name),
                                     false);
    }
    for (const char* name : host::kPluginNames) {
        benchmark::RegisterBenchmark((std::string("elapse/Recorded") + name).c_str(), elapse, name,
                                     iniFor(name), true);
    }
    for (const char* name : host::kPluginNames) {
        benchmark::RegisterBenchmark((std::string("recordedMinute/") + name).c_str(), recordedMinute, name,
                                     iniFor(name))
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
