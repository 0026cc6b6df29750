// Fuzz target: random sequences of the sixteen entry points into Tavrel's door logic.
//
// What must hold after every frame, whatever came before:
// - Slots: panel 20, 200 to 207, 210 and 238 and sound 95, 96 and 150 to 159 are written, in every
//   frame, and no other slot. Every panel value is 0 or 1 (lamps, switches, the door mode); every
//   sound value is a sound command, and the two mode loops only loop or stop.
// - Handles: the brake, the reverser are the driver's, as last set (0 before any call); power is
//   the driver's or 0 (the doors' power cut), and always the driver's with DIR=0; the constant-speed
//   command is ConstantSpeedKeep. The vehicle spec's notch counts bound nothing here: the door logic
//   passes the driver's handles on and only ever lowers power to 0.
// The settings are drawn from the input too (any closing time, door count, door lock and DIR).
#include <cstddef>
#include <cstdint>
#include <optional>

#include "door/logic.h"
#include "door/settings.h"
#include "frame/plugin.h"
#include "fuzz/entry_calls.h"

namespace {

std::optional<door::DoorSettings> settings;
door::DoorState state;

bool ownPanelSlot(int slot) {
    return slot == door::PanelDoorsClosed || (slot >= 200 && slot <= 207) ||
           slot == door::PanelHostDoorsOpen || slot == door::PanelMoving;
}
bool ownSoundSlot(int slot) { return slot == 95 || slot == 96 || (slot >= 150 && slot <= 159); }

bool soundCommand(std::int32_t value) {
    return value == frame::SoundStop || value == frame::SoundLoop || value == frame::SoundOnce ||
           value == frame::SoundKeep;
}

void check(const frame::Handles& out, const std::int32_t* panel, const std::int32_t* sound,
           const fuzz::HostSide& host) {
    for (int slot = 0; slot < frame::kSlotCount; ++slot) {
        FUZZ_CHECK(fuzz::written(panel, slot) == ownPanelSlot(slot), "panel slot %d", slot);
        FUZZ_CHECK(fuzz::written(sound, slot) == ownSoundSlot(slot), "sound slot %d", slot);
        if (ownPanelSlot(slot))
            FUZZ_CHECK(panel[slot] == 0 || panel[slot] == 1, "panel %d = %d", slot, panel[slot]);
        if (ownSoundSlot(slot)) FUZZ_CHECK(soundCommand(sound[slot]), "sound %d = %d", slot, sound[slot]);
    }
    for (const int loop : {door::SoundMode0Loop, door::SoundMode1Loop})
        FUZZ_CHECK(sound[loop] == frame::SoundLoop || sound[loop] == frame::SoundStop, "sound %d", loop);
    FUZZ_CHECK(out.brake == host.brake, "brake %d, driver's %d", out.brake, host.brake);
    FUZZ_CHECK(out.reverser == host.reverser, "reverser %d", out.reverser);
    FUZZ_CHECK(out.constantSpeed == frame::ConstantSpeedKeep, "constant speed %d", out.constantSpeed);
    FUZZ_CHECK(out.power == host.power || out.power == 0, "power %d, driver's %d", out.power, host.power);
    if (settings->DIR.load() == 0) FUZZ_CHECK(out.power == host.power, "power %d with DIR=0", out.power);
}

}  // namespace

// The fuzz module: what door/module.cpp does, on this input's state and settings.
void frame::pluginSetVehicleSpec(const VehicleSpec&) { door::setVehicleSpec(state, *settings); }
void frame::pluginInitialize() { door::initialize(state, *settings); }
frame::Handles frame::pluginElapse(const VehicleState& vehicle, const DriverHandles& driver,
                                   std::int32_t* panel, std::int32_t* sound) {
    state.keyState = fuzz::keyboard;
    return door::elapse(state, *settings, driver, vehicle, panel, sound);
}
void frame::pluginDoorOpen() { door::doorOpen(state); }
void frame::pluginDoorClose() { door::doorClose(state); }
void frame::pluginSetBeaconData(const BeaconData& beacon) { door::setBeaconData(state, *settings, beacon); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    state = door::DoorState{};
    settings.emplace();
    if (in.flag()) settings->closetime = in.flag() ? in.inRange(-10, 20000) : fuzz::anyInt(in);
    if (in.flag()) settings->doorlock = fuzz::anyInt(in);
    if (in.flag()) settings->DoorNum = fuzz::anyNotch(in);
    if (in.flag()) settings->DIR = in.flag() ? 0 : fuzz::anyInt(in);
    fuzz::runCalls(in, check);
    return 0;
}
