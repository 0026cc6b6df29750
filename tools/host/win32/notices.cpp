// Taking what a library writes on stderr, on Windows: nothing to take, the notice is a message
// box. See tools/host/private_plugin.h.
#include "tools/host/private_plugin.h"

namespace host {

int captureStderr(const std::string&) { return -1; }

void restoreStderr(int) {}

}  // namespace host
