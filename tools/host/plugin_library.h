// The host side of the plug-in boundary: loads a plug-in library by its path and calls its sixteen
// entry points as the simulator does. Used by the bench and by the tests that drive a built library.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "frame/host.h"
#include "platform/export.h"

namespace host {

struct EntryPoints {
    void(ATS_CALL* Load)();
    void(ATS_CALL* Dispose)();
    std::int32_t(ATS_CALL* GetPluginVersion)();
    void(ATS_CALL* SetVehicleSpec)(frame::VehicleSpec);
    void(ATS_CALL* Initialize)(std::int32_t);
    frame::Handles(ATS_CALL* Elapse)(frame::VehicleState, std::int32_t*, std::int32_t*);
    void(ATS_CALL* SetPower)(std::int32_t);
    void(ATS_CALL* SetBrake)(std::int32_t);
    void(ATS_CALL* SetReverser)(std::int32_t);
    void(ATS_CALL* KeyDown)(std::int32_t);
    void(ATS_CALL* KeyUp)(std::int32_t);
    void(ATS_CALL* HornBlow)(std::int32_t);
    void(ATS_CALL* DoorOpen)();
    void(ATS_CALL* DoorClose)();
    void(ATS_CALL* SetSignal)(std::int32_t);
    void(ATS_CALL* SetBeaconData)(frame::BeaconData);
};

class PluginLibrary {
public:
    // Loads the library and resolves all sixteen entry points. On failure returns null and says why
    // in *error: the loader's message, or the names of the entry points the library lacks.
    static std::unique_ptr<PluginLibrary> open(const std::string& path, std::string* error);

    // Unloads the library, which runs its shutdown work.
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const EntryPoints& api() const { return api_; }

private:
    explicit PluginLibrary(void* handle) : handle_(handle) {}
    void* handle_;
    EntryPoints api_{};
};

// Loader primitives, one definition per platform (tools/host/posix, tools/host/win32).
void* loadLibrary(const std::string& path, std::string* error);
void* findSymbol(void* library, const char* name);
void unloadLibrary(void* library);

// Sets a key of the keyboard that a plug-in reads in its next frame (virtual-key code, down or up).
// On Linux this drives HostGetKeyboardState, which every program linking this library provides
// (the program must export its symbols: ENABLE_EXPORTS); on Windows it sets the calling thread's
// keyboard state with SetKeyboardState.
void setKeyDown(int virtualKey, bool down);
void releaseAllKeys();
// Sets the whole state byte of a key (bit 0x80: down; the low bit: toggled), as a recording holds it.
void setKeyState(int virtualKey, unsigned char state);

// The full path of the running program, empty if the system cannot tell.
std::string executablePath();

}  // namespace host
