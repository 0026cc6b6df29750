// The overspeed lock: the per-frame logic of the Vesk plug-in and the state it keeps between frames.
//
// Every frame the lock works the train's speed out from the change of position over the change of
// time since the previous frame. When that speed reaches kArmSpeed and then does not fall below
// kReleaseSpeed for longer than kLatchDelay, the emergency brake latches, and only initialize()
// releases it. Besides, the driver's power notch is raised at low speed (or cut to 0 in a frame at
// time 0 or less), and a constant-speed command follows from the power notch and the speed that
// the host reports. The reverser passes through; no panel or sound slot is written.
//
// The one setting of the plug-in (overspeed/settings.h) drives nothing, so these functions take
// none.
#pragma once

#include <cstdint>

#include "frame/host.h"
#include "frame/plugin.h"

namespace overspeed {

// The computed speed (km/h) at or above which the overspeed timer starts.
inline constexpr double kArmSpeed = 130.0;
// The computed speed (km/h) below which a running overspeed timer stops.
inline constexpr double kReleaseSpeed = 120.0;
// How long (ms) the overspeed may last before the latch sets; the latch sets in the first frame
// whose time is beyond the deadline.
inline constexpr std::int32_t kLatchDelay = 5000;
// Reported speeds (km/h, by absolute value) at or below this are low speed.
inline constexpr double kLowSpeedLimit = 55.0;
// Notches added to the driver's power notch at low speed.
inline constexpr std::int32_t kLowSpeedBoost = 5;
// The one power notch that keeps the constant-speed control (above low speed).
inline constexpr std::int32_t kConstantSpeedNotch = 5;

// The lock's state from load to unload. Every member is zero (false) at load.
struct State {
    // The emergency brake notch: the vehicle's service brake notches plus one. Kept by initialize().
    std::int32_t emergencyNotch = 0;
    // Time (ms) of the previous frame; 0 or less means there is no previous frame.
    std::int32_t lastTime = 0;
    // Position (m) of the previous frame; 0.0 or less means there is no previous position.
    double lastPosition = 0.0;
    // The latest time step (ms) worked out. Kept by initialize().
    std::int32_t timeStep = 0;
    // The latest position change (m) worked out. Kept by initialize().
    double positionStep = 0.0;
    // Speed (km/h) worked out from positionStep over timeStep; never negative.
    double computedSpeed = 0.0;
    // Frame time (ms) after which the latch sets; 0 while the overspeed timer is not running.
    std::int32_t overspeedDeadline = 0;
    // The emergency brake latch.
    bool emergencyLatched = false;
};

// Takes the emergency brake notch from the vehicle: brakeNotches + 1 (held at the largest 32-bit
// value rather than wrapping round to a negative notch). No other field is used.
void setVehicleSpec(State& state, const frame::VehicleSpec& vehicle);

// Starts a run: releases the latch, stops the timer, forgets the previous frame and the computed
// speed. emergencyNotch, timeStep and positionStep are kept, so the first frame of the new run
// works its speed out from the previous run's last steps.
void initialize(State& state);

// One frame: updates the state from the vehicle's position and time, and returns what the train
// must obey. The brake is the emergency notch while the latch is set, from the frame after the one
// that sets it; otherwise it is the driver's. Reads position, speed and time of the vehicle only.
//
// Defined outcomes for unusual input:
// - A time step of 0 or less (time standing still or going back) never divides: the computed speed
//   holds its last value. Time differences and the deadline sum wrap round in 32 bits.
// - A computed speed that is not a number neither starts nor stops the timer.
// - A reported speed that is not a number is neither high nor low speed: the power output is 0 and
//   the constant-speed control is switched off.
// - The raised power notch is held at the largest 32-bit value rather than wrapping round.
frame::Handles elapse(State& state, const frame::DriverHandles& driver, const frame::VehicleState& vehicle);

}  // namespace overspeed
