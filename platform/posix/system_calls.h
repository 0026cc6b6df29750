// The system calls by which the POSIX profile services read and replace files, kept in a file of
// their own so that a test can link a substitute that makes the Nth call fail (the fault seam). The
// shipped code calls them directly; each has the meaning and error reporting of the call it is
// named after.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace platform::sys {

int openFile(const char* path, int flags, mode_t mode);
ssize_t readFile(int fd, void* data, std::size_t size);
ssize_t writeFile(int fd, const void* data, std::size_t size);
int syncFile(int fd);
int closeFile(int fd);
int renameFile(const char* from, const char* to);

}  // namespace platform::sys
