// The meter plug-in's settings: section "DATA" of its INI file, keys padded to 17 characters.
#pragma once

#include <string>

#include "frame/settings_store.h"

namespace meter {

struct MeterSettings {
    frame::IntSetting UpDateTime{400};  // update interval, ms; zero and negative used as they are
    // Panel slots for each reading; a value outside 0..255 means "not shown".
    frame::IntSetting PanelMR{-1};
    frame::IntSetting PanelBC{-1};
    frame::IntSetting PanelER{-1};
    frame::IntSetting PanelBP{-1};
    frame::IntSetting PanelSAP{-1};
    frame::IntSetting PanelCurrent{-1};
    frame::IntSetting PanelCurrentABS{-1};
    frame::IntSetting PanelSpeed{-1};

    bool visitEntries(frame::SettingsFile& file, std::int32_t mode);
};

}  // namespace meter
