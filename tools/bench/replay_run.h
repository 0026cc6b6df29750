// Running and checking the replay form (tools/bench/replay.h).
#pragma once

#include <string>
#include <vector>

#include "tools/bench/run.h"
#include "tools/bench/scenario.h"

namespace bench {

// Makes the recorded calls in their order, sets the recorded keyboard changes, and calls Elapse with
// each recorded state; nothing else (no Load, SetVehicleSpec or Initialize of the bench's own).
// Each frame goes to the sink as run() sends it, the record reused. A GetPluginVersion whose
// result differs from the recorded one is noted in the next frame's callDifferences; one after the
// last frame throws std::runtime_error, so that it is never lost. The hooks serve as in run(), and
// the plug-in's closing notice is returned.
std::vector<std::string> runReplay(const Scenario& scenario, const host::EntryPoints& api,
                                   const FrameSink& sink, const RunHooks& hooks = {});

// Compares one replayed frame (record.index) with the recorded one: appends the frame's call
// differences, then, when its outputs differ, one message naming the first difference and how
// many more the frame has. The Checker calls it for a recording.
void checkReplayFrame(const Scenario& scenario, const FrameRecord& record,
                      std::vector<std::string>& differences);

// The summary line: how many frames differ and which difference came first.
std::string replaySummary(const Scenario& scenario, const std::vector<std::string>& failures);

}  // namespace bench
