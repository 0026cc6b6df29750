// See tools/bench/report.h. Divisions: shared helpers, the timeline, the CSV. The chart is in
// chart.cpp.
#include "tools/bench/report.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

namespace bench {
namespace {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string seconds(std::int32_t ms) { return fixed(static_cast<double>(ms) / 1000.0, 3); }

std::string join(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

std::string callText(const std::vector<const Event*>& events, const char* separator) {
    std::string text;
    for (const Event* event : events) text += (text.empty() ? "" : separator) + event->text;
    return text;
}

std::string clockText(std::int32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
    if (ms % 1000 == 0) return text;
    return std::string(text) + fixed(static_cast<double>(ms % 1000) / 1000.0, 3).substr(1);
}

// Whether the timeline shows a sound slot's value in this frame: every SoundOnce, and other
// commands when they differ from the slot's last shown command (a loop or stop written in every
// frame is shown once). SoundKeep, "nothing new", is never shown.
struct SoundFilter {
    std::array<std::int32_t, frame::kSlotCount> last;
    SoundFilter() { last.fill(frame::SoundKeep); }
    bool shows(std::size_t slot, std::int32_t value) {
        if (value == frame::SoundKeep) return false;
        const bool show = value == frame::SoundOnce || value != last[slot];
        last[slot] = value;
        return show;
    }
};

// A slot's name as a CSV column: "panel_20_doors-closed".
std::string columnName(const Scenario& scenario, bool panel, std::size_t slot) {
    const SlotLabel& label = (panel ? scenario.panelLabels : scenario.soundLabels)[slot];
    std::string name = (panel ? "panel_" : "sound_") + std::to_string(slot);
    if (!label.name.empty()) name += "_" + label.name;
    return name;
}

// A slot in a timeline row, whose kind is already in the row's head: "20" or "20 doors-closed".
std::string rowSlot(const Scenario& scenario, bool panel, std::size_t slot) {
    const SlotLabel& label = (panel ? scenario.panelLabels : scenario.soundLabels)[slot];
    return label.name.empty() ? std::to_string(slot) : std::to_string(slot) + " " + label.name;
}

}  // namespace

std::string slotName(const Scenario& scenario, bool panel, std::size_t slot) {
    const SlotLabel& label = (panel ? scenario.panelLabels : scenario.soundLabels)[slot];
    std::string name = (panel ? "panel " : "sound ") + std::to_string(slot);
    if (!label.name.empty()) name += " " + label.name;
    return name;
}

std::string parseOnly(const std::string& list, const Scenario& scenario, TimelineOptions* options) {
    options->filtered = true;
    std::istringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item.empty()) continue;
        if (item == "calls") {
            options->calls = true;
        } else if (item == "handles") {
            options->handles = true;
        } else if (item == "panel") {
            options->panel.set();
        } else if (item == "sound") {
            options->sound.set();
        } else {
            bool found = false;
            for (const bool panel : {true, false}) {
                const std::string prefix = panel ? "panel:" : "sound:";
                auto& slots = panel ? options->panel : options->sound;
                const auto& labels = panel ? scenario.panelLabels : scenario.soundLabels;
                for (std::size_t slot = 0; slot < labels.size(); ++slot) {
                    if (item == prefix + std::to_string(slot) || item == labels[slot].name) {
                        slots.set(slot);
                        found = true;
                    }
                }
            }
            if (!found) {
                return "--only: unknown item '" + item.substr(0, 40) +
                       "': give calls, handles, panel, sound, panel:SLOT, sound:SLOT or a slot's label";
            }
        }
    }
    return {};
}

// ---- Timeline -------------------------------------------------------------------------------

// A panel slot's recent changes, to fold a blinking lamp into one line: once it has gone back and
// forth between two values four times at one interval, its changes are not shown until it breaks
// the pattern (a third value, another interval, or a pause longer than two intervals).
struct Blink {
    std::array<std::int32_t, 4> times{};
    std::array<std::int32_t, 4> values{};
    int count = 0;
    bool folded = false;
    std::int32_t period = 0;

