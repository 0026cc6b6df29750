// See tools/bench/scenario.h. The format is line-oriented: one statement per line, words separated
// by blanks, '#' starting a comment; times are seconds unless they end in "ms".
#include "tools/bench/scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <sstream>

namespace bench {
namespace {

using Words = std::vector<std::string>;

struct LineError {
    std::string what;
};

Words split(const std::string& text) {
    Words words;
    std::istringstream in(text);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

// Cuts a comment: '#' at the start of the line or after a blank.
std::string withoutComment(const std::string& line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    }
    return line;
}

// A name the user wrote, in a message: cut to a readable length (see quoted for quoted text).
std::string clipped(const std::string& text) { return text.size() <= 40 ? text : text.substr(0, 40) + "..."; }

[[noreturn]] void fail(const std::string& what) { throw LineError{what}; }

// The decimals a number was written with: 2 for "30.25", 0 for "30", 3 for "1.5e-2"; at most 9.
int decimalsWritten(const std::string& word) {
    const std::size_t exponent = word.find_first_of("eE");
    const std::string mantissa = word.substr(0, exponent);
    const std::size_t point = mantissa.find('.');
    int decimals = point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
    if (exponent != std::string::npos) {
        int power = 0;
        const char* begin = word.data() + exponent + 1;
        if (*begin == '+') ++begin;
        std::from_chars(begin, word.data() + word.size(), power);
        decimals -= std::clamp(power, -20, 20);
    }
    return std::clamp(decimals, 0, 9);
}

std::int32_t parseInt(const std::string& word, const std::string& what) {
    std::int64_t value = 0;
    const char* begin = word.data();
    const char* end = begin + word.size();
    std::from_chars_result result{};
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        result = std::from_chars(begin + 2, end, value, 16);
    } else {
        result = std::from_chars(begin, end, value);
    }
    if (word.empty() || result.ec != std::errc() || result.ptr != end ||
        value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        fail("expected " + what + " (a whole number), got " + quoted(word));
    }
    return static_cast<std::int32_t>(value);
}

double parseNumber(const std::string& word, const std::string& what) {
    double value = 0.0;
    const char* begin = word.data();
    const char* end = begin + word.size();
    if (!word.empty() && word[0] == '+') ++begin;
    const auto result = std::from_chars(begin, end, value);
    if (word.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
        fail("expected " + what + " (a number), got " + quoted(word));
    }
    return value;
}

// A time: seconds ("12.5", "12.5s") or milliseconds ("12500ms"), not negative, whole milliseconds.
std::int32_t parseTime(const std::string& word, const std::string& what) {
    std::string number = word;
    double scale = 1000.0;
    if (number.size() > 2 && number.compare(number.size() - 2, 2, "ms") == 0) {
        number.resize(number.size() - 2);
        scale = 1.0;
    } else if (number.size() > 1 && number.back() == 's') {
        number.pop_back();
    }
    double value = 0.0;
    try {
        value = parseNumber(number, what);
    } catch (const LineError&) {
        fail("expected " + what + " (seconds, or milliseconds with 'ms'), got " + quoted(word));
    }
    const double ms = value * scale;
    if (ms < 0.0 || ms > 2.0e9) fail(what + " must lie between 0 and 2000000 s, got " + quoted(word));
    const double whole = std::round(ms);
    if (std::fabs(ms - whole) > 1e-6) fail(what + " must be whole milliseconds, got " + quoted(word));
    return static_cast<std::int32_t>(whole);
}

// A clock reading: H:MM:SS (seconds may have a fraction) or plain seconds.
std::int32_t parseClock(const std::string& word) {
    const std::size_t first = word.find(':');
    if (first == std::string::npos) return parseTime(word, "a clock time");
    const std::size_t second = word.find(':', first + 1);
    if (second == std::string::npos) fail("expected a clock time H:MM:SS, got " + quoted(word));
    const std::int32_t hours = parseInt(word.substr(0, first), "hours");
    const std::int32_t minutes = parseInt(word.substr(first + 1, second - first - 1), "minutes");
    const std::int32_t seconds = parseTime(word.substr(second + 1), "seconds");
    if (hours < 0 || hours > 500 || minutes < 0 || minutes > 59 || seconds >= 60000) {
        fail("expected a clock time H:MM:SS, got " + quoted(word));
    }
    return (hours * 60 + minutes) * 60000 + seconds;
}

std::int32_t parseKey(const std::string& word) {
    if (word.size() == 1) {
        const char c = word[0];
        if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    }
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        const std::int32_t code = parseInt(word, "a virtual-key code");
        if (code >= 0 && code <= 255) return code;
    }
    fail("expected a key (a letter, a digit or a virtual-key code 0x00 to 0xFF), got " + quoted(word));
}

