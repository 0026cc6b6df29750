// See tools/bench/run.h.
#include "tools/bench/run.h"

#include "tools/bench/replay_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {
namespace {

double channel(const Scenario& scenario, Channel which, std::int32_t timeMs) {
    return valueAt(scenario.keyframes[static_cast<std::size_t>(which)], timeMs, 0.0);
}

void apply(const Event& event, const host::EntryPoints& api) {
    switch (event.kind) {
        case EventKind::SetClock:
            break;  // the runner moves its clock
        case EventKind::SetPower:
            api.SetPower(event.value);
            break;
        case EventKind::SetBrake:
            api.SetBrake(event.value);
            break;
        case EventKind::SetReverser:
            api.SetReverser(event.value);
            break;
        case EventKind::KeyboardDown:
            host::setKeyDown(event.value, true);
            break;
        case EventKind::KeyboardUp:
            host::setKeyDown(event.value, false);
            break;
        case EventKind::KeyDown:
            api.KeyDown(event.value);
            break;
        case EventKind::KeyUp:
            api.KeyUp(event.value);
            break;
        case EventKind::HornBlow:
            api.HornBlow(event.value);
            break;
        case EventKind::DoorOpen:
            api.DoorOpen();
            break;
        case EventKind::DoorClose:
            api.DoorClose();
            break;
        case EventKind::SetSignal:
            api.SetSignal(event.value);
            break;
        case EventKind::SetBeaconData:
            api.SetBeaconData(frame::BeaconData{event.value, 0, 0.0f, event.optional});
            break;
        case EventKind::Initialize:
            api.Initialize(event.value);
            break;
    }
}

// The clock wraps as the host's 32-bit millisecond clock does.
std::int32_t clockAt(std::uint32_t clockOffset, std::int32_t timeMs) {
    return static_cast<std::int32_t>(clockOffset + static_cast<std::uint32_t>(timeMs));
}

double rate(const std::vector<double>& rates, std::int32_t notch) {
    if (notch <= 0 || rates.empty()) return 0.0;
    // Notches beyond the list (a plug-in may return more than the vehicle has) use the last rate.
    const auto index = std::min(static_cast<std::size_t>(notch), rates.size()) - 1;
    return rates[index];
}

std::string formatSeconds(std::int32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string formatValue(Output output, double value, int decimals = 3) {
    if (output == Output::Sound) return soundName(static_cast<std::int32_t>(value));
    if (output == Output::Speed || output == Output::Position) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        return text;
    }
    return std::to_string(static_cast<long long>(value));
}

// The wanted and the actual value, with as many decimals as it takes to tell them apart (at
// least those the scenario wrote, and three).
// Values that count as equal (a failed "<" or "!=") are shown as equal.
std::pair<std::string, std::string> shownApart(Output output, double want, double got, int decimals,
                                               bool equal) {
    int shown = std::max(3, decimals);
    while (!equal && shown < 17 && formatValue(output, want, shown) == formatValue(output, got, shown))
        ++shown;
    return {formatValue(output, want, shown), formatValue(output, got, shown)};
}

std::string outputName(const Expectation& expectation, int slot) {
    switch (expectation.output) {
        case Output::Brake:
            return "brake";
        case Output::Power:
            return "power";
        case Output::Reverser:
            return "reverser";
        case Output::ConstantSpeed:
            return "constantSpeed";
        case Output::Panel:
            return "panel " + std::to_string(slot);
        case Output::Sound:
            return "sound " + std::to_string(slot);
        case Output::Speed:
            return "speed";
        case Output::Position:
            return "position";
    }
    return "?";
}

double actual(const Expectation& expectation, const FrameRecord& record) {
    const auto slot = static_cast<std::size_t>(expectation.slot);
    switch (expectation.output) {
        case Output::Brake:
            return record.handles.brake;
        case Output::Power:
            return record.handles.power;
        case Output::Reverser:
            return record.handles.reverser;
        case Output::ConstantSpeed:
            return record.handles.constantSpeed;
        case Output::Panel:
            return record.panel[slot];
        case Output::Sound:
            return record.sound[slot];
        case Output::Speed:
            return static_cast<double>(record.state.speed);
        case Output::Position:
            return record.state.position;
    }
    return 0.0;
}

// A value within the tolerance of the wanted one counts as equal to it: "< 30.1" fails for 30.1
// as shown, "<= 30.1" holds for it.
bool equalWithin(double got, double want, double tolerance) {
    // A relative margin for the rounding of the decimal text and the float inputs themselves.
    const double margin = tolerance + 1e-9 * std::max(1.0, std::fabs(want));
    return tolerance > 0.0 ? std::fabs(got - want) < margin : got == want;
}

bool holds(Compare compare, double got, double want, double tolerance) {
    const bool equal = equalWithin(got, want, tolerance);
    switch (compare) {
        case Compare::Equal:
            return equal;
        case Compare::NotEqual:
            return !equal;
        case Compare::Less:
            return got < want && !equal;
        case Compare::LessOrEqual:
            return got < want || equal;
        case Compare::Greater:
            return got > want && !equal;
        case Compare::GreaterOrEqual:
            return got > want || equal;
        case Compare::Untouched:
            return true;
    }
    return false;
}

const char* compareText(Compare compare) {
    switch (compare) {
        case Compare::Equal:
            return "";
        case Compare::NotEqual:
            return "!= ";
        case Compare::Less:
            return "< ";
        case Compare::LessOrEqual:
            return "<= ";
        case Compare::Greater:
            return "> ";
        case Compare::GreaterOrEqual:
            return ">= ";
        case Compare::Untouched:
            return "";
    }
    return "";
}

// The first failure of an expectation in one frame, or an empty string.
std::string failure(const Scenario& scenario, const Expectation& expectation, const FrameRecord& record) {
    const std::string where = scenario.file + ":" + std::to_string(expectation.line) + ": at " +
                              formatSeconds(record.timeMs) + ": ";
    if (expectation.compare == Compare::Untouched) {
        const bool panel = expectation.output == Output::Panel;
        const auto& written = panel ? record.panelWritten : record.soundWritten;
        const auto& values = panel ? record.panel : record.sound;
        for (int slot = 0; slot < frame::kSlotCount; ++slot) {
            if (expectation.slot != kAllSlots && slot != expectation.slot) continue;
            const auto index = static_cast<std::size_t>(slot);
            if (!written[index]) continue;
            Expectation named = expectation;
            return where + outputName(named, slot) + ": expected untouched, got written " +
                   formatValue(expectation.output, values[index]);
        }
        return {};
    }
    const double got = actual(expectation, record);
    if (holds(expectation.compare, got, expectation.value, expectation.tolerance)) return {};
    const auto [want, have] = shownApart(expectation.output, expectation.value, got, expectation.decimals,
                                         equalWithin(got, expectation.value, expectation.tolerance));
    std::string tolerance;
    if (expectation.toleranceGiven) {
        char text[64];
        std::snprintf(text, sizeof text, " +- %g", expectation.tolerance);
        tolerance = text;
    }
    return where + outputName(expectation, expectation.slot) + ": expected " +
           compareText(expectation.compare) + want + tolerance + ", got " + have;
}

}  // namespace

