// A plug-in with all sixteen entry points for the bench's own tests: every frame it writes the
// frame's time into panel slots 0 to 99 (a wide CSV from a small library), and it takes as many
// milliseconds per frame as the last SetSignal said (a run that lasts long enough to interrupt).
#include <chrono>
#include <cstdint>
#include <thread>

#include "frame/host.h"
#include "platform/export.h"

namespace {
std::int32_t frameMs = 0;
}

ATS_EXPORT void ATS_CALL Load() {}
ATS_EXPORT void ATS_CALL Dispose() {}
ATS_EXPORT std::int32_t ATS_CALL GetPluginVersion() { return 0x20000; }
ATS_EXPORT void ATS_CALL SetVehicleSpec(frame::VehicleSpec) {}
ATS_EXPORT void ATS_CALL Initialize(std::int32_t) {}
ATS_EXPORT frame::Handles ATS_CALL Elapse(frame::VehicleState state, std::int32_t* panel, std::int32_t*) {
    for (int slot = 0; slot < 100; ++slot) panel[slot] = state.time;
    if (frameMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(frameMs));
    return {0, 0, 0, 0};
}
ATS_EXPORT void ATS_CALL SetPower(std::int32_t) {}
ATS_EXPORT void ATS_CALL SetBrake(std::int32_t) {}
ATS_EXPORT void ATS_CALL SetReverser(std::int32_t) {}
ATS_EXPORT void ATS_CALL KeyDown(std::int32_t) {}
ATS_EXPORT void ATS_CALL KeyUp(std::int32_t) {}
ATS_EXPORT void ATS_CALL HornBlow(std::int32_t) {}
ATS_EXPORT void ATS_CALL DoorOpen() {}
ATS_EXPORT void ATS_CALL DoorClose() {}
ATS_EXPORT void ATS_CALL SetSignal(std::int32_t aspect) { frameMs = aspect; }
ATS_EXPORT void ATS_CALL SetBeaconData(frame::BeaconData) {}
