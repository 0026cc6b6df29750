// The library's path and the notice, on Windows. See platform/module.h.
#include "platform/module.h"

#include "platform/win32/internal.h"

namespace platform {

HINSTANCE win32::moduleHandle = nullptr;

std::string win32::moduleFileName(HMODULE module) {
    // GetModuleFileNameA cuts a long path to the buffer and says so by filling it completely;
    // grow the buffer until the whole path fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameA(module, path.data(), size);
        if (length == 0) return {};
        if (length < size) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 65536) return {};
        path.resize(path.size() * 2);
    }
}

std::string modulePath() { return win32::moduleFileName(win32::moduleHandle); }

void showNotice(const std::string& text) {
    // The owner argument is the module handle, as the plug-ins have always passed it; where the
    // system refuses it as a window, the call returns at once and start-up goes on.
    MessageBoxA(reinterpret_cast<HWND>(win32::moduleHandle), text.c_str(), "", 0);
}

}  // namespace platform
