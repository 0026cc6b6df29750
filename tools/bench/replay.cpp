// See tools/bench/replay.h and tools/bench/replay_run.h.
#include "tools/bench/replay.h"

#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "tools/bench/replay_run.h"
#include "tools/bench/scenario.h"

namespace bench {
namespace {

struct Bad {
    std::string what;
};

std::string quoted(const std::string& word) { return "'" + word + "'"; }

std::int32_t integer(const std::string& word, const char* what) {
    std::int64_t value = 0;
    const char* begin = word.data();
    const char* end = begin + word.size();
    std::from_chars_result result{};
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X'))
        result = std::from_chars(begin + 2, end, value, 16);
    else
        result = std::from_chars(begin, end, value);
    if (word.empty() || result.ec != std::errc() || result.ptr != end ||
        value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw Bad{std::string("expected ") + what + " (a whole number), got " + quoted(word)};
    return static_cast<std::int32_t>(value);
}

// Floats are read straight into their own type, so a value the recorder wrote reads back exactly
// (no rounding through a double). "nan" and "inf" are accepted.
template <class T>
T real(const std::string& word, const char* what) {
    T value{};
    const char* begin = word.data();
    const char* end = begin + word.size();
    const auto result = std::from_chars(begin, end, value);
    if (word.empty() || result.ec != std::errc() || result.ptr != end)
        throw Bad{std::string("expected ") + what + " (a number), got " + quoted(word)};
    return value;
}

struct CallName {
    const char* name;
    ReplayCall call;
    std::size_t values;
};

constexpr CallName kCalls[] = {
    {"Load", ReplayCall::Load, 0},
    {"Dispose", ReplayCall::Dispose, 0},
    {"GetPluginVersion", ReplayCall::GetPluginVersion, 1},
    {"SetVehicleSpec", ReplayCall::SetVehicleSpec, 5},
    {"Initialize", ReplayCall::Initialize, 1},
    {"SetPower", ReplayCall::SetPower, 1},
    {"SetBrake", ReplayCall::SetBrake, 1},
    {"SetReverser", ReplayCall::SetReverser, 1},
    {"KeyDown", ReplayCall::KeyDown, 1},
    {"KeyUp", ReplayCall::KeyUp, 1},
    {"HornBlow", ReplayCall::HornBlow, 1},
    {"DoorOpen", ReplayCall::DoorOpen, 0},
    {"DoorClose", ReplayCall::DoorClose, 0},
    {"SetSignal", ReplayCall::SetSignal, 1},
    {"SetBeaconData", ReplayCall::SetBeaconData, 4},
};

ReplayStep parseCall(const std::vector<std::string>& words) {
    if (words.size() < 2) throw Bad{"expected 'call NAME ARGUMENTS...'"};
    for (const CallName& entry : kCalls) {
        if (words[1] != entry.name) continue;
        if (words.size() != 2 + entry.values) {
            throw Bad{"expected " + std::to_string(entry.values) + " number(s) after 'call " + words[1] +
                      "'"};
        }
        ReplayStep step;
        step.kind = ReplayStep::Kind::Call;
        step.call = entry.call;
        step.text = words[1];
        for (std::size_t i = 0; i < entry.values; ++i) {
            if (entry.call == ReplayCall::SetBeaconData && i == 2)
                step.distance = real<float>(words[2 + i], "a distance");
            else
                step.values[i] = integer(words[2 + i], "an argument");
            if (entry.call != ReplayCall::GetPluginVersion) step.text += " " + words[2 + i];
        }
        return step;
    }
    std::string names;
    for (const CallName& entry : kCalls) names += (names.empty() ? "" : ", ") + std::string(entry.name);
    throw Bad{"expected an entry point (" + names + "), got " + quoted(words[1])};
}

ReplayStep parseKeys(const std::vector<std::string>& words) {
    if (words.size() < 2) throw Bad{"expected 'keys KEY=STATE ...'"};
    ReplayStep step;
    step.kind = ReplayStep::Kind::Keys;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::size_t equals = words[i].find('=');
        if (equals == std::string::npos) throw Bad{"expected KEY=STATE, got " + quoted(words[i])};
        const std::int32_t key = integer(words[i].substr(0, equals), "a virtual-key code");
        const std::int32_t state = integer(words[i].substr(equals + 1), "a key state");
        if (key < 0 || key > 255 || state < 0 || state > 255)
            throw Bad{"key codes and states are 0x00 to 0xFF, got " + quoted(words[i])};
        step.keys.emplace_back(key, static_cast<std::uint8_t>(state));
    }
    return step;
}

// "panel same", or "panel SLOT=VALUE ...", from words[i] on, up to the next list name.
SlotWrites parseWrites(const std::vector<std::string>& words, std::size_t& i, const SlotWrites& previous) {
    SlotWrites writes;
    if (i < words.size() && words[i] == "same") {
        ++i;
        return previous;
    }
    while (i < words.size() && words[i] != "panel" && words[i] != "sound") {
        const std::size_t equals = words[i].find('=');
        if (equals == std::string::npos) throw Bad{"expected SLOT=VALUE, got " + quoted(words[i])};
        const std::int32_t slot = integer(words[i].substr(0, equals), "a slot");
        if (slot < 0 || slot > 255) throw Bad{"expected a slot 0 to 255, got " + quoted(words[i])};
        if (!writes.empty() && writes.back().first >= slot)
            throw Bad{"slots must rise, got " + quoted(words[i])};
        writes.emplace_back(slot, integer(words[i].substr(equals + 1), "a slot value"));
        ++i;
    }
    return writes;
}

ReplayFrame parseFrame(const std::vector<std::string>& words, const Replay& replay) {
    const char* form =
        "expected 'frame TIMEms POSITION SPEED CLOCK BC MR ER BP SAP CURRENT expect BRAKE POWER "
        "REVERSER CONSTANTSPEED [panel ...] [sound ...]'";
    if (words.size() < 16 || words[11] != "expect") throw Bad{form};
    ReplayFrame frame{};
    const std::string& time = words[1];
    if (time.size() < 3 || time.compare(time.size() - 2, 2, "ms") != 0) throw Bad{form};
    frame.timeMs = integer(time.substr(0, time.size() - 2), "a time in ms");
    if (frame.timeMs < 0) throw Bad{"a frame time must not be negative"};
    if (!replay.frames.empty() && frame.timeMs < replay.frames.back().timeMs)
        throw Bad{"frame times must not go back (the last was " +
                  std::to_string(replay.frames.back().timeMs) + "ms)"};
    frame::VehicleState& s = frame.state;
    s.position = real<double>(words[2], "a position");
    s.speed = real<float>(words[3], "a speed");
    s.time = integer(words[4], "a clock in ms");
    s.bcPressure = real<float>(words[5], "a pressure");
    s.mrPressure = real<float>(words[6], "a pressure");
    s.erPressure = real<float>(words[7], "a pressure");
    s.bpPressure = real<float>(words[8], "a pressure");
    s.sapPressure = real<float>(words[9], "a pressure");
    s.current = real<float>(words[10], "a current");
    frame.handles = {integer(words[12], "a brake notch"), integer(words[13], "a power notch"),
                     integer(words[14], "a reverser position"),
                     integer(words[15], "a constant-speed command")};
    static const ReplayFrame none{};
    const ReplayFrame& previous = replay.frames.empty() ? none : replay.frames.back();
    std::size_t i = 16;
    bool panel = false;
    bool sound = false;
    while (i < words.size()) {
        const std::string list = words[i++];
        if (list == "panel" && !panel && !sound) {
            frame.panel = parseWrites(words, i, previous.panel);
            panel = true;
        } else if (list == "sound" && !sound) {
            frame.sound = parseWrites(words, i, previous.sound);
            sound = true;
        } else {
            throw Bad{"expected 'panel' then 'sound' lists after the handles, got " + quoted(list)};
        }
    }
    return frame;
}

std::string seconds(std::int32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(ms) / 1000.0);
    return text;
}

// The expected and actual writes of one array in one frame: the first difference, and how many.
void compareWrites(const char* name, const SlotWrites& expected, const FrameRecord& got, bool panel,
                   std::string& first, int& count) {
    const auto& written = panel ? got.panelWritten : got.soundWritten;
    const auto& values = panel ? got.panel : got.sound;
    std::array<bool, frame::kSlotCount> wanted{};
    std::array<std::int32_t, frame::kSlotCount> want{};
    for (const auto& [slot, value] : expected) {
        wanted[static_cast<std::size_t>(slot)] = true;
        want[static_cast<std::size_t>(slot)] = value;
    }
    for (std::size_t slot = 0; slot < wanted.size(); ++slot) {
        std::string what;
        const std::string label = std::string(name) + " " + std::to_string(slot) + ": ";
        if (wanted[slot] && !written[slot])
            what = label + "expected " + std::to_string(want[slot]) + ", got untouched";
        else if (!wanted[slot] && written[slot])
            what = label + "expected untouched, got written " + std::to_string(values[slot]);
        else if (wanted[slot] && want[slot] != values[slot])
            what = label + "expected " + std::to_string(want[slot]) + ", got " + std::to_string(values[slot]);
        if (what.empty()) continue;
        if (count++ == 0) first = what;
    }
}

// The event kind of a call, where the scenario form has one; the others read as Initialize.
EventKind eventKind(ReplayCall call) {
    switch (call) {
        case ReplayCall::SetPower:
            return EventKind::SetPower;
        case ReplayCall::SetBrake:
            return EventKind::SetBrake;
        case ReplayCall::SetReverser:
            return EventKind::SetReverser;
        case ReplayCall::KeyDown:
            return EventKind::KeyDown;
        case ReplayCall::KeyUp:
            return EventKind::KeyUp;
        case ReplayCall::HornBlow:
            return EventKind::HornBlow;
        case ReplayCall::DoorOpen:
            return EventKind::DoorOpen;
        case ReplayCall::DoorClose:
            return EventKind::DoorClose;
        case ReplayCall::SetSignal:
            return EventKind::SetSignal;
        case ReplayCall::SetBeaconData:
            return EventKind::SetBeaconData;
        default:
            return EventKind::Initialize;
    }
}

void compareHandle(const char* name, std::int32_t want, std::int32_t got, std::string& first, int& count) {
    if (want == got) return;
    if (count++ == 0)
        first = std::string(name) + ": expected " + std::to_string(want) + ", got " + std::to_string(got);
}

}  // namespace

