// What the start-up tests do to their own process that differs between Windows and Linux.
#pragma once

#include <string>

namespace startup_test {

// Whether the loader tells libraries about threads that start and end (Windows), and whether the
// notice of a plug-in is a line on standard error (Linux) rather than a message box.
extern const bool kThreadNotifications;
extern const bool kNoticeOnStandardError;

// Starts a thread in this process and waits until it has ended, so that every loaded library has
// received its thread-attach and thread-detach notifications. Does nothing where there are none.
void startAndEndThread();

// The form of a path that the loader accepts at any length: on Windows the "\\?\" prefix lifts the
// 260-character limit of LoadLibrary; Linux takes the path as it is.
std::string longPathForm(const std::string& path);

// Makes a folder read-only or writable again for this process's user.
void setFolderWritable(const std::string& folder, bool writable);

}  // namespace startup_test
