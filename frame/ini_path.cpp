// See iniPathFor in frame/startup.h.
#include "frame/startup.h"

namespace frame {

std::string iniPathFor(const std::string& modulePath) {
    if (modulePath.empty()) return {};
    // Both separators count: Windows accepts either, and a Linux file name with a backslash in it
    // is not a library anybody installs.
    const std::size_t nameStart = modulePath.find_last_of("/\\") + 1;  // npos + 1 == 0
    const std::size_t dot = modulePath.rfind('.');
    // A dot that starts the file name (".hidden") is not an extension.
    if (dot == std::string::npos || dot <= nameStart) return modulePath + ".ini";
    return modulePath.substr(0, dot) + ".ini";
}

}  // namespace frame