bool isReplayStatement(const std::string& head) {
    return head == "call" || head == "keys" || head == "frame";
}

std::string parseReplayStatement(Replay& replay, const std::vector<std::string>& words, int line) {
    try {
        ReplayStep step;
        if (words[0] == "call") {
            step = parseCall(words);
        } else if (words[0] == "keys") {
            step = parseKeys(words);
        } else {
            replay.frames.push_back(parseFrame(words, replay));
            replay.frames.back().line = line;
            step.frame = replay.frames.size() - 1;
        }
        step.line = line;
        replay.steps.push_back(std::move(step));
    } catch (const Bad& bad) {
        return bad.what;
    }
    return {};
}

void finishReplay(Scenario& scenario, std::vector<std::string>& errors) {
    const Replay& replay = scenario.replay;
    if (replay.steps.empty()) return;
    const int line = replay.steps.front().line;
    const std::string where = scenario.file + ":" + std::to_string(line) + ": ";
    bool timed = !scenario.events.empty() || !scenario.expectations.empty() || scenario.model.enabled;
    for (const auto& keyframes : scenario.keyframes) timed = timed || !keyframes.empty();
    if (timed)
        errors.push_back(where +
                         "a recording (call, keys, frame) takes no keyframes, events, 'expect' or model");
    if (static_cast<std::int64_t>(replay.frames.size()) > kMaxFrames) {
        errors.push_back(where + "the recording has " + std::to_string(replay.frames.size()) +
                         " frames, more than " + std::to_string(kMaxFrames));
    }
    scenario.endMs = replay.frames.empty() ? 0 : replay.frames.back().timeMs;
    // The calls as events: the outputs show their text; the chart tells the doors' calls by kind.
    scenario.replayCalls.clear();
    std::size_t nextFrame = 0;
    for (ReplayStep& step : scenario.replay.steps) {
        if (step.kind == ReplayStep::Kind::Frame) nextFrame = step.frame + 1;
        if (step.kind != ReplayStep::Kind::Call) continue;
        Event event{};
        event.timeMs = nextFrame < replay.frames.size() ? replay.frames[nextFrame].timeMs : scenario.endMs;
        event.kind = eventKind(step.call);
        event.value = step.values[0];
        event.text = step.text;
        event.line = step.line;
        step.event = scenario.replayCalls.size();
        scenario.replayCalls.push_back(std::move(event));
    }
}

