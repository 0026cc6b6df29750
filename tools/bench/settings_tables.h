// The settings each plug-in reads, taken from the plug-ins' own entry lists: door/settings.cpp,
// meter/settings.cpp and overspeed/settings.cpp are compiled into the bench against a recorder of
// the frame's transfer functions (settings_tables.cpp), so the bench never keeps a copy of the keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct SettingEntry {
    std::string section;
    std::string key;  // as the plug-in passes it, padding included
    bool integer = true;
    std::int32_t defaultInt = 0;  // the built-in value
    std::string defaultText;
    bool written = false;  // also written when the plug-in creates its file
};

// The plug-ins whose lists the bench has: "Tavrel", "Quinsora", "Vesk".
const std::vector<std::string>& knownPlugins();

// The entries in the plug-in's reading order; empty for a plug-in the bench does not know.
std::vector<SettingEntry> settingsOf(const std::string& plugin);

}  // namespace bench
