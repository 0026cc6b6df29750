// File handling of the POSIX profile services: reading a settings file whole, finding the file a
// write goes to, and replacing it atomically. Every system call that can fail here goes through
// platform/posix/system_calls.h, the fault seam of the tests.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::fileio {

// The most of a file that is read: 16 MiB. Settings files are a few hundred bytes; the bound keeps
// a huge or endlessly growing file from taking the host's memory and time (a read of this much and
// the lookups in it take tens of milliseconds). Windows itself sets no size limit.
inline constexpr std::size_t kMaxFileSize = std::size_t{16} << 20;

enum class ReadResult {
    Whole,   // the file's bytes, all of them
    Cut,     // the file is larger than kMaxFileSize: its lines up to the last line ending within
             // the first kMaxFileSize bytes, as if the file ended there
    Failed,  // missing, not a regular file, or unreadable; the text is empty
};

// Reads a regular file. Anything else (a folder, a named pipe, a device) is never opened, so the
// call neither blocks nor wakes a device; a read error anywhere gives Failed, never part of a file.
// When info is given it receives the file's status.
ReadResult readWholeFile(const char* path, std::string& text, struct stat* info = nullptr);

// The file a write goes to: a symbolic link is followed to its target, so the link stays a link.
std::string writeTarget(std::string path);

// Writes the text into a new file beside the target, makes it durable, renames it over the target
// and syncs the folder. The new file takes the old one's owner and permission bits when old is
// given. On any failure before the rename the temporary file is removed and the target is as it
// was; a failure to sync the folder after the rename is not one (the new file is in place).
//
// The temporary file is named ".<file name>.tmp<pid>.<n>", the pid being the writer's. After a
// successful replace, temporary files of the same target whose writer process no longer exists (a
// writer killed mid-write) are removed; those of live processes, this one included, are left
// alone, since they may be in flight.
bool replaceFile(const std::string& target, std::string_view text, const struct stat* old);

}  // namespace platform::fileio