double modelSpeed(const TrainModel& model, double speed, const frame::Handles& handles, double dt) {
    double acceleration = model.grade;
    // The brake wins over power, as in a train whose brake cuts traction.
    if (handles.brake > 0)
        acceleration -= rate(model.brake, handles.brake);
    else
        acceleration += rate(model.power, handles.power);
    const double next = speed + acceleration * dt;
    // A brake stops the train; it does not run it backwards.
    if (handles.brake > 0 && next < 0.0 && speed >= 0.0) return 0.0;
    return next;
}

void elapseInto(const host::EntryPoints& api, const frame::VehicleState& state, FrameRecord& record) {
    std::array<std::int32_t, frame::kSlotCount> panelFrame;
    std::array<std::int32_t, frame::kSlotCount> soundFrame;
    panelFrame.fill(kUntouchedMark);
    soundFrame.fill(kUntouchedMark);
    record.handles = api.Elapse(state, panelFrame.data(), soundFrame.data());
    record.panelWritten.reset();
    record.soundWritten.reset();
    for (std::size_t slot = 0; slot < panelFrame.size(); ++slot) {
        if (panelFrame[slot] != kUntouchedMark) {
            record.panel[slot] = panelFrame[slot];
            record.panelWritten.set(slot);
        }
        if (soundFrame[slot] != kUntouchedMark) {
            record.sound[slot] = soundFrame[slot];
            record.soundWritten.set(slot);
        }
    }
}

std::int64_t frameCount(const Scenario& scenario) {
    if (!scenario.replay.steps.empty()) return static_cast<std::int64_t>(scenario.replay.frames.size());
    return static_cast<std::int64_t>(scenario.endMs) / scenario.stepMs + 1;
}

