// The sixteen entry points that the host looks up by name. The handle entry points only latch;
// everything else is handed to the plug-in's logic (frame/plugin.h).
#include "frame/host.h"
#include "frame/plugin.h"
#include "platform/export.h"

namespace {
// The latch of the driver's handles, from load to unload.
frame::DriverHandles driver;
}  // namespace

using frame::BeaconData;
using frame::Handles;
using frame::VehicleSpec;
using frame::VehicleState;

// Settings are read and the INI file is made at load by the loader hook, and nothing is saved at
// unload, so Load and Dispose have nothing to do.
ATS_EXPORT void ATS_CALL Load() {}
ATS_EXPORT void ATS_CALL Dispose() {}

ATS_EXPORT std::int32_t ATS_CALL GetPluginVersion() { return frame::kInterfaceVersion; }

ATS_EXPORT void ATS_CALL SetVehicleSpec(VehicleSpec spec) { frame::pluginSetVehicleSpec(spec); }
ATS_EXPORT void ATS_CALL Initialize(std::int32_t /*brake*/) { frame::pluginInitialize(); }

ATS_EXPORT Handles ATS_CALL Elapse(VehicleState state, std::int32_t* panel, std::int32_t* sound) {
    return frame::pluginElapse(state, driver, panel, sound);
}

ATS_EXPORT void ATS_CALL SetPower(std::int32_t notch) { driver.power = notch; }
ATS_EXPORT void ATS_CALL SetBrake(std::int32_t notch) { driver.brake = notch; }
ATS_EXPORT void ATS_CALL SetReverser(std::int32_t position) { driver.reverser = position; }

// Keys, horn and signal aspects drive nothing in any plug-in.
ATS_EXPORT void ATS_CALL KeyDown(std::int32_t /*key*/) {}
ATS_EXPORT void ATS_CALL KeyUp(std::int32_t /*key*/) {}
ATS_EXPORT void ATS_CALL HornBlow(std::int32_t /*horn*/) {}
ATS_EXPORT void ATS_CALL SetSignal(std::int32_t /*aspect*/) {}

ATS_EXPORT void ATS_CALL DoorOpen() { frame::pluginDoorOpen(); }
ATS_EXPORT void ATS_CALL DoorClose() { frame::pluginDoorClose(); }
ATS_EXPORT void ATS_CALL SetBeaconData(BeaconData beacon) { frame::pluginSetBeaconData(beacon); }
