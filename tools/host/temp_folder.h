// A private temporary folder, removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace host {

class TempFolder {
public:
    // Creates a new, empty folder under the system's temporary directory.
    explicit TempFolder(const std::string& prefix = "ats");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // path() / name, as a string in the platform's form.
    std::string file(const std::string& name) const;

private:
    std::filesystem::path path_;
};

// Copies the plug-in library at source into folder, keeping its file name; returns the new path.
std::string copyPluginTo(const std::string& source, const TempFolder& folder);

// Reads or writes a whole file as bytes; reading a missing file gives an empty string and false.
bool readFile(const std::string& path, std::string* contents);
bool writeFile(const std::string& path, const std::string& contents);

}  // namespace host
