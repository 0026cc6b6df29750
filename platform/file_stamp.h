// What a file looks like from outside: enough to tell, without reading it, that it has not changed
// since it was last looked at.
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

struct FileStamp {
    std::uint64_t volume = 0;     // the file system holding the file
    std::uint64_t file = 0;       // the file's number on it: a file renamed into place differs
    std::uint64_t size = 0;       // bytes
    std::uint64_t writeTime = 0;  // last write, in the system's own units
    bool operator==(const FileStamp&) const = default;
};

// A write within this long of the last one may leave the last-write time as it was (file systems
// keep it in steps of up to two seconds), so a stamp younger than this proves nothing.
inline constexpr std::uint64_t kStampSettleSeconds = 2;

// The stamp of the regular file at path, if two equal stamps taken at different times show that
// the file did not change in between (as far as its size, last-write time and identity tell):
// nothing for a missing file, a folder, a file that cannot be queried, and for a file whose last
// write is less than kStampSettleSeconds ago or in the future. Leaves nothing open.
std::optional<FileStamp> fileStamp(const char* path);

}  // namespace platform
