// The bench: drives a plug-in library through a scenario file as the host does, prints a timeline
// of what changed, checks the scenario's expectations and can write a CSV and an SVG chart.
//
// Exit status: 0 all expectations met, 1 an expectation failed, 2 bad command line or scenario,
// 3 the plug-in library could not be used.
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "tools/bench/replay_run.h"
#include "tools/bench/report.h"
#include "tools/bench/run.h"
#include "tools/bench/scenario.h"
#include "tools/host/library_format.h"
#include "tools/host/plugin_library.h"
#include "tools/host/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFailed = 1;
constexpr int kBadInput = 2;
constexpr int kBadLibrary = 3;

const char* const kUsage =
    "usage: bench SCENARIO [--plugin PATH] [--csv FILE] [--svg FILE] [--check]\n"
    "  Runs the plug-in that SCENARIO names (found beside this program unless --plugin gives\n"
    "  its path) through the scenario, prints a timeline of the frames in which something\n"
    "  changed and checks the scenario's expectations.\n"
    "  --csv FILE   writes every frame to FILE\n"
    "  --svg FILE   writes a chart to FILE (opens in a browser)\n"
    "  --check      prints only failed expectations and the summary\n";

struct Options {
    std::string scenario;
    std::string plugin;
    std::string csv;
    std::string svg;
    bool check = false;
};

bool parseOptions(int argc, char** argv, Options* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string* target) {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            *target = argv[++i];
            return true;
        };
        if (arg == "--plugin") {
            if (!value(&options->plugin)) return false;
        } else if (arg == "--csv") {
            if (!value(&options->csv)) return false;
        } else if (arg == "--svg") {
            if (!value(&options->svg)) return false;
        } else if (arg == "--check") {
            options->check = true;
        } else if (arg == "--help" || arg == "-h") {
            *error = "";
            return false;
        } else if (!arg.empty() && arg[0] == '-') {
            *error = "unknown option " + arg;
            return false;
        } else if (options->scenario.empty()) {
            options->scenario = arg;
        } else {
            *error = "more than one scenario: " + options->scenario + " and " + arg;
            return false;
        }
    }
    if (options->scenario.empty()) *error = "no scenario given";
    return !options->scenario.empty();
}

std::string libraryBesideProgram(const std::string& name) {
    const host::HostKind program = host::thisProgram();
    const fs::path self = host::executablePath();
    const std::string file = name + (program.windows ? ".dll" : ".so");
    return (self.empty() ? fs::path(file) : self.parent_path() / file).string();
}

// Says why the library at path cannot be used, or returns an empty string.
std::string libraryProblem(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return "no plug-in library at " + path;
    std::string bytes;
    if (!host::readFile(path, &bytes)) return "cannot read " + path;
    bytes.resize(std::min(bytes.size(), host::kLibraryHeadSize));
    const std::string problem = host::libraryFormatProblem(bytes, host::thisProgram());
    return problem.empty() ? problem : path + ": " + problem;
}

// Runs the scenario against a private copy of the library, in a private folder that is also the
// working directory, so that nothing outside that folder is read or written.
bool runInPrivateFolder(const bench::Scenario& scenario, const std::string& library,
                        bench::Recording* recording, std::string* error) {
    host::TempFolder folder("bench");
    const std::string copy = host::copyPluginTo(library, folder);
    if (scenario.hasIni) {
        const std::string ini = fs::path(copy).replace_extension(".ini").string();
        if (!host::writeFile(ini, scenario.ini)) {
            *error = "cannot write " + ini;
            return false;
        }
    }
    const fs::path previous = fs::current_path();
    fs::current_path(folder.path());
    bool ok = false;
    {
        std::unique_ptr<host::PluginLibrary> plugin = host::PluginLibrary::open(copy, error);
        if (plugin) {
            *recording = bench::run(scenario, plugin->api());
            ok = true;
        }
    }  // unloaded here, before the folder goes
    fs::current_path(previous);
    if (!ok) *error = library + ": " + *error;
    return ok;
}

bool writeOutput(const std::string& path, const std::string& what, const auto& write) {
    // The folder is made if missing, so "--svg build/demo/x.svg" works in a fresh checkout.
    std::error_code ignored;  // a folder that cannot be made shows up as a file that cannot be opened
    const fs::path parent = fs::absolute(path).parent_path();
    fs::create_directories(parent, ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) write(out);
    if (!out || !out.flush()) {
        std::cerr << "bench: cannot write " << what << " " << path << "\n";
        return false;
    }
    std::cout << what << ": " << fs::absolute(path).string() << "\n";
    return true;
}

int runBench(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, &options, &error)) {
        if (!error.empty()) std::cerr << "bench: " << error << "\n";
        std::cerr << kUsage;
        return error.empty() ? 0 : kBadInput;
    }
    std::string text;
    if (!host::readFile(options.scenario, &text)) {
        std::cerr << "bench: cannot read the scenario " << options.scenario << "\n";
        return kBadInput;
    }
    const bench::ParseResult parsed = bench::parseScenario(text, options.scenario);
    if (!parsed.errors.empty()) {
        for (const std::string& message : parsed.errors) std::cerr << message << "\n";
        std::cerr << "bench: " << parsed.errors.size() << " error(s) in " << options.scenario
                  << "; nothing was run\n";
        return kBadInput;
    }
    const bench::Scenario& scenario = parsed.scenario;
    const std::string library =
        fs::absolute(options.plugin.empty() ? libraryBesideProgram(scenario.plugin) : options.plugin)
            .lexically_normal()
            .string();
    const std::string problem = libraryProblem(library);
    if (!problem.empty()) {
        std::cerr << "bench: " << problem << "\n";
        return kBadLibrary;
    }
    if (!options.check) {
        // Said first, so that a notice the plug-in shows while it loads reads in context.
        std::cout << "bench: running " << library << " from a private copy" << std::endl;
    }
    bench::Recording recording;
    if (!runInPrivateFolder(scenario, library, &recording, &error)) {
        std::cerr << "bench: " << error << "\n";
        return kBadLibrary;
    }
    const std::vector<std::string> failures = bench::check(scenario, recording);
    if (!options.check) {
        bench::writeTimeline(std::cout, scenario, recording);
        std::cout << "\n";
    }
    bool written = true;
    if (!options.csv.empty()) {
        written &=
            writeOutput(options.csv, "csv", [&](std::ostream& out) { bench::writeCsv(out, recording); });
    }
    if (!options.svg.empty()) {
        written &= writeOutput(options.svg, "chart", [&](std::ostream& out) {
            bench::writeSvg(out, scenario, recording, failures);
        });
    }
    for (const std::string& failure : failures) std::cerr << failure << "\n";
    const std::size_t total = scenario.expectations.size();
    if (!scenario.replay.steps.empty()) {
        (failures.empty() ? std::cout : std::cerr) << bench::replaySummary(scenario, failures) << "\n";
    } else if (failures.empty()) {
        std::cout << scenario.file << ": " << total << " expectation(s) met, " << recording.frames.size()
                  << " frames\n";
    } else {
        std::cerr << scenario.file << ": " << failures.size() << " of " << total
                  << " expectation(s) failed\n";
    }
    if (!failures.empty()) return kFailed;
    return written ? 0 : kBadInput;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return runBench(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "bench: " << e.what() << "\n";
        return kBadLibrary;
    }
}
