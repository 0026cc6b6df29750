// The POSIX profile services: the file adapter around the INI text core (platform/posix/ini_text.h).
// Every call reads the file anew (no cache); a changing write replaces the file atomically through
// a temporary file in the same folder. See platform/profile.h for the rules.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/file_io.h"
#include "platform/posix/ini_text.h"

namespace platform {

namespace {

// Reads the whole of a regular file; false when it is missing, unreadable or not a regular file.
// O_NONBLOCK keeps a named pipe from blocking the open; it means nothing for a regular file.
bool readWholeFile(const char* path, std::string& text, struct stat* info = nullptr) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    text.clear();
    char chunk[65536];
    while (ok) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);  // a read-only descriptor: nothing to lose if closing fails
    if (ok && info) *info = st;
    return ok;
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

// The file a write goes to: a symbolic link is followed to its target, so the link stays a link.
std::string writeTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4095) + 1);
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) return path;
        const std::string target(link.data(), static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        path =
            target.front() == '/' || slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
    }
    return path;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes the text into a new file beside the target, makes it durable, and renames it over the
// target. On any failure the temporary file is removed and the target is as it was.
bool replaceFile(const std::string& target, const std::string& text, const struct stat* old) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    // The temporary name starts with the file's name, cut so that it stays within the 255 bytes a
    // file name may have.
    const std::string base = (slash == std::string::npos ? target : target.substr(slash + 1)).substr(0, 200);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "." + base + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(++counter);
        fd = fileio::openFile(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    if (old) {
        // Keep the old file's owner (only root can give a file away; others keep their own) and
        // its permission bits. A failure here is ignored on purpose: the content matters more.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0) errno = 0;
        if (::fchmod(fd, old->st_mode & 07777) != 0) errno = 0;
    }
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t wrote = fileio::writeFile(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(wrote);
    }
    if (ok && fileio::syncFile(fd) != 0) ok = false;
    if (fileio::closeFile(fd) != 0) ok = false;
    if (ok && fileio::renameFile(temp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename is durable once the folder is synced; a folder that cannot be synced is left as
    // it is, since the new file is in place either way.
    const int dir = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        if (::fsync(dir) != 0) errno = 0;
        ::close(dir);
    }
    return true;
}

}  // namespace

std::uint32_t profileString(const char* section, const char* key, const char* fallback, char* out,
                            std::uint32_t size, const char* path) {
    if (!out || size == 0) return 0;
    std::string text;
    const bool found = path && *path && readWholeFile(path, text);
    if (!section)
        return copyList(found ? ini::sectionNames(text) : std::vector<std::string_view>{}, out, size);
    if (!key) {
        // A missing section, and one without keys, give the fallback, as on Windows.
        if (found)
            if (const auto names = ini::keyNames(text, section); names && !names->empty())
                return copyList(*names, out, size);
    } else if (found) {
        if (const auto value = ini::findValue(text, section, key)) return copyOut(*value, out, size);
    }
    const std::string_view fallbackText = fallback ? fallback : "";
    return copyOut(ini::unquote(ini::trimTrailingBlanks(fallbackText)), out, size);
}

std::int32_t profileInt(const char* section, const char* key, std::int32_t fallback, const char* path) {
    if (!section || !key || !path || !*path) return fallback;
    std::string text;
    if (!readWholeFile(path, text)) return fallback;
    const auto value = ini::findValue(text, section, key);
    if (!value || ini::trimBlanks(*value).empty()) return fallback;
    return ini::parseInt(*value);
}

bool writeProfileString(const char* section, const char* key, const char* value, const char* path) {
    if (!section || !path || !*path) return false;
    const std::string target = writeTarget(path);
    std::string text;
    struct stat old;
    bool exists = readWholeFile(target.c_str(), text, &old);
    if (!exists) {
        // Only a missing file may be created; anything else that cannot be read is a failure.
        struct stat st;
        if (::stat(target.c_str(), &st) == 0 || errno != ENOENT) return false;
    } else if (::access(target.c_str(), W_OK) != 0) {
        return false;  // a read-only file stays as it is, even for a write that changes nothing
    }
    const std::string_view sectionName = ini::trimLeadingBlanks(section);
    bool changed = false;
    if (!key)
        changed = ini::deleteSection(text, sectionName);
    else if (!value)
        changed = ini::deleteKey(text, sectionName, ini::trimLeadingBlanks(key));
    else
        changed =
            ini::setValue(text, sectionName, ini::trimLeadingBlanks(key), ini::trimLeadingBlanks(value));
    if (!changed) return true;
    return replaceFile(target, text, exists ? &old : nullptr);
}

bool fileExists(const char* path) {
    struct stat st;
    return path && ::stat(path, &st) == 0;
}

}  // namespace platform
