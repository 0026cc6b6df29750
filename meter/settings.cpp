// See meter/settings.h.
#include "meter/settings.h"

namespace meter {

bool MeterSettings::visitEntries(const std::string& path, std::int32_t mode) {
    using frame::transferInt;
    // The key strings keep their trailing spaces: files written by earlier releases hold them.
    transferInt(mode, path, "DATA", "UpDateTime       ", UpDateTime);
    transferInt(mode, path, "DATA", "PanelMR          ", PanelMR);
    transferInt(mode, path, "DATA", "PanelBC          ", PanelBC);
    transferInt(mode, path, "DATA", "PanelER          ", PanelER);
    transferInt(mode, path, "DATA", "PanelBP          ", PanelBP);
    transferInt(mode, path, "DATA", "PanelSAP         ", PanelSAP);
    transferInt(mode, path, "DATA", "PanelCurrent     ", PanelCurrent);
    transferInt(mode, path, "DATA", "PanelCurrentABS  ", PanelCurrentABS);
    transferInt(mode, path, "DATA", "PanelSpeed       ", PanelSpeed);
    return true;
}

}  // namespace meter
