// Load and unload on Linux: the ELF constructor and destructor of this object stand in for the
// process attach and detach notifications. Linux sends no thread notifications. See
// platform/loader.h.
#include "platform/loader.h"

namespace {

struct LoaderHook {
    LoaderHook() { platform::onLoaderEvent(platform::LoaderEvent::ProcessAttach); }
    ~LoaderHook() { platform::onLoaderEvent(platform::LoaderEvent::ProcessDetach); }
    LoaderHook(const LoaderHook&) = delete;
    LoaderHook& operator=(const LoaderHook&) = delete;
};

// No init priority: built after every object marked ATS_BEFORE_LOADER_HOOK, and therefore
// destroyed before them.
const LoaderHook hook;

}  // namespace
