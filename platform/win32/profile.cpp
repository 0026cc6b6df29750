// The Windows profile services, called as they are. See platform/profile.h.
#include "platform/profile.h"

#include "platform/win32/internal.h"

namespace platform {

std::uint32_t profileString(const char* section, const char* key, const char* fallback, char* out,
                            std::uint32_t size, const char* path) {
    return GetPrivateProfileStringA(section, key, fallback, out, size, path);
}

std::int32_t profileInt(const char* section, const char* key, std::int32_t fallback, const char* path) {
    // The service returns the 32 bits as unsigned; they are the signed value (two's complement).
    return static_cast<std::int32_t>(GetPrivateProfileIntA(section, key, fallback, path));
}

bool writeProfileString(const char* section, const char* key, const char* value, const char* path) {
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

// A ProfileFile goes to the services call by call: they keep their own cache of the file.
std::uint32_t ProfileFile::string(const char* section, const char* key, const char* fallback, char* out,
                                  std::uint32_t size) {
    return profileString(section, key, fallback, out, size, path_.c_str());
}

std::int32_t ProfileFile::integer(const char* section, const char* key, std::int32_t fallback) {
    return profileInt(section, key, fallback, path_.c_str());
}

void ProfileFile::write(const char* section, const char* key, const char* value) {
    if (!writeProfileString(section, key, value, path_.c_str())) failed_ = true;
}

bool ProfileFile::commit() {
    const bool allWritesMade = !failed_;
    failed_ = false;
    return allWritesMade;
}

bool fileExists(const char* path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

}  // namespace platform
