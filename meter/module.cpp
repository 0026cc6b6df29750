// The Quinsora plug-in: its one settings store, its start-up policy, its one averaging state, and
// the frame's calls handed to its logic.
#include "frame/plugin.h"
#include "frame/startup.h"
#include "meter/logic.h"
#include "meter/settings.h"
#include "platform/loader.h"

namespace meter {
namespace {

frame::SettingsStore<MeterSettings> settings ATS_BEFORE_LOADER_HOOK{""};
frame::StartupMemo startupMemo;
constexpr frame::StartupPolicy kStartup{
    .everyNotification = true, .createMissingFile = true, .showNotice = true};

// Zero at load; lives until the library is unloaded.
MeterState state;

}  // namespace
}  // namespace meter

void platform::onLoaderEvent(LoaderEvent event) {
    frame::attachRoutine(meter::settings, meter::startupMemo, meter::kStartup, event);
}

void frame::pluginInitialize() { meter::initialize(meter::state); }
frame::Handles frame::pluginElapse(const VehicleState& vehicle, const DriverHandles& driver,
                                   std::int32_t* panel, std::int32_t*) {
    return meter::elapse(meter::state, meter::settings, driver, vehicle, panel);
}

// No field of the vehicle spec is used, and doors and beacons do not touch the meters.
void frame::pluginSetVehicleSpec(const VehicleSpec&) {}
void frame::pluginDoorOpen() {}
void frame::pluginDoorClose() {}
void frame::pluginSetBeaconData(const BeaconData&) {}
