// How long one frame takes in each plug-in, called through its entry point as the simulator calls
// it. Speed is measured here, never asserted in tests.
//   build/native/bin/elapse_benchmark [--benchmark_filter=Tavrel]
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "ats_plugins.h"
#include "tools/host/private_plugin.h"

namespace {

std::string pluginPath(const char* name) { return std::string(ATS_BIN) + "/" + name + ATS_PLUGIN_SUFFIX; }

void elapse(benchmark::State& run, const char* name, const char* ini) {
    host::PrivatePlugin::Options options;
    options.prefix = "perf";
    options.ini = ini;
    std::string error;
    const std::unique_ptr<host::PrivatePlugin> plugin =
        host::PrivatePlugin::open(pluginPath(name), options, &error);
    if (!plugin) {
        run.SkipWithError(error.c_str());
        return;
    }
    const host::EntryPoints& api = plugin->api();
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
        benchmark::RegisterBenchmark((std::string("elapse/") + name).c_str(), elapse, name, iniFor(name));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
