// Running and checking the replay form (tools/bench/replay.h).
#pragma once

#include <string>
#include <vector>

#include "tools/bench/run.h"
#include "tools/bench/scenario.h"

namespace bench {

// Makes the recorded calls in their order, sets the recorded keyboard changes, and calls Elapse with
// each recorded state; nothing else (no Load, SetVehicleSpec or Initialize of the bench's own).
// A GetPluginVersion whose result differs from the recorded one is noted in callDifferences.
Recording runReplay(const Scenario& scenario, const host::EntryPoints& api);

// One message per frame whose outputs differ from the recorded ones, naming the frame's first
// difference and how many more it has, then one per call result that differs.
std::vector<std::string> checkReplay(const Scenario& scenario, const Recording& recording);

// The summary line: how many frames differ and which difference came first.
std::string replaySummary(const Scenario& scenario, const std::vector<std::string>& failures);

}  // namespace bench
