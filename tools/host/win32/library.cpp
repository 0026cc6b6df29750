// Loading a plug-in and the keyboard it reads, on Windows. See tools/host/plugin_library.h.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>
#include <string>

#include "tools/host/plugin_library.h"
#include "tools/host/win32/stack_check.h"

namespace host {

void* loadLibrary(const std::string& path, std::string* error) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr && error) {
        const DWORD code = GetLastError();
        char text[512] = {};
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                       sizeof text, nullptr);
        *error =
            "cannot load " + path + " (error " + std::to_string(code) + ")" + (text[0] ? ": " : "") + text;
        while (!error->empty() && (error->back() == '\n' || error->back() == '\r')) error->pop_back();
    }
    return library;
}

void* findSymbol(void* library, const char* name) {
    FARPROC symbol = GetProcAddress(static_cast<HMODULE>(library), name);
    void* address = nullptr;
    static_assert(sizeof(address) == sizeof(symbol));
    std::memcpy(&address, &symbol, sizeof(address));
    return guardEntryPoint(library, name, address);
}

void unloadLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

void setKeyDown(int virtualKey, bool down) {
    if (virtualKey < 0 || virtualKey > 255) return;
    BYTE state[256];
    GetKeyboardState(state);
    state[virtualKey] = down ? 0x80 : 0x00;
    SetKeyboardState(state);
}

void setKeyState(int virtualKey, unsigned char state) {
    if (virtualKey < 0 || virtualKey > 255) return;
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[virtualKey] = state;
    SetKeyboardState(keys);
}

void releaseAllKeys() {
    BYTE state[256] = {};
    SetKeyboardState(state);
}

std::string executablePath() {
    // GetModuleFileNameA cuts a long path to the buffer and says so by filling it completely;
    // grow the buffer until the whole path fits.
    std::string path(MAX_PATH, '\0');
    while (path.size() <= 65536) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), size);
        if (length == 0) return {};
        if (length < size) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
    return {};
}

}  // namespace host
