// See tests/startup/process.h: Linux.
#include <sys/stat.h>

#include "startup/process.h"

namespace startup_test {

const bool kThreadNotifications = false;
const bool kNoticeOnStandardError = true;

void startAndEndThread() {}

std::string longPathForm(const std::string& path) { return path; }

void setFolderWritable(const std::string& folder, bool writable) {
    chmod(folder.c_str(), writable ? 0755 : 0555);
}

}  // namespace startup_test
