// The Vesk plug-in: its one settings store, its start-up policy, and the frame's calls handed to
// its logic.
#include "overspeed/settings.h"
#include "frame/plugin.h"
#include "frame/startup.h"

namespace overspeed {
namespace {

frame::SettingsStore<OverspeedSettings> settings FRAME_STORE_FIRST{""};
constexpr frame::StartupPolicy kStartup{.everyNotification = false, .createMissingFile = false, .showNotice = true};

}  // namespace
}  // namespace overspeed

void frame::onLoaderNotification(int reason) { frame::attachRoutine(overspeed::settings, overspeed::kStartup, reason); }

void frame::pluginSetVehicleSpec(const VehicleSpec&) {}
void frame::pluginInitialize() {}
frame::Handles frame::pluginElapse(const VehicleState&, std::int32_t*, std::int32_t*) {
    return {driver.brake, driver.power, driver.reverser, ConstantSpeedKeep};
}
void frame::pluginDoorOpen() {}
void frame::pluginDoorClose() {}
void frame::pluginSetBeaconData(const BeaconData&) {}