    void push(std::int32_t time, std::int32_t value) {
        for (std::size_t i = 0; i + 1 < times.size(); ++i) {
            times[i] = times[i + 1];
            values[i] = values[i + 1];
        }
        times.back() = time;
        values.back() = value;
        count = std::min(count + 1, 4);
    }
    bool regular() const {
        if (count < 4) return false;
        const std::int32_t gap = times[1] - times[0];
        return gap > 0 && times[2] - times[1] == gap && times[3] - times[2] == gap &&
               values[0] == values[2] && values[1] == values[3] && values[0] != values[1];
    }
};

struct Timeline::State {
    State(std::ostream& o, const Scenario& s, const TimelineOptions& t) : out(o), scenario(s), options(t) {}
    std::ostream& out;
    const Scenario& scenario;
    TimelineOptions options;
    bool started = false;  // a frame in the range has been shown (the first shows every output)
    frame::Handles handles{};
    std::array<std::int32_t, frame::kSlotCount> panel{};
    SoundFilter sounds;
    std::array<Blink, frame::kSlotCount> blinks;
    std::vector<std::size_t> folded;

    bool showsPanel(std::size_t slot) const {
        if (options.level == TimelineOptions::Level::Quiet && !options.filtered) return false;
        return !options.filtered || options.panel[slot];
    }
    bool showsSound(std::size_t slot) const {
        if (options.level == TimelineOptions::Level::Quiet && !options.filtered) return false;
        return !options.filtered || options.sound[slot];
    }
};

Timeline::Timeline(std::ostream& out, const Scenario& scenario, const TimelineOptions& options)
    : state_(std::make_unique<State>(out, scenario, options)) {
    out << (scenario.title.empty() ? scenario.plugin : scenario.title) << "\n";
    out << scenario.file << ": plug-in " << scenario.plugin << ", " << scenario.stepMs << " ms frames, 0 to "
        << fixed(static_cast<double>(scenario.endMs) / 1000.0, 1) << " s, clock from "
        << clockText(scenario.clockMs) << "\n\n";
    out << "  time s    km/h\n";
}

Timeline::~Timeline() = default;