const std::map<std::string, std::int32_t>& commandNames() {
    static const std::map<std::string, std::int32_t> names{
        {"SoundStop", frame::SoundStop},
        {"SoundLoop", frame::SoundLoop},
        {"SoundOnce", frame::SoundOnce},
        {"SoundKeep", frame::SoundKeep},
        {"ConstantSpeedKeep", frame::ConstantSpeedKeep},
        {"ConstantSpeedOff", frame::ConstantSpeedOff},
    };
    return names;
}

void expectCount(const Words& words, std::size_t count, const std::string& form) {
    if (words.size() != count) fail("expected '" + form + "'");
}

bool channelFromName(const std::string& word, Channel* channel) {
    for (int i = 0; i < kChannelCount; ++i) {
        if (word == channelName(static_cast<Channel>(i))) {
            *channel = static_cast<Channel>(i);
            return true;
        }
    }
    return false;
}

// Parses "expect OUTPUT [SLOT] OP VALUE" or "expect panel|sound SLOT|all untouched" from words[i].
Expectation parseExpect(const Words& words, std::size_t i) {
    static const std::map<std::string, Output> outputs{
        {"brake", Output::Brake},       {"power", Output::Power},
        {"reverser", Output::Reverser}, {"constantSpeed", Output::ConstantSpeed},
        {"panel", Output::Panel},       {"sound", Output::Sound},
        {"speed", Output::Speed},       {"position", Output::Position},
    };
    static const std::map<std::string, Compare> compares{
        {"=", Compare::Equal},           {"==", Compare::Equal},
        {"!=", Compare::NotEqual},       {"<", Compare::Less},
        {"<=", Compare::LessOrEqual},    {">", Compare::Greater},
        {">=", Compare::GreaterOrEqual},
    };
    const std::string form =
        "expect OUTPUT OP VALUE' or 'expect panel|sound SLOT OP VALUE' or 'expect panel|sound SLOT|all "
        "untouched";
    Expectation expectation{};
    if (i >= words.size()) fail("expected '" + form + "'");
    const auto output = outputs.find(words[i]);
    if (output == outputs.end()) {
        fail(
            "expected an output (brake, power, reverser, constantSpeed, panel, sound, speed, position), "
            "got " +
            quoted(words[i]));
    }
    expectation.output = output->second;
    ++i;
    expectation.slot = 0;
    const bool slotted = expectation.output == Output::Panel || expectation.output == Output::Sound;
    if (slotted) {
        if (i >= words.size())
            fail("expected a slot number (0 to 255) or 'all' after " + quoted(words[i - 1]));
        if (words[i] == "all") {
            expectation.slot = kAllSlots;
        } else {
            expectation.slot = parseInt(words[i], "a slot number (0 to 255)");
            if (expectation.slot < 0 || expectation.slot > 255) {
                fail("expected a slot number (0 to 255), got " + quoted(words[i]));
            }
        }
        ++i;
    }
    if (i < words.size() && words[i] == "untouched") {
        if (!slotted) fail("only panel and sound slots can be expected untouched");
        if (i + 1 != words.size()) fail("expected nothing after 'untouched'");
        expectation.compare = Compare::Untouched;
        return expectation;
    }
    if (expectation.slot == kAllSlots) fail("'all' slots can only be expected untouched");
    if (i + 2 != words.size() && !(i + 4 == words.size() && words[i + 2] == "+-")) {
        fail("expected '" + form + "', a value optionally followed by '+- TOLERANCE'");
    }
    const auto compare = compares.find(words[i]);
    if (compare == compares.end()) fail("expected a comparison (= != < <= > >=), got " + quoted(words[i]));
    expectation.compare = compare->second;
    const auto name = commandNames().find(words[i + 1]);
    if (name != commandNames().end()) {
        expectation.value = name->second;
    } else if (expectation.output == Output::Speed || expectation.output == Output::Position) {
        expectation.value = parseNumber(words[i + 1], "a value");
        expectation.decimals = decimalsWritten(words[i + 1]);
        // Half a unit of the last decimal written: "30.1" stands for anything that shows as 30.1.
        expectation.tolerance = 0.5 * std::pow(10.0, -expectation.decimals);
    } else {
        expectation.value = parseInt(words[i + 1], "a value");
    }
    if (i + 4 == words.size()) {
        expectation.tolerance = parseNumber(words[i + 3], "a tolerance");
        expectation.toleranceGiven = true;
        if (expectation.tolerance < 0.0)
            fail("a tolerance must not be negative, got " + quoted(words[i + 3]));
        expectation.decimals = std::max(expectation.decimals, decimalsWritten(words[i + 3]));
    }
    return expectation;
}

