// File stamps on Windows, from the file's handle information. See platform/file_stamp.h.
#include "platform/file_stamp.h"

#include "platform/win32/internal.h"

namespace platform {
namespace {

std::uint64_t wide(DWORD high, DWORD low) { return (std::uint64_t{high} << 32) | low; }

}  // namespace

std::optional<FileStamp> fileStamp(const char* path) {
    // Opened for its attributes only and shared every way, so an editor or a writer is never kept
    // out. A folder does not open without backup semantics, which is what is wanted here.
    HANDLE file =
        CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);  // a failure to close changes nothing that the stamp says
    if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    FILETIME nowTime{};
    GetSystemTimeAsFileTime(&nowTime);
    const std::uint64_t written =
        wide(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    const std::uint64_t now = wide(nowTime.dwHighDateTime, nowTime.dwLowDateTime);
    constexpr std::uint64_t kTicksPerSecond = 10000000;  // 100-nanosecond units
    if (written > now || now - written < kStampSettleSeconds * kTicksPerSecond) return std::nullopt;
    FileStamp stamp;
    stamp.volume = info.dwVolumeSerialNumber;
    stamp.file = wide(info.nFileIndexHigh, info.nFileIndexLow);
    stamp.size = wide(info.nFileSizeHigh, info.nFileSizeLow);
    stamp.writeTime = written;
    return stamp;
}

}  // namespace platform
