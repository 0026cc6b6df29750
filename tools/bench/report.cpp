// See tools/bench/report.h. Divisions: the timeline, the CSV, the SVG chart.
#include "tools/bench/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace bench {
namespace {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string join(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
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

std::set<std::size_t> writtenSlots(const Recording& recording, bool panel) {
    std::set<std::size_t> slots;
    for (const FrameRecord& record : recording.frames) {
        const auto& written = panel ? record.panelWritten : record.soundWritten;
        for (std::size_t slot = 0; slot < written.size(); ++slot) {
            if (written[slot]) slots.insert(slot);
        }
    }
    return slots;
}

std::string clockText(std::int32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
    if (ms % 1000 == 0) return text;
    return std::string(text) + fixed(static_cast<double>(ms % 1000) / 1000.0, 3).substr(1);
}

}  // namespace

// ---- Timeline -------------------------------------------------------------------------------

void writeTimeline(std::ostream& out, const Scenario& scenario, const Recording& recording) {
    out << (scenario.title.empty() ? scenario.plugin : scenario.title) << "\n";
    out << scenario.file << ": plug-in " << scenario.plugin << ", " << scenario.stepMs << " ms frames, 0 to "
        << fixed(static_cast<double>(scenario.endMs) / 1000.0, 1) << " s, clock from "
        << clockText(scenario.clockMs) << "\n\n";
    out << "  time s    km/h\n";
    SoundFilter sounds;
    const FrameRecord* previous = nullptr;
    for (const FrameRecord& record : recording.frames) {
        std::vector<std::pair<const char*, std::string>> rows;
        for (const std::string& notice : record.notices)
            rows.emplace_back("notice", "plug-in's notice: " + notice);
        if (!record.events.empty()) rows.emplace_back("calls", join(record.events, ", "));
        std::vector<std::string> handles;
        const frame::Handles& h = record.handles;
        auto handle = [&](const char* name, std::int32_t now, std::int32_t before) {
            if (previous == nullptr)
                handles.push_back(std::string(name) + " " + std::to_string(now));
            else if (now != before)
                handles.push_back(std::string(name) + " " + std::to_string(before) + "->" +
                                  std::to_string(now));
        };
        const frame::Handles p = previous ? previous->handles : frame::Handles{};
        handle("brake", h.brake, p.brake);
        handle("power", h.power, p.power);
        handle("reverser", h.reverser, p.reverser);
        handle("constantSpeed", h.constantSpeed, p.constantSpeed);
        if (!handles.empty()) rows.emplace_back("handles", join(handles, ", "));
        std::vector<std::string> panel;
        std::vector<std::string> sound;
        for (std::size_t slot = 0; slot < record.panel.size(); ++slot) {
            if (record.panelWritten[slot]) {
                if (previous == nullptr)
                    panel.push_back(std::to_string(slot) + "=" + std::to_string(record.panel[slot]));
                else if (record.panel[slot] != previous->panel[slot]) {
                    panel.push_back(std::to_string(slot) + ": " + std::to_string(previous->panel[slot]) +
                                    "->" + std::to_string(record.panel[slot]));
                }
            }
            if (record.soundWritten[slot] && sounds.shows(slot, record.sound[slot])) {
                sound.push_back(std::to_string(slot) + " " + soundName(record.sound[slot]));
            }
        }
        if (!panel.empty()) rows.emplace_back("panel", join(panel, ", "));
        if (!sound.empty()) rows.emplace_back("sound", join(sound, ", "));
        previous = &record;
        if (rows.empty()) continue;
        char head[64];
        std::snprintf(head, sizeof head, "%8.3f  %6.1f  ", static_cast<double>(record.timeMs) / 1000.0,
                      static_cast<double>(record.state.speed));
        bool first = true;
        for (const auto& [label, text] : rows) {
            char name[16];
            std::snprintf(name, sizeof name, "%-8s ", label);
            out << (first ? head : "                  ") << name << text << "\n";
            first = false;
        }
    }
    for (const std::string& notice : recording.closingNotices) {
        out << "  unload          notice   plug-in's notice: " << notice << "\n";
    }
}

// ---- CSV ------------------------------------------------------------------------------------

void writeCsv(std::ostream& out, const Recording& recording) {
    const std::set<std::size_t> panelSlots = writtenSlots(recording, true);
    const std::set<std::size_t> soundSlots = writtenSlots(recording, false);
    out << "time_s,clock_ms,position_m,speed_kmh,bc,mr,er,bp,sap,current,brake,power,reverser,constantSpeed";
    for (std::size_t slot : panelSlots) out << ",panel_" << slot;
    for (std::size_t slot : soundSlots) out << ",sound_" << slot;
    out << ",calls\n";
    for (const FrameRecord& r : recording.frames) {
        const frame::VehicleState& s = r.state;
        out << fixed(static_cast<double>(r.timeMs) / 1000.0, 3) << ',' << s.time << ','
            << fixed(s.position, 3) << ',' << fixed(static_cast<double>(s.speed), 3) << ','
            << fixed(static_cast<double>(s.bcPressure), 3) << ','
            << fixed(static_cast<double>(s.mrPressure), 3) << ','
            << fixed(static_cast<double>(s.erPressure), 3) << ','
            << fixed(static_cast<double>(s.bpPressure), 3) << ','
            << fixed(static_cast<double>(s.sapPressure), 3) << ',' << fixed(static_cast<double>(s.current), 3)
            << ',' << r.handles.brake << ',' << r.handles.power << ',' << r.handles.reverser << ','
            << r.handles.constantSpeed;
        for (std::size_t slot : panelSlots) out << ',' << r.panel[slot];
        for (std::size_t slot : soundSlots) out << ',' << r.sound[slot];
        out << ",\"" << join(r.events, "; ") << "\"\n";
    }
}

// ---- SVG chart ------------------------------------------------------------------------------

namespace {

double niceStep(double range, int ticks) {
    if (range <= 0.0) return 1.0;
    const double raw = range / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (raw <= factor * magnitude) return factor * magnitude;
    }
    return 10.0 * magnitude;
}

std::string escape(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '&')
            escaped += "&amp;";
        else if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else if (c == '"')
            escaped += "&quot;";
        else
            escaped += c;
    }
    return escaped;
}

