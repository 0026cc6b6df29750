// A stand-in for the platform's module and profile services, linked into the attach-routine test in
// place of platform/posix or platform/win32 (module, profile and file-stamp services): the shipped code keeps
// its direct calls, and the test decides what the library's path is, which files exist, and whether a write
// succeeds.
#pragma once

#include <cstdint>
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
    // File stamps: a file's stamp is its count of changes, which every write through the platform
    // raises and a test raises for an edit of its own. Unsettled, no file has a stamp (all of them
    // were written a moment ago).
    std::map<std::string, std::uint64_t> changes;
    bool stampsSettled = true;
};

// The one state that the fake services use; reset it at the start of each test.
State& state();

}  // namespace fake_platform
