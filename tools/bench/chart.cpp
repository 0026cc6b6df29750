// The SVG chart of tools/bench/report.h. The run is cut into at most two time buckets per pixel;
// each bucket keeps, for every value drawn, its first, lowest, highest and last value in the
// bucket, so a chart of any run has a bounded size and a one-frame change still shows as a stroke.
// Divisions: buckets, drawing helpers, the layout.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "tools/bench/report.h"

namespace bench {
namespace {

constexpr double kLeft = 170.0;       // room for the row names
constexpr double kPlotWidth = 900.0;  // pixels of time
constexpr int kBucketsPerPixel = 2;
constexpr double kCharWidth = 6.0;
constexpr int kExpectRows = 5;  // a generous width of one character of the 10 px labels

struct Range {
    double first = 0.0, low = 0.0, high = 0.0, last = 0.0;
    bool set = false;
    void add(double v) {
        if (!set) {
            first = low = high = last = v;
            set = true;
            return;
        }
        low = std::min(low, v);
        high = std::max(high, v);
        last = v;
    }
};

// The readings a meter slot can show, as Quinsora reads them from the vehicle state.
enum Raw { RawSpeed, RawBc, RawMr, RawEr, RawBp, RawSap, RawCurrent, RawCurrentAbs, kRawCount };

double rawValue(const frame::VehicleState& s, int raw) {
    switch (raw) {
        case RawSpeed:
            return std::fabs(static_cast<double>(s.speed));
        case RawBc:
            return static_cast<double>(s.bcPressure);
        case RawMr:
            return static_cast<double>(s.mrPressure);
        case RawEr:
            return static_cast<double>(s.erPressure);
        case RawBp:
            return static_cast<double>(s.bpPressure);
        case RawSap:
            return static_cast<double>(s.sapPressure);
        case RawCurrent:
            return static_cast<double>(s.current);
        default:
            return std::fabs(static_cast<double>(s.current));
    }
}

enum SoundMark : std::uint8_t { MarkOnce = 1, MarkStop = 2, MarkLoop = 4 };

struct Bucket {
    std::int32_t timeMs = 0;  // the first frame's
    Range speed;
    Range power, brake, driverPower, driverBrake;
    bool doorsOpen = false;
    std::array<Range, kRawCount> raw;
    std::uint32_t calls = 0;
    const Event* firstCall = nullptr;
};

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
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
        else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            escaped += '?';  // the chart is UTF-8; bytes of another code page would break it
        else
            escaped += c;
    }
    return escaped;
}

std::string clip(const std::string& text, std::size_t length) {
    return text.size() <= length ? text : text.substr(0, length - 3) + "...";
}

double niceStep(double range, int ticks) {
    if (!(range > 0.0)) return 1.0;
    const double raw = range / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (raw <= factor * magnitude) return factor * magnitude;
    }
    return 10.0 * magnitude;
}

}  // namespace

struct Chart::State {
    explicit State(const Scenario& s) : scenario(s) {}
    const Scenario& scenario;
    std::int64_t frames = 1;
    std::size_t bucketCount = 1;
    std::vector<Bucket> buckets;
    // Per slot written: its buckets, made at the first write (a panel slot reads 0 before it).
    std::map<std::size_t, std::vector<Range>> panel;
    std::map<std::size_t, std::vector<std::uint8_t>> sound;
    std::map<std::size_t, int> rawSource;
    std::array<std::int32_t, frame::kSlotCount> lastSound{};  // the last command shown, per slot
    std::array<std::int32_t, frame::kSlotCount> panelValue{};
    bool doorEvents = false;
    std::int32_t lastTimeMs = 0;

    std::size_t bucketOf(std::int64_t index) const {
        const auto b = static_cast<std::size_t>(index * static_cast<std::int64_t>(bucketCount) / frames);
        return std::min(b, bucketCount - 1);
    }
};

Chart::Chart(const Scenario& scenario, std::int64_t frames) : state_(std::make_unique<State>(scenario)) {
    State& s = *state_;
    s.frames = std::max<std::int64_t>(frames, 1);
    s.bucketCount = static_cast<std::size_t>(
        std::min<std::int64_t>(s.frames, static_cast<std::int64_t>(kPlotWidth) * kBucketsPerPixel));
    s.buckets.resize(s.bucketCount);
    s.lastSound.fill(frame::SoundKeep);
}

