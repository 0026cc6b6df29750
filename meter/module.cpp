// The Quinsora plug-in: its one settings store, its start-up policy, its one averaging state, and
// the frame's calls handed to its logic.
#include "frame/plugin.h"
#include "frame/startup.h"
#include "meter/logic.h"
#include "meter/settings.h"

namespace meter {
namespace {

frame::SettingsStore<MeterSettings> settings FRAME_STORE_FIRST{""};
constexpr frame::StartupPolicy kStartup{
    .everyNotification = true, .createMissingFile = true, .showNotice = true};

// Zero at load; lives until the library is unloaded.
MeterState state;

}  // namespace
}  // namespace meter

void frame::onLoaderNotification(int reason) {
    frame::attachRoutine(meter::settings, meter::kStartup, reason);
}

void frame::pluginInitialize() { meter::initialize(meter::state); }
frame::Handles frame::pluginElapse(const VehicleState& vehicle, std::int32_t* panel, std::int32_t*) {
    return meter::elapse(meter::state, meter::settings, driver, vehicle, panel);
}

// No field of the vehicle spec is used, and doors and beacons do not touch the meters.
void frame::pluginSetVehicleSpec(const VehicleSpec&) {}
void frame::pluginDoorOpen() {}
void frame::pluginDoorClose() {}
void frame::pluginSetBeaconData(const BeaconData&) {}
