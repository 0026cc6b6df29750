// The bench: drives a plug-in library through scenario files as the host does, prints a timeline
// of what changed, checks the scenarios' expectations and can write a CSV, an SVG chart and a
// JUnit report. The exit statuses are listed in kHelp (and in docs/scenarios.md).
//
// Every failure is a BenchError carrying its exit status; main() alone prints it and exits.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "tools/bench/ini_check.h"
#include "tools/bench/output.h"
#include "tools/bench/process.h"
#include "tools/bench/replay_run.h"
#include "tools/bench/report.h"
#include "tools/bench/run.h"
#include "tools/bench/scenario.h"
#include "tools/host/library_format.h"
#include "tools/host/private_plugin.h"

namespace fs = std::filesystem;

namespace {

// Exit statuses. With many scenarios, the highest status of any of them.
constexpr int kPassed = 0;
constexpr int kFailed = 1;      // an expectation failed
constexpr int kBadInput = 2;    // bad command line or scenario: nothing was run
constexpr int kBadLibrary = 3;  // the plug-in library could not be loaded or run
constexpr int kBadOutput = 4;   // an output file could not be written (the old file is kept)

struct BenchError : std::runtime_error {
    BenchError(int exitStatus, const std::string& message)
        : std::runtime_error(message), status(exitStatus) {}
    int status;
};

const char* const kHelp =
    "usage: bench [OPTIONS] SCENARIO...\n"
    "       bench ini FILE [--plugin NAME]\n"
    "\n"
    "Runs a train-protection plug-in through each SCENARIO as the simulator would, from a private\n"
    "copy in a temporary folder, and checks the scenario's expectations. SCENARIO is a scenario\n"
    "file, a folder (its .scn files), or - to read one from stdin. One scenario shows a timeline of\n"
    "the frames in which something changed; several give one line each and a summary.\n"
    "\n"
    "Options (--opt VALUE or --opt=VALUE):\n"
    "  --plugin PATH   run the library at PATH instead of the one each scenario names (which is\n"
    "                  looked up beside this program)\n"
    "  --csv FILE      write every frame to FILE (one scenario)\n"
    "  --svg FILE      write a chart to FILE, which opens in a browser (one scenario)\n"
    "  --junit FILE    write a JUnit XML report of every scenario to FILE\n"
    "  --check         print only failed expectations and the summary, not the timeline\n"
    "  --only LIST     the timeline shows only these: calls, handles, panel, sound, panel:SLOT,\n"
    "                  sound:SLOT or a slot's label, separated by commas (one scenario)\n"
    "  --from TIME, --to TIME\n"
    "                  the timeline shows only frames in this range: seconds (12.5) or\n"
    "                  milliseconds (12500ms)\n"
    "  -q, --quiet     the timeline shows calls and handles only\n"
    "  -v, --verbose   the timeline shows every change, a blinking lamp's too\n"
    "  --help          print this help\n"
    "  --version       print the bench's version\n"
    "\n"
    "Outputs are written whole or not at all, and never over a scenario, the plug-in or another\n"
    "output.\n"
    "\n"
    "Exit status:\n"
    "  0  every expectation of every scenario holds\n"
    "  1  an expectation failed\n"
    "  2  bad command line or scenario (that scenario was not run)\n"
    "  3  the plug-in library could not be loaded or run\n"
    "  4  an output file could not be written\n"
    "  With several scenarios, the highest of their statuses. An interrupted run (Ctrl-C) ends as\n"
    "  the signal ends it, after removing its temporary folder.\n"
    "\n"
    "bench ini FILE says which keys of the INI file the plug-in (NAME, or the one the file is\n"
    "named after) reads, the value each gives, and what it would misread; FILE is not changed.\n"
    "\n"
    "The scenario format and every option: docs/scenarios.md in the source tree.\n";

struct Options {
    std::vector<std::string> scenarios;  // as given: files, folders, "-"
    std::string plugin;
    std::string csv;
    std::string svg;
    std::string junit;
    bool check = false;
    std::string only;
    std::string from;
    std::string to;
    bench::TimelineOptions::Level level = bench::TimelineOptions::Level::Normal;
};

// Returns null options after printing help or the version.
bool parseOptions(int argc, char** argv, Options* options) {
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnd || arg == "-" || arg.empty() || arg[0] != '-') {
            options->scenarios.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        auto value = [&](std::string* target) {
            if (equals != std::string::npos) {
                *target = arg.substr(equals + 1);
            } else if (i + 1 < argc) {
                *target = argv[++i];
            } else {
                throw BenchError(kBadInput, name + " needs a value");
            }
            if (target->empty()) throw BenchError(kBadInput, name + " needs a value");
        };
        if (name == "--plugin") {
            value(&options->plugin);
        } else if (name == "--csv") {
            value(&options->csv);
        } else if (name == "--svg") {
            value(&options->svg);
        } else if (name == "--junit") {
            value(&options->junit);
        } else if (name == "--only") {
            value(&options->only);
        } else if (name == "--from") {
            value(&options->from);
        } else if (name == "--to") {
            value(&options->to);
        } else if (equals != std::string::npos) {
            throw BenchError(kBadInput, "option " + name + " takes no value");
        } else if (arg == "--check") {
            options->check = true;
        } else if (arg == "-q" || arg == "--quiet") {
            options->level = bench::TimelineOptions::Level::Quiet;
        } else if (arg == "-v" || arg == "--verbose") {
            options->level = bench::TimelineOptions::Level::Verbose;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kHelp;
            return false;
        } else if (arg == "--version") {
            std::cout << "bench " << BENCH_VERSION << "\n";
            return false;
        } else {
            throw BenchError(kBadInput, "unknown option " + bench::quoted(arg) + " (see bench --help)");
        }
    }
    if (options->scenarios.empty()) throw BenchError(kBadInput, "no scenario given (see bench --help)");
    return true;
}

