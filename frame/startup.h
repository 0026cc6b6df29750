// Start-up and shutdown: what a plug-in does when the library is attached to and detached from the
// host's process. Each plug-in's module.cpp defines its store with ATS_BEFORE_LOADER_HOOK, so that
// it is built before the loader hook first runs and destroyed after its last run, and defines
// platform::onLoaderEvent (platform/loader.h) as a call of attachRoutine with its policy.
#pragma once

#include <optional>
#include <string>

#include "frame/settings_store.h"
#include "platform/file_stamp.h"
#include "platform/loader.h"
#include "platform/module.h"

namespace frame {

struct StartupPolicy {
    bool everyNotification;  // re-run at thread attach/detach and process detach, not only attach
    bool createMissingFile;  // save the values in effect when the INI file is missing
    bool showNotice;         // show the library's path at every run of the routine
};

// What the attach routine keeps between its runs: the stamp of the INI file as it was just before
// the routine last read it whole. Constant-initialised, so it is in place before any run.
struct StartupMemo {
    std::optional<platform::FileStamp> lastRead;
};

// The INI path for a library path: the file name's extension replaced by ".ini" (".dll" in any
// letter case, ".so", or any other), or ".ini" appended to a file name without one. Only the file
// name is looked at, so a folder such as "a.dll.d" is left alone. Empty for an empty path.
std::string iniPathFor(const std::string& modulePath);

// One run: the notice, then the INI file read (or created when missing and the policy says so).
//
// A run whose INI file has the stamp it had at the last whole read skips the read: the values in
// effect are those the read would give, since only reads of that file change them after start-up.
// This keeps a thread start in the host cheap. Any other run reads the file whole: a changed,
// missing or just-written file (platform::fileStamp gives no stamp for a file written within the
// last seconds, so an edit of the same size in the same clock step is not missed). A run that
// creates the file forgets the stamp, so the next run reads what was written.
template <class Values>
void attachRoutine(SettingsStore<Values>& store, StartupMemo& memo, const StartupPolicy& policy,
                   platform::LoaderEvent event) {
    if (!policy.everyNotification && event != platform::LoaderEvent::ProcessAttach) return;
    const std::string module = platform::modulePath();
    if (policy.showNotice) platform::showNotice(module);
    const std::string ini = iniPathFor(module);
    if (ini.empty()) return;  // the platform could not name the library: keep the values in effect
    // Taken before the read, so a write during the read makes the next run read again.
    const std::optional<platform::FileStamp> stamp = platform::fileStamp(ini.c_str());
    if (stamp && stamp == memo.lastRead && store.lastPath == ini) return;
    memo.lastRead.reset();
    if (store.load(ini)) {
        memo.lastRead = stamp;
    } else if (policy.createMissingFile) {
        store.save(ini);
    }
}

}  // namespace frame
