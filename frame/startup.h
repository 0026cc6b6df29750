// Start-up and shutdown: what a plug-in does when the library is attached to and detached from the
// host's process. Each plug-in's module.cpp defines its store with FRAME_STORE_FIRST, so that it is
// built before the loader hook runs and destroyed after its last run, and forwards
// frame::onLoaderNotification to attachRoutine with its policy.
#pragma once

#include <string>

#include "frame/plugin.h"
#include "frame/settings_store.h"
#include "platform/module.h"

// Gives the settings store a higher construction priority than the loader hook (Linux), so the
// defaults and "./ATS.ini" are in place before the attach routine first runs.
#define FRAME_STORE_FIRST __attribute__((init_priority(1000)))

namespace frame {

struct StartupPolicy {
    bool everyNotification;  // re-run at thread attach/detach and process detach, not only attach
    bool createMissingFile;  // save the values in effect when the INI file is missing
    bool showNotice;         // show the library's path at every run of the routine
};

// The INI path for a library path: the file name's extension replaced by ".ini" (".dll" in any
// letter case, ".so", or any other), or ".ini" appended to a file name without one. Only the file
// name is looked at, so a folder such as "a.dll.d" is left alone. Empty for an empty path.
std::string iniPathFor(const std::string& modulePath);

template <class Values>
void attachRoutine(SettingsStore<Values>& store, const StartupPolicy& policy, int reason) {
    if (!policy.everyNotification && reason != ProcessAttach) return;
    const std::string module = platform::modulePath();
    if (policy.showNotice) platform::showNotice(module);
    const std::string ini = iniPathFor(module);
    if (ini.empty()) return;  // the platform could not name the library: keep the values in effect
    if (!store.load(ini) && policy.createMissingFile) store.save(ini);
}

}  // namespace frame
