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

#include "tools/bench/ini_check.h"
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
    "             [--only LIST] [--from TIME] [--to TIME] [-q|--quiet] [-v|--verbose]\n"
    "       bench ini FILE [--plugin NAME]\n"
    "  Runs the plug-in that SCENARIO names (found beside this program unless --plugin gives\n"
    "  its path) through the scenario, prints a timeline of the frames in which something\n"
    "  changed and checks the scenario's expectations.\n"
    "  --csv FILE   writes every frame to FILE\n"
    "  --svg FILE   writes a chart to FILE (opens in a browser)\n"
    "  --check      prints only failed expectations and the summary\n"
    "  --only LIST  the timeline shows only these: calls, handles, panel, sound, panel:SLOT,\n"
    "               sound:SLOT or a slot's label, separated by commas\n"
    "  --from TIME, --to TIME  the timeline shows only frames in this time range\n"
    "  -q, --quiet  the timeline shows calls and handles only; -v, --verbose: every change,\n"
    "               a blinking lamp's too\n"
    "  bench ini FILE  says which keys of the INI file the plug-in reads, the value each gives,\n"
    "               and what it would misread; the file is not changed\n";

struct Options {
    std::string scenario;
    std::string plugin;
    std::string csv;
    std::string svg;
    bool check = false;
    std::string only;
    std::string from;
    std::string to;
    bench::TimelineOptions::Level level = bench::TimelineOptions::Level::Normal;
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
        } else if (arg == "--only") {
            if (!value(&options->only)) return false;
        } else if (arg == "--from") {
            if (!value(&options->from)) return false;
        } else if (arg == "--to") {
            if (!value(&options->to)) return false;
        } else if (arg == "-q" || arg == "--quiet") {
            options->level = bench::TimelineOptions::Level::Quiet;
        } else if (arg == "-v" || arg == "--verbose") {
            options->level = bench::TimelineOptions::Level::Verbose;
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
                        const bench::FrameSink& sink, std::string* error) {
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
            bench::run(scenario, plugin->api(), sink);
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
    if (argc >= 2 && std::string(argv[1]) == "ini") {
        return bench::iniCommand(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
    }
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
    bench::Scenario scenario = parsed.scenario;
    // What the plug-in will make of the scenario's INI lines, said before the run.
    for (const std::string& warning :
         bench::scenarioIniWarnings(scenario.plugin, scenario.ini, scenario.iniLines, scenario.file)) {
        std::cerr << warning << "\n";
    }
    // A meter plug-in's INI says which slot shows which reading: that names the slot, unless the
    // scenario labels it, and the chart draws the reading behind it.
    const std::vector<bench::MeterSlot> meterSlots = bench::meterSlots(scenario.plugin, scenario.ini);
    for (const bench::MeterSlot& meter : meterSlots) {
        if (scenario.panelLabels[meter.slot].line == 0) scenario.panelLabels[meter.slot].name = meter.key;
    }
    const std::string library =
        fs::absolute(options.plugin.empty() ? libraryBesideProgram(scenario.plugin) : options.plugin)
            .lexically_normal()
            .string();
    const std::string problem = libraryProblem(library);
    if (!problem.empty()) {
        std::cerr << "bench: " << problem << "\n";
        return kBadLibrary;
    }
    bench::TimelineOptions timelineOptions;
    timelineOptions.level = options.level;
    if (!options.only.empty()) {
        error = bench::parseOnly(options.only, scenario, &timelineOptions);
        if (!error.empty()) {
            std::cerr << "bench: " << error << "\n";
            return kBadInput;
        }
    }
    if ((!options.from.empty() && !bench::parseTimeText(options.from, &timelineOptions.fromMs)) ||
        (!options.to.empty() && !bench::parseTimeText(options.to, &timelineOptions.toMs))) {
        std::cerr << "bench: --from and --to take a time in seconds (12.5) or milliseconds (12500ms)\n";
        return kBadInput;
    }
    if (!options.check) {
        // Said first, so that a notice the plug-in shows while it loads reads in context.
        std::cout << "bench: running " << library << " from a private copy" << std::endl;
    }
    // Each output takes the frames as they come; only those asked for keep anything.
    bench::Checker checker(scenario);
    std::unique_ptr<bench::Timeline> timeline;
    std::unique_ptr<bench::CsvLog> csv;
    std::unique_ptr<bench::Chart> chart;
    if (!options.check) timeline = std::make_unique<bench::Timeline>(std::cout, scenario, timelineOptions);
    if (!options.csv.empty()) csv = std::make_unique<bench::CsvLog>(scenario);
    if (!options.svg.empty()) {
        chart = std::make_unique<bench::Chart>(scenario, bench::frameCount(scenario));
        for (const bench::MeterSlot& meter : meterSlots) chart->setRawSource(meter.slot, meter.input);
    }
    std::int64_t frames = 0;
    const bench::FrameSink sink = [&](const bench::FrameRecord& record) {
        ++frames;
        checker.frame(record);
        if (timeline) timeline->frame(record);
        if (csv) csv->frame(record);
        if (chart) chart->frame(record);
    };
    if (!runInPrivateFolder(scenario, library, sink, &error)) {
        std::cerr << "bench: " << error << "\n";
        return kBadLibrary;
    }
    const std::vector<std::string> failures = checker.failures();
    if (timeline) std::cout << "\n";
    bool written = true;
    if (csv) written &= writeOutput(options.csv, "csv", [&](std::ostream& out) { csv->write(out); });
    if (chart) {
        written &= writeOutput(options.svg, "chart",
                               [&](std::ostream& out) { chart->write(out, checker.results()); });
    }
    for (const std::string& failure : failures) std::cerr << failure << "\n";
    const std::size_t total = scenario.expectations.size();
    if (!scenario.replay.steps.empty()) {
        (failures.empty() ? std::cout : std::cerr) << bench::replaySummary(scenario, failures) << "\n";
    } else if (failures.empty()) {
        std::cout << scenario.file << ": " << total << " expectation(s) met, " << frames << " frames\n";
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
