// What the bench shows of a run: a timeline for the terminal, a CSV of every frame and an SVG chart.
// Each is fed one frame at a time while the run goes, so a long run is never held whole: the
// timeline is written as it comes, the CSV keeps a compact log of what changed (about 100 bytes a
// frame) and the chart keeps a fixed number of time buckets, whatever the run's length.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tools/bench/run.h"
#include "tools/bench/scenario.h"

namespace bench {

// The name of a slot as the reports show it: "panel 20" or "panel 20 doors-closed".
std::string slotName(const Scenario& scenario, bool panel, std::size_t slot);

// Which frames and rows the timeline shows.
struct TimelineOptions {
    // Quiet: calls and the returned handles only. Normal: also the panel and sound slots, with a
    // blinking slot folded into one line while it blinks. Verbose: every change, nothing folded.
    enum class Level { Quiet, Normal, Verbose };
    Level level = Level::Normal;
    std::int32_t fromMs = 0;
    std::int32_t toMs = std::numeric_limits<std::int32_t>::max();
    // --only: the kinds of row and the slots shown; everything when nothing is chosen.
    bool filtered = false;
    bool calls = false;
    bool handles = false;
    std::bitset<frame::kSlotCount> panel;
    std::bitset<frame::kSlotCount> sound;
};

// Reads a --only list: "calls", "handles", "panel", "sound", "panel:20", "sound:150" or a slot's
// label, separated by commas. Returns an error message, or an empty string.
std::string parseOnly(const std::string& list, const Scenario& scenario, TimelineOptions* options);

// One entry per frame in which a call was made or a shown output changed.
class Timeline {
public:
    Timeline(std::ostream& out, const Scenario& scenario, const TimelineOptions& options);
    ~Timeline();
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;
    void frame(const FrameRecord& record);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Every frame: inputs, the driver's handles beside the returned ones, the simulator's doors, and
// every panel and sound slot the plug-in wrote at some point (its columns known only at the end).
class CsvLog {
public:
    explicit CsvLog(const Scenario& scenario);
    ~CsvLog();
    CsvLog(const CsvLog&) = delete;
    CsvLog& operator=(const CsvLog&) = delete;
    void frame(const FrameRecord& record);
    void write(std::ostream& out) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A chart over time: speed, the driver's and the returned handles, the calls, the simulator's
// doors, lamps and meters (with the raw reading behind a stepped meter), sound events and the
// expectations' results. Long runs are drawn from time buckets (two per pixel) that keep each
// value's first, lowest, highest and last value, so no change disappears.
class Chart {
public:
    Chart(const Scenario& scenario, std::int64_t frames);
    ~Chart();
    Chart(const Chart&) = delete;
    Chart& operator=(const Chart&) = delete;
    void frame(const FrameRecord& record);
    void write(std::ostream& out, const std::vector<Checker::Result>& results) const;

    // A meter slot that shows an input: drawn behind the slot's steps ("speed" is the absolute
    // speed, "current-abs" the absolute current).
    void setRawSource(std::size_t panelSlot, const std::string& input);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Kept for tests and small tools: the three reports from a recording kept whole.
void writeTimeline(std::ostream& out, const Scenario& scenario, const Recording& recording);
void writeCsv(std::ostream& out, const Scenario& scenario, const Recording& recording);

}  // namespace bench
