// See tests/startup/fake_platform.h. Defines the services of platform/module.h, platform/profile.h
// and platform/file_stamp.h over an in-memory set of files.
#include "startup/fake_platform.h"

#include <cstdlib>
#include <cstring>

#include "platform/file_stamp.h"
#include "platform/module.h"
#include "platform/profile.h"

namespace fake_platform {

State& state() {
    static State instance;
    return instance;
}

namespace {

const std::string* find(const char* section, const char* key, const char* path) {
    State& s = state();
    s.calls.push_back(std::string("read ") + path);
    const auto file = s.files.find(path);
    if (file == s.files.end()) return nullptr;
    const auto found = file->second.find(section);
    if (found == file->second.end()) return nullptr;
    const auto value = found->second.find(key);
    return value == found->second.end() ? nullptr : &value->second;
}

}  // namespace
}  // namespace fake_platform

namespace platform {

std::string modulePath() { return fake_platform::state().modulePath; }

void showNotice(const std::string& text) {
    fake_platform::state().notices.push_back(text);
    fake_platform::state().calls.push_back("notice");
}

std::uint32_t profileString(const char* section, const char* key, const char* fallback, char* out,
                            std::uint32_t size, const char* path) {
    const std::string* value = fake_platform::find(section, key, path);
    const std::string text = value ? *value : std::string(fallback);
    const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
    return static_cast<std::uint32_t>(length);
}

std::int32_t profileInt(const char* section, const char* key, std::int32_t fallback, const char* path) {
    const std::string* value = fake_platform::find(section, key, path);
    return value ? static_cast<std::int32_t>(std::strtol(value->c_str(), nullptr, 10)) : fallback;
}

bool writeProfileString(const char* section, const char* key, const char* value, const char* path) {
    fake_platform::State& s = fake_platform::state();
    s.calls.push_back(std::string("write ") + path);
    if (s.writesFail) return false;
    s.files[path][section][key] = value;
    ++s.changes[path];
    return true;
}

// Call by call, as on Windows, so that the test sees every read and write.
std::uint32_t ProfileFile::string(const char* section, const char* key, const char* fallback, char* out,
                                  std::uint32_t size) {
    return profileString(section, key, fallback, out, size, path_.c_str());
}

std::int32_t ProfileFile::integer(const char* section, const char* key, std::int32_t fallback) {
    return profileInt(section, key, fallback, path_.c_str());
}

void ProfileFile::write(const char* section, const char* key, const char* value) {
    if (!writeProfileString(section, key, value, path_.c_str())) failed_ = true;
}

bool ProfileFile::commit() {
    const bool allWritesMade = !failed_;
    failed_ = false;
    return allWritesMade;
}

bool fileExists(const char* path) {
    fake_platform::State& s = fake_platform::state();
    s.calls.push_back(std::string("exists ") + path);
    return s.files.count(path) != 0;
}

std::optional<FileStamp> fileStamp(const char* path) {
    fake_platform::State& s = fake_platform::state();
    s.calls.push_back(std::string("stamp ") + path);
    if (!s.stampsSettled || s.files.count(path) == 0) return std::nullopt;
    FileStamp stamp;
    stamp.writeTime = s.changes[path];
    return stamp;
}

}  // namespace platform
