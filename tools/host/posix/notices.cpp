// Taking what a library writes on stderr, on Linux. See tools/host/private_plugin.h.
#include <fcntl.h>
#include <unistd.h>

#include "tools/host/private_plugin.h"

namespace host {

int captureStderr(const std::string& file) {
    const int saved = dup(STDERR_FILENO);
    if (saved < 0) return -1;
    const int target = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    if (target < 0 || dup2(target, STDERR_FILENO) < 0) {
        if (target >= 0) close(target);
        close(saved);
        return -1;
    }
    close(target);
    return saved;
}

void restoreStderr(int token) {
    dup2(token, STDERR_FILENO);
    close(token);
}

}  // namespace host
