// The Vesk plug-in: its one settings store, its start-up policy, its one lock state, and the
// frame's calls handed to its logic (overspeed/logic.h).
#include "frame/plugin.h"
#include "frame/startup.h"
#include "overspeed/logic.h"
#include "overspeed/settings.h"
#include "platform/loader.h"

namespace overspeed {
namespace {

frame::SettingsStore<OverspeedSettings> settings ATS_BEFORE_LOADER_HOOK{""};
frame::StartupMemo startupMemo;
constexpr frame::StartupPolicy kStartup{
    .everyNotification = false, .createMissingFile = false, .showNotice = true};

State lock;

}  // namespace
}  // namespace overspeed

void platform::onLoaderEvent(LoaderEvent event) {
    frame::attachRoutine(overspeed::settings, overspeed::startupMemo, overspeed::kStartup, event);
}

void frame::pluginSetVehicleSpec(const VehicleSpec& spec) {
    overspeed::setVehicleSpec(overspeed::lock, spec);
}
void frame::pluginInitialize() { overspeed::initialize(overspeed::lock); }
// The lock writes no panel or sound slot.
frame::Handles frame::pluginElapse(const VehicleState& state, const DriverHandles& driver, std::int32_t*,
                                   std::int32_t*) {
    return overspeed::elapse(overspeed::lock, driver, state);
}
// Door events, beacons and keys do not touch the lock: none of them releases the latch.
void frame::pluginDoorOpen() {}
void frame::pluginDoorClose() {}
void frame::pluginSetBeaconData(const BeaconData&) {}