// A statement after "at TIME": a keyframe, an event or an expectation.
void parseTimed(Scenario& scenario, std::int32_t time, const Words& words, std::size_t i, int line,
                const std::string& text) {
    if (i >= words.size()) fail("expected a keyframe, an event or 'expect' after the time");
    const std::string& what = words[i];
    Channel channel{};
    if (channelFromName(what, &channel)) {
        expectCount(words, i + 2, "at TIME " + what + " VALUE");
        scenario.keyframes[static_cast<std::size_t>(channel)].push_back(
            {time, parseNumber(words[i + 1], what), line});
        return;
    }
    if (what == "expect") {
        Expectation expectation = parseExpect(words, i + 1);
        expectation.line = line;
        expectation.fromMs = time;
        expectation.toMs = time;
        expectation.text = text;
        scenario.expectations.push_back(expectation);
        return;
    }
    Event event{time, EventKind::SetPower, 0, 0, "", line};
    if (what == "power" || what == "brake" || what == "reverser") {
        expectCount(words, i + 2, "at TIME " + what + " NOTCH");
        event.kind = what == "power"   ? EventKind::SetPower
                     : what == "brake" ? EventKind::SetBrake
                                       : EventKind::SetReverser;
        event.value = parseInt(words[i + 1], "a notch");
        event.text = (what == "power"   ? "SetPower "
                      : what == "brake" ? "SetBrake "
                                        : "SetReverser ") +
                     words[i + 1];
    } else if (what == "key" || what == "host-key") {
        expectCount(words, i + 3, "at TIME " + what + (what == "key" ? " KEY down|up" : " NUMBER down|up"));
        const std::string& how = words[i + 2];
        if (how != "down" && how != "up") fail("expected 'down' or 'up', got " + quoted(how));
        const bool down = how == "down";
        if (what == "key") {
            event.kind = down ? EventKind::KeyboardDown : EventKind::KeyboardUp;
            event.value = parseKey(words[i + 1]);
            event.text = "key " + words[i + 1] + " " + how;
        } else {
            event.kind = down ? EventKind::KeyDown : EventKind::KeyUp;
            event.value = parseInt(words[i + 1], "a key number");
            event.text = (down ? "KeyDown " : "KeyUp ") + words[i + 1];
        }
    } else if (what == "horn") {
        expectCount(words, i + 2, "at TIME horn NUMBER");
        event.kind = EventKind::HornBlow;
        event.value = parseInt(words[i + 1], "a horn number");
        event.text = "HornBlow " + words[i + 1];
    } else if (what == "doors") {
        expectCount(words, i + 2, "at TIME doors open|close");
        if (words[i + 1] != "open" && words[i + 1] != "close")
            fail("expected 'open' or 'close', got " + quoted(words[i + 1]));
        event.kind = words[i + 1] == "open" ? EventKind::DoorOpen : EventKind::DoorClose;
        event.text = words[i + 1] == "open" ? "DoorOpen" : "DoorClose";
    } else if (what == "signal") {
        expectCount(words, i + 2, "at TIME signal ASPECT");
        event.kind = EventKind::SetSignal;
        event.value = parseInt(words[i + 1], "a signal aspect");
        event.text = "SetSignal " + words[i + 1];
    } else if (what == "beacon") {
        if (words.size() != i + 2 && words.size() != i + 3) fail("expected 'at TIME beacon TYPE [OPTIONAL]'");
        event.kind = EventKind::SetBeaconData;
        event.value = parseInt(words[i + 1], "a beacon type");
        event.optional = words.size() == i + 3 ? parseInt(words[i + 2], "the beacon's optional number") : 0;
        event.text = "beacon " + words[i + 1] + " optional " + std::to_string(event.optional);
    } else if (what == "clock") {
        expectCount(words, i + 2, "at TIME clock H:MM:SS");
        event.kind = EventKind::SetClock;
        event.value = parseClock(words[i + 1]);
        event.text = "clock set to " + words[i + 1];
    } else if (what == "initialize") {
        if (words.size() != i + 1 && words.size() != i + 2) fail("expected 'at TIME initialize [ARGUMENT]'");
        event.kind = EventKind::Initialize;
        event.value = words.size() == i + 2 ? parseInt(words[i + 1], "an argument") : 0;
        event.text = "Initialize";
    } else {
        fail(
            "expected a keyframe (speed, bc, mr, er, bp, sap, current, position), an event (power, brake, "
            "reverser, key, host-key, horn, doors, signal, beacon, initialize, clock) or 'expect', got " +
            quoted(what));
    }
    scenario.events.push_back(event);
}

