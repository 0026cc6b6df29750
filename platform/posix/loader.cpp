// Load and unload on Linux: the ELF constructor and destructor of this object stand in for the
// process attach and detach notifications. Linux sends no thread notifications.
#include "frame/plugin.h"

namespace {

struct LoaderHook {
    LoaderHook() { frame::onLoaderNotification(frame::ProcessAttach); }
    ~LoaderHook() { frame::onLoaderNotification(frame::ProcessDetach); }
    LoaderHook(const LoaderHook&) = delete;
    LoaderHook& operator=(const LoaderHook&) = delete;
};

// Built after the settings store, which carries a higher init priority (frame/startup.h), and
// therefore destroyed before it.
const LoaderHook hook;

}  // namespace
