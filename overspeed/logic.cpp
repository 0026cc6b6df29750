// See overspeed/logic.h.
#include "overspeed/logic.h"

#include <cmath>
#include <limits>

namespace overspeed {
namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// Notches only ever go up here (by a positive amount); a notch past the top stays at the top
// rather than wrapping round to a negative one, which would release a brake or reverse the power.
std::int32_t notchesUp(std::int32_t notch, std::int32_t amount) {
    return notch > kInt32Max - amount ? kInt32Max : notch + amount;
}

std::int32_t powerOutput(std::int32_t driverPower, std::int32_t time, double absoluteSpeed) {
    if (driverPower <= 0 || time <= 0) return 0;
    if (absoluteSpeed > kLowSpeedLimit) return driverPower;
    if (absoluteSpeed <= kLowSpeedLimit) return notchesUp(driverPower, kLowSpeedBoost);
    return 0;  // a speed that is not a number is neither high nor low
}

}  // namespace

void setVehicleSpec(State& state, const frame::VehicleSpec& vehicle) {
    state.emergencyNotch = notchesUp(vehicle.brakeNotches, 1);
}

void initialize(State& state) {
    state.lastTime = 0;
    state.lastPosition = 0.0;
    state.computedSpeed = 0.0;
    state.overspeedDeadline = 0;
    state.emergencyLatched = false;
}

frame::Handles elapse(State& state, const frame::DriverHandles& driver, const frame::VehicleState& vehicle) {
    const std::int32_t now = vehicle.time;

    // The speed from the change of position over the change of time. A previous frame at time 0 or
    // less, or at position 0.0 or less, counts as no previous frame: the step keeps its last value.
    if (state.lastTime > 0) state.timeStep = frame::clockDifference(now, state.lastTime);
    if (state.lastPosition > 0.0) state.positionStep = vehicle.position - state.lastPosition;
    if (state.timeStep > 0) {
        state.computedSpeed = std::fabs(state.positionStep * 3600.0 / static_cast<double>(state.timeStep));
    }
    state.lastTime = now;
    state.lastPosition = vehicle.position;

    const double absoluteSpeed = std::fabs(static_cast<double>(vehicle.speed));

    // The latch is read before the timer below may set it: the frame that sets it still returns the
    // driver's brake.
    frame::Handles out{};
    out.brake = state.emergencyLatched ? state.emergencyNotch : driver.brake;
    out.reverser = driver.reverser;
    out.power = powerOutput(driver.power, now, absoluteSpeed);
    out.constantSpeed = driver.power == kConstantSpeedNotch && absoluteSpeed > kLowSpeedLimit
                            ? frame::ConstantSpeedKeep
                            : frame::ConstantSpeedOff;

    // The overspeed timer runs on the computed speed only. A frame at position 0.0 exactly does not
    // start it; a negative position does.
    if (state.computedSpeed >= kArmSpeed && vehicle.position != 0.0 && state.overspeedDeadline == 0) {
        state.overspeedDeadline = frame::clockAdd(now, kLatchDelay);
    }
    if (state.computedSpeed < kReleaseSpeed) state.overspeedDeadline = 0;
    if (state.overspeedDeadline != 0 && state.overspeedDeadline < now) state.emergencyLatched = true;

    return out;
}

}  // namespace overspeed
