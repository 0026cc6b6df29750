// The recorder's system services on Linux. See recorder/system.h.
#include "recorder/system.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace recorder {
namespace {

bool writeAll(int fd, const std::string& contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

void* loadLibrary(const std::string& path, std::string* error) {
    // RTLD_LOCAL: the real plug-in's entry points must not stand in for the recorder's own.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr && error) {
        const char* message = dlerror();
        *error = message ? message : "cannot load " + path;
    }
    return library;
}

void* findSymbol(void* library, const char* name) { return dlsym(library, name); }

void unloadLibrary(void* library) { dlclose(library); }

bool writeFileAtomically(const std::string& path, const std::string& contents) {
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = writeAll(fd, contents) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool appendToFile(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = writeAll(fd, text);
    return ::close(fd) == 0 && written;
}

bool canJoinAtUnload() { return true; }

}  // namespace recorder
