// Placeholder: the POSIX profile services are being written.
#include "platform/profile.h"

#include <sys/stat.h>

#include <cstring>

namespace platform {

std::uint32_t profileString(const char*, const char*, const char* fallback, char* out, std::uint32_t size,
                            const char*) {
    if (size == 0) return 0;
    std::uint32_t n = 0;
    for (; fallback && fallback[n] && n + 1 < size; ++n) out[n] = fallback[n];
    out[n] = '\0';
    return n;
}

std::int32_t profileInt(const char*, const char*, std::int32_t fallback, const char*) { return fallback; }

bool writeProfileString(const char*, const char*, const char*, const char*) { return false; }

bool fileExists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

}  // namespace platform
