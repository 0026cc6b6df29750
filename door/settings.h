// The door plug-in's settings: sections "DATA" and "Key" of its INI file.
#pragma once

#include <string>

#include "frame/settings_store.h"

namespace door {

struct DoorSettings {
    frame::IntSetting closetime{5000};  // closing time of the doors, ms
    frame::IntSetting doorlock{1};      // nonzero: the close key waits for the host's doors closed
    frame::IntSetting DoorNum{3};       // upper bound of the open-door count that chance openings reach
    frame::IntSetting DIR{1};           // nonzero: no power while the doors are not closed
    // Key names: stored and written, consulted by nothing.
    std::string DoorR{"F"};
    std::string DoorC{"E"};
    std::string DoorL{"D"};
    std::string DoorCar{"G"};
    std::string ReOpen{"Z"};

    // "doorlock" and "ReOpen" are read only: a created file never holds them.
    bool visitEntries(frame::SettingsFile& file, std::int32_t mode);
};

}  // namespace door
