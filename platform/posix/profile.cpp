// The POSIX profile services: the INI text core (platform/posix/ini_text.h) over the file handling
// of platform/posix/file_io.h. A ProfileFile reads its file once and replaces it once; the single
// calls are a ProfileFile each. See platform/profile.h for the rules.
#include "platform/profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/file_io.h"
#include "platform/posix/ini_text.h"

namespace platform {

namespace {

// ProfileFile::readState_.
enum ReadState : int { Unread = 0, Read, TooLarge, Unreadable };

int readInto(const std::string& path, std::string& text) {
    if (path.empty()) return Unreadable;
    switch (fileio::readWholeFile(path.c_str(), text)) {
        case fileio::ReadResult::Whole:
            return Read;
        case fileio::ReadResult::Cut:
            return TooLarge;
        case fileio::ReadResult::Failed:
            break;
    }
    return Unreadable;
}

std::uint32_t copyOut(std::string_view text, char* out, std::uint32_t size) {
    const std::size_t n = text.size() < size - 1u ? text.size() : size - 1u;
    if (n > 0) std::memmove(out, text.data(), n);  // the fallback may be the caller's own buffer
    out[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

// A list of names, each ended by a NUL, then one more NUL. A list that does not fit is cut and
// ends in two NULs, and the result is size - 2.
std::uint32_t copyList(const std::vector<std::string_view>& names, char* out, std::uint32_t size) {
    std::string all;
    for (const std::string_view name : names) all.append(name).push_back('\0');
    if (all.size() + 1 <= size) {
        if (!all.empty()) std::memcpy(out, all.data(), all.size());
        out[all.size()] = '\0';
        return static_cast<std::uint32_t>(all.size());
    }
    if (size < 2) {
        out[0] = '\0';
        return 0;
    }
    std::memcpy(out, all.data(), size - 2u);
    out[size - 2u] = '\0';
    out[size - 1u] = '\0';
    return size - 2u;
}

}  // namespace

std::uint32_t ProfileFile::string(const char* section, const char* key, const char* fallback, char* out,
                                  std::uint32_t size) {
    if (!out || size == 0) return 0;
    if (readState_ == Unread) readState_ = readInto(path_, text_);
    const bool found = readState_ != Unreadable;
    if (!section)
        return copyList(found ? ini::sectionNames(text_) : std::vector<std::string_view>{}, out, size);
    if (!key) {
        // A missing section, and one without keys, give the fallback, as on Windows.
        if (found)
            if (const auto names = ini::keyNames(text_, section); names && !names->empty())
                return copyList(*names, out, size);
    } else if (found) {
        if (const auto value = ini::findValue(text_, section, key)) return copyOut(*value, out, size);
    }
    const std::string_view fallbackText = fallback ? fallback : "";
    return copyOut(ini::unquote(ini::trimTrailingBlanks(fallbackText)), out, size);
}

std::int32_t ProfileFile::integer(const char* section, const char* key, std::int32_t fallback) {
    if (!section || !key) return fallback;
    if (readState_ == Unread) readState_ = readInto(path_, text_);
    if (readState_ == Unreadable) return fallback;
    const auto value = ini::findValue(text_, section, key);
    if (!value || ini::trimBlanks(*value).empty()) return fallback;
    return ini::parseInt(*value);
}

void ProfileFile::write(const char* section, const char* key, const char* value) {
    if (!section) {
        failed_ = true;
        return;
    }
    if (readState_ == Unread) readState_ = readInto(path_, text_);
    const std::string_view sectionName = ini::trimLeadingBlanks(section);
    bool changed = false;
    if (!key)
        changed = ini::deleteSection(text_, sectionName);
    else if (!value)
        changed = ini::deleteKey(text_, sectionName, ini::trimLeadingBlanks(key));
    else
        changed =
            ini::setValue(text_, sectionName, ini::trimLeadingBlanks(key), ini::trimLeadingBlanks(value));
    changed_ = changed_ || changed;
}

bool ProfileFile::commit() {
    const bool allWritesMade = !failed_;
    failed_ = false;
    if (readState_ == Unread) return allWritesMade;  // nothing was written
    if (path_.empty()) return false;
    // What the writes were applied to decides: a file read whole, or a missing one to create.
    // Anything else present (unreadable, not a regular file, too large to have been read whole)
    // fails, and stays as it is.
    const std::string target = fileio::writeTarget(path_);
    struct stat old;
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists && (readState_ != Read || !S_ISREG(old.st_mode))) return false;
    if (exists && ::access(target.c_str(), W_OK) != 0)
        return false;  // a read-only file stays as it is, even for writes that change nothing
    if (!changed_) return allWritesMade;
    if (!fileio::replaceFile(target, text_, exists ? &old : nullptr)) return false;
    readState_ = Read;  // the file now holds the text: later writes build on it
    changed_ = false;
    return allWritesMade;
}

std::uint32_t profileString(const char* section, const char* key, const char* fallback, char* out,
                            std::uint32_t size, const char* path) {
    return ProfileFile(path ? path : "").string(section, key, fallback, out, size);
}

std::int32_t profileInt(const char* section, const char* key, std::int32_t fallback, const char* path) {
    return ProfileFile(path ? path : "").integer(section, key, fallback);
}

bool writeProfileString(const char* section, const char* key, const char* value, const char* path) {
    if (!section || !path || !*path) return false;
    ProfileFile file(path);
    file.write(section, key, value);
    return file.commit();
}

bool fileExists(const char* path) {
    struct stat st;
    return path && ::stat(path, &st) == 0;
}

}  // namespace platform
