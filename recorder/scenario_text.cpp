// See recorder/scenario_text.h.
#include "recorder/scenario_text.h"

#include <charconv>
#include <cstring>

#include "recorder/records.h"

namespace recorder {
namespace {

template <class T>
T take(const unsigned char*& at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

std::string hexByte(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    text += digits[(value >> 4) & 0xF];
    text += digits[value & 0xF];
    return text;
}

const char* callName(Call call) {
    switch (call) {
        case Call::Load:
            return "Load";
        case Call::Dispose:
            return "Dispose";
        case Call::GetPluginVersion:
            return "GetPluginVersion";
        case Call::SetVehicleSpec:
            return "SetVehicleSpec";
        case Call::Initialize:
            return "Initialize";
        case Call::SetPower:
            return "SetPower";
        case Call::SetBrake:
            return "SetBrake";
        case Call::SetReverser:
            return "SetReverser";
        case Call::KeyDown:
            return "KeyDown";
        case Call::KeyUp:
            return "KeyUp";
        case Call::HornBlow:
            return "HornBlow";
        case Call::DoorOpen:
            return "DoorOpen";
        case Call::DoorClose:
            return "DoorClose";
        case Call::SetSignal:
            return "SetSignal";
        case Call::SetBeaconData:
            return "SetBeaconData";
    }
    return "?";
}

// How many arguments (or results) of a call are written.
int valueCount(Call call) {
    switch (call) {
        case Call::Load:
        case Call::Dispose:
        case Call::DoorOpen:
        case Call::DoorClose:
            return 0;
        case Call::SetVehicleSpec:
            return 5;
        case Call::SetBeaconData:
            return 4;
        default:
            return 1;
    }
}

// The slot writes of one array: "panel 20=1 201=0", "panel same" when they repeat the last frame's,
// nothing when none was written.
void addWrites(std::string& line, const char* name, const unsigned char*& at, std::uint32_t count,
               std::vector<std::int32_t>& last) {
    std::vector<std::int32_t> writes;
    writes.reserve(count * 2);
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto write = take<SlotWrite>(at);
        writes.push_back(write.slot);
        writes.push_back(write.value);
    }
    if (count == 0) {
        last.clear();
        return;
    }
    line += ' ';
    line += name;
    if (writes == last) {
        line += " same";
        return;
    }
    for (std::size_t i = 0; i < writes.size(); i += 2) {
        line += ' ' + std::to_string(writes[i]) + '=' + std::to_string(writes[i + 1]);
    }
    last = std::move(writes);
}

}  // namespace

std::string numberText(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string numberText(float value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

void ScenarioText::add(const unsigned char* record, std::size_t size) {
    RecordKind kind{};
    if (size < sizeof kind) return;
    std::memcpy(&kind, record, sizeof kind);
    if (kind == RecordKind::Lost && size >= sizeof(LostRecord)) {
        const auto lost = take<LostRecord>(record);
        lost_ += lost.count;
        body_ += "# " + std::to_string(lost.count) +
                 " record(s) lost here: the buffer was full. The replay differs from this point on.\n";
        return;
    }
    if (kind == RecordKind::Call && size >= sizeof(CallRecord)) {
        const auto call = take<CallRecord>(record);
        body_ += "call ";
        body_ += callName(call.call);
        const int count = valueCount(call.call);
        for (int i = 0; i < count; ++i) {
            body_ += ' ';
            if (call.call == Call::SetBeaconData && i == 2) {
                float distance;
                std::memcpy(&distance, &call.values[2], sizeof distance);
                body_ += numberText(distance);
            } else {
                body_ += std::to_string(call.values[i]);
            }
        }
        body_ += '\n';
        return;
    }
    if (kind != RecordKind::Frame || size < sizeof(FrameHead)) return;
    const auto head = take<FrameHead>(record);
    if (head.keyCount > 0) {
        std::string keys = "keys";
        for (std::uint32_t i = 0; i < head.keyCount; ++i) {
            const unsigned key = record[2 * i];
            const unsigned state = record[2 * i + 1];
            keys += ' ' + hexByte(key) + '=' + hexByte(state);
        }
        body_ += keys + '\n';
        record += (head.keyCount * 2 + 3) & ~3u;
    }
    // The scenario time runs with the host's clock; a clock that goes back, or jumps ahead by more
    // than a minute (a restart at another time), leaves it where it was.
    if (frames_ > 0) {
        const std::int32_t step = frame::clockDifference(head.state.time, lastClock_);
        if (step > 0 && step <= 60000) sceneMs_ += step;
    }
    lastClock_ = head.state.time;
    ++frames_;
    const frame::VehicleState& s = head.state;
    std::string line = "frame " + std::to_string(sceneMs_) + "ms " + numberText(s.position) + ' ' +
                       numberText(s.speed) + ' ' + std::to_string(s.time) + ' ' + numberText(s.bcPressure) +
                       ' ' + numberText(s.mrPressure) + ' ' + numberText(s.erPressure) + ' ' +
                       numberText(s.bpPressure) + ' ' + numberText(s.sapPressure) + ' ' +
                       numberText(s.current) + " expect " + std::to_string(head.handles.brake) + ' ' +
                       std::to_string(head.handles.power) + ' ' + std::to_string(head.handles.reverser) +
                       ' ' + std::to_string(head.handles.constantSpeed);
    addWrites(line, "panel", record, head.panelCount, lastPanel_);
    addWrites(line, "sound", record, head.soundCount, lastSound_);
    body_ += line + '\n';
}

std::string ScenarioText::file(const RecordingHeader& header) const {
    std::string text;
    text += "# A recording of " + header.pluginPath + " in the simulator, started " + header.started + ".\n";
    text += "# " + std::to_string(frames_) + " frame(s) recorded, " + std::to_string(lost_) +
            " record(s) lost. Replay it with: bench THIS-FILE (see docs/recorder.md)\n";
    if (lost_ > 0) {
        text +=
            "# WARNING: records were lost (the recorder's buffer was full): the replay differs from the\n"
            "# first loss on.\n";
    }
    if (header.atsIniPresent) {
        text +=
            "# NOTE: an ATS.ini was in the simulator's current folder; its values are not recorded, and a\n"
            "# setting taken from it differs on the bench.\n";
    }
    text += "title Recording of " + header.plugin + ", " + header.started + "\n";
    text += "plugin " + header.plugin + "\n";
    if (header.hasIni) {
        std::size_t start = 0;
        while (start < header.ini.size()) {
            std::size_t end = header.ini.find_first_of("\r\n", start);
            if (end == std::string::npos) end = header.ini.size();
            text += "ini " + header.ini.substr(start, end - start) + "\n";
            // One line ending: CRLF, LF or CR.
            if (end < header.ini.size() && header.ini[end] == '\r' && end + 1 < header.ini.size() &&
                header.ini[end + 1] == '\n')
                ++end;
            start = end + 1;
        }
        if (header.ini.empty()) text += "ini\n";
    }
    text += body_;
    return text;
}

}  // namespace recorder
