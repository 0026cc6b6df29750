// A plug-in loaded as the host loads it, but privately: the library is copied into a new
// temporary folder, its INI file (if any) written beside the copy, that folder made the working
// folder (so no "./ATS.ini" of the user's is read) and the copy loaded. The bench, the Elapse
// benchmark and the library tests all load plug-ins through this one type.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frame/host.h"
#include "tools/host/plugin_library.h"
#include "tools/host/temp_folder.h"

namespace host {

// What the host's arrays hold before a frame, so that the slots a plug-in wrote show. A plug-in
// that writes exactly this value is taken as not writing.
inline constexpr std::int32_t kUntouched = 0x7A7A7A7A;

using Slots = std::array<std::int32_t, frame::kSlotCount>;

class PrivatePlugin {
public:
    struct Options {
        std::string prefix = "ats";      // the start of the temporary folder's name
        std::optional<std::string> ini;  // the bytes of NAME.ini beside the copy; none: no file
        bool captureNotices = false;     // take what the library writes on stderr (see notices())
    };

    // Copies, writes, switches the working folder and loads. On failure returns null with the
    // reason in *error (the loader's message, the missing entry points, a file that could not be
    // written), and leaves the working folder and the temporary folders as they were.
    static std::unique_ptr<PrivatePlugin> open(const std::string& library, const Options& options,
                                               std::string* error);

    // Unloads the library (its shutdown work runs), restores the working folder, then removes
    // the temporary folder with everything the plug-in wrote into it.
    ~PrivatePlugin();
    PrivatePlugin(const PrivatePlugin&) = delete;
    PrivatePlugin& operator=(const PrivatePlugin&) = delete;

    const EntryPoints& api() const { return library_->api(); }
    const TempFolder& folder() const { return folder_; }
    // The path of the private copy, and of the INI file beside it.
    const std::string& copy() const { return copy_; }
    std::string iniPath() const;

    // Fills both arrays with kUntouched, then calls Elapse.
    frame::Handles elapse(const frame::VehicleState& state, Slots& panel, Slots& sound) const;

    // With captureNotices: what the library has written on the standard error stream since the
    // last call (on Linux its notice, the library's path), one entry per line, with the private
    // folder shown as "<private folder>". Empty on Windows, where the notice is a message box.
    std::vector<std::string> notices();

    // Unloads the library now and returns the lines it wrote while unloading (see notices()).
    std::vector<std::string> unload();

private:
    PrivatePlugin(const std::string& prefix);
    TempFolder folder_;
    std::string copy_;
    std::filesystem::path previousFolder_;
    bool switched_ = false;
    int capture_ = -1;  // the saved stderr while notices are taken (see tools/host/*/notices.cpp)
    std::size_t taken_ = 0;
    std::unique_ptr<PluginLibrary> library_;
};

// Notice capture primitives, one definition per platform: redirect stderr into file (returns a
// token for restoreStderr, or -1 when not supported), and put it back.
int captureStderr(const std::string& file);
void restoreStderr(int token);

}  // namespace host