std::vector<double> parseRates(const Words& words, std::size_t from, const std::string& what) {
    if (from >= words.size()) fail("expected one " + what + " rate (km/h per second) per notch");
    std::vector<double> rates;
    for (std::size_t i = from; i < words.size(); ++i) {
        const double rate = parseNumber(words[i], what + " rate");
        if (rate < 0.0) fail(what + " rates must not be negative, got " + quoted(words[i]));
        rates.push_back(rate);
    }
    return rates;
}

void parseVehicle(Scenario& scenario, const Words& words) {
    if (words.size() < 3 || words.size() % 2 == 0)
        fail("expected 'vehicle NAME VALUE ...' (brake-notches, power-notches, ...)");
    for (std::size_t i = 1; i + 1 < words.size(); i += 2) {
        const std::int32_t value = parseInt(words[i + 1], clipped(words[i]));
        const bool notches = words[i] == "brake-notches" || words[i] == "power-notches";
        if (notches && (value < 1 || value > kMaxNotches)) {
            fail(words[i] + " must lie between 1 and " + std::to_string(kMaxNotches) + ", got " +
                 quoted(words[i + 1]));
        }
        if (words[i] == "brake-notches")
            scenario.vehicle.brakeNotches = value;
        else if (words[i] == "power-notches")
            scenario.vehicle.powerNotches = value;
        else if (words[i] == "extra1")
            scenario.vehicle.extra1 = value;
        else if (words[i] == "extra2")
            scenario.vehicle.extra2 = value;
        else if (words[i] == "extra3")
            scenario.vehicle.extra3 = value;
        else
            fail("expected brake-notches, power-notches, extra1, extra2 or extra3, got " + quoted(words[i]));
    }
}