std::vector<std::string> run(const Scenario& scenario, const host::EntryPoints& api, const FrameSink& sink,
                             const RunHooks& hooks) {
    if (!scenario.replay.steps.empty()) return runReplay(scenario, api, sink, hooks);
    host::releaseAllKeys();
    api.Load();
    api.SetVehicleSpec(scenario.vehicle);
    api.Initialize(0);

    // One record, reused: a frame's arrays and calls are overwritten by the next frame's.
    FrameRecord record;
    record.sound.fill(frame::SoundKeep);
    record.events.reserve(16);
    const auto& positions = scenario.keyframes[static_cast<std::size_t>(Channel::Position)];
    const double dt = static_cast<double>(scenario.stepMs) / 1000.0;
    double speed = channel(scenario, Channel::Speed, 0);
    double position = scenario.startPosition;
    double previousSpeed = speed;
    std::size_t nextEvent = 0;
    std::uint32_t clockOffset = static_cast<std::uint32_t>(scenario.clockMs);

    std::int64_t index = 0;
    for (std::int64_t t = 0; t <= scenario.endMs; t += scenario.stepMs, ++index) {
        const auto timeMs = static_cast<std::int32_t>(t);
        record.index = index;
        record.timeMs = timeMs;
        if (hooks.tick) hooks.tick(index, frameCount(scenario));
        record.events.clear();
        record.notices.clear();
        while (nextEvent < scenario.events.size() && scenario.events[nextEvent].timeMs <= timeMs) {
            const Event& event = scenario.events[nextEvent++];
            apply(event, api);
            switch (event.kind) {
                case EventKind::SetClock:
                    clockOffset =
                        static_cast<std::uint32_t>(event.value) - static_cast<std::uint32_t>(timeMs);
                    break;
                case EventKind::SetPower:
                    record.driver.power = event.value;
                    break;
                case EventKind::SetBrake:
                    record.driver.brake = event.value;
                    break;
                case EventKind::SetReverser:
                    record.driver.reverser = event.value;
                    break;
                case EventKind::DoorOpen:
                    record.hostDoorsOpen = true;
                    break;
                case EventKind::DoorClose:
                    record.hostDoorsOpen = false;
                    break;
                default:
                    break;
            }
            record.events.push_back(&event);
        }
        // What the plug-in printed while loading or in the calls just made; a frame without calls is
        // looked at only now and then, as printing from Elapse would be unusual.
        if (hooks.notices && (t == 0 || !record.events.empty() || index % 1024 == 0))
            record.notices = hooks.notices();
        if (!scenario.model.enabled) speed = channel(scenario, Channel::Speed, timeMs);
        if (!positions.empty()) {
            position = valueAt(positions, timeMs, 0.0);
        } else if (timeMs > 0) {
            position += (previousSpeed + speed) / 2.0 / 3.6 * dt;  // km/h to m/s, trapezoidal
        }
        previousSpeed = speed;

        frame::VehicleState& state = record.state;
        state.position = position;
        state.speed = static_cast<float>(speed);
        state.time = clockAt(clockOffset, timeMs);
        state.bcPressure = static_cast<float>(channel(scenario, Channel::Bc, timeMs));
        state.mrPressure = static_cast<float>(channel(scenario, Channel::Mr, timeMs));
        state.erPressure = static_cast<float>(channel(scenario, Channel::Er, timeMs));
        state.bpPressure = static_cast<float>(channel(scenario, Channel::Bp, timeMs));
        state.sapPressure = static_cast<float>(channel(scenario, Channel::Sap, timeMs));
        state.current = static_cast<float>(channel(scenario, Channel::Current, timeMs));

        elapseInto(api, state, record);
        sink(record);

        if (scenario.model.enabled) speed = modelSpeed(scenario.model, speed, record.handles, dt);
    }
    api.Dispose();
    std::vector<std::string> closing;
    if (hooks.notices) closing = hooks.notices();
    host::releaseAllKeys();
    return closing;
}

Recording run(const Scenario& scenario, const host::EntryPoints& api, const RunHooks& hooks) {
    Recording recording;
    recording.closingNotices = run(
        scenario, api, [&](const FrameRecord& record) { recording.frames.push_back(record); }, hooks);
    return recording;
}

Checker::Checker(const Scenario& scenario) : scenario_(scenario), results_(scenario.expectations.size()) {}

void Checker::frame(const FrameRecord& record) {
    if (!scenario_.replay.steps.empty()) return checkReplayFrame(scenario_, record, replayDifferences_);
    for (std::size_t i = 0; i < results_.size(); ++i) {
        const Expectation& expectation = scenario_.expectations[i];
        Result& result = results_[i];
        if (record.timeMs < expectation.fromMs || record.timeMs > expectation.toMs) continue;
        result.checked = true;
        if (result.failedAtMs >= 0) continue;  // the first frame that fails tells the story
        std::string message = failure(scenario_, expectation, record);
        if (!message.empty()) {
            result.failedAtMs = record.timeMs;
            result.message = std::move(message);
        }
    }
}

std::vector<std::string> Checker::failures() const {
    if (!scenario_.replay.steps.empty()) return replayDifferences_;
    std::vector<std::string> failures;
    for (std::size_t i = 0; i < results_.size(); ++i) {
        if (!results_[i].checked) {
            failures.push_back(scenario_.file + ":" + std::to_string(scenario_.expectations[i].line) +
                               ": no frame was checked");
        } else if (results_[i].failedAtMs >= 0) {
            failures.push_back(results_[i].message);
        }
    }
    return failures;
}

std::vector<std::string> check(const Scenario& scenario, const Recording& recording) {
    Checker checker(scenario);
    for (const FrameRecord& record : recording.frames) checker.frame(record);
    return checker.failures();
}

}  // namespace bench
