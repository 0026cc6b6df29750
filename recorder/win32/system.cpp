// The recorder's system services on Windows. See recorder/system.h.
#include "recorder/system.h"

#include <cstring>

#include "platform/win32/internal.h"

namespace recorder {
namespace {

bool writeAll(HANDLE file, const std::string& contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        const std::size_t chunk = contents.size() - done > 0x10000000 ? 0x10000000 : contents.size() - done;
        DWORD written = 0;
        if (!WriteFile(file, contents.data() + done, static_cast<DWORD>(chunk), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

}  // namespace

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
    return address;
}

void unloadLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

bool writeFileAtomically(const std::string& path, const std::string& contents) {
    const std::string temporary = path + ".tmp";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = writeAll(file, contents) && FlushFileBuffers(file);
    const bool closed = CloseHandle(file) != 0;
    if (!written || !closed ||
        !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

bool appendToFile(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = writeAll(file, text);
    return CloseHandle(file) != 0 && written;
}

bool canJoinAtUnload() { return false; }

}  // namespace recorder