struct Chart {
    std::ostream& out;
    double left = 130.0;
    double width = 880.0;  // plot width
    double endMs = 1.0;
    double x(std::int32_t ms) const { return left + width * static_cast<double>(ms) / endMs; }
    void text(double tx, double ty, const std::string& s, const char* attributes = "") {
        out << "<text x=\"" << fixed(tx, 1) << "\" y=\"" << fixed(ty, 1) << "\" " << attributes << ">"
            << escape(s) << "</text>\n";
    }
    void line(double x1, double y1, double x2, double y2, const char* attributes) {
        out << "<line x1=\"" << fixed(x1, 1) << "\" y1=\"" << fixed(y1, 1) << "\" x2=\"" << fixed(x2, 1)
            << "\" y2=\"" << fixed(y2, 1) << "\" " << attributes << "/>\n";
    }
    void rect(double rx, double ry, double w, double h, const char* attributes) {
        out << "<rect x=\"" << fixed(rx, 1) << "\" y=\"" << fixed(ry, 1) << "\" width=\""
            << fixed(std::max(w, 0.8), 1) << "\" height=\"" << fixed(h, 1) << "\" " << attributes << "/>\n";
    }
    // A value over time as a step line (held until the next frame), scaled into [top, top + height].
    template <class Value>
    void steps(const Recording& recording, Value value, double low, double high, double top, double height,
               const char* attributes) {
        auto y = [&](double v) { return top + height - (v - low) / (high - low) * height; };
        out << "<path fill=\"none\" " << attributes << " d=\"";
        bool first = true;
        for (const FrameRecord& r : recording.frames) {
            const double v = value(r);
            out << (first ? "M" : " H") << fixed(x(r.timeMs), 1) << (first ? " " : " V") << fixed(y(v), 1);
            first = false;
        }
        if (!recording.frames.empty()) out << " H" << fixed(left + width, 1);
        out << "\"/>\n";
    }
    void section(double top, const std::string& title) { text(8, top + 12, title, "class=\"section\""); }
};

}  // namespace

