// A stand-in for the platform's module and profile services, linked into the attach-routine test in
// place of platform/posix or platform/win32: the shipped code keeps its direct calls, and the test
// decides what the library's path is, which files exist, and whether a write succeeds.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace fake_platform {

// One INI file: section -> key -> value, names compared as given.
using IniFile = std::map<std::string, std::map<std::string, std::string>>;

struct State {
    std::string modulePath;                // what platform::modulePath reports
    std::map<std::string, IniFile> files;  // path -> contents
    bool writesFail = false;               // every profile write fails, as in a read-only folder
    std::vector<std::string> notices;      // texts shown by platform::showNotice
    std::vector<std::string> calls;        // "exists <path>", "read <path>", "write <path>", "notice"
};

// The one state that the fake services use; reset it at the start of each test.
State& state();

}  // namespace fake_platform