// "label panel|sound SLOT NAME": a name for a slot, shown wherever the slot is.
void parseLabel(Scenario& scenario, const Words& words, int line) {
    if (words.size() != 4 || (words[1] != "panel" && words[1] != "sound"))
        fail("expected 'label panel|sound SLOT NAME' (one word, such as doors-closed)");
    const std::int32_t slot = parseInt(words[2], "a slot number (0 to 255)");
    if (slot < 0 || slot >= frame::kSlotCount)
        fail("expected a slot number (0 to 255), got " + quoted(words[2]));
    const std::string& name = words[3];
    if (name.size() > kMaxLabelLength) {
        fail("a label has at most " + std::to_string(kMaxLabelLength) + " characters, got " +
             std::to_string(name.size()));
    }
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.';
        if (!plain) fail("a label is letters, digits, '-', '_' and '.', got " + quoted(name));
    }
    SlotLabel& label =
        (words[1] == "panel" ? scenario.panelLabels : scenario.soundLabels)[static_cast<std::size_t>(slot)];
    if (label.line) {
        fail(words[1] + " " + words[2] + " is already labelled on line " + std::to_string(label.line));
    }
    label = {name, line};
}

struct Seen {
    int plugin = 0;
    int end = 0;
    int vehicle = 0;  // the last vehicle line
};

void parseLine(Scenario& scenario, Seen& seen, const std::string& raw, int line) {
    const std::string text = withoutComment(raw);
    const Words words = split(text);
    if (words.empty()) return;
    const std::string& head = words[0];
    if (head == "title") {
        const std::size_t start = text.find("title") + 5;
        const std::size_t first = text.find_first_not_of(" \t", start);
        const std::size_t last = text.find_last_not_of(" \t");
        scenario.title = first == std::string::npos ? std::string() : text.substr(first, last + 1 - first);
    } else if (head == "plugin") {
        expectCount(words, 2, "plugin NAME");
        if (seen.plugin) fail("the plug-in is already named on line " + std::to_string(seen.plugin));
        if (!isBarePluginName(words[1])) {
            fail("expected a plug-in name such as Tavrel, not a path, got " + quoted(words[1]) +
                 ": the bench loads plug-ins from its own folder; run a library elsewhere with "
                 "'--plugin PATH' on the command line");
        }
        scenario.plugin = words[1];
        seen.plugin = line;
    } else if (head == "vehicle") {
        seen.vehicle = line;
        parseVehicle(scenario, words);
    } else if (head == "step") {
        expectCount(words, 2, "step TIME");
        const std::int32_t step = parseTime(words[1], "the frame step");
        if (step <= 0) fail("the frame step must be at least 1 ms");
        scenario.stepMs = step;  // only a good step is kept: the checks below divide by it
    } else if (head == "end") {
        expectCount(words, 2, "end TIME");
        scenario.endMs = parseTime(words[1], "the end time");
        seen.end = line;
    } else if (head == "clock") {
        expectCount(words, 2, "clock H:MM:SS");
        scenario.clockMs = parseClock(words[1]);
    } else if (head == "start-position") {
        expectCount(words, 2, "start-position METRES");
        scenario.startPosition = parseNumber(words[1], "a position in metres");
    } else if (head == "model") {
        if (words.size() < 2) fail("expected 'model power|brake RATES...' or 'model grade RATE'");
        scenario.model.enabled = true;
        if (!scenario.model.firstLine) scenario.model.firstLine = line;
        // The line is noted first: a list refused here is not blamed again by the whole-model check.
        if (words[1] == "power") {
            scenario.model.powerLine = line;
            scenario.model.power = parseRates(words, 2, "power");
        } else if (words[1] == "brake") {
            scenario.model.brakeLine = line;
            scenario.model.brake = parseRates(words, 2, "brake");
        } else if (words[1] == "grade") {
            expectCount(words, 3, "model grade RATE");
            scenario.model.grade = parseNumber(words[2], "a grade rate");
        } else {
            fail("expected 'power', 'brake' or 'grade' after 'model', got " + quoted(words[1]));
        }
    } else if (head == "label") {
        parseLabel(scenario, words, line);
    } else if (head == "at") {
        if (words.size() < 2) fail("expected 'at TIME ...'");
        parseTimed(scenario, parseTime(words[1], "a time"), words, 2, line, text);
    } else if (head == "from") {
        if (words.size() < 5 || words[2] != "to" || words[4] != "expect")
            fail("expected 'from TIME to TIME|end expect ...'");
        Expectation expectation = parseExpect(words, 5);
        expectation.line = line;
        expectation.fromMs = parseTime(words[1], "a time");
        expectation.toMs =
            words[3] == "end" ? std::numeric_limits<std::int32_t>::max() : parseTime(words[3], "a time");
        if (expectation.toMs < expectation.fromMs) fail("the range ends before it starts");
        expectation.text = text;
        scenario.expectations.push_back(expectation);
    } else if (isReplayStatement(head)) {
        const std::string problem = parseReplayStatement(scenario.replay, words, line);
        if (!problem.empty()) fail(problem);
    } else {
        fail(
            "expected a statement (title, plugin, ini, vehicle, step, end, clock, start-position, model, "
            "label, at, from, call, keys, frame), got " +
            quoted(head));
    }
}

