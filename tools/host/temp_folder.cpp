// See tools/host/temp_folder.h.
#include "tools/host/temp_folder.h"

#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace host {

TempFolder::TempFolder(const std::string& prefix) {
    std::random_device entropy;
    std::mt19937_64 random(entropy());
    const fs::path base = fs::temp_directory_path();
    for (;;) {
        std::ostringstream name;
        name << prefix << '-' << std::hex << random();
        std::error_code error;
        if (fs::create_directory(base / name.str(), error)) {
            path_ = base / name.str();
            return;
        }
        if (error) throw fs::filesystem_error("cannot create a temporary folder", base, error);
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;  // a folder that cannot be removed is left for the system to clean
    fs::remove_all(path_, ignored);
}

std::string TempFolder::file(const std::string& name) const { return (path_ / name).string(); }

std::string copyPluginTo(const std::string& source, const TempFolder& folder) {
    const fs::path target = folder.path() / fs::path(source).filename();
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    return target.string();
}

bool readFile(const std::string& path, std::string* contents) {
    std::ifstream in(path, std::ios::binary);
    contents->clear();
    if (!in) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    *contents = bytes.str();
    return true;
}

bool writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    return static_cast<bool>(out.flush());
}

}  // namespace host