// A scenario to run: its name in messages, and where it comes from.
struct Source {
    std::string name;
    std::string path;  // empty for stdin
};

// Files as given, folders as their .scn files in name order, "-" once.
std::vector<Source> expandSources(const std::vector<std::string>& given) {
    std::vector<Source> sources;
    bool stdinTaken = false;
    for (const std::string& item : given) {
        if (item == "-") {
            if (stdinTaken) throw BenchError(kBadInput, "'-' (stdin) can be given once");
            stdinTaken = true;
            sources.push_back({"<stdin>", ""});
            continue;
        }
        std::error_code failed;
        if (!fs::is_directory(item, failed)) {
            sources.push_back({item, item});
            continue;
        }
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(item, failed)) {
            if (entry.path().extension() == ".scn" && !entry.is_directory())
                files.push_back(entry.path().string());
        }
        if (failed) throw BenchError(kBadInput, "cannot list the folder " + item + ": " + failed.message());
        if (files.empty()) throw BenchError(kBadInput, "no .scn files in the folder " + item);
        std::sort(files.begin(), files.end());
        for (const std::string& file : files) sources.push_back({file, file});
    }
    return sources;
}

// The largest scenario read: far beyond any hand-written one, small enough to hold.
constexpr std::size_t kMaxScenarioBytes = 64u << 20;

std::string readSource(const Source& source) {
    std::FILE* in = stdin;
    if (!source.path.empty()) {
        std::error_code failed;
        if (!fs::exists(source.path, failed))
            throw BenchError(kBadInput, "no scenario file " + bench::quoted(source.path));
        in = std::fopen(source.path.c_str(), "rb");
        if (in == nullptr)
            throw BenchError(kBadInput,
                             "cannot read the scenario " + source.path + ": " + std::strerror(errno));
    } else {
        bench::binaryStdin();
    }
    std::string text;
    char chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        text.append(chunk, got);
        if (text.size() > kMaxScenarioBytes) break;
    }
    const bool failed = std::ferror(in) != 0;
    if (in != stdin) std::fclose(in);
    bench::checkInterrupted();
    if (failed) throw BenchError(kBadInput, "cannot read the scenario " + source.name);
    if (text.size() > kMaxScenarioBytes) {
        throw BenchError(kBadInput, source.name + ": larger than " + std::to_string(kMaxScenarioBytes >> 20) +
                                        " MB: not a scenario");
    }
    return text;
}