std::string trimmedLine(const std::string& text) {
    std::string copy = withoutComment(text);
    const std::size_t last = copy.find_last_not_of(" \t");
    return last == std::string::npos ? std::string() : copy.substr(0, last + 1);
}

}  // namespace

const char* channelName(Channel channel) {
    switch (channel) {
        case Channel::Speed:
            return "speed";
        case Channel::Bc:
            return "bc";
        case Channel::Mr:
            return "mr";
        case Channel::Er:
            return "er";
        case Channel::Bp:
            return "bp";
        case Channel::Sap:
            return "sap";
        case Channel::Current:
            return "current";
        case Channel::Position:
            return "position";
    }
    return "?";
}

bool parseTimeText(const std::string& text, std::int32_t* ms) {
    try {
        *ms = parseTime(text, "a time");
        return true;
    } catch (const LineError&) {
        return false;
    }
}

std::string soundName(std::int32_t value) {
    switch (value) {
        case frame::SoundStop:
            return "SoundStop";
        case frame::SoundLoop:
            return "SoundLoop";
        case frame::SoundOnce:
            return "SoundOnce";
        case frame::SoundKeep:
            return "SoundKeep";
        default:
            return std::to_string(value);
    }
}

namespace {

std::string secondsText(std::int64_t ms) {
    std::ostringstream text;
    text << static_cast<double>(ms) / 1000.0 << " s";
    return text.str();
}

// Says why text is no scenario at all (binary, or UTF-16), or returns an empty string.
std::string notTextProblem(const std::string& text) {
    if (text.size() >= 2 &&
        ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
        return "not a text file: it is UTF-16; save it as UTF-8";
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) return "not a text file (a zero byte at byte " + std::to_string(nul) + ")";
    return {};
}

// The frame that an event timed at timeMs reaches: the first frame at or after it.
std::int64_t frameOf(std::int32_t timeMs, std::int32_t stepMs) {
    return (static_cast<std::int64_t>(timeMs) + stepMs - 1) / stepMs * stepMs;
}

// An event whose effect a later event of the same kind replaces before the plug-in can see it: a
// key of the keyboard (the plug-in reads the keyboard in a frame, so a press and a release before
// the same frame is no press at all), or the clock. Calls all reach the plug-in and never clash.
std::string stateOf(const Event& event) {
    switch (event.kind) {
        case EventKind::KeyboardDown:
        case EventKind::KeyboardUp:
            return "key " + std::to_string(event.value);
        case EventKind::SetClock:
            return "clock";
        default:
            return {};
    }
}

}  // namespace

bool isBarePluginName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name[0] == '.') return false;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.';
        if (!plain) return false;
    }
    return name.find("..") == std::string::npos;
}

