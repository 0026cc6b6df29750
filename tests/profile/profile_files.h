// Helpers of the profile tests: a private temporary folder per test, and files read and written
// byte for byte. Portable, so that the same tests run on Linux and under Wine.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

namespace profile_test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        static unsigned counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = fs::temp_directory_path() /
                ("ats-profile-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;  // a leftover folder in the temporary folder is harmless
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    // The full name of a file in the folder, as the profile services take it.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The file's bytes, or nothing when it does not exist.
inline std::optional<std::string> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// A fixture of tests/profile/fixtures, byte for byte.
inline std::string fixture(const std::string& name) {
    return readBytes(std::string(ATS_FIXTURES) + "/" + name).value_or("<missing fixture " + name + ">");
}

}  // namespace profile_test
