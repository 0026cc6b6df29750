// Fuzz target: random sequences of the sixteen entry points into Quinsora's meter logic.
//
// What must hold after every frame, whatever came before:
// - Slots: exactly the panel slots that the eight Panel* settings name within 0..255 are written,
//   in every frame; no other panel slot and no sound slot.
// - Handles: brake, power and reverser are the driver's, as last set (0 before any call), whatever
//   the vehicle spec says (the meters pass the handles on and bound nothing); the constant-speed
//   command is ConstantSpeedKeep.
// The settings are drawn from the input too: any update interval, and panel slots mostly near the
// 0..255 range, on both sides of its ends.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "frame/plugin.h"
#include "fuzz/entry_calls.h"
#include "meter/logic.h"
#include "meter/settings.h"

namespace {

std::optional<meter::MeterSettings> settings;
meter::MeterState state;

std::array<frame::IntSetting*, 8> panelSettings() {
    return {&settings->PanelMR,  &settings->PanelBC,      &settings->PanelER,         &settings->PanelBP,
            &settings->PanelSAP, &settings->PanelCurrent, &settings->PanelCurrentABS, &settings->PanelSpeed};
}

bool namedSlot(int slot) {
    for (const frame::IntSetting* setting : panelSettings())
        if (setting->load() == slot) return true;
    return false;
}

void check(const frame::Handles& out, const std::int32_t* panel, const std::int32_t* sound,
           const fuzz::HostSide& host) {
    for (int slot = 0; slot < frame::kSlotCount; ++slot) {
        FUZZ_CHECK(fuzz::written(panel, slot) == namedSlot(slot), "panel slot %d", slot);
        FUZZ_CHECK(!fuzz::written(sound, slot), "sound slot %d", slot);
    }
    FUZZ_CHECK(out.brake == host.brake, "brake %d, driver's %d", out.brake, host.brake);
    FUZZ_CHECK(out.power == host.power, "power %d, driver's %d", out.power, host.power);
    FUZZ_CHECK(out.reverser == host.reverser, "reverser %d", out.reverser);
    FUZZ_CHECK(out.constantSpeed == frame::ConstantSpeedKeep, "constant speed %d", out.constantSpeed);
}

}  // namespace

// The fuzz module: what meter/module.cpp does, on this input's state and settings.
void frame::pluginSetVehicleSpec(const VehicleSpec&) {}
void frame::pluginInitialize() { meter::initialize(state); }
frame::Handles frame::pluginElapse(const VehicleState& vehicle, const DriverHandles& driver,
                                   std::int32_t* panel, std::int32_t*) {
    return meter::elapse(state, *settings, driver, vehicle, panel);
}
void frame::pluginDoorOpen() {}
void frame::pluginDoorClose() {}
void frame::pluginSetBeaconData(const BeaconData&) {}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    state = meter::MeterState{};
    settings.emplace();
    if (in.flag()) settings->UpDateTime = in.flag() ? in.inRange(-100, 5000) : fuzz::anyInt(in);
    for (frame::IntSetting* setting : panelSettings())
        if (in.flag()) *setting = in.flag() ? in.inRange(-3, 258) : fuzz::anyInt(in);
    fuzz::runCalls(in, check);
    return 0;
}
