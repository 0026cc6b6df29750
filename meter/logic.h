// The meter plug-in's per-frame logic: it sums seven readings of the vehicle state frame by frame,
// turns the sums into rounded integer averages once per update interval, and writes the held
// averages into the panel slots that the settings name, in every frame.
//
// Pure logic: the state lives in a MeterState that the caller owns (module.cpp keeps the one
// instance of the plug-in), so tests can build a fresh one per case.
#pragma once

#include <array>
#include <cstdint>

#include "frame/host.h"
#include "frame/plugin.h"
#include "meter/settings.h"

namespace meter {

// The seven readings, in the order of their sums and held averages.
enum Reading : std::size_t { BC, MR, ER, BP, SAP, Current, Speed, kReadingCount };

struct MeterState {
    // Frame time after which the next update happens; 0 means that no update is scheduled.
    std::int32_t nextUpdateTime = 0;
    // Frames summed since the last update (or since initialize).
    std::int32_t sampleCount = 0;
    // Running sums, each frame's addition rounded to a 32-bit float.
    std::array<float, kReadingCount> sums{};
    // The held averages that the panel slots show; initialize keeps them.
    std::array<std::int32_t, kReadingCount> averages{};
};

// Start of a run: clears the schedule, the sums and the sample count. The held averages stay, so
// the panel keeps showing the previous run's values until the new run's first update.
void initialize(MeterState& state);

// One frame, in this order:
//  1. Adds the six pressure and current fields (current with its sign) and the absolute speed to
//     their sums, each result stored as a 32-bit float; counts the frame.
//  2. Update: if now > nextUpdateTime (signed, strict) and nextUpdateTime is not 0, each sum is
//     divided by the count in double precision and rounded (roundHalfUp for every reading but the
//     current, roundCurrent for it); the sums and the count restart; nextUpdateTime moves on by
//     one interval.
//  3. Re-anchoring, in every frame: if now > nextUpdateTime + interval (signed, strict), the grid
//     restarts at now + interval. This is also what schedules the first update after initialize.
//  4. Writes the held averages into the set panel slots (0..255; any other key is skipped), in the
//     order BC, MR, ER, BP, SAP, Current, |Current|, Speed: with two keys on one slot the later
//     one stands. The sound array is never touched.
// The interval and panel keys are read from the settings afresh in every frame; zero and negative
// intervals are used as they are. Time sums wrap around in 32 bits. Returns the driver's handles
// unchanged, with constantSpeed ConstantSpeedKeep.
frame::Handles elapse(MeterState& state, const MeterSettings& settings, const frame::DriverHandles& driver,
                      const frame::VehicleState& vehicle, std::int32_t* panel);

// A double turned into a 32-bit integer by truncation toward zero, with no undefined outcome:
// values beyond the int32 range give its nearest limit, NaN gives 0.
std::int32_t truncateToInt32(double value);

// Rounding of the pressures and the speed: value + 0.5, truncated. 12.5 gives 13, 12.49 gives 12;
// below zero it is not symmetric (-1.2 gives 0, -1.6 gives -1).
std::int32_t roundHalfUp(double average);

// Rounding of the current: halves away from zero. The sign test is on the current's sum, so a sum of
// exactly 0.0 gives 0 and -12.5 gives -13.
std::int32_t roundCurrent(float sum, double average);

// |value|, with |INT32_MIN| giving INT32_MAX.
std::int32_t absoluteInt32(std::int32_t value);

}  // namespace meter
