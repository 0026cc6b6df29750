// The library's path and the notice, on Linux. See platform/module.h.
#include "platform/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

namespace platform {

namespace {

std::string resolveModulePath() {
    Dl_info info{};
    // Any address inside this library identifies it; this function's own will do.
    if (dladdr(reinterpret_cast<void*>(&resolveModulePath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::string path = info.dli_fname;
    // The loader reports the name the library was opened by; a relative one is made whole against
    // the current directory, as Windows reports a full path.
    if (!path.empty() && path.front() != '/') {
        std::string cwd(256, '\0');
        while (getcwd(cwd.data(), cwd.size()) == nullptr) {
            if (cwd.size() > (1u << 20)) return path;
            cwd.resize(cwd.size() * 2);
        }
        cwd.resize(std::char_traits<char>::length(cwd.c_str()));
        path = cwd + "/" + path;
    }
    return path;
}

}  // namespace

std::string modulePath() {
    // Resolved once, at the first call, which the run at load makes: a library opened by a relative
    // path stays where it was found when the host later changes its current directory, as the full
    // path that Windows records at load does.
    static const std::string path = resolveModulePath();
    return path;
}

void showNotice(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

}  // namespace platform
