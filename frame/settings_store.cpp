// See frame/settings_store.h.
#include "frame/settings_store.h"

#include <cstdio>

#include "platform/profile.h"

namespace frame {

bool readInt(SettingsFile& file, const char* section, const char* key, IntSetting& value) {
    value.store(file.integer(section, key, value.load(std::memory_order_relaxed)), std::memory_order_relaxed);
    return true;
}

bool readString(SettingsFile& file, const char* section, const char* key, std::string& value) {
    char buffer[kMaxReadString + 1];
    file.string(section, key, value.c_str(), buffer, sizeof buffer);
    buffer[kMaxReadString] = '\0';  // the service ends it within the buffer; make sure of it
    value = buffer;
    return true;
}

bool writeInt(SettingsFile& file, const char* section, const char* key, std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    file.write(section, key, text);  // failures are not looked at
    return true;
}

bool writeString(SettingsFile& file, const char* section, const char* key, const std::string& value) {
    char text[1024];
    std::snprintf(text, sizeof text, "%s", value.c_str());
    file.write(section, key, text);  // failures are not looked at
    return true;
}

bool transferInt(std::int32_t mode, SettingsFile& file, const char* section, const char* key,
                 IntSetting& value) {
    if (mode != WriteMode) return readInt(file, section, key, value);
    return writeInt(file, section, key, value.load(std::memory_order_relaxed));
}

bool transferString(std::int32_t mode, SettingsFile& file, const char* section, const char* key,
                    std::string& value) {
    if (mode != WriteMode) return readString(file, section, key, value);
    return writeString(file, section, key, value);
}

bool settingsFileExists(const std::string& path) { return platform::fileExists(path.c_str()); }

}  // namespace frame
