// See meter/settings.h.
#include "meter/settings.h"

namespace meter {

bool MeterSettings::visitEntries(const std::string& path, std::int32_t mode) {
    using frame::transferInt;
    // Keys are written padded with spaces to 17 characters; a read finds a key with or without the
    // padding, so hand-written files may leave it out.
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
