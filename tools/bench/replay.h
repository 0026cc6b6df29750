// The replay form of a scenario: what the recorder writes (docs/recorder.md). Instead of keyframes
// and timed events it lists, in the order the host made them, every call with its exact arguments,
// the keyboard changes and every frame's exact vehicle state, each frame with the outputs the
// plug-in gave: the four handles and the panel and sound slots it wrote.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "frame/host.h"

namespace bench {

// A call other than Elapse, as "call NAME ARGUMENTS".
enum class ReplayCall {
    Load,
    Dispose,
    GetPluginVersion,
    SetVehicleSpec,
    Initialize,
    SetPower,
    SetBrake,
    SetReverser,
    KeyDown,
    KeyUp,
    HornBlow,
    DoorOpen,
    DoorClose,
    SetSignal,
    SetBeaconData,
};

using SlotWrites = std::vector<std::pair<int, std::int32_t>>;  // (slot, value), in slot order

struct ReplayFrame {
    std::int32_t timeMs;  // the scenario time the recorder gave the frame
    int line = 0;
    frame::VehicleState state;
    frame::Handles handles;  // expected
    SlotWrites panel;        // expected: exactly these slots written, with these values
    SlotWrites sound;
};

struct ReplayStep {
    enum class Kind { Call, Keys, Frame };
    Kind kind = Kind::Frame;
    int line = 0;
    ReplayCall call{};
    std::int32_t values[5]{};                        // arguments; GetPluginVersion: the expected result
    float distance = 0.0f;                           // SetBeaconData
    std::vector<std::pair<int, std::uint8_t>> keys;  // Keys: (virtual key, state byte)
    std::size_t frame = 0;                           // Frame: index into Replay::frames
    std::string text;                                // how the timeline shows a call
    std::size_t event = 0;                           // Call: index into Scenario::replayCalls
};

struct Replay {
    std::vector<ReplayStep> steps;
    std::vector<ReplayFrame> frames;
};

// Whether a statement's first word belongs to the replay form: call, keys, frame.
bool isReplayStatement(const std::string& head);

struct Scenario;

// The checks of a whole replay scenario: no keyframes, timed events, expectations or model beside
// it, and at most kMaxFrames frames. Also sets the end time to the last frame's, and lists the
// calls as events for the outputs (Scenario::replayCalls).
void finishReplay(Scenario& scenario, std::vector<std::string>& errors);

// Parses one replay statement into replay; returns what is wrong with it, or an empty string.
std::string parseReplayStatement(Replay& replay, const std::vector<std::string>& words, int line);

}  // namespace bench
