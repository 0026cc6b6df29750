// What the frame asks of a plug-in's logic. Each plug-in's module.cpp defines these functions once
// (and platform::onLoaderEvent, see frame/startup.h); the exported entry points call them.
#pragma once

#include <cstdint>

#include "frame/host.h"

namespace frame {

// The driver's handles as the host last reported them: zero at load, set by SetPower, SetBrake and
// SetReverser, never reset by Initialize. The entry points keep the one latch of the library and
// hand it to pluginElapse.
struct DriverHandles {
    std::int32_t power = 0;
    std::int32_t brake = 0;
    std::int32_t reverser = 0;
};

void pluginSetVehicleSpec(const VehicleSpec& spec);
void pluginInitialize();
Handles pluginElapse(const VehicleState& state, const DriverHandles& driver, std::int32_t* panel,
                     std::int32_t* sound);
void pluginDoorOpen();
void pluginDoorClose();
void pluginSetBeaconData(const BeaconData& beacon);

}  // namespace frame
