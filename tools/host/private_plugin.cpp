// See tools/host/private_plugin.h.
#include "tools/host/private_plugin.h"

#include <cstdio>
#include <system_error>

namespace fs = std::filesystem;

namespace host {
namespace {

// Notices are not taken in sanitizer builds: a sanitizer's report on stderr must reach the user.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCanCapture = false;
#else
constexpr bool kCanCapture = true;
#endif

constexpr const char* kNoticeFile = "notices.txt";

}  // namespace

PrivatePlugin::PrivatePlugin(const std::string& prefix) : folder_(prefix) {}

std::unique_ptr<PrivatePlugin> PrivatePlugin::open(const std::string& library, const Options& options,
                                                   std::string* error) {
    std::unique_ptr<PrivatePlugin> plugin(new PrivatePlugin(options.prefix));
    std::error_code failed;
    const fs::path copy = plugin->folder_.path() / fs::path(library).filename();
    fs::copy_file(library, copy, fs::copy_options::overwrite_existing, failed);
    if (failed) {
        *error =
            "cannot copy " + library + " into " + plugin->folder_.path().string() + ": " + failed.message();
        return nullptr;
    }
    plugin->copy_ = copy.string();
    if (options.ini && !writeFile(plugin->iniPath(), *options.ini)) {
        *error = "cannot write " + plugin->iniPath();
        return nullptr;
    }
    plugin->previousFolder_ = fs::current_path();
    fs::current_path(plugin->folder_.path(), failed);
    if (failed) {
        *error = "cannot enter " + plugin->folder_.path().string() + ": " + failed.message();
        return nullptr;
    }
    plugin->switched_ = true;
    if (options.captureNotices && kCanCapture) {
        std::fflush(stderr);
        plugin->capture_ = captureStderr(plugin->folder_.file(kNoticeFile));
    }
    plugin->library_ = PluginLibrary::open(plugin->copy_, error);
    if (!plugin->library_) return nullptr;  // the destructor restores stderr and the folder
    return plugin;
}

PrivatePlugin::~PrivatePlugin() {
    library_.reset();  // unloaded before its folder goes
    if (capture_ >= 0) restoreStderr(capture_);
    if (switched_) {
        std::error_code ignored;  // a folder that is gone cannot be returned to; the run is over
        fs::current_path(previousFolder_, ignored);
    }
}

std::string PrivatePlugin::iniPath() const { return fs::path(copy_).replace_extension(".ini").string(); }

frame::Handles PrivatePlugin::elapse(const frame::VehicleState& state, Slots& panel, Slots& sound) const {
    panel.fill(kUntouched);
    sound.fill(kUntouched);
    return library_->api().Elapse(state, panel.data(), sound.data());
}

std::vector<std::string> PrivatePlugin::notices() {
    std::vector<std::string> lines;
    if (capture_ < 0) return lines;
    // Most calls find nothing new: the size tells without reading.
    std::error_code failed;
    const auto size = fs::file_size(folder_.path() / kNoticeFile, failed);
    if (failed || size <= taken_) return lines;
    std::string text;
    readFile(folder_.file(kNoticeFile), &text);
    // Only whole lines; a line still being written is taken next time.
    const std::size_t end = text.rfind('\n');
    if (end == std::string::npos || end < taken_) return lines;
    const std::string fresh = text.substr(taken_, end + 1 - taken_);
    taken_ = end + 1;
    const std::string folder = folder_.path().string();
    std::size_t start = 0;
    while (start < fresh.size()) {
        const std::size_t stop = fresh.find('\n', start);
        std::string line = fresh.substr(start, stop - start);
        start = stop + 1;
        for (std::size_t at = line.find(folder); at != std::string::npos; at = line.find(folder, at)) {
            line.replace(at, folder.size(), "<private folder>");
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> PrivatePlugin::unload() {
    library_.reset();
    std::fflush(stderr);
    return notices();
}

}  // namespace host