void Timeline::frame(const FrameRecord& record) {
    State& s = *state_;
    const bool inRange = record.timeMs >= s.options.fromMs && record.timeMs <= s.options.toMs;
    const bool first = inRange && !s.started;
    const bool verbose = s.options.level == TimelineOptions::Level::Verbose;
    std::vector<std::pair<const char*, std::string>> rows;
    if (!record.events.empty() && (!s.options.filtered || s.options.calls))
        rows.emplace_back("calls", callText(record.events, ", "));

    std::vector<std::string> handles;
    const frame::Handles& h = record.handles;
    auto handle = [&](const char* name, std::int32_t now, std::int32_t before) {
        if (first)
            handles.push_back(std::string(name) + " " + std::to_string(now));
        else if (now != before)
            handles.push_back(std::string(name) + " " + std::to_string(before) + "->" + std::to_string(now));
    };
    handle("brake", h.brake, s.handles.brake);
    handle("power", h.power, s.handles.power);
    handle("reverser", h.reverser, s.handles.reverser);
    handle("constantSpeed", h.constantSpeed, s.handles.constantSpeed);
    s.handles = h;
    if (!handles.empty() && (!s.options.filtered || s.options.handles))
        rows.emplace_back("handles", join(handles, ", "));

    std::vector<std::string> panel;
    std::vector<std::string> sound;
    // A folded slot that has paused for more than two intervals has stopped blinking.
    for (auto it = s.folded.begin(); it != s.folded.end();) {
        Blink& blink = s.blinks[*it];
        if (record.timeMs - blink.times.back() > 2 * blink.period) {
            if (inRange && s.showsPanel(*it)) {
                panel.push_back(rowSlot(s.scenario, true, *it) + ": stops blinking at " +
                                std::to_string(s.panel[*it]));
            }
            blink.folded = false;
            blink.count = 0;
            it = s.folded.erase(it);
        } else {
            ++it;
        }
    }
    for (std::size_t slot = 0; slot < record.panel.size(); ++slot) {
        if (record.soundWritten[slot] && s.sounds.shows(slot, record.sound[slot]) && inRange &&
            s.showsSound(slot)) {
            sound.push_back(rowSlot(s.scenario, false, slot) + " " + soundName(record.sound[slot]));
        }
        if (!record.panelWritten[slot]) continue;
        const std::int32_t before = s.panel[slot];
        const std::int32_t now = record.panel[slot];
        s.panel[slot] = now;
        const bool shown = inRange && s.showsPanel(slot);
        if (first) {
            if (shown) panel.push_back(rowSlot(s.scenario, true, slot) + "=" + std::to_string(now));
            continue;
        }
        if (now == before) continue;
        Blink& blink = s.blinks[slot];
        blink.push(record.timeMs, now);
        std::string note;
        if (!verbose) {
            if (blink.folded) {
                if (blink.regular()) continue;  // still blinking: not shown
                blink.folded = false;
                blink.count = 1;
                s.folded.erase(std::find(s.folded.begin(), s.folded.end(), slot));
                note = " (stops blinking)";
            } else if (blink.regular()) {
                blink.folded = true;
                blink.period = blink.times[1] - blink.times[0];
                s.folded.push_back(slot);
                note = " (blinks every " + fixed(static_cast<double>(blink.period) / 1000.0, 3) +
                       " s: not shown until it stops; -v shows each change)";
            }
        }
        if (shown) {
            panel.push_back(rowSlot(s.scenario, true, slot) + ": " + std::to_string(before) + "->" +
                            std::to_string(now) + note);
        }
    }
    if (!panel.empty()) rows.emplace_back("panel", join(panel, ", "));
    if (!sound.empty()) rows.emplace_back("sound", join(sound, ", "));
    if (!inRange || rows.empty()) return;
    s.started = true;
    char head[64];
    std::snprintf(head, sizeof head, "%8.3f  %6.1f  ", static_cast<double>(record.timeMs) / 1000.0,
                  static_cast<double>(record.state.speed));
    bool firstRow = true;
    for (const auto& [label, text] : rows) {
        char name[16];
        std::snprintf(name, sizeof name, "%-8s ", label);
        s.out << (firstRow ? head : "                  ") << name << text << "\n";
        firstRow = false;
    }
}

void writeTimeline(std::ostream& out, const Scenario& scenario, const Recording& recording) {
    Timeline timeline(out, scenario, TimelineOptions{});
    for (const FrameRecord& record : recording.frames) timeline.frame(record);
}

// ---- CSV ------------------------------------------------------------------------------------

namespace {

struct CsvRow {
    std::int32_t timeMs;
    bool hostDoorsOpen;
    frame::VehicleState state;
    frame::Handles handles;
    DriverHandles driver;
    std::size_t changesEnd;  // this frame's slot changes end here in the change list
    std::size_t eventsEnd;
};

struct SlotChange {
    std::uint16_t slot;  // 0..255 panel, 256..511 sound
    std::int32_t value;
};

}  // namespace

struct CsvLog::State {
    explicit State(const Scenario& s) : scenario(s) {}
    const Scenario& scenario;
    std::vector<CsvRow> rows;
    std::vector<SlotChange> changes;
    std::vector<const Event*> events;
    std::bitset<frame::kSlotCount> panelWritten;
    std::bitset<frame::kSlotCount> soundWritten;
    std::array<std::int32_t, frame::kSlotCount> panel{};
    std::array<std::int32_t, frame::kSlotCount> sound{};
};

CsvLog::CsvLog(const Scenario& scenario) : state_(std::make_unique<State>(scenario)) {
    state_->sound.fill(frame::SoundKeep);
}

CsvLog::~CsvLog() = default;

