// Loading a plug-in and the keyboard it reads, on Linux. See tools/host/plugin_library.h.
#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "tools/host/plugin_library.h"

namespace {
unsigned char keyboard[256];
}

// The plug-ins look this up in the process when they load and call it once per frame.
extern "C" __attribute__((visibility("default"))) int HostGetKeyboardState(unsigned char state[256]) {
    std::memcpy(state, keyboard, sizeof keyboard);
    return 1;
}

namespace host {

void* loadLibrary(const std::string& path, std::string* error) {
    // RTLD_LOCAL keeps two plug-ins loaded side by side from seeing each other's symbols.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr && error) {
        const char* message = dlerror();
        *error = message ? message : "cannot load " + path;
    }
    return library;
}

void* findSymbol(void* library, const char* name) { return dlsym(library, name); }

void unloadLibrary(void* library) { dlclose(library); }

void setKeyDown(int virtualKey, bool down) {
    if (virtualKey < 0 || virtualKey > 255) return;
    keyboard[virtualKey] = down ? 0x80 : 0x00;
}

void setKeyState(int virtualKey, unsigned char state) {
    if (virtualKey < 0 || virtualKey > 255) return;
    keyboard[virtualKey] = state;
}

void releaseAllKeys() { std::memset(keyboard, 0, sizeof keyboard); }

std::string executablePath() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

}  // namespace host
