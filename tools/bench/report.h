// What the bench shows of a run: a timeline for the terminal, a CSV of every frame and an SVG chart.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/bench/run.h"
#include "tools/bench/scenario.h"

namespace bench {

// One line per frame in which a call was made or an output changed.
void writeTimeline(std::ostream& out, const Scenario& scenario, const Recording& recording);

// Every frame: inputs, handles, and every panel and sound slot the plug-in wrote at some point.
void writeCsv(std::ostream& out, const Recording& recording);

// A chart over time: speed, handles, lamps and meters, sound events and the calls made.
void writeSvg(std::ostream& out, const Scenario& scenario, const Recording& recording,
              const std::vector<std::string>& failures);

}  // namespace bench