std::string libraryBesideProgram(const std::string& name) {
    const host::HostKind program = host::thisProgram();
    const fs::path self = host::executablePath();
    const std::string file = name + (program.windows ? ".dll" : ".so");
    return (self.empty() ? fs::path(file) : self.parent_path() / file).string();
}

// Throws when the library at path cannot be used by this program.
void checkLibrary(const std::string& path) {
    std::error_code failed;
    if (!fs::is_regular_file(path, failed)) throw BenchError(kBadLibrary, "no plug-in library at " + path);
    std::string bytes;
    if (!host::readFile(path, &bytes)) throw BenchError(kBadLibrary, "cannot read " + path);
    bytes.resize(std::min(bytes.size(), host::kLibraryHeadSize));
    const std::string problem = host::libraryFormatProblem(bytes, host::thisProgram());
    if (!problem.empty()) throw BenchError(kBadLibrary, path + ": " + problem);
}

// Progress on stderr, only when it is a terminal and only once a run has taken a second.
class Progress {
public:
    Progress() : enabled_(bench::isTerminal(stderr)), start_(std::chrono::steady_clock::now()) {}
    ~Progress() { clear(); }
    void show(const std::string& what, std::int64_t done, std::int64_t total) {
        bench::checkInterrupted();
        if (!enabled_ || done % 512 != 0 ||
            std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1))
            return;
        const std::string text = what + ": frame " + std::to_string(done) + " of " + std::to_string(total);
        std::fprintf(stderr, "\r%-78.78s", text.c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    void clear() {
        if (!shown_) return;
        std::fprintf(stderr, "\r%78s\r", "");
        std::fflush(stderr);
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
};

// Runs the scenario against a private copy of the library (see tools/host/private_plugin.h),
// frame by frame into the sink. Returns what the plug-in wrote on stderr at Dispose and unload.
std::vector<std::string> runPrivately(const bench::Scenario& scenario, const std::string& library,
                                      const bench::FrameSink& sink, Progress& progress) {
    host::PrivatePlugin::Options options;
    options.prefix = "bench";
    if (scenario.hasIni) options.ini = scenario.ini;
    options.captureNotices = true;
    std::string error;
    std::unique_ptr<host::PrivatePlugin> plugin = host::PrivatePlugin::open(library, options, &error);
    if (!plugin) throw BenchError(kBadLibrary, library + ": " + error);
    bench::RunHooks hooks;
    hooks.notices = [&] { return plugin->notices(); };
    hooks.tick = [&](std::int64_t done, std::int64_t total) { progress.show(scenario.file, done, total); };
    std::vector<std::string> closing = bench::run(scenario, plugin->api(), sink, hooks);
    for (std::string& notice : plugin->unload()) closing.push_back(std::move(notice));
    return closing;
}

// Writes an output whole, or keeps the old file and throws with the reason.
template <class Write>
void writeOutput(const std::string& path, const std::string& what, const Write& write) {
    bench::AtomicFile file(path);
    write(file.stream());
    bench::checkInterrupted();
    if (!file.commit())
        throw BenchError(kBadOutput, "cannot write the " + what + " " + path + ": " + file.error());
}

// Refuses an output that would overwrite an input or another output.
void checkOutputs(const Options& options, const std::vector<Source>& sources,
                  const std::vector<std::string>& libraries) {
    struct Named {
        const char* option;
        std::string path;
    };
    std::vector<Named> outputs;
    if (!options.csv.empty()) outputs.push_back({"--csv", options.csv});
    if (!options.svg.empty()) outputs.push_back({"--svg", options.svg});
    if (!options.junit.empty()) outputs.push_back({"--junit", options.junit});
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (const Source& source : sources) {
            if (!source.path.empty() && bench::sameFile(outputs[i].path, source.path)) {
                throw BenchError(kBadInput, std::string(outputs[i].option) + " " + outputs[i].path +
                                                " is the scenario " + source.name +
                                                ": refusing to overwrite it");
            }
        }
        for (const std::string& library : libraries) {
            if (bench::sameFile(outputs[i].path, library)) {
                throw BenchError(kBadInput, std::string(outputs[i].option) + " " + outputs[i].path +
                                                " is the plug-in library: refusing to overwrite it");
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (bench::sameFile(outputs[i].path, outputs[j].path)) {
                throw BenchError(kBadInput, std::string(outputs[i].option) + " and " + outputs[j].option +
                                                " name the same file " + outputs[i].path);
            }
        }
    }
}

// What became of one scenario.
struct Outcome {
    std::string name;
    int status = kPassed;
    std::string summary;                // one line
    std::vector<std::string> messages;  // failed expectations, or the errors
    double seconds = 0.0;
};

struct Parsed {
    bench::Scenario scenario;
    std::string library;
    std::vector<bench::MeterSlot> meterSlots;
};

Parsed parseSource(const Source& source, const Options& options) {
    const std::string text = readSource(source);
    bench::ParseResult parsed = bench::parseScenario(text, source.name);
    if (!parsed.errors.empty()) {
        std::string count = std::to_string(parsed.errors.size()) + (parsed.stopped ? " or more" : "");
        std::ostringstream all;
        for (const std::string& message : parsed.errors) all << message << "\n";
        all << "bench: " << count << " error(s) in " << source.name
            << (parsed.stopped ? " (stopped reading)" : "") << "; nothing was run";
        throw BenchError(kBadInput, all.str());
    }
    // What the plug-in will make of the scenario's INI lines, said before the run.
    for (const std::string& warning : bench::scenarioIniWarnings(
             parsed.scenario.plugin, parsed.scenario.ini, parsed.scenario.iniLines, parsed.scenario.file)) {
        std::cerr << warning << "\n";
    }
    // A meter plug-in's INI says which slot shows which reading: that names the slot, unless the
    // scenario labels it, and the chart draws the reading behind it.
    std::vector<bench::MeterSlot> meterSlots = bench::meterSlots(parsed.scenario.plugin, parsed.scenario.ini);
    for (const bench::MeterSlot& meter : meterSlots) {
        if (parsed.scenario.panelLabels[meter.slot].line == 0)
            parsed.scenario.panelLabels[meter.slot].name = meter.key;
    }
    const std::string library =
        fs::absolute(options.plugin.empty() ? libraryBesideProgram(parsed.scenario.plugin) : options.plugin)
            .lexically_normal()
            .string();
    return {std::move(parsed.scenario), library, std::move(meterSlots)};
}

// One scenario with its timeline and outputs, each fed the frames as they come.
int runOne(const Options& options, const Source& source) {
    Parsed parsed = parseSource(source, options);
    const bench::Scenario& scenario = parsed.scenario;
    checkOutputs(options, {source}, {parsed.library});
    checkLibrary(parsed.library);
    bench::TimelineOptions timelineOptions;
    timelineOptions.level = options.level;
    if (!options.only.empty()) {
        const std::string error = bench::parseOnly(options.only, scenario, &timelineOptions);
        if (!error.empty()) throw BenchError(kBadInput, error);
    }
    if ((!options.from.empty() && !bench::parseTimeText(options.from, &timelineOptions.fromMs)) ||
        (!options.to.empty() && !bench::parseTimeText(options.to, &timelineOptions.toMs))) {
        throw BenchError(kBadInput,
                         "--from and --to take a time in seconds (12.5) or milliseconds (12500ms)");
    }
    if (!options.check) {
        // Said first, so that a notice the plug-in shows while it loads reads in context.
        std::cout << "bench: running " << parsed.library << " from a private copy" << std::endl;
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
        for (const bench::MeterSlot& meter : parsed.meterSlots) chart->setRawSource(meter.slot, meter.input);
    }
    std::int64_t frames = 0;
    const bench::FrameSink sink = [&](const bench::FrameRecord& record) {
        ++frames;
        checker.frame(record);
        if (timeline) timeline->frame(record);
        if (csv) csv->frame(record);
        if (chart) chart->frame(record);
    };
    Progress progress;
    const std::vector<std::string> closing = runPrivately(scenario, parsed.library, sink, progress);
    progress.clear();
    const std::vector<std::string> failures = checker.failures();
    if (timeline) {
        timeline->closing(closing);
        std::cout << "\n";
    }
    if (csv) {
        writeOutput(options.csv, "csv", [&](std::ostream& out) { csv->write(out); });
        std::cout << "csv: " << fs::absolute(options.csv).string() << "\n";
    }
    if (chart) {
        writeOutput(options.svg, "chart", [&](std::ostream& out) { chart->write(out, checker.results()); });
        std::cout << "chart: " << fs::absolute(options.svg).string() << "\n";
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
    return failures.empty() ? kPassed : kFailed;
}

Outcome runListed(const Options& options, const Source& source, Progress& progress) {
    Outcome outcome;
    outcome.name = source.name;
    const auto start = std::chrono::steady_clock::now();
    try {
        Parsed parsed = parseSource(source, options);
        checkLibrary(parsed.library);
        bench::Checker checker(parsed.scenario);
        std::int64_t frames = 0;
        runPrivately(
            parsed.scenario, parsed.library,
            [&](const bench::FrameRecord& record) {
                ++frames;
                checker.frame(record);
            },
            progress);
        outcome.messages = checker.failures();
        const std::size_t total = parsed.scenario.expectations.size();
        if (outcome.messages.empty()) {
            outcome.summary =
                std::to_string(total) + " expectation(s) met, " + std::to_string(frames) + " frames";
        } else {
            outcome.status = kFailed;
            outcome.summary = std::to_string(outcome.messages.size()) + " of " + std::to_string(total) +
                              " expectation(s) failed";
        }
    } catch (const BenchError& error) {
        outcome.status = error.status;
        std::istringstream lines(error.what());
        std::string line;
        while (std::getline(lines, line)) outcome.messages.push_back(line);
        outcome.summary =
            outcome.status == kBadInput ? "not run: bad scenario" : "not run: the plug-in could not be used";
    }
    progress.clear();
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

std::string xmlEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                // XML 1.0 has no place for other control characters.
                if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t')
                    escaped += '?';
                else
                    escaped += c;
        }
    }
    return escaped;
}

void writeJunit(std::ostream& out, const std::vector<Outcome>& outcomes) {
    int failures = 0, errors = 0;
    double seconds = 0.0;
    for (const Outcome& o : outcomes) {
        failures += o.status == kFailed;
        errors += o.status != kFailed && o.status != kPassed;
        seconds += o.seconds;
    }
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"bench\" tests=\"" << outcomes.size() << "\" failures=\"" << failures
        << "\" errors=\"" << errors << "\" time=\"" << time << "\">\n"
        << "  <testsuite name=\"bench\" tests=\"" << outcomes.size() << "\" failures=\"" << failures
        << "\" errors=\"" << errors << "\" skipped=\"0\" time=\"" << time << "\">\n";
    for (const Outcome& o : outcomes) {
        std::snprintf(time, sizeof time, "%.3f", o.seconds);
        const std::string stem = fs::path(o.name).stem().string();
        out << "    <testcase classname=\"bench\" name=\"" << xmlEscaped(stem) << "\" file=\""
            << xmlEscaped(o.name) << "\" time=\"" << time << "\"";
        if (o.status == kPassed) {
            out << "/>\n";
            continue;
        }
        std::string body;
        for (const std::string& m : o.messages) body += m + "\n";
        const char* element = o.status == kFailed ? "failure" : "error";
        out << ">\n      <" << element << " message=\"" << xmlEscaped(o.summary) << "\">" << xmlEscaped(body)
            << "</" << element << ">\n    </testcase>\n";
    }
    out << "  </testsuite>\n</testsuites>\n";
}

// Many scenarios (or a JUnit report): one line each, then a summary.
int runMany(const Options& options, const std::vector<Source>& sources) {
    if (!options.csv.empty() || !options.svg.empty())
        throw BenchError(kBadInput, "--csv and --svg take one scenario");
    // The scenarios are read one by one later: every library beside the program may be one's plug-in.
    std::vector<std::string> libraries;
    if (!options.plugin.empty()) libraries.push_back(options.plugin);
    const fs::path self = host::executablePath();
    std::error_code unlisted;  // a folder that cannot be listed holds no library to protect
    if (!self.empty()) {
        for (const auto& entry : fs::directory_iterator(self.parent_path(), unlisted)) {
            const fs::path extension = entry.path().extension();
            if (extension == ".so" || extension == ".dll") libraries.push_back(entry.path().string());
        }
    }
    checkOutputs(options, sources, libraries);
    std::vector<Outcome> outcomes;
    int status = kPassed;
    int passed = 0;
    int failed = 0;
    Progress progress;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        Outcome outcome = runListed(options, sources[i], progress);
        std::cout << (outcome.status == kPassed   ? "ok     "
                      : outcome.status == kFailed ? "FAILED "
                                                  : "ERROR  ")
                  << outcome.name << ": " << outcome.summary << "\n";
        if (outcome.status != kPassed) {
            for (const std::string& message : outcome.messages) std::cout << "       " << message << "\n";
        }
        std::cout.flush();
        status = std::max(status, outcome.status);
        passed += outcome.status == kPassed;
        failed += outcome.status == kFailed;
        outcomes.push_back(std::move(outcome));
    }
    if (!options.junit.empty()) {
        writeOutput(options.junit, "JUnit report", [&](std::ostream& out) { writeJunit(out, outcomes); });
    }
    std::cout << "bench: " << sources.size() << " scenario(s): " << passed << " passed, " << failed
              << " failed, " << sources.size() - static_cast<std::size_t>(passed + failed) << " not run\n";
    return status;
}

