// See frame/settings_store.h.
#include "frame/settings_store.h"

#include <cstdio>

#include "platform/profile.h"

namespace frame {

bool readInt(const std::string& path, const char* section, const char* key, IntSetting& value) {
    value.store(platform::profileInt(section, key, value.load(std::memory_order_relaxed), path.c_str()),
                std::memory_order_relaxed);
    return true;
}

bool readString(const std::string& path, const char* section, const char* key, std::string& value) {
    char buffer[kMaxReadString + 1];
    platform::profileString(section, key, value.c_str(), buffer, sizeof buffer, path.c_str());
    buffer[kMaxReadString] = '\0';  // the service ends it within the buffer; make sure of it
    value = buffer;
    return true;
}

bool writeInt(const std::string& path, const char* section, const char* key, std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    platform::writeProfileString(section, key, text, path.c_str());  // failures are not looked at
    return true;
}

bool writeString(const std::string& path, const char* section, const char* key, const std::string& value) {
    char text[1024];
    std::snprintf(text, sizeof text, "%s", value.c_str());
    platform::writeProfileString(section, key, text, path.c_str());  // failures are not looked at
    return true;
}

bool transferInt(std::int32_t mode, const std::string& path, const char* section, const char* key,
                 IntSetting& value) {
    if (mode != WriteMode) return readInt(path, section, key, value);
    return writeInt(path, section, key, value.load(std::memory_order_relaxed));
}

bool transferString(std::int32_t mode, const std::string& path, const char* section, const char* key,
                    std::string& value) {
    if (mode != WriteMode) return readString(path, section, key, value);
    return writeString(path, section, key, value);
}

bool settingsFileExists(const std::string& path) { return platform::fileExists(path.c_str()); }

}  // namespace frame
