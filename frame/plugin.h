// What the frame asks of a plug-in's logic. Each plug-in's module.cpp defines these functions once;
// the exported entry points and the platform's loader hook call them.
#pragma once

#include <cstdint>

#include "frame/host.h"

namespace frame {

// The driver's handles as the host last reported them: zero at load, set by SetPower, SetBrake and
// SetReverser, never reset by Initialize.
struct DriverHandles {
    std::int32_t power = 0;
    std::int32_t brake = 0;
    std::int32_t reverser = 0;
};
extern DriverHandles driver;

void pluginSetVehicleSpec(const VehicleSpec& spec);
void pluginInitialize();
Handles pluginElapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound);
void pluginDoorOpen();
void pluginDoorClose();
void pluginSetBeaconData(const BeaconData& beacon);

// Loader notification codes, as the Windows loader numbers them.
inline constexpr int ProcessDetach = 0;
inline constexpr int ProcessAttach = 1;
inline constexpr int ThreadAttach = 2;
inline constexpr int ThreadDetach = 3;

// Called by the platform's loader hook at every notification it receives (on Linux: at load and
// at unload only). The plug-in's settings store is built before the first call.
void onLoaderNotification(int reason);

}  // namespace frame
