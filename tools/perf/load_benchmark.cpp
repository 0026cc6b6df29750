// How long loading and unloading each plug-in takes, against a library that does nothing
// (NullPlugin): the first load, which creates the INI file, and a later load, which finds it.
// Speed is measured here, never asserted in tests.
//   build/native/bin/load_benchmark 2>/dev/null          (Quinsora's notice goes to stderr)
// One load and unload, for counting system calls (a first load in an empty folder, a later load
// when run again with the same folder):
//   strace -f -c -e trace=openat,fsync,fdatasync build/native/bin/load_benchmark --once NAME FOLDER
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "ats_plugins.h"
#include "tools/host/plugin_library.h"
#include "tools/host/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string builtLibrary(const std::string& name) {
    return std::string(ATS_BIN) + "/" + name + ATS_PLUGIN_SUFFIX;
}

bool loadAndUnload(const std::string& library) {
    std::string error;
    return host::PluginLibrary::open(library, &error) != nullptr;
}

// firstLoad: the INI file is removed before each load (outside the timing), so the load creates it.
// Otherwise the INI file that the first load made is dated an hour back, as a file made in an
// earlier session is: a file written moments ago is read again at unload.
void load(benchmark::State& run, const std::string& name, bool firstLoad) {
    host::TempFolder folder("perf");
    const std::string library = host::copyPluginTo(builtLibrary(name), folder);
    const std::string ini = library.substr(0, library.rfind('.')) + ".ini";
    if (!loadAndUnload(library)) {
        run.SkipWithError(("cannot load " + library).c_str());
        return;
    }
    std::error_code noIni;  // Vesk and the yardstick make none
    fs::last_write_time(ini, fs::file_time_type::clock::now() - std::chrono::hours(1), noIni);
    for (auto _ : run) {
        if (firstLoad) {
            run.PauseTiming();
            fs::remove(ini);
            run.ResumeTiming();
        }
        benchmark::DoNotOptimize(loadAndUnload(library));
    }
}

int once(const std::string& name, const std::string& folder) {
    const fs::path target = fs::path(folder) / fs::path(builtLibrary(name)).filename();
    if (!fs::exists(target)) fs::copy_file(builtLibrary(name), target);
    return loadAndUnload(target.string()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--once") return once(argv[2], argv[3]);
    benchmark::RegisterBenchmark("load/NullPlugin", load, "NullPlugin", false);
    for (const char* name : host::kPluginNames) {
        benchmark::RegisterBenchmark((std::string("first_load/") + name).c_str(), load, name, true);
        benchmark::RegisterBenchmark((std::string("later_load/") + name).c_str(), load, name, false);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
