// A library with the sixteen entry points that does nothing at all: the yardstick for the cost of
// loading and unloading a plug-in (tools/perf/load_benchmark.cpp).
#include <cstdint>

#include "frame/host.h"
#include "platform/export.h"

ATS_EXPORT void ATS_CALL Load() {}
ATS_EXPORT void ATS_CALL Dispose() {}
ATS_EXPORT std::int32_t ATS_CALL GetPluginVersion() { return frame::kInterfaceVersion; }
ATS_EXPORT void ATS_CALL SetVehicleSpec(frame::VehicleSpec) {}
ATS_EXPORT void ATS_CALL Initialize(std::int32_t) {}
ATS_EXPORT frame::Handles ATS_CALL Elapse(frame::VehicleState, std::int32_t*, std::int32_t*) { return {}; }
ATS_EXPORT void ATS_CALL SetPower(std::int32_t) {}
ATS_EXPORT void ATS_CALL SetBrake(std::int32_t) {}
ATS_EXPORT void ATS_CALL SetReverser(std::int32_t) {}
ATS_EXPORT void ATS_CALL KeyDown(std::int32_t) {}
ATS_EXPORT void ATS_CALL KeyUp(std::int32_t) {}
ATS_EXPORT void ATS_CALL HornBlow(std::int32_t) {}
ATS_EXPORT void ATS_CALL DoorOpen() {}
ATS_EXPORT void ATS_CALL DoorClose() {}
ATS_EXPORT void ATS_CALL SetSignal(std::int32_t) {}
ATS_EXPORT void ATS_CALL SetBeaconData(frame::BeaconData) {}
