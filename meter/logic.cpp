// See meter/logic.h.
#include "meter/logic.h"

#include <cmath>
#include <limits>

namespace meter {
namespace {

std::int32_t setting(const frame::IntSetting& value) { return value.load(std::memory_order_relaxed); }

void update(MeterState& state) {
    const double count = state.sampleCount;
    for (std::size_t reading = 0; reading < kReadingCount; ++reading) {
        const double average = static_cast<double>(state.sums[reading]) / count;
        state.averages[reading] =
            reading == Current ? roundCurrent(state.sums[reading], average) : roundHalfUp(average);
    }
    state.sums.fill(0.0F);
    state.sampleCount = 0;
}

}  // namespace

std::int32_t truncateToInt32(double value) {
    constexpr double kAboveMax = 2147483648.0;   // 2^31: the first value that does not fit
    constexpr double kBelowMin = -2147483649.0;  // the last value below -2^31 that truncates out
    if (std::isnan(value)) return 0;
    if (value >= kAboveMax) return std::numeric_limits<std::int32_t>::max();
    if (value <= kBelowMin) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

std::int32_t roundHalfUp(double average) { return truncateToInt32(average + 0.5); }

std::int32_t roundCurrent(float sum, double average) {
    return truncateToInt32(sum > 0.0F ? average + 0.5 : average - 0.5);
}

std::int32_t absoluteInt32(std::int32_t value) {
    if (value == std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::max();
    return value < 0 ? -value : value;
}

void initialize(MeterState& state) {
    state.nextUpdateTime = 0;
    state.sampleCount = 0;
    state.sums.fill(0.0F);
}

frame::Handles elapse(MeterState& state, const MeterSettings& settings, const frame::DriverHandles& driver,
                      const frame::VehicleState& vehicle, std::int32_t* panel) {
    // Read once, so that a re-read of the INI file between the steps cannot mix two intervals.
    const std::int32_t interval = setting(settings.UpDateTime);
    const std::int32_t now = vehicle.time;

    state.sums[BC] += vehicle.bcPressure;
    state.sums[MR] += vehicle.mrPressure;
    state.sums[ER] += vehicle.erPressure;
    state.sums[BP] += vehicle.bpPressure;
    state.sums[SAP] += vehicle.sapPressure;
    state.sums[Current] += vehicle.current;
    state.sums[Speed] += std::fabs(vehicle.speed);  // reversing adds positive speed
    // Saturates rather than overflowing should time never pass the schedule for 2^31 frames.
    if (state.sampleCount < std::numeric_limits<std::int32_t>::max()) ++state.sampleCount;

    if (now > state.nextUpdateTime && state.nextUpdateTime != 0) {
        update(state);
        state.nextUpdateTime = frame::clockAdd(state.nextUpdateTime, interval);
    }
    if (now > frame::clockAdd(state.nextUpdateTime, interval))
        state.nextUpdateTime = frame::clockAdd(now, interval);

    frame::writeSlot(panel, setting(settings.PanelBC), state.averages[BC]);
    frame::writeSlot(panel, setting(settings.PanelMR), state.averages[MR]);
    frame::writeSlot(panel, setting(settings.PanelER), state.averages[ER]);
    frame::writeSlot(panel, setting(settings.PanelBP), state.averages[BP]);
    frame::writeSlot(panel, setting(settings.PanelSAP), state.averages[SAP]);
    frame::writeSlot(panel, setting(settings.PanelCurrent), state.averages[Current]);
    frame::writeSlot(panel, setting(settings.PanelCurrentABS), absoluteInt32(state.averages[Current]));
    frame::writeSlot(panel, setting(settings.PanelSpeed), state.averages[Speed]);

    return {driver.brake, driver.power, driver.reverser, frame::ConstantSpeedKeep};
}

}  // namespace meter
