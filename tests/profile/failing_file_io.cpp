// See failing_file_io.h. Defines the functions of platform/posix/file_io.h, so the linker takes
// these and not the library's.
#include "profile/failing_file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/file_io.h"

namespace failing_file_io {
namespace {

Call armed = Call::None;
int remaining = 0;
int errorNumber = 0;

// Whether this call is the one to fail; sets errno when it is.
bool failsNow(Call call) {
    if (armed != call || --remaining > 0) return false;
    armed = Call::None;
    errno = errorNumber;
    return true;
}

}  // namespace

void failAt(Call call, int countdown, int error) {
    armed = call;
    remaining = countdown;
    errorNumber = error;
}

void disarm() { armed = Call::None; }

}  // namespace failing_file_io

namespace platform::fileio {

using failing_file_io::Call;
using failing_file_io::failsNow;

int openFile(const char* path, int flags, mode_t mode) {
    return failsNow(Call::Open) ? -1 : ::open(path, flags, mode);
}

ssize_t writeFile(int fd, const void* data, std::size_t size) {
    if (failsNow(Call::Write)) return -1;
    // Half of a larger write goes through first, so a failure can come after some bytes landed.
    return ::write(fd, data, size > 1 ? size / 2 : size);
}

int syncFile(int fd) { return failsNow(Call::Sync) ? -1 : ::fsync(fd); }

int closeFile(int fd) {
    const int result = ::close(fd);  // the descriptor is released either way, as close(2) does
    return failsNow(Call::Close) ? -1 : result;
}

int renameFile(const char* from, const char* to) {
    return failsNow(Call::Rename) ? -1 : std::rename(from, to);
}

}  // namespace platform::fileio