std::vector<std::string> runReplay(const Scenario& scenario, const host::EntryPoints& api,
                                   const FrameSink& sink, const RunHooks& hooks) {
    host::releaseAllKeys();
    // One record, reused, as run() does: the host's arrays keep what the plug-in last wrote.
    FrameRecord record;
    record.sound.fill(frame::SoundKeep);
    record.events.reserve(16);
    bool newFrame = true;  // the next call starts the calls before the next frame
    std::int64_t index = 0;
    for (const ReplayStep& step : scenario.replay.steps) {
        if (newFrame && step.kind != ReplayStep::Kind::Frame) {
            record.events.clear();
            record.callDifferences.clear();
            newFrame = false;
        }
        if (step.kind == ReplayStep::Kind::Keys) {
            for (const auto& [key, state] : step.keys) host::setKeyState(key, state);
            continue;
        }
        if (step.kind == ReplayStep::Kind::Call) {
            const std::int32_t* v = step.values;
            switch (step.call) {
                case ReplayCall::Load:
                    api.Load();
                    break;
                case ReplayCall::Dispose:
                    api.Dispose();
                    break;
                case ReplayCall::GetPluginVersion: {
                    const std::int32_t version = api.GetPluginVersion();
                    if (version != v[0]) {
                        record.callDifferences.push_back(scenario.file + ":" + std::to_string(step.line) +
                                                         ": GetPluginVersion: expected " +
                                                         std::to_string(v[0]) + ", got " +
                                                         std::to_string(version));
                    }
                    break;
                }
                case ReplayCall::SetVehicleSpec:
                    api.SetVehicleSpec(frame::VehicleSpec{v[0], v[1], v[2], v[3], v[4]});
                    break;
                case ReplayCall::Initialize:
                    api.Initialize(v[0]);
                    break;
                case ReplayCall::SetPower:
                    api.SetPower(v[0]);
                    record.driver.power = v[0];
                    break;
                case ReplayCall::SetBrake:
                    api.SetBrake(v[0]);
                    record.driver.brake = v[0];
                    break;
                case ReplayCall::SetReverser:
                    api.SetReverser(v[0]);
                    record.driver.reverser = v[0];
                    break;
                case ReplayCall::KeyDown:
                    api.KeyDown(v[0]);
                    break;
                case ReplayCall::KeyUp:
                    api.KeyUp(v[0]);
                    break;
                case ReplayCall::HornBlow:
                    api.HornBlow(v[0]);
                    break;
                case ReplayCall::DoorOpen:
                    api.DoorOpen();
                    record.hostDoorsOpen = true;
                    break;
                case ReplayCall::DoorClose:
                    api.DoorClose();
                    record.hostDoorsOpen = false;
                    break;
                case ReplayCall::SetSignal:
                    api.SetSignal(v[0]);
                    break;
                case ReplayCall::SetBeaconData:
                    api.SetBeaconData(frame::BeaconData{v[0], v[1], step.distance, v[3]});
                    break;
            }
            record.events.push_back(&scenario.replayCalls.at(step.event));
            continue;
        }
        const ReplayFrame& frame = scenario.replay.frames[step.frame];
        if (hooks.tick) hooks.tick(index, static_cast<std::int64_t>(scenario.replay.frames.size()));
        record.notices.clear();
        if (hooks.notices && (index == 0 || !record.events.empty() || index % 1024 == 0))
            record.notices = hooks.notices();
        record.index = index++;
        record.timeMs = frame.timeMs;
        record.state = frame.state;
        elapseInto(api, frame.state, record);
        sink(record);
        record.events.clear();
        record.callDifferences.clear();
        newFrame = true;
    }
    host::releaseAllKeys();
    // A call result after the last frame has no frame to carry it: said, never dropped.
    if (!record.callDifferences.empty()) throw std::runtime_error(record.callDifferences.front());
    std::vector<std::string> closing;
    if (hooks.notices) closing = hooks.notices();
    return closing;
}