Chart::~Chart() = default;

void Chart::setRawSource(std::size_t panelSlot, const std::string& input) {
    static const char* const names[] = {"speed", "bc", "mr", "er", "bp", "sap", "current", "current-abs"};
    for (int raw = 0; raw < kRawCount; ++raw) {
        if (input == names[raw]) state_->rawSource[panelSlot] = raw;
    }
}

void Chart::frame(const FrameRecord& record) {
    State& s = *state_;
    const std::size_t b = s.bucketOf(record.index);
    Bucket& bucket = s.buckets[b];
    if (!bucket.speed.set) bucket.timeMs = record.timeMs;
    s.lastTimeMs = record.timeMs;
    bucket.speed.add(static_cast<double>(record.state.speed));
    bucket.power.add(record.handles.power);
    bucket.brake.add(record.handles.brake);
    bucket.driverPower.add(record.driver.power);
    bucket.driverBrake.add(record.driver.brake);
    bucket.doorsOpen = bucket.doorsOpen || record.hostDoorsOpen;
    for (int raw = 0; raw < kRawCount; ++raw)
        bucket.raw[static_cast<std::size_t>(raw)].add(rawValue(record.state, raw));
    for (const Event* event : record.events) {
        if (event->kind == EventKind::DoorOpen || event->kind == EventKind::DoorClose) s.doorEvents = true;
        if (bucket.calls++ == 0) bucket.firstCall = event;
    }
    for (std::size_t slot = 0; slot < record.panel.size(); ++slot) {
        if (record.panelWritten[slot] || s.panel.count(slot)) {
            auto& ranges = s.panel[slot];
            if (ranges.empty()) {
                ranges.resize(s.bucketCount);
                for (std::size_t i = 0; i < b; ++i) ranges[i].add(0.0);
            }
            ranges[b].add(record.panel[slot]);
        }
        // SoundKeep, written or not, leaves the slot's last command in force: a loop goes on.
        const std::int32_t value = record.soundWritten[slot] ? record.sound[slot] : frame::SoundKeep;
        std::uint8_t mark = 0;
        if (value == frame::SoundOnce) mark = MarkOnce;
        if (value == frame::SoundStop && s.lastSound[slot] != frame::SoundStop) mark = MarkStop;
        if (value != frame::SoundKeep) s.lastSound[slot] = value;
        if (s.lastSound[slot] == frame::SoundLoop) mark |= MarkLoop;
        if (mark != 0) {
            auto& marks = s.sound[slot];
            if (marks.empty()) marks.resize(s.bucketCount);
            marks[b] |= mark;
        }
    }
}

namespace {

// Drawing in the plot: x from time, and the SVG elements used.
struct Canvas {
    std::ostream& out;
    double endMs = 1.0;
    double x(double ms) const { return kLeft + kPlotWidth * ms / endMs; }
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
    void section(double top, const std::string& title) { text(8, top + 12, title, "class=\"section\""); }
    // A row name at the left, clipped to the margin.
    void rowName(double top, const std::string& name, const std::string& detail = "") {
        text(kLeft - 6, top + 12, clip(name, 26), "class=\"label\" text-anchor=\"end\"");
        if (!detail.empty())
            text(kLeft - 6, top + 25, clip(detail, 28), "class=\"tick\" text-anchor=\"end\"");
    }
};

// A value held from frame to frame, as steps; in a bucket with several values, a vertical stroke
// from the lowest to the highest. Scaled into [top, top + height].
template <class Get>
void steps(Canvas& c, const std::vector<Bucket>& buckets, std::size_t count, Get get, double low, double high,
           double top, double height, const char* attributes) {
    const double span = high > low ? high - low : 1.0;
    auto y = [&](double v) { return fixed(top + height - (v - low) / span * height, 1); };
    c.out << "<path fill=\"none\" " << attributes << " d=\"";
    bool first = true;
    for (std::size_t i = 0; i < count; ++i) {
        const Range& r = get(i);
        if (!r.set) continue;
        const double bx = c.x(buckets[i].timeMs);
        c.out << (first ? "M" : " H") << fixed(bx, 1) << (first ? " " : " V") << y(r.first);
        if (r.low < r.high) c.out << " V" << y(r.low) << " V" << y(r.high) << " V" << y(r.last);
        first = false;
    }
    if (!first) c.out << " H" << fixed(kLeft + kPlotWidth, 1);
    c.out << "\"/>\n";
}

// Bars where a condition holds; from one bucket's start to the next's.
template <class Holds>
void bars(Canvas& c, const std::vector<Bucket>& buckets, std::size_t count, Holds holds, double top,
          double height, const char* attributes) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!holds(i)) continue;
        std::size_t j = i;
        while (j + 1 < count && holds(j + 1)) ++j;
        const double x1 = c.x(buckets[i].timeMs);
        const double x2 = j + 1 < count ? c.x(buckets[j + 1].timeMs) : kLeft + kPlotWidth;
        c.rect(x1, top, x2 - x1, height, attributes);
        i = j;
    }
}

