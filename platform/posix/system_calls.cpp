// See platform/posix/system_calls.h: the plain system calls.
#include "platform/posix/system_calls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace platform::sys {

int openFile(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t readFile(int fd, void* data, std::size_t size) { return ::read(fd, data, size); }
ssize_t writeFile(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int syncFile(int fd) { return ::fsync(fd); }
int closeFile(int fd) { return ::close(fd); }
int renameFile(const char* from, const char* to) { return std::rename(from, to); }

}  // namespace platform::sys