void checkReplayFrame(const Scenario& scenario, const FrameRecord& got,
                      std::vector<std::string>& differences) {
    differences.insert(differences.end(), got.callDifferences.begin(), got.callDifferences.end());
    const Replay& replay = scenario.replay;
    const auto index = static_cast<std::size_t>(got.index);
    if (index >= replay.frames.size()) return;
    const ReplayFrame& want = replay.frames[index];
    std::string first;
    int count = 0;
    compareHandle("brake", want.handles.brake, got.handles.brake, first, count);
    compareHandle("power", want.handles.power, got.handles.power, first, count);
    compareHandle("reverser", want.handles.reverser, got.handles.reverser, first, count);
    compareHandle("constantSpeed", want.handles.constantSpeed, got.handles.constantSpeed, first, count);
    compareWrites("panel", want.panel, got, true, first, count);
    compareWrites("sound", want.sound, got, false, first, count);
    if (count == 0) return;
    differences.push_back(scenario.file + ":" + std::to_string(want.line) + ": frame " +
                          std::to_string(index + 1) + " at " + seconds(want.timeMs) + ": " + first +
                          (count > 1 ? " (and " + std::to_string(count - 1) + " more in this frame)" : ""));
}

std::string replaySummary(const Scenario& scenario, const std::vector<std::string>& failures) {
    const std::string frames = std::to_string(scenario.replay.frames.size());
    if (failures.empty())
        return scenario.file + ": replay matches the recording in all " + frames + " frame(s)";
    return scenario.file + ": " + std::to_string(failures.size()) + " difference(s) from the recording in " +
           frames + " frame(s); the first: " + failures.front();
}

}  // namespace bench
