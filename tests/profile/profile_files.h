// Helpers of the profile tests: a private temporary folder per test, and files read and written
// byte for byte, from the host-side helpers (tools/host/temp_folder.h). Portable, so that the same
// tests run on Linux and under Wine.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "tools/host/temp_folder.h"

namespace profile_test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
using TempDir = host::TempFolder;

inline void writeBytes(const std::string& path, const std::string& bytes) { host::writeFile(path, bytes); }

// The file's bytes, or nothing when it does not exist.
inline std::optional<std::string> readBytes(const std::string& path) {
    std::string bytes;
    if (!host::readFile(path, &bytes)) return std::nullopt;
    return bytes;
}

// A fixture of tests/profile/fixtures, byte for byte.
inline std::string fixture(const std::string& name) {
    return readBytes(std::string(ATS_FIXTURES) + "/" + name).value_or("<missing fixture " + name + ">");
}

}  // namespace profile_test
