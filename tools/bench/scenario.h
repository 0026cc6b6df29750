// A scenario: what the bench feeds a plug-in frame by frame, and what it expects back. The parser
// is pure (text in, scenario or file:line messages out); docs/scenarios.md describes the format.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/host.h"
#include "tools/bench/replay.h"

namespace bench {

// The inputs that keyframes give, interpolated linearly between keyframes.
enum class Channel { Speed, Bc, Mr, Er, Bp, Sap, Current, Position };
inline constexpr int kChannelCount = 8;
const char* channelName(Channel channel);

struct Keyframe {
    std::int32_t timeMs;
    double value;
    int line = 0;  // where the scenario gives it
};

// Calls the bench makes between frames, before the first frame at or after their time.
enum class EventKind {
    SetPower,
    SetBrake,
    SetReverser,
    KeyboardDown,  // a key held on the keyboard the plug-in reads (virtual-key code)
    KeyboardUp,
    KeyDown,  // the KeyDown and KeyUp entry points (the host's key numbers)
    KeyUp,
    HornBlow,
    DoorOpen,
    DoorClose,
    SetSignal,
    SetBeaconData,
    Initialize,
    SetClock,  // not a call: the clock jumps so that this time reads `value` ms
};

struct Event {
    std::int32_t timeMs;
    EventKind kind;
    std::int32_t value;     // notch, key, horn, signal, beacon type, Initialize argument
    std::int32_t optional;  // the beacon's optional number
    std::string text;       // how the timeline shows it
    int line = 0;
};

// What an expectation looks at.
enum class Output { Brake, Power, Reverser, ConstantSpeed, Panel, Sound, Speed, Position };
enum class Compare { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual, Untouched };

inline constexpr int kAllSlots = -1;

struct Expectation {
    int line;
    std::int32_t fromMs;  // the frames checked: every frame with fromMs <= time <= toMs
    std::int32_t toMs;
    Output output;
    int slot;  // panel or sound slot, or kAllSlots (untouched only)
    Compare compare;
    double value;
    // How far the actual value may lie from `value` and still count as equal to it: the tolerance
    // the line gives ("= 30 +- 0.5"), or half a unit of the last decimal written ("= 30.1" holds
    // for 30.05 up to 30.15), so that a value copied from the timeline or the CSV compares equal.
    // 0 for whole-number outputs written without a tolerance.
    double tolerance = 0.0;
    bool toleranceGiven = false;
    int decimals = 0;  // the decimals the value was written with, for messages
    std::string text;  // the line as written, for messages
};

// The closed-loop train: the handles the plug-in returns move the train.
struct TrainModel {
    bool enabled = false;
    std::vector<double> power;  // km/h per second for notches 1, 2, ...
    std::vector<double> brake;  // km/h per second for notches 1 .. emergency
    double grade = 0.0;         // km/h per second added in every frame (downhill is positive)
    int firstLine = 0;          // the first "model" line, and the lines of the rate lists
    int powerLine = 0;
    int brakeLine = 0;
};

// A name for a panel or sound slot ("label panel 20 doors-closed"); line 0 when the scenario gives
// none. The bench may also name a slot from the plug-in's INI keys (line stays 0).
inline constexpr std::size_t kMaxLabelLength = 32;
struct SlotLabel {
    std::string name;
    int line = 0;
};

struct Scenario {
    std::string file;
    std::string title;
    std::string plugin;
    bool hasIni = false;
    std::string ini;            // the INI file's contents, lines ending in CRLF
    std::vector<int> iniLines;  // the scenario line of each INI line
    frame::VehicleSpec vehicle{8, 5, 1, 6, 10};
    std::int32_t stepMs = 100;
    std::int32_t endMs = 0;
    std::int32_t clockMs = 0;  // the time field at the scenario's 0 s
    double startPosition = 0.0;
    std::array<std::vector<Keyframe>, kChannelCount> keyframes;
    std::vector<Event> events;  // in time order, file order within one time
    std::vector<Expectation> expectations;
    TrainModel model;
    std::array<SlotLabel, frame::kSlotCount> panelLabels;
    std::array<SlotLabel, frame::kSlotCount> soundLabels;
    Replay replay;                   // a recording: calls and exact frames instead of keyframes and events
    std::vector<Event> replayCalls;  // the recording's calls, as the timeline and chart show them
};

// The most frames one run may have. The bench streams the frames, so this bounds the time a run
// takes (a few minutes at most), not its memory.
inline constexpr std::int64_t kMaxFrames = 10000000;

struct ParseResult {
    Scenario scenario;
    std::vector<std::string> errors;  // "file:line: what was expected"; empty when the scenario is good
    bool stopped = false;             // errors reached kMaxErrors and the rest of the file was not read
};

// The parser stops after this many errors: a binary or mangled file gives a screenful, not a flood.
inline constexpr std::size_t kMaxErrors = 20;

// The longest piece of a scenario quoted in a message; longer text is clipped with "...".
inline constexpr std::size_t kMaxQuoted = 60;

// The vehicle's notch counts: at least 1, at most this.
inline constexpr std::int32_t kMaxNotches = 100;

// Whether NAME may follow "plugin": a bare library name (letters, digits, '-', '_', '.', not
// starting with '.'), which the bench looks up in its own folder. A path is refused, so that
// opening a scenario never loads a library from elsewhere.
bool isBarePluginName(const std::string& name);

// The text quoted for a message: clipped to kMaxQuoted bytes, control bytes shown as '?'.
std::string quoted(const std::string& text);

ParseResult parseScenario(const std::string& text, const std::string& file);

// The value of a channel at a time: linear between keyframes, the first value before the first
// keyframe, the last after the last; fallback without keyframes. At a time with two keyframes (a
// jump) the later one counts from that time on.
double valueAt(const std::vector<Keyframe>& keyframes, std::int32_t timeMs, double fallback);

// A time as the scenario writes it ("12.5", "12.5s", "12500ms"), for the command line; false when
// it is not one.
bool parseTimeText(const std::string& text, std::int32_t* ms);

// Names of sound and constant-speed commands, or the number as text.
std::string soundName(std::int32_t value);

}  // namespace bench
