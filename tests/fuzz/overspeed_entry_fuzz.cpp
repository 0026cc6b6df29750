// Fuzz target: random sequences of the sixteen entry points into Vesk's overspeed lock.
//
// What must hold after every frame, whatever came before:
// - Slots: no panel or sound slot is written.
// - Brake: the driver's notch as last set, or the emergency notch: the last vehicle spec's brake
//   notches + 1, held at the largest 32-bit value (0 before any SetVehicleSpec, the lock's state at
//   load). Once the emergency notch is returned in place of the driver's, it is returned in every
//   frame until Initialize: nothing else releases the latch.
// - Power: 0 when the driver's notch is 0 or less or the frame's time is 0 or less; otherwise the
//   driver's notch above 55 km/h (reported, by absolute value), the driver's notch + 5 (held at the
//   largest 32-bit value) at or below it, and 0 for a speed that is not a number.
// - Reverser: the driver's. Constant speed: ConstantSpeedKeep exactly when the driver's notch is 5
//   and the reported speed is above 55 km/h, else ConstantSpeedOff.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "frame/plugin.h"
#include "fuzz/entry_calls.h"
#include "overspeed/logic.h"

namespace {

overspeed::State lock;
bool latchSeen = false;  // the emergency notch was returned in place of the driver's since Initialize

std::int32_t emergencyNotch(const fuzz::HostSide& host) {
    if (!host.spec) return 0;
    return host.spec->brakeNotches == fuzz::kIntMax ? fuzz::kIntMax : host.spec->brakeNotches + 1;
}

std::int32_t expectedPower(const fuzz::HostSide& host) {
    const double speed = std::fabs(static_cast<double>(host.vehicle.speed));
    if (host.power <= 0 || host.vehicle.time <= 0 || std::isnan(speed)) return 0;
    if (speed > overspeed::kLowSpeedLimit) return host.power;
    return host.power > fuzz::kIntMax - 5 ? fuzz::kIntMax : host.power + 5;
}

void check(const frame::Handles& out, const std::int32_t* panel, const std::int32_t* sound,
           const fuzz::HostSide& host) {
    for (int slot = 0; slot < frame::kSlotCount; ++slot) {
        FUZZ_CHECK(!fuzz::written(panel, slot), "panel slot %d", slot);
        FUZZ_CHECK(!fuzz::written(sound, slot), "sound slot %d", slot);
    }
    const std::int32_t emergency = emergencyNotch(host);
    FUZZ_CHECK(out.brake == host.brake || out.brake == emergency, "brake %d, driver's %d, emergency %d",
               out.brake, host.brake, emergency);
    if (out.brake != host.brake) latchSeen = true;
    if (latchSeen) FUZZ_CHECK(out.brake == emergency, "latch released: brake %d", out.brake);
    FUZZ_CHECK(out.power == expectedPower(host), "power %d, driver's %d, speed %g, time %d", out.power,
               host.power, static_cast<double>(host.vehicle.speed), host.vehicle.time);
    FUZZ_CHECK(out.reverser == host.reverser, "reverser %d", out.reverser);
    const bool keep = host.power == overspeed::kConstantSpeedNotch &&
                      std::fabs(static_cast<double>(host.vehicle.speed)) > overspeed::kLowSpeedLimit;
    FUZZ_CHECK(out.constantSpeed == (keep ? frame::ConstantSpeedKeep : frame::ConstantSpeedOff),
               "constant speed %d", out.constantSpeed);
}

}  // namespace

// The fuzz module: what overspeed/module.cpp does, on this input's state.
void frame::pluginSetVehicleSpec(const VehicleSpec& spec) { overspeed::setVehicleSpec(lock, spec); }
void frame::pluginInitialize() {
    overspeed::initialize(lock);
    latchSeen = false;
}
frame::Handles frame::pluginElapse(const VehicleState& state, const DriverHandles& driver, std::int32_t*,
                                   std::int32_t*) {
    return overspeed::elapse(lock, driver, state);
}
void frame::pluginDoorOpen() {}
void frame::pluginDoorClose() {}
void frame::pluginSetBeaconData(const BeaconData&) {}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    lock = overspeed::State{};
    latchSeen = false;
    fuzz::runCalls(in, check);
    return 0;
}
