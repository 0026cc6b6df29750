// The Tavrel plug-in: its one settings store, its start-up policy, and the frame's calls handed to
// its logic.
#include "door/settings.h"
#include "frame/plugin.h"
#include "frame/startup.h"

namespace door {
namespace {

frame::SettingsStore<DoorSettings> settings FRAME_STORE_FIRST{""};
constexpr frame::StartupPolicy kStartup{.everyNotification = true, .createMissingFile = true, .showNotice = false};

}  // namespace
}  // namespace door

void frame::onLoaderNotification(int reason) { frame::attachRoutine(door::settings, door::kStartup, reason); }

void frame::pluginSetVehicleSpec(const VehicleSpec&) {}
void frame::pluginInitialize() {}
frame::Handles frame::pluginElapse(const VehicleState&, std::int32_t*, std::int32_t*) {
    return {driver.brake, driver.power, driver.reverser, ConstantSpeedKeep};
}
void frame::pluginDoorOpen() {}
void frame::pluginDoorClose() {}
void frame::pluginSetBeaconData(const BeaconData&) {}
