// See tests/startup/process.h: Windows.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "startup/process.h"

namespace startup_test {

const bool kThreadNotifications = true;
const bool kNoticeOnStandardError = false;

namespace {
DWORD WINAPI doNothing(LPVOID) { return 0; }
}  // namespace

void startAndEndThread() {
    HANDLE thread = CreateThread(nullptr, 0, doNothing, nullptr, 0, nullptr);
    if (thread == nullptr) return;  // the test then sees no re-read and says so
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

std::string longPathForm(const std::string& path) { return "\\\\?\\" + path; }

void setFolderWritable(const std::string& folder, bool writable) {
    // The read-only attribute of a folder does not stop files being made in it on Windows; the
    // tests find out by trying and skip where it does not hold.
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesA(folder.c_str(), writable ? (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))
                                                : (attributes | FILE_ATTRIBUTE_READONLY));
}

}  // namespace startup_test
