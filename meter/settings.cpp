// See meter/settings.h.
#include "meter/settings.h"

namespace meter {

bool MeterSettings::visitEntries(frame::SettingsFile& file, std::int32_t mode) {
    using frame::transferInt;
    // Keys are written padded with spaces to 17 characters; a read finds a key with or without the
    // padding, so hand-written files may leave it out.
    transferInt(mode, file, "DATA", "UpDateTime       ", UpDateTime);
    transferInt(mode, file, "DATA", "PanelMR          ", PanelMR);
    transferInt(mode, file, "DATA", "PanelBC          ", PanelBC);
    transferInt(mode, file, "DATA", "PanelER          ", PanelER);
    transferInt(mode, file, "DATA", "PanelBP          ", PanelBP);
    transferInt(mode, file, "DATA", "PanelSAP         ", PanelSAP);
    transferInt(mode, file, "DATA", "PanelCurrent     ", PanelCurrent);
    transferInt(mode, file, "DATA", "PanelCurrentABS  ", PanelCurrentABS);
    transferInt(mode, file, "DATA", "PanelSpeed       ", PanelSpeed);
    return true;
}

}  // namespace meter
