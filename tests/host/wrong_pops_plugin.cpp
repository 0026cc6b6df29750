// A plug-in with the sixteen entry points of which two are exported with the wrong argument size:
// SetPower takes two numbers (pops 8 bytes where the host pushes 4) and SetBeaconData one number
// (pops 4 where the host pushes the 16-byte record). The others report what they were given, so a
// test sees the arguments and the result passed through the loader's stack check intact.
#include <cstdint>

#include "frame/host.h"
#include "platform/export.h"

namespace {
std::int32_t lastBrake = 0;
}  // namespace

ATS_EXPORT void ATS_CALL Load() {}
ATS_EXPORT void ATS_CALL Dispose() {}
ATS_EXPORT std::int32_t ATS_CALL GetPluginVersion() { return frame::kInterfaceVersion; }
ATS_EXPORT void ATS_CALL SetVehicleSpec(frame::VehicleSpec) {}
ATS_EXPORT void ATS_CALL Initialize(std::int32_t) {}
ATS_EXPORT frame::Handles ATS_CALL Elapse(frame::VehicleState state, std::int32_t* panel,
                                          std::int32_t* sound) {
    panel[0] = static_cast<std::int32_t>(state.position);
    sound[0] = static_cast<std::int32_t>(state.current);
    return {lastBrake, state.time, static_cast<std::int32_t>(state.speed), 2};
}
ATS_EXPORT void ATS_CALL SetPower(std::int32_t, std::int32_t) {}
ATS_EXPORT void ATS_CALL SetBrake(std::int32_t notch) { lastBrake = notch; }
ATS_EXPORT void ATS_CALL SetReverser(std::int32_t) {}
ATS_EXPORT void ATS_CALL KeyDown(std::int32_t) {}
ATS_EXPORT void ATS_CALL KeyUp(std::int32_t) {}
ATS_EXPORT void ATS_CALL HornBlow(std::int32_t) {}
ATS_EXPORT void ATS_CALL DoorOpen() {}
ATS_EXPORT void ATS_CALL DoorClose() {}
ATS_EXPORT void ATS_CALL SetSignal(std::int32_t) {}
ATS_EXPORT void ATS_CALL SetBeaconData(std::int32_t) {}
