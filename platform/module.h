// What the running library knows of itself: its path, and the notice that shows it.
#pragma once

#include <string>

namespace platform {

// The library's own full file name, whole at any length; empty if the platform cannot tell.
std::string modulePath();

// Shows the library's path to the user: a message box on Windows, one line on standard error on
// Linux. Returns when the user has seen it (or at once where there is nothing to wait for).
void showNotice(const std::string& text);

}  // namespace platform
