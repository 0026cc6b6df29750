// See failing_file_io.h. Defines the functions of platform/posix/system_calls.h, so the linker
// takes these and not the library's.
#include "profile/failing_file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/system_calls.h"

namespace failing_file_io {
namespace {

Call armed = Call::None;
int remaining = 0;
int errorNumber = 0;
bool hasFired = false;

// Whether this call is the one to fail; sets errno when it is.
bool failsNow(Call call) {
    if (armed != call || --remaining > 0) return false;
    armed = Call::None;
    hasFired = true;
    errno = errorNumber;
    return true;
}

}  // namespace

void failAt(Call call, int countdown, int error) {
    armed = call;
    remaining = countdown;
    errorNumber = error;
    hasFired = false;
}

void disarm() { armed = Call::None; }

bool fired() { return hasFired; }

}  // namespace failing_file_io

namespace platform::sys {

using failing_file_io::Call;
using failing_file_io::failsNow;

int openFile(const char* path, int flags, mode_t mode) {
    return failsNow(Call::Open) ? -1 : ::open(path, flags, mode);
}

// Reads and writes move half of what is asked at a time (at least one byte), so that the callers'
// loops over short transfers are exercised and a failure can come after some bytes moved.
ssize_t readFile(int fd, void* data, std::size_t size) {
    if (failsNow(Call::Read)) return -1;
    return ::read(fd, data, size > 1 ? size / 2 : size);
}

ssize_t writeFile(int fd, const void* data, std::size_t size) {
    if (failsNow(Call::Write)) return -1;
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

}  // namespace platform::sys