int runBench(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "ini") {
        return bench::iniCommand(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
    }
    Options options;
    if (!parseOptions(argc, argv, &options)) return kPassed;
    const std::vector<Source> sources = expandSources(options.scenarios);
    const bool single = sources.size() == 1 && options.scenarios.size() == 1 && options.junit.empty() &&
                        (sources[0].path.empty() || !fs::is_directory(options.scenarios[0]));
    return single ? runOne(options, sources[0]) : runMany(options, sources);
}

}  // namespace

int main(int argc, char** argv) {
    bench::catchInterruptions();
    int interruption = 0;
    int status = kPassed;
    try {
        status = runBench(argc, argv);
    } catch (const BenchError& error) {
        std::cout.flush();
        const std::string message = error.what();
        // A scenario's errors come as lines of their own, the last one the bench's summary.
        std::cerr << (message.find('\n') == std::string::npos ? "bench: " : "") << message << "\n";
        status = error.status;
    } catch (const bench::Interrupted& stop) {
        interruption = stop.signal;  // everything made was removed while unwinding
    } catch (const std::exception& error) {
        std::cerr << "bench: " << error.what() << "\n";
        status = kBadLibrary;
    }
    if (interruption != 0) {
        std::cout.flush();
        std::cerr << "\nbench: interrupted; the temporary folder was removed\n";
        bench::endAsInterrupted(interruption);
    }
    return status;
}
