// Driving a plug-in through a scenario as the host does, and checking the scenario's expectations
// against what it returned.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/host.h"
#include "tools/bench/scenario.h"
#include "tools/host/plugin_library.h"

namespace bench {

// What the bench puts into every slot before a frame, to tell the slots a plug-in wrote from those
// it left alone. A plug-in that writes exactly this value is taken as not writing.
inline constexpr std::int32_t kUntouchedMark = 0x7A7A7A7A;

struct FrameRecord {
    std::int32_t timeMs;  // scenario time
    frame::VehicleState state;
    frame::Handles handles;
    std::array<std::int32_t, frame::kSlotCount> panel;  // the host's arrays after the frame
    std::array<std::int32_t, frame::kSlotCount> sound;
    std::bitset<frame::kSlotCount> panelWritten;  // the slots the plug-in wrote in this frame
    std::bitset<frame::kSlotCount> soundWritten;
    std::vector<std::string> events;  // the calls made before this frame
};

struct Recording {
    std::vector<FrameRecord> frames;
    std::vector<std::string> callDifferences;  // a replay's calls whose results differ from the recording's
};

// Calls Load, SetVehicleSpec, Initialize, then one Elapse per frame with the scenario's events
// between frames, then Dispose. The keyboard is driven through host::setKeyDown.
Recording run(const Scenario& scenario, const host::EntryPoints& api);

// The speed the train model gives after one frame of dt seconds with these handles.
double modelSpeed(const TrainModel& model, double speed, const frame::Handles& handles, double dt);

// One message per failed expectation: "file:line: at T s: what: expected X, got Y".
std::vector<std::string> check(const Scenario& scenario, const Recording& recording);

}  // namespace bench
