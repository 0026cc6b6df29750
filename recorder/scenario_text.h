// The writer thread's side: turns the ring's records into the lines of a scenario the bench replays
// (the replay form of docs/scenarios.md), and puts the whole file together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace recorder {

struct RecordingHeader {
    std::string plugin;      // the bench's plug-in name: the real library's file name without extension
    std::string pluginPath;  // where it was loaded from
    std::string started;     // local date and time of the start
    std::string ini;         // the plug-in's INI file at load, as read
    bool hasIni = false;
    bool atsIniPresent = false;  // an ATS.ini in the host's current folder, which is not recorded
};

class ScenarioText {
public:
    // Appends the lines of one record (as the ring holds it) to the body.
    void add(const unsigned char* record, std::size_t size);

    // The whole file: the header, then every line so far.
    std::string file(const RecordingHeader& header) const;

    std::uint64_t frames() const { return frames_; }
    std::uint64_t lost() const { return lost_; }

private:
    std::string body_;
    std::uint64_t frames_ = 0;
    std::uint64_t lost_ = 0;
    std::int64_t sceneMs_ = 0;  // the scenario time of the last frame
    std::int32_t lastClock_ = 0;
    std::vector<std::int32_t> lastPanel_;  // the slot writes of the last frame, as (slot, value) pairs
    std::vector<std::int32_t> lastSound_;
};

// Shortest decimal forms that read back to the same value (std::to_chars).
std::string numberText(double value);
std::string numberText(float value);

}  // namespace recorder
