// The Tavrel plug-in: its one settings store, its start-up policy, its one door state, and the
// frame's calls handed to its logic (door/logic.h).
#include "door/logic.h"
#include "door/settings.h"
#include "frame/plugin.h"
#include "frame/startup.h"
#include "platform/keyboard.h"
#include "platform/loader.h"

namespace door {
namespace {

frame::SettingsStore<DoorSettings> settings ATS_BEFORE_LOADER_HOOK{""};
frame::StartupMemo startupMemo;
constexpr frame::StartupPolicy kStartup{
    .everyNotification = true, .createMissingFile = true, .showNotice = false};

// From load to unload; Initialize resets only part of it.
DoorState state;

}  // namespace
}  // namespace door

void platform::onLoaderEvent(LoaderEvent event) {
    frame::attachRoutine(door::settings, door::startupMemo, door::kStartup, event);
}

void frame::pluginSetVehicleSpec(const VehicleSpec&) { door::setVehicleSpec(door::state, door::settings); }
void frame::pluginInitialize() { door::initialize(door::state, door::settings); }

frame::Handles frame::pluginElapse(const VehicleState& vehicle, const DriverHandles& driver,
                                   std::int32_t* panel, std::int32_t* sound) {
    // The snapshot goes straight into the state's buffer: where the platform's query fails, the
    // buffer keeps the previous frame's keys rather than holding undefined bytes.
    platform::readKeyboard(door::state.keyState.data());
    return door::elapse(door::state, door::settings, driver, vehicle, panel, sound);
}

void frame::pluginDoorOpen() { door::doorOpen(door::state); }
void frame::pluginDoorClose() { door::doorClose(door::state); }
void frame::pluginSetBeaconData(const BeaconData& beacon) {
    door::setBeaconData(door::state, door::settings, beacon);
}
