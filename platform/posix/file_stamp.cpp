// File stamps on Linux, from stat. See platform/file_stamp.h.
#include "platform/file_stamp.h"

#include <sys/stat.h>

#include <ctime>

namespace platform {

std::optional<FileStamp> fileStamp(const char* path) {
    struct stat status {};
    if (stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // Seconds compared in signed arithmetic: a write time in the future counts as recent too.
    if (now.tv_sec - status.st_mtim.tv_sec < static_cast<time_t>(kStampSettleSeconds)) return std::nullopt;
    FileStamp stamp;
    stamp.volume = static_cast<std::uint64_t>(status.st_dev);
    stamp.file = static_cast<std::uint64_t>(status.st_ino);
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.writeTime = static_cast<std::uint64_t>(status.st_mtim.tv_sec) * 1000000000u +
                      static_cast<std::uint64_t>(status.st_mtim.tv_nsec);
    return stamp;
}

}  // namespace platform
