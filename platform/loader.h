// The platform's loader hook and the one function it calls up into. The hook (loader.cpp of each
// side) is linked into every plug-in; the plug-in's own code defines onLoaderEvent. Objects that
// must exist before the hook first runs, and outlive its last run, are marked
// ATS_BEFORE_LOADER_HOOK.
#pragma once

namespace platform {

// What the loader tells a library, numbered as the Windows loader numbers its reason codes. Linux
// sends ProcessAttach at load and ProcessDetach at unload only.
enum class LoaderEvent : int { ProcessDetach = 0, ProcessAttach = 1, ThreadAttach = 2, ThreadDetach = 3 };

// Defined by the library, called by the hook at every event, one at a time (under the loader's
// lock). Must not throw.
void onLoaderEvent(LoaderEvent event);

}  // namespace platform

// Builds the marked object before the loader hook first runs and destroys it after the hook's last
// run. On Linux the hook is a static object without a priority, which the runtime builds after every
// object with one; on Windows the runtime builds all static objects before it calls the DLL entry
// routine, so the priority changes nothing there.
#define ATS_BEFORE_LOADER_HOOK __attribute__((init_priority(1000)))
