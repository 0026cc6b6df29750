// See platform/posix/file_io.h.
#include "platform/posix/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/posix/system_calls.h"

namespace platform::fileio {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The writer's pid in the rest of a temporary name, "<pid>.<n>"; 0 when the rest is not of that form.
pid_t writerOf(std::string_view rest) {
    const std::size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot > 9 || dot + 1 == rest.size()) return 0;
    pid_t pid = 0;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (i == dot) continue;
        if (rest[i] < '0' || rest[i] > '9') return 0;
        if (i < dot) pid = pid * 10 + (rest[i] - '0');
    }
    return pid;
}

// Removes the temporary files with the prefix whose writer process is gone. A pid that is in use
// again by another process keeps its file until a later write finds it gone; nothing that a live
// process may still rename is ever removed.
void removeStaleTemporaries(const std::string& folder, const std::string& prefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;  // the replace is done; what a killed writer left stays for the next one
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
        const pid_t writer = writerOf(name.substr(prefix.size()));
        if (writer <= 0 || writer == self) continue;
        if (::kill(writer, 0) == 0 || errno != ESRCH) continue;          // alive, or someone else's to tell
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) != 0) errno = 0;  // gone already: fine
    }
    ::closedir(dir);
}

bool writeAll(int fd, std::string_view text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = sys::writeFile(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

}  // namespace

ReadResult readWholeFile(const char* path, std::string& text, struct stat* info) {
    text.clear();
    struct stat st;
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::Failed;
    // O_NONBLOCK: should the entry have become a named pipe since the stat, the open does not wait.
    const int fd = sys::openFile(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0);
    if (fd < 0) return ReadResult::Failed;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        const auto size = static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0);
        text.reserve((size < kMaxFileSize ? size : kMaxFileSize) + 1);
    }
    // One byte beyond the bound tells a file of exactly kMaxFileSize bytes from a larger one, and a
    // file that grows while it is read stops being read there.
    char chunk[65536];
    while (ok && text.size() <= kMaxFileSize) {
        const std::size_t room = kMaxFileSize + 1 - text.size();
        const ssize_t got = sys::readFile(fd, chunk, room < sizeof chunk ? room : sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    // A descriptor opened for reading: once its bytes are in, a failing close loses nothing.
    if (sys::closeFile(fd) != 0) errno = 0;
    if (!ok) {
        text.clear();
        return ReadResult::Failed;
    }
    if (info) *info = st;
    if (text.size() <= kMaxFileSize) return ReadResult::Whole;
    const std::size_t lastEnding = std::string_view(text).substr(0, kMaxFileSize).find_last_of("\r\n");
    text.resize(lastEnding == std::string::npos ? 0 : lastEnding + 1);
    return ReadResult::Cut;
}

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

bool replaceFile(const std::string& target, std::string_view text, const struct stat* old) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    // The temporary name starts with the file's name, cut so that it stays within the 255 bytes a
    // file name may have.
    const std::string base = (slash == std::string::npos ? target : target.substr(slash + 1)).substr(0, 200);
    const std::string prefix = "." + base + ".tmp";
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + prefix + std::to_string(::getpid()) + "." + std::to_string(++counter);
        fd = sys::openFile(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    if (old) {
        // Keep the old file's owner (only root can give a file away; others keep their own) and
        // its permission bits. A failure here is ignored on purpose: the content matters more.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0) errno = 0;
        if (::fchmod(fd, old->st_mode & 07777) != 0) errno = 0;
    }
    bool ok = writeAll(fd, text) && sys::syncFile(fd) == 0;
    if (sys::closeFile(fd) != 0) ok = false;
    if (ok && sys::renameFile(temp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename is durable once the folder is synced; a folder that cannot be synced is left as
    // it is, since the new file is in place either way.
    const std::string folderPath = folderOf(target);
    const int dir = sys::openFile(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (dir >= 0) {
        if (sys::syncFile(dir) != 0) errno = 0;
        if (sys::closeFile(dir) != 0) errno = 0;
    }
    removeStaleTemporaries(folderPath, prefix);
    return true;
}

}  // namespace platform::fileio