void writeSvg(std::ostream& out, const Scenario& scenario, const Recording& recording,
              const std::vector<std::string>& failures) {
    Chart c{out};
    c.endMs = std::max(1.0, static_cast<double>(scenario.endMs));
    const std::set<std::size_t> panelSlots = writtenSlots(recording, true);
    std::set<std::size_t> soundSlots;
    for (const FrameRecord& r : recording.frames) {
        for (std::size_t slot = 0; slot < r.sound.size(); ++slot) {
            if (r.soundWritten[slot] && r.sound[slot] != frame::SoundKeep) soundSlots.insert(slot);
        }
    }
    double maxSpeed = 10.0;
    double minSpeed = 0.0;
    int maxNotch = 1;
    for (const FrameRecord& r : recording.frames) {
        maxSpeed = std::max(maxSpeed, static_cast<double>(r.state.speed));
        minSpeed = std::min(minSpeed, static_cast<double>(r.state.speed));
        maxNotch = std::max({maxNotch, r.handles.brake, r.handles.power});
    }
    const double speedStep = niceStep(maxSpeed - minSpeed, 5);
    const double speedHigh = std::ceil(maxSpeed / speedStep) * speedStep;
    const double speedLow = std::floor(minSpeed / speedStep) * speedStep;

    const double speedTop = 60.0, speedHeight = 150.0;
    const double handlesTop = speedTop + speedHeight + 30.0, handlesHeight = 90.0;
    const double callsTop = handlesTop + handlesHeight + 30.0, callsHeight = 42.0;
    // Lamps (only 0 and 1 ever shown) get a thin row, meters a taller one to show their steps.
    struct PanelRow {
        std::size_t slot;
        std::int32_t low;
        std::int32_t high;
        bool lamp;
        double height;
    };
    std::vector<PanelRow> panelRows;
    for (std::size_t slot : panelSlots) {
        std::int32_t low = 0, high = 0;
        for (const FrameRecord& r : recording.frames) {
            low = std::min(low, r.panel[slot]);
            high = std::max(high, r.panel[slot]);
        }
        const bool lamp = low == 0 && high <= 1;
        panelRows.push_back({slot, low, high, lamp, lamp ? 16.0 : 48.0});
    }
    const double panelTop = callsTop + callsHeight + 24.0, rowHeight = 16.0;
    double panelHeight = 0.0;
    for (const PanelRow& row : panelRows) panelHeight += row.height;
    const double soundTop = panelTop + panelHeight + (panelSlots.empty() ? 0.0 : 24.0);
    const double soundHeight = rowHeight * static_cast<double>(soundSlots.size());
    const double axisY = soundTop + soundHeight + 8.0;
    const double totalHeight = axisY + 70.0;
    const double totalWidth = c.left + c.width + 30.0;

    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << fixed(totalWidth, 0) << "\" height=\""
        << fixed(totalHeight, 0) << "\" viewBox=\"0 0 " << fixed(totalWidth, 0) << " "
        << fixed(totalHeight, 0) << "\" font-family=\"sans-serif\" font-size=\"11\">\n"
        << "<style>.section{font-weight:bold;font-size:12px}.label{fill:#333}.tick{fill:#555;font-size:10px}"
           ".grid{stroke:#e4e4e4;stroke-width:1}.axis{stroke:#444;stroke-width:1}</style>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    c.text(8, 22, scenario.title.empty() ? scenario.plugin : scenario.title,
           "font-size=\"16\" font-weight=\"bold\"");
    c.text(8, 40,
           scenario.file + " - plug-in " + scenario.plugin + ", " + std::to_string(scenario.stepMs) +
               " ms frames" +
               (failures.empty() ? "" : " - " + std::to_string(failures.size()) + " expectation(s) failed"),
           failures.empty() ? "class=\"tick\"" : "fill=\"#c00\"");

    // Time grid across every section.
    const double timeStep = niceStep(c.endMs / 1000.0, 10) * 1000.0;
    for (double t = 0.0; t <= c.endMs + 0.5; t += timeStep) {
        const double gx = c.x(static_cast<std::int32_t>(t));
        c.line(gx, speedTop, gx, axisY, "class=\"grid\"");
        c.line(gx, axisY, gx, axisY + 5, "class=\"axis\"");
        c.text(gx, axisY + 18, fixed(t / 1000.0, timeStep < 1000.0 ? 1 : 0),
               "class=\"tick\" text-anchor=\"middle\"");
    }
    c.line(c.left, axisY, c.left + c.width, axisY, "class=\"axis\"");
    c.text(c.left + c.width / 2, axisY + 34, "time (s)", "text-anchor=\"middle\" class=\"label\"");

    // Speed.
    c.section(speedTop - 16, "Speed (km/h)");
    for (double v = speedLow; v <= speedHigh + 1e-9; v += speedStep) {
        const double gy = speedTop + speedHeight - (v - speedLow) / (speedHigh - speedLow) * speedHeight;
        c.line(c.left, gy, c.left + c.width, gy, "class=\"grid\"");
        c.text(c.left - 6, gy + 4, fixed(v, 0), "class=\"tick\" text-anchor=\"end\"");
    }
    c.line(c.left, speedTop, c.left, speedTop + speedHeight, "class=\"axis\"");
    out << "<polyline fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"2\" points=\"";
    for (const FrameRecord& r : recording.frames) {
        const double sy =
            speedTop + speedHeight -
            (static_cast<double>(r.state.speed) - speedLow) / (speedHigh - speedLow) * speedHeight;
        out << fixed(c.x(r.timeMs), 1) << ',' << fixed(sy, 1) << ' ';
    }
    out << "\"/>\n";

    // Handles.
    c.section(handlesTop - 16, "Handles (notch)");
    const double notchStep = std::max(1.0, niceStep(maxNotch, 4));
    const double notchHigh = std::ceil(maxNotch / notchStep) * notchStep;
    for (double v = 0; v <= notchHigh + 1e-9; v += notchStep) {
        const double gy = handlesTop + handlesHeight - v / notchHigh * handlesHeight;
        c.line(c.left, gy, c.left + c.width, gy, "class=\"grid\"");
        c.text(c.left - 6, gy + 4, fixed(v, 0), "class=\"tick\" text-anchor=\"end\"");
    }
    c.line(c.left, handlesTop, c.left, handlesTop + handlesHeight, "class=\"axis\"");
    c.steps(
        recording, [](const FrameRecord& r) { return static_cast<double>(r.handles.power); }, 0.0, notchHigh,
        handlesTop, handlesHeight, "stroke=\"#2a9d3a\" stroke-width=\"2\"");
    c.steps(
        recording, [](const FrameRecord& r) { return static_cast<double>(r.handles.brake); }, 0.0, notchHigh,
        handlesTop, handlesHeight, "stroke=\"#d03030\" stroke-width=\"2\" stroke-dasharray=\"6 3\"");
    c.line(c.left + c.width - 150, handlesTop - 20, c.left + c.width - 130, handlesTop - 20,
           "stroke=\"#2a9d3a\" stroke-width=\"2\"");
    c.text(c.left + c.width - 126, handlesTop - 16, "power", "class=\"label\"");
    c.line(c.left + c.width - 80, handlesTop - 20, c.left + c.width - 60, handlesTop - 20,
           "stroke=\"#d03030\" stroke-width=\"2\" stroke-dasharray=\"6 3\"");
    c.text(c.left + c.width - 56, handlesTop - 16, "brake", "class=\"label\"");

    // Calls made between frames, on three staggered rows so neighbouring labels do not overlap.
    c.section(callsTop - 16, "Calls");
    int callRow = 0;
    for (const FrameRecord& r : recording.frames) {
        if (r.events.empty()) continue;
        const double cx = c.x(r.timeMs);
        const double cy = callsTop + 12.0 + 14.0 * callRow;
        c.line(cx, callsTop, cx, callsTop + callsHeight, "stroke=\"#888\" stroke-width=\"1\"");
        c.text(cx + 3, cy, join(r.events, ", "), "class=\"tick\"");
        callRow = (callRow + 1) % 3;
    }

    // Panel slots: lamps (only 0 and 1 ever shown) as bars where lit, other slots as step lines.
    if (!panelSlots.empty()) c.section(panelTop - 16, "Panel slots (lamps lit; meters as lines)");
    double y = panelTop;
    for (const PanelRow& row : panelRows) {
        const std::size_t slot = row.slot;
        const bool lamp = row.lamp;
        const std::int32_t low = row.low, high = row.high;
        c.text(c.left - 6, y + 12, "panel " + std::to_string(slot), "class=\"label\" text-anchor=\"end\"");
        if (!lamp) {
            c.text(c.left - 6, y + 26, std::to_string(low) + " to " + std::to_string(high),
                   "class=\"tick\" text-anchor=\"end\"");
        }
        c.line(c.left, y + row.height, c.left + c.width, y + row.height, "class=\"grid\"");
        if (lamp) {
            for (std::size_t i = 0; i < recording.frames.size(); ++i) {
                if (recording.frames[i].panel[slot] == 0) continue;
                std::size_t j = i;
                while (j + 1 < recording.frames.size() && recording.frames[j + 1].panel[slot] != 0) ++j;
                const double x2 =
                    j + 1 < recording.frames.size() ? c.x(recording.frames[j + 1].timeMs) : c.left + c.width;
                c.rect(c.x(recording.frames[i].timeMs), y + 3, x2 - c.x(recording.frames[i].timeMs),
                       rowHeight - 6, "fill=\"#f0a020\"");
                i = j;
            }
        } else {
            c.steps(
                recording, [slot](const FrameRecord& r) { return static_cast<double>(r.panel[slot]); },
                static_cast<double>(low), static_cast<double>(high == low ? low + 1 : high), y + 4,
                row.height - 8, "stroke=\"#7a4fbf\" stroke-width=\"1.5\"");
        }
        y += row.height;
    }

    // Sound slots: a dot for SoundOnce, a square for SoundStop, a bar while SoundLoop holds.
    if (!soundSlots.empty()) c.section(soundTop - 16, "Sound slots");
    y = soundTop;
    for (std::size_t slot : soundSlots) {
        c.text(c.left - 6, y + 12, "sound " + std::to_string(slot), "class=\"label\" text-anchor=\"end\"");
        c.line(c.left, y + rowHeight, c.left + c.width, y + rowHeight, "class=\"grid\"");
        SoundFilter filter;
        double loopStart = -1.0;
        for (const FrameRecord& r : recording.frames) {
            const std::int32_t value = r.sound[slot];
            const double sx = c.x(r.timeMs);
            if (value == frame::SoundLoop && loopStart < 0.0) loopStart = sx;
            if (value != frame::SoundLoop && loopStart >= 0.0) {
                c.rect(loopStart, y + 5, sx - loopStart, rowHeight - 10, "fill=\"#5aa0e0\"");
                loopStart = -1.0;
            }
            if (!r.soundWritten[slot] || !filter.shows(slot, value)) continue;
            if (value == frame::SoundOnce) {
                out << "<circle cx=\"" << fixed(sx, 1) << "\" cy=\"" << fixed(y + rowHeight / 2, 1)
                    << "\" r=\"4\" fill=\"#b03090\"/>\n";
            } else if (value == frame::SoundStop) {
                c.rect(sx - 3, y + rowHeight / 2 - 3, 6, 6, "fill=\"#666\"");
            }
        }
        if (loopStart >= 0.0)
            c.rect(loopStart, y + 5, c.left + c.width - loopStart, rowHeight - 10, "fill=\"#5aa0e0\"");
        y += rowHeight;
    }

    // Legend.
    const double legendY = axisY + 52;
    double lx = c.left;
    out << "<circle cx=\"" << fixed(lx + 4, 1) << "\" cy=\"" << fixed(legendY - 4, 1)
        << "\" r=\"4\" fill=\"#b03090\"/>\n";
    c.text(lx + 12, legendY, "SoundOnce", "class=\"label\"");
    lx += 90;
    c.rect(lx, legendY - 7, 6, 6, "fill=\"#666\"");
    c.text(lx + 12, legendY, "SoundStop", "class=\"label\"");
    lx += 90;
    c.rect(lx, legendY - 8, 20, 6, "fill=\"#5aa0e0\"");
    c.text(lx + 26, legendY, "SoundLoop", "class=\"label\"");
    lx += 100;
    c.rect(lx, legendY - 9, 20, 10, "fill=\"#f0a020\"");
    c.text(lx + 26, legendY, "lamp lit (value not 0)", "class=\"label\"");
    out << "</svg>\n";
}

}  // namespace bench
