// See door/settings.h.
#include "door/settings.h"

namespace door {

bool DoorSettings::visitEntries(const std::string& path, std::int32_t mode) {
    using frame::transferInt;
    using frame::transferString;
    transferInt(mode, path, "DATA", "closetime", closetime);
    if (mode == frame::ReadMode) transferInt(mode, path, "DATA", "doorlock", doorlock);
    transferInt(mode, path, "DATA", "DoorNum", DoorNum);
    transferInt(mode, path, "DATA", "DIR", DIR);
    transferString(mode, path, "Key", "DoorL", DoorL);
    transferString(mode, path, "Key", "DoorR", DoorR);
    transferString(mode, path, "Key", "DoorC", DoorC);
    transferString(mode, path, "Key", "DoorCar", DoorCar);
    if (mode == frame::ReadMode) transferString(mode, path, "Key", "ReOpen", ReOpen);
    return true;
}

}  // namespace door
