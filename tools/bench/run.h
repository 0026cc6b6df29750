// Driving a plug-in through a scenario as the host does, and checking the scenario's expectations
// against what it returned.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frame/host.h"
#include "tools/bench/scenario.h"
#include "tools/host/plugin_library.h"
#include "tools/host/private_plugin.h"

namespace bench {

// What the bench puts into every slot before a frame, to tell the slots a plug-in wrote from those
// it left alone. A plug-in that writes exactly this value is taken as not writing.
inline constexpr std::int32_t kUntouchedMark = host::kUntouched;

// The driver's handles as the bench last set them (SetPower, SetBrake, SetReverser): what the
// plug-in was asked for, beside what it returned.
struct DriverHandles {
    std::int32_t power = 0;
    std::int32_t brake = 0;
    std::int32_t reverser = 0;
};

struct FrameRecord {
    std::int64_t index = 0;   // 0 for the first frame
    std::int32_t timeMs = 0;  // scenario time
    frame::VehicleState state{};
    frame::Handles handles{};  // what Elapse returned
    DriverHandles driver;
    bool hostDoorsOpen = false;  // the simulator's doors, as DoorOpen and DoorClose last reported
    std::array<std::int32_t, frame::kSlotCount> panel{};  // the host's arrays after the frame
    std::array<std::int32_t, frame::kSlotCount> sound{};
    std::bitset<frame::kSlotCount> panelWritten;  // the slots the plug-in wrote in this frame
    std::bitset<frame::kSlotCount> soundWritten;
    std::vector<const Event*> events;  // the calls made before this frame (into the scenario)
    std::vector<std::string> notices;  // what the plug-in wrote on stderr, up to this frame's calls
    // A replay's calls before this frame whose results differ from the recording's.
    std::vector<std::string> callDifferences;
};

// Every frame of a run, kept whole: for tests and small runs. The bench itself streams.
struct Recording {
    std::vector<FrameRecord> frames;
    std::vector<std::string> closingNotices;  // written at Dispose or unload
};

struct RunHooks {
    // Called before every frame with the frames done and the total: shows progress, and may throw
    // to stop the run.
    std::function<void(std::int64_t done, std::int64_t total)> tick;
    // The lines the plug-in has written on stderr since the last call (its notice); asked at the
    // first frame, in frames with calls, and every 1024th frame.
    std::function<std::vector<std::string>()> notices;
};

// Called once per frame with the frame just made; the record is reused for the next frame.
using FrameSink = std::function<void(const FrameRecord&)>;

// One Elapse with both arrays filled with the marker: the returned handles and the slots the
// plug-in wrote go into the record (slots it did not write keep their last values).
void elapseInto(const host::EntryPoints& api, const frame::VehicleState& state, FrameRecord& record);

// The number of frames the scenario runs: 0 s to the end, every step.
std::int64_t frameCount(const Scenario& scenario);

// Calls Load, SetVehicleSpec, Initialize, then one Elapse per frame with the scenario's events
// between frames, then Dispose; a recording (the replay form) makes its own calls instead
// (runReplay). The keyboard is driven through host::setKeyDown. Nothing is kept: each frame goes to
// the sink and is then overwritten, so a run of any length takes the same memory.
// Returns what the plug-in wrote on stderr at Dispose (its closing notice).
std::vector<std::string> run(const Scenario& scenario, const host::EntryPoints& api, const FrameSink& sink,
                             const RunHooks& hooks = {});
// The same, keeping every frame.
Recording run(const Scenario& scenario, const host::EntryPoints& api, const RunHooks& hooks = {});

// The speed the train model gives after one frame of dt seconds with these handles.
double modelSpeed(const TrainModel& model, double speed, const frame::Handles& handles, double dt);

// The scenario's expectations checked frame by frame, as the frames come.
class Checker {
public:
    explicit Checker(const Scenario& scenario);
    void frame(const FrameRecord& record);
    // One message per failed expectation, in the scenario's order: "file:line: at T s: what:
    // expected X, got Y", or "file:line: no frame was checked".
    std::vector<std::string> failures() const;

    // Per expectation, in the scenario's order: whether a frame was checked, and the time of the
    // first frame that failed (-1 when none did).
    struct Result {
        bool checked = false;
        std::int32_t failedAtMs = -1;
        std::string message;
    };
    const std::vector<Result>& results() const { return results_; }

private:
    const Scenario& scenario_;
    std::vector<Result> results_;
    std::vector<std::string> replayDifferences_;  // a recording's: one per frame that differs
};

// One message per failed expectation, for a recording kept whole.
std::vector<std::string> check(const Scenario& scenario, const Recording& recording);

}  // namespace bench
