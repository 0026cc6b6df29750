// See door/settings.h.
#include "door/settings.h"

namespace door {

bool DoorSettings::visitEntries(frame::SettingsFile& file, std::int32_t mode) {
    using frame::transferInt;
    using frame::transferString;
    transferInt(mode, file, "DATA", "closetime", closetime);
    if (mode == frame::ReadMode) transferInt(mode, file, "DATA", "doorlock", doorlock);
    transferInt(mode, file, "DATA", "DoorNum", DoorNum);
    transferInt(mode, file, "DATA", "DIR", DIR);
    transferString(mode, file, "Key", "DoorL", DoorL);
    transferString(mode, file, "Key", "DoorR", DoorR);
    transferString(mode, file, "Key", "DoorC", DoorC);
    transferString(mode, file, "Key", "DoorCar", DoorCar);
    if (mode == frame::ReadMode) transferString(mode, file, "Key", "ReOpen", ReOpen);
    return true;
}

}  // namespace door
