// See overspeed/settings.h.
#include "overspeed/settings.h"

namespace overspeed {

bool OverspeedSettings::visitEntries(frame::SettingsFile& file, std::int32_t mode) {
    frame::transferString(mode, file, "LOCK", "F7UnlockKey      ", F7UnlockKey);
    return true;
}

}  // namespace overspeed
