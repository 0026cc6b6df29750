// See overspeed/settings.h.
#include "overspeed/settings.h"

namespace overspeed {

bool OverspeedSettings::visitEntries(const std::string& path, std::int32_t mode) {
    frame::transferString(mode, path, "LOCK", "F7UnlockKey      ", F7UnlockKey);
    return true;
}

}  // namespace overspeed