std::string quoted(const std::string& text) {
    std::string shown = text.substr(0, kMaxQuoted);
    for (char& c : shown) {
        if ((c >= 0 && c < ' ') || c == 0x7F) c = '?';
    }
    if (text.size() > kMaxQuoted) shown += "... (" + std::to_string(text.size()) + " bytes)";
    return "'" + shown + "'";
}

ParseResult parseScenario(const std::string& input, const std::string& file) {
    ParseResult result;
    Scenario& scenario = result.scenario;
    scenario.file = file;
    Seen seen;
    std::set<int> refusedLines;  // whole-file checks do not blame these lines again
    auto error = [&](int at, const std::string& what) {
        if (result.errors.size() >= kMaxErrors) {
            result.stopped = true;
            return;
        }
        result.errors.push_back(file + ":" + std::to_string(at) + ": " + what);
        refusedLines.insert(at);
    };
    const std::string problem = notTextProblem(input);
    if (!problem.empty()) {
        result.errors.push_back(file + ": " + problem);
        return result;
    }
    // A byte-order mark, as some Windows editors write at the start of a UTF-8 file, is no text.
    const bool bom = input.compare(0, 3, "\xEF\xBB\xBF") == 0;
    std::istringstream in(bom ? input.substr(3) : input);
    std::string raw;
    int line = 0;
    while (std::getline(in, raw)) {
        ++line;
        if (result.stopped) break;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        // An INI line is taken as written, '#' and all: "ini" and one blank, then the line.
        const std::size_t start = raw.find_first_not_of(" \t");
        if (start != std::string::npos && raw.compare(start, 3, "ini") == 0 &&
            (raw.size() == start + 3 || raw[start + 3] == ' ' || raw[start + 3] == '\t')) {
            scenario.hasIni = true;
            scenario.iniLines.push_back(line);
            scenario.ini += (raw.size() > start + 4 ? raw.substr(start + 4) : std::string()) + "\r\n";
            continue;
        }
        try {
            parseLine(scenario, seen, raw, line);
        } catch (const LineError& e) {
            error(line, e.what + " in " + quoted(trimmedLine(raw)));
        }
    }
    if (result.stopped) return result;
    // Checks that need the whole file. What is missing is reported at the last line (line 1 of an
    // empty file, as an editor shows it).
    line = std::max(line, 1);
    if (!seen.plugin) error(line, "expected a 'plugin NAME' line");
    if (!seen.end && scenario.replay.steps.empty()) error(line, "expected an 'end TIME' line");
    finishReplay(scenario, result.errors);
    if (seen.end && scenario.endMs / scenario.stepMs + 1 > kMaxFrames) {
        error(seen.end, "the run has " + std::to_string(scenario.endMs / scenario.stepMs + 1) +
                            " frames, more than " + std::to_string(kMaxFrames) +
                            ": lengthen the step or shorten the run");
    }
    std::stable_sort(scenario.events.begin(), scenario.events.end(),
                     [](const Event& a, const Event& b) { return a.timeMs < b.timeMs; });
    // Every event must reach the plug-in: it is made before the first frame at or after its time,
    // so it needs such a frame, and no later event may undo it before that frame.
    const std::int64_t lastFrame = scenario.endMs - scenario.endMs % scenario.stepMs;
    std::map<std::string, const Event*> pending;  // per key or clock: the last event not yet seen
    for (const Event& event : scenario.events) {
        if (!seen.end) break;
        if (event.timeMs > scenario.endMs) {
            error(event.line, "this event lies after the end of the run");
            continue;
        }
        const std::int64_t frame = frameOf(event.timeMs, scenario.stepMs);
        if (frame > lastFrame) {
            error(event.line, "this event at " + secondsText(event.timeMs) + " comes after the last frame (" +
                                  secondsText(lastFrame) + ", frames every " +
                                  std::to_string(scenario.stepMs) +
                                  " ms), so it would never reach the plug-in: end the run at " +
                                  secondsText(frame) + " or later");
            continue;
        }
        const std::string state = stateOf(event);
        if (state.empty()) continue;
        const auto earlier = pending.find(state);
        if (earlier != pending.end() && frameOf(earlier->second->timeMs, scenario.stepMs) == frame) {
            error(earlier->second->line,
                  "'" + earlier->second->text + "' would never reach the plug-in: line " +
                      std::to_string(event.line) + " ('" + event.text +
                      "') replaces it before the frame at " + secondsText(frame) + "; the plug-in sees the " +
                      (event.kind == EventKind::SetClock ? "clock" : "keyboard") + " only in a frame");
        }
        pending[state] = &event;
    }
    for (const Expectation& expectation : scenario.expectations) {
        if (!seen.end) break;
        if (expectation.fromMs > scenario.endMs)
            error(expectation.line, "this expectation lies after the end of the run");
        else if (expectation.fromMs == expectation.toMs && expectation.fromMs % scenario.stepMs != 0) {
            error(expectation.line, "no frame at " + std::to_string(expectation.fromMs) +
                                        " ms: frames come every " + std::to_string(scenario.stepMs) + " ms");
        }
    }
    const TrainModel& model = scenario.model;
    if (model.enabled && !refusedLines.count(seen.vehicle)) {
        const auto brakes = static_cast<std::size_t>(std::max(scenario.vehicle.brakeNotches, 0)) + 1;
        const auto powers = static_cast<std::size_t>(std::max(scenario.vehicle.powerNotches, 0));
        // Each error names the line that holds the fault: the rate list, or the first model line
        // when the list is missing; the keyframe the model leaves no room for. A rate list already
        // refused is not blamed twice.
        if (model.brake.size() != brakes && !refusedLines.count(model.brakeLine)) {
            error(model.brakeLine ? model.brakeLine : model.firstLine,
                  "the train model needs " + std::to_string(brakes) +
                      " brake rates (one per brake notch, the emergency notch last), got " +
                      std::to_string(model.brake.size()));
        }
        if (model.power.size() != powers && !refusedLines.count(model.powerLine)) {
            error(model.powerLine ? model.powerLine : model.firstLine,
                  "the train model needs " + std::to_string(powers) +
                      " power rates (one per power notch), got " + std::to_string(model.power.size()));
        }
    }
    if (model.enabled) {
        const auto& speeds = scenario.keyframes[static_cast<std::size_t>(Channel::Speed)];
        const auto& positions = scenario.keyframes[static_cast<std::size_t>(Channel::Position)];
        if (speeds.size() > 1) {
            error(speeds[1].line,
                  "with a train model the speed comes from the model: give at most one speed keyframe");
        }
        if (!positions.empty()) {
            error(positions.front().line,
                  "with a train model the position comes from the model: give no position keyframes");
        }
    }
    for (auto& keyframes : scenario.keyframes) {
        std::stable_sort(keyframes.begin(), keyframes.end(),
                         [](const Keyframe& a, const Keyframe& b) { return a.timeMs < b.timeMs; });
    }
    return result;
}

double valueAt(const std::vector<Keyframe>& keyframes, std::int32_t timeMs, double fallback) {
    if (keyframes.empty()) return fallback;
    if (timeMs < keyframes.front().timeMs) return keyframes.front().value;
    // The last keyframe at or before the time; with two at one time, the later one. A binary
    // search, so a long recording with many keyframes costs little per frame.
    const auto after = std::upper_bound(keyframes.begin(), keyframes.end(), timeMs,
                                        [](std::int32_t t, const Keyframe& k) { return t < k.timeMs; });
    const auto i = static_cast<std::size_t>(after - keyframes.begin()) - 1;
    if (i + 1 == keyframes.size()) return keyframes[i].value;
    const Keyframe& a = keyframes[i];
    const Keyframe& b = keyframes[i + 1];
    const double fraction = static_cast<double>(timeMs - a.timeMs) / static_cast<double>(b.timeMs - a.timeMs);
    return a.value + (b.value - a.value) * fraction;
}

}  // namespace bench
