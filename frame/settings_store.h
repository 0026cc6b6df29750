// The settings store: one INI-bound settings object per plug-in. A plug-in describes its settings
// as a struct of bound variables with their defaults and one visitEntries(file, mode) that hands
// each entry, in file order, to transferInt or transferString; SettingsStore<ThatStruct> adds
// load and save on top. A load reads the file once and a save replaces it once (on Windows the
// profile services are called key by key): see platform::ProfileFile.
//
// Integer settings are atomics: on Windows a thread notification can re-read the file while an
// entry point reads them, and each value must be replaced whole. Entry points read no string.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/profile.h"

namespace frame {

using IntSetting = std::atomic<std::int32_t>;

// The settings file that one load or save goes through.
using SettingsFile = platform::ProfileFile;

inline constexpr std::int32_t WriteMode = 0;
inline constexpr std::int32_t ReadMode = 1;

// A string read from the file is at most this long: the profile service's 256-byte buffer.
inline constexpr std::size_t kMaxReadString = 255;

// Reads the key into the variable; a missing key leaves it unchanged. Always true.
bool readInt(SettingsFile& file, const char* section, const char* key, IntSetting& value);
bool readString(SettingsFile& file, const char* section, const char* key, std::string& value);
// Writes the value ("%d" for integers). Always true: a failed write is not looked at.
bool writeInt(SettingsFile& file, const char* section, const char* key, std::int32_t value);
bool writeString(SettingsFile& file, const char* section, const char* key, const std::string& value);
// Reads when mode is not WriteMode, writes when it is. Always true.
bool transferInt(std::int32_t mode, SettingsFile& file, const char* section, const char* key,
                 IntSetting& value);
bool transferString(std::int32_t mode, SettingsFile& file, const char* section, const char* key,
                    std::string& value);

// Whether the file exists, through the platform's existence test.
bool settingsFileExists(const std::string& path);

template <class Values>
class SettingsStore : public Values {
public:
    // Builds the store: defaults first (the Values' member initialisers), then a load of the path,
    // "./ATS.ini" when it is empty. The result of that load is not looked at.
    explicit SettingsStore(const std::string& path) { load(path); }

    // Fills the variables from the file if it exists; true if it was found. Sets lastPath.
    bool load(std::string path) {
        if (path.empty()) path = defaultPath;
        lastPath = path;
        if (!settingsFileExists(path)) return false;
        SettingsFile file(path);
        this->visitEntries(file, ReadMode);
        return true;
    }

    // Writes every entry that the list visits in write mode into the file (lastPath when the path
    // is empty), creating it if needed, all in one commit. Always true.
    bool save(std::string path) {
        if (path.empty()) path = lastPath;
        SettingsFile file(path);
        this->visitEntries(file, WriteMode);
        file.commit();  // a failed save is not looked at: the values in effect stay, the file as it was
        return true;
    }

    const std::string defaultPath{"./ATS.ini"};
    std::string lastPath;
};

}  // namespace frame
