// The overspeed plug-in's settings: section "LOCK" of its INI file, read only.
#pragma once

#include <string>

#include "frame/settings_store.h"

namespace overspeed {

struct OverspeedSettings {
    std::string F7UnlockKey;  // read at start-up; nothing depends on it

    bool visitEntries(frame::SettingsFile& file, std::int32_t mode);
};

}  // namespace overspeed