void CsvLog::frame(const FrameRecord& record) {
    State& s = *state_;
    for (std::size_t slot = 0; slot < record.panel.size(); ++slot) {
        if (record.panel[slot] != s.panel[slot]) {
            s.changes.push_back({static_cast<std::uint16_t>(slot), record.panel[slot]});
            s.panel[slot] = record.panel[slot];
        }
        if (record.sound[slot] != s.sound[slot]) {
            s.changes.push_back({static_cast<std::uint16_t>(slot + frame::kSlotCount), record.sound[slot]});
            s.sound[slot] = record.sound[slot];
        }
    }
    s.panelWritten |= record.panelWritten;
    s.soundWritten |= record.soundWritten;
    s.events.insert(s.events.end(), record.events.begin(), record.events.end());
    s.rows.push_back({record.timeMs, record.hostDoorsOpen, record.state, record.handles, record.driver,
                      s.changes.size(), s.events.size()});
}

void CsvLog::write(std::ostream& out) const {
    const State& s = *state_;
    out << "time_s,clock_ms,position_m,speed_kmh,bc_kpa,mr_kpa,er_kpa,bp_kpa,sap_kpa,current_a,"
           "power_driver_notch,power_plugin_notch,brake_driver_notch,brake_plugin_notch,reverser_driver,"
           "reverser_plugin,constant_speed_plugin,host_doors_open";
    for (std::size_t slot = 0; slot < s.panel.size(); ++slot) {
        if (s.panelWritten[slot]) out << ',' << columnName(s.scenario, true, slot);
    }
    for (std::size_t slot = 0; slot < s.sound.size(); ++slot) {
        if (s.soundWritten[slot]) out << ',' << columnName(s.scenario, false, slot);
    }
    out << ",calls\n";
    std::array<std::int32_t, frame::kSlotCount> panel{};
    std::array<std::int32_t, frame::kSlotCount> sound{};
    sound.fill(frame::SoundKeep);
    std::size_t change = 0;
    std::size_t event = 0;
    std::string line;
    for (const CsvRow& r : s.rows) {
        for (; change < r.changesEnd; ++change) {
            const SlotChange& c = s.changes[change];
            if (c.slot < frame::kSlotCount)
                panel[c.slot] = c.value;
            else
                sound[c.slot - frame::kSlotCount] = c.value;
        }
        const frame::VehicleState& v = r.state;
        out << seconds(r.timeMs) << ',' << v.time << ',' << fixed(v.position, 3) << ','
            << fixed(static_cast<double>(v.speed), 3) << ',' << fixed(static_cast<double>(v.bcPressure), 3)
            << ',' << fixed(static_cast<double>(v.mrPressure), 3) << ','
            << fixed(static_cast<double>(v.erPressure), 3) << ','
            << fixed(static_cast<double>(v.bpPressure), 3) << ','
            << fixed(static_cast<double>(v.sapPressure), 3) << ',' << fixed(static_cast<double>(v.current), 3)
            << ',' << r.driver.power << ',' << r.handles.power << ',' << r.driver.brake << ','
            << r.handles.brake << ',' << r.driver.reverser << ',' << r.handles.reverser << ','
            << r.handles.constantSpeed << ',' << (r.hostDoorsOpen ? 1 : 0);
        for (std::size_t slot = 0; slot < panel.size(); ++slot) {
            if (s.panelWritten[slot]) out << ',' << panel[slot];
        }
        for (std::size_t slot = 0; slot < sound.size(); ++slot) {
            if (s.soundWritten[slot]) out << ',' << sound[slot];
        }
        line.clear();
        for (; event < r.eventsEnd; ++event) line += (line.empty() ? "" : "; ") + s.events[event]->text;
        out << ",\"" << line << "\"\n";
    }
}

void writeCsv(std::ostream& out, const Scenario& scenario, const Recording& recording) {
    CsvLog log(scenario);
    for (const FrameRecord& record : recording.frames) log.frame(record);
    log.write(out);
}

}  // namespace bench