// Places labels along the time axis on a few rows without overlap; a label with no room is left
// out (its tick stays) and counted.
struct LabelRows {
    std::vector<double> ends;
    int omitted = 0;
    explicit LabelRows(int rows) : ends(static_cast<std::size_t>(rows), -1e9) {}
    // The row for a label at x, or -1; the label (or the bar it goes with) takes at least span.
    int place(double x, const std::string& text, double span = 0.0) {
        const double width = std::max(span, kCharWidth * static_cast<double>(text.size())) + 8.0;
        if (x + kCharWidth * static_cast<double>(text.size()) > kLeft + kPlotWidth + 30.0) {
            ++omitted;
            return -1;
        }
        for (std::size_t row = 0; row < ends.size(); ++row) {
            if (ends[row] <= x) {
                ends[row] = x + width;
                return static_cast<int>(row);
            }
        }
        ++omitted;
        return -1;
    }
};

}  // namespace

void Chart::write(std::ostream& out, const std::vector<Checker::Result>& results) const {
    const State& s = *state_;
    const Scenario& scenario = s.scenario;
    Canvas c{out};
    c.endMs = std::max(1.0, static_cast<double>(scenario.endMs));
    std::size_t count = 0;  // buckets that hold a frame
    while (count < s.buckets.size() && s.buckets[count].speed.set) ++count;
    const std::vector<Bucket>& buckets = s.buckets;

    double maxSpeed = 10.0, minSpeed = 0.0;
    int maxNotch = 1;
    for (std::size_t i = 0; i < count; ++i) {
        maxSpeed = std::max(maxSpeed, buckets[i].speed.high);
        minSpeed = std::min(minSpeed, buckets[i].speed.low);
        maxNotch = std::max(
            {maxNotch, static_cast<int>(buckets[i].power.high), static_cast<int>(buckets[i].brake.high),
             static_cast<int>(buckets[i].driverPower.high), static_cast<int>(buckets[i].driverBrake.high)});
    }
    const double speedStep = niceStep(maxSpeed - minSpeed, 5);
    const double speedHigh = std::ceil(maxSpeed / speedStep) * speedStep;
    const double speedLow = std::floor(minSpeed / speedStep) * speedStep;

    // Rows: lamps (only 0 and 1) thin, meters tall.
    struct PanelRow {
        std::size_t slot;
        double low, high;
        bool lamp;
        double height;
    };
    std::vector<PanelRow> panelRows;
    for (const auto& [slot, ranges] : s.panel) {
        double low = 0.0, high = 0.0;
        for (std::size_t i = 0; i < count; ++i) {
            if (!ranges[i].set) continue;
            low = std::min(low, ranges[i].low);
            high = std::max(high, ranges[i].high);
        }
        const bool lamp = low == 0.0 && high <= 1.0 && !s.rawSource.count(slot);
        if (s.rawSource.count(slot)) {
            const int raw = s.rawSource.at(slot);
            for (std::size_t i = 0; i < count; ++i) {
                low = std::min(low, buckets[i].raw[static_cast<std::size_t>(raw)].low);
                high = std::max(high, buckets[i].raw[static_cast<std::size_t>(raw)].high);
            }
        }
        panelRows.push_back({slot, low, high, lamp, lamp ? 18.0 : 52.0});
    }
    std::vector<std::size_t> soundRows;
    for (const auto& [slot, marks] : s.sound) {
        if (std::any_of(marks.begin(), marks.end(), [](std::uint8_t m) { return m != 0; }))
            soundRows.push_back(slot);
    }

    const double rowHeight = 18.0;
    double y = 60.0;
    const double speedTop = y, speedHeight = 150.0;
    y += speedHeight + 44.0;
    const double handlesTop = y, handlesHeight = 90.0;
    y += handlesHeight + 30.0;
    const double callsTop = y, callsHeight = 48.0;
    y += callsHeight + 26.0;
    const double doorsTop = y;
    if (s.doorEvents) y += rowHeight + 26.0;
    const double panelTop = y;
    for (const PanelRow& row : panelRows) y += row.height;
    if (!panelRows.empty()) y += 26.0;
    const double soundTop = y;
    y += rowHeight * static_cast<double>(soundRows.size());
    if (!soundRows.empty()) y += 26.0;
    const double expectTop = y, expectHeight = scenario.expectations.empty() ? 0.0 : 14.0 * kExpectRows + 8.0;
    y += expectHeight;
    const double axisY = y + 4.0;
    const double totalHeight = axisY + 72.0;
    const double totalWidth = kLeft + kPlotWidth + 40.0;

    int failed = 0;
    for (const Checker::Result& r : results) failed += r.failedAtMs >= 0 || !r.checked;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << fixed(totalWidth, 0) << "\" height=\""
        << fixed(totalHeight, 0) << "\" viewBox=\"0 0 " << fixed(totalWidth, 0) << " "
        << fixed(totalHeight, 0) << "\" font-family=\"sans-serif\" font-size=\"11\">\n"
        << "<style>.section{font-weight:bold;font-size:12px}.label{fill:#222}.tick{fill:#555;font-size:10px}"
           ".grid{stroke:#e4e4e4;stroke-width:1}.axis{stroke:#444;stroke-width:1}"
           ".halo{paint-order:stroke;stroke:white;stroke-width:3px;stroke-linejoin:round}</style>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    c.text(8, 22, clip(scenario.title.empty() ? scenario.plugin : scenario.title, 110),
           "font-size=\"16\" font-weight=\"bold\"");
    std::string status = clip(scenario.file, 60) + " - plug-in " + scenario.plugin + ", " +
                         std::to_string(s.frames) + " frames of " + std::to_string(scenario.stepMs) + " ms";
    if (!results.empty()) {
        status += failed ? " - " + std::to_string(failed) + " of " + std::to_string(results.size()) +
                               " expectation(s) failed"
                         : " - " + std::to_string(results.size()) + " expectation(s) met";
    }
    c.text(8, 40, status, failed ? "fill=\"#c00\"" : "class=\"tick\"");

    // Time grid across every section; at most about ten labelled ticks.
    const double timeStep = niceStep(c.endMs / 1000.0, 10) * 1000.0;
    for (double t = 0.0; t <= c.endMs + 0.5; t += timeStep) {
        const double gx = c.x(t);
        c.line(gx, speedTop, gx, axisY, "class=\"grid\"");
        c.line(gx, axisY, gx, axisY + 5, "class=\"axis\"");
        c.text(gx, axisY + 18, fixed(t / 1000.0, timeStep < 1000.0 ? 1 : 0),
               "class=\"tick\" text-anchor=\"middle\"");
    }
    c.line(kLeft, axisY, kLeft + kPlotWidth, axisY, "class=\"axis\"");
    c.text(kLeft + kPlotWidth / 2, axisY + 34, "time (s)", "text-anchor=\"middle\" class=\"label\"");

    // Speed: the input passed to the plug-in.
    c.section(speedTop - 18, "Speed (km/h)");
    for (double v = speedLow; v <= speedHigh + 1e-9; v += speedStep) {
        const double gy = speedTop + speedHeight - (v - speedLow) / (speedHigh - speedLow) * speedHeight;
        c.line(kLeft, gy, kLeft + kPlotWidth, gy, "class=\"grid\"");
        c.text(kLeft - 6, gy + 4, fixed(v, 0), "class=\"tick\" text-anchor=\"end\"");
    }
    c.line(kLeft, speedTop, kLeft, speedTop + speedHeight, "class=\"axis\"");
    {
        const double span = speedHigh - speedLow;
        auto sy = [&](double v) {
            return fixed(speedTop + speedHeight - (v - speedLow) / span * speedHeight, 1);
        };
        out << "<path fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"2\" stroke-linejoin=\"round\" d=\"";
        for (std::size_t i = 0; i < count; ++i) {
            const Range& r = buckets[i].speed;
            const std::string bx = fixed(c.x(buckets[i].timeMs), 1);
            out << (i == 0 ? "M" : " L") << bx << ' ' << sy(r.first);
            if (r.low < r.high) out << " L" << bx << ' ' << sy(r.low) << " L" << bx << ' ' << sy(r.high);
            if (r.last != r.first || r.low < r.high) out << " L" << bx << ' ' << sy(r.last);
        }
        out << "\"/>\n";
    }

    // Handles: the driver's (thin, light) under the returned ones (thick), so a cut, a shaped
    // notch or a latched brake shows as a gap between the two.
    c.section(handlesTop - 32, "Handles (notch): driver's thick and pale, plug-in's thin");
    const double notchStep = std::max(1.0, niceStep(maxNotch, 4));
    const double notchHigh = std::ceil(maxNotch / notchStep) * notchStep;
    for (double v = 0; v <= notchHigh + 1e-9; v += notchStep) {
        const double gy = handlesTop + handlesHeight - v / notchHigh * handlesHeight;
        c.line(kLeft, gy, kLeft + kPlotWidth, gy, "class=\"grid\"");
        c.text(kLeft - 6, gy + 4, fixed(v, 0), "class=\"tick\" text-anchor=\"end\"");
    }
    c.line(kLeft, handlesTop, kLeft, handlesTop + handlesHeight, "class=\"axis\"");
    steps(
        c, buckets, count, [&](std::size_t i) -> const Range& { return buckets[i].driverPower; }, 0.0,
        notchHigh, handlesTop, handlesHeight, "stroke=\"#8fd19a\" stroke-width=\"5\" stroke-opacity=\"0.7\"");
    steps(
        c, buckets, count, [&](std::size_t i) -> const Range& { return buckets[i].driverBrake; }, 0.0,
        notchHigh, handlesTop, handlesHeight, "stroke=\"#f0a0a0\" stroke-width=\"5\" stroke-opacity=\"0.7\"");
    steps(
        c, buckets, count, [&](std::size_t i) -> const Range& { return buckets[i].power; }, 0.0, notchHigh,
        handlesTop, handlesHeight, "stroke=\"#1d7a2b\" stroke-width=\"1.6\"");
    steps(
        c, buckets, count, [&](std::size_t i) -> const Range& { return buckets[i].brake; }, 0.0, notchHigh,
        handlesTop, handlesHeight, "stroke=\"#c02020\" stroke-width=\"1.6\" stroke-dasharray=\"6 3\"");
    {
        double lx = kLeft + kPlotWidth - 400;
        const double ly = handlesTop - 20;
        const struct {
            const char* name;
            const char* style;
        } keys[] = {
            {"driver power", "stroke=\"#8fd19a\" stroke-width=\"5\""},
            {"plug-in power", "stroke=\"#1d7a2b\" stroke-width=\"1.6\""},
            {"driver brake", "stroke=\"#f0a0a0\" stroke-width=\"5\""},
            {"plug-in brake", "stroke=\"#c02020\" stroke-width=\"1.6\" stroke-dasharray=\"6 3\""},
        };
        for (const auto& key : keys) {
            c.line(lx, ly - 4, lx + 18, ly - 4, key.style);
            c.text(lx + 22, ly, key.name, "class=\"tick\"");
            lx += 100;
        }
    }

    // Calls made between frames: a tick each, labels on three rows where they fit.
    c.section(callsTop - 18, "Calls");
    LabelRows callRows(3);
    for (std::size_t i = 0; i < count; ++i) {
        if (buckets[i].calls == 0) continue;
        const double cx = c.x(buckets[i].timeMs);
        c.line(cx, callsTop, cx, callsTop + callsHeight, "stroke=\"#888\" stroke-width=\"1\"");
        std::string label = clip(buckets[i].firstCall->text, 24);
        if (buckets[i].calls > 1) label += " +" + std::to_string(buckets[i].calls - 1);
        const int row = callRows.place(cx + 3, label);
        if (row >= 0) c.text(cx + 3, callsTop + 12.0 + 15.0 * row, label, "class=\"tick halo\"");
    }
    if (callRows.omitted > 0) {
        c.text(kLeft + kPlotWidth, callsTop - 6,
               std::to_string(callRows.omitted) + " call label(s) left out for room: see the timeline",
               "class=\"tick\" text-anchor=\"end\"");
    }

    // The simulator's doors, as DoorOpen and DoorClose report them.
    if (s.doorEvents) {
        c.section(doorsTop - 18, "Simulator");
        c.rowName(doorsTop, "doors open");
        c.line(kLeft, doorsTop + rowHeight, kLeft + kPlotWidth, doorsTop + rowHeight, "class=\"grid\"");
        bars(
            c, buckets, count, [&](std::size_t i) { return buckets[i].doorsOpen; }, doorsTop + 4,
            rowHeight - 8, "fill=\"#7a7a7a\"");
    }

    // Panel slots: a lamp as a bar while lit (pale where it changes within a bucket), a meter as
    // steps with the reading it shows, if known, as a thin grey line behind.
    if (!panelRows.empty())
        c.section(panelTop - 18, "Panel slots (lamps lit; meters as steps, raw input grey)");
    y = panelTop;
    for (const PanelRow& row : panelRows) {
        const auto& ranges = s.panel.at(row.slot);
        // A lamp's row has room for one line, a meter's for its range below the name.
        if (row.lamp) {
            c.rowName(y, slotName(scenario, true, row.slot));
        } else {
            std::string range = fixed(row.low, 0);
            range += " to ";
            range += fixed(row.high, 0);
            c.rowName(y, slotName(scenario, true, row.slot), range);
        }
        c.line(kLeft, y + row.height, kLeft + kPlotWidth, y + row.height, "class=\"grid\"");
        if (row.lamp) {
            bars(
                c, buckets, count,
                [&](std::size_t i) { return ranges[i].high != 0.0 && ranges[i].low == ranges[i].high; },
                y + 3, rowHeight - 6, "fill=\"#f0a020\"");
            bars(
                c, buckets, count, [&](std::size_t i) { return ranges[i].low != ranges[i].high; }, y + 3,
                rowHeight - 6, "fill=\"#f0a020\" fill-opacity=\"0.45\"");
        } else {
            const double high = row.high == row.low ? row.low + 1.0 : row.high;
            if (s.rawSource.count(row.slot)) {
                const auto raw = static_cast<std::size_t>(s.rawSource.at(row.slot));
                steps(
                    c, buckets, count, [&](std::size_t i) -> const Range& { return buckets[i].raw[raw]; },
                    row.low, high, y + 4, row.height - 8, "stroke=\"#b0b0b0\" stroke-width=\"1\"");
            }
            steps(
                c, buckets, count, [&](std::size_t i) -> const Range& { return ranges[i]; }, row.low, high,
                y + 4, row.height - 8, "stroke=\"#7a4fbf\" stroke-width=\"1.6\"");
        }
        y += row.height;
    }

    // Sound slots: a dot for SoundOnce, a square for SoundStop, a bar while SoundLoop holds.
    if (!soundRows.empty()) c.section(soundTop - 18, "Sound slots");
    y = soundTop;
    for (std::size_t slot : soundRows) {
        const auto& marks = s.sound.at(slot);
        c.rowName(y, slotName(scenario, false, slot));
        c.line(kLeft, y + rowHeight, kLeft + kPlotWidth, y + rowHeight, "class=\"grid\"");
        bars(
            c, buckets, count, [&](std::size_t i) { return (marks[i] & MarkLoop) != 0; }, y + 6,
            rowHeight - 12, "fill=\"#5aa0e0\"");
        for (std::size_t i = 0; i < count; ++i) {
            const double sx = c.x(buckets[i].timeMs);
            if (marks[i] & MarkOnce) {
                out << "<circle cx=\"" << fixed(sx, 1) << "\" cy=\"" << fixed(y + rowHeight / 2, 1)
                    << "\" r=\"4\" fill=\"#b03090\"/>\n";
            }
            if (marks[i] & MarkStop) c.rect(sx - 3, y + rowHeight / 2 - 3, 6, 6, "fill=\"#555\"");
        }
        y += rowHeight;
    }

    // Expectations: a green bar over the frames each one checked, or a red mark where it failed,
    // with its line number where there is room.
    if (!scenario.expectations.empty()) {
        c.section(expectTop - 14, "Expectations (scenario line)");
        LabelRows rows(kExpectRows);
        for (std::size_t i = 0; i < scenario.expectations.size() && i < results.size(); ++i) {
            const Expectation& e = scenario.expectations[i];
            const Checker::Result& r = results[i];
            const double x1 = c.x(std::min<double>(e.fromMs, c.endMs));
            const double x2 = c.x(std::min<double>(e.toMs, c.endMs));
            const bool bad = r.failedAtMs >= 0 || !r.checked;
            const double mx = bad && r.failedAtMs >= 0 ? c.x(r.failedAtMs) : x1;
            const std::string label = std::to_string(e.line);
            // A met range takes its whole length on its row; a failure its mark and number.
            const double start = bad ? mx - 5 : x1;
            const int row = rows.place(start, label, bad ? 12.0 : x2 - x1 + 14.0);
            const double ry = expectTop + 4 + (row < 0 ? kExpectRows - 1 : row) * 14.0;
            if (bad) {
                c.line(mx - 4, ry, mx + 4, ry + 8, "stroke=\"#d00000\" stroke-width=\"2\"");
                c.line(mx - 4, ry + 8, mx + 4, ry, "stroke=\"#d00000\" stroke-width=\"2\"");
            } else {
                c.rect(x1 - 1.5, ry + 1, std::max(x2 - x1, 0.0) + 3, 6, "fill=\"#2a9d3a\"");
            }
            const double tx = bad ? mx + 6 : x2 + 3;
            if (row >= 0)
                c.text(tx, ry + 8, label, bad ? "fill=\"#d00000\" font-size=\"10\"" : "class=\"tick\"");
        }
        if (rows.omitted > 0) {
            c.text(kLeft + kPlotWidth, expectTop - 4,
                   std::to_string(rows.omitted) + " crowded, drawn on the last row without a number",
                   "class=\"tick\" text-anchor=\"end\"");
        }
    }

    // Legend.
    const double legendY = axisY + 54;
    double lx = kLeft;
    out << "<circle cx=\"" << fixed(lx + 4, 1) << "\" cy=\"" << fixed(legendY - 4, 1)
        << "\" r=\"4\" fill=\"#b03090\"/>\n";
    c.text(lx + 12, legendY, "SoundOnce", "class=\"label\"");
    lx += 90;
    c.rect(lx, legendY - 7, 6, 6, "fill=\"#555\"");
    c.text(lx + 12, legendY, "SoundStop", "class=\"label\"");
    lx += 90;
    c.rect(lx, legendY - 8, 20, 6, "fill=\"#5aa0e0\"");
    c.text(lx + 26, legendY, "SoundLoop", "class=\"label\"");
    lx += 95;
    c.rect(lx, legendY - 9, 20, 10, "fill=\"#f0a020\"");
    c.text(lx + 26, legendY, "lamp lit", "class=\"label\"");
    lx += 80;
    c.rect(lx, legendY - 9, 20, 10, "fill=\"#f0a020\" fill-opacity=\"0.45\"");
    c.text(lx + 26, legendY, "lamp changing", "class=\"label\"");
    lx += 110;
    c.rect(lx, legendY - 7, 20, 4, "fill=\"#2a9d3a\"");
    c.text(lx + 26, legendY, "expectation met", "class=\"label\"");
    lx += 120;
    c.line(lx, legendY - 9, lx + 8, legendY - 1, "stroke=\"#d00000\" stroke-width=\"2\"");
    c.line(lx, legendY - 1, lx + 8, legendY - 9, "stroke=\"#d00000\" stroke-width=\"2\"");
    c.text(lx + 14, legendY, "failed", "class=\"label\"");
    out << "</svg>\n";
}

}  // namespace bench
