// See tools/host/plugin_library.h.
#include "tools/host/plugin_library.h"

#include <cstring>
#include <utility>

namespace host {
namespace {

// Converts a symbol address to a typed function pointer without a cast between object and
// function pointers.
template <class Fn>
void bind(void* library, const char* name, Fn& target, std::string& missing) {
    void* symbol = findSymbol(library, name);
    if (symbol == nullptr) {
        missing += missing.empty() ? name : std::string(", ") + name;
        return;
    }
    static_assert(sizeof(symbol) == sizeof(target));
    std::memcpy(&target, &symbol, sizeof(target));
}

}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::open(const std::string& path, std::string* error) {
    std::string why;
    void* handle = loadLibrary(path, &why);
    if (handle == nullptr) {
        if (error) *error = why;
        return nullptr;
    }
    std::unique_ptr<PluginLibrary> library(new PluginLibrary(handle));
    EntryPoints& api = library->api_;
    std::string missing;
    bind(handle, "Load", api.Load, missing);
    bind(handle, "Dispose", api.Dispose, missing);
    bind(handle, "GetPluginVersion", api.GetPluginVersion, missing);
    bind(handle, "SetVehicleSpec", api.SetVehicleSpec, missing);
    bind(handle, "Initialize", api.Initialize, missing);
    bind(handle, "Elapse", api.Elapse, missing);
    bind(handle, "SetPower", api.SetPower, missing);
    bind(handle, "SetBrake", api.SetBrake, missing);
    bind(handle, "SetReverser", api.SetReverser, missing);
    bind(handle, "KeyDown", api.KeyDown, missing);
    bind(handle, "KeyUp", api.KeyUp, missing);
    bind(handle, "HornBlow", api.HornBlow, missing);
    bind(handle, "DoorOpen", api.DoorOpen, missing);
    bind(handle, "DoorClose", api.DoorClose, missing);
    bind(handle, "SetSignal", api.SetSignal, missing);
    bind(handle, "SetBeaconData", api.SetBeaconData, missing);
    if (!missing.empty()) {
        if (error) *error = "not a plug-in: missing entry points " + missing;
        return nullptr;  // the destructor unloads it
    }
    return library;
}

PluginLibrary::~PluginLibrary() { unloadLibrary(handle_); }

}  // namespace host
