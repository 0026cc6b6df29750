// The bench's output files: written beside the target and renamed over it when complete, so a
// write that fails (a full disk, a size limit, an interruption) leaves the target as it was, and
// says why it failed. And the test that an output would not overwrite one of the inputs.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

namespace bench {

class AtomicFile {
public:
    // Makes the target's folder if missing and opens a temporary file beside the target. On
    // failure, error() says why and stream() discards what is written.
    explicit AtomicFile(const std::filesystem::path& target);
    // Removes the temporary file unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::ostream& stream() { return stream_; }
    // Completes the file and renames it over the target; false with error() set when any step of
    // the write failed.
    bool commit();
    const std::string& error() const { return error_; }

private:
    class Buffer : public std::streambuf {
    public:
        std::FILE* file = nullptr;
        int failure = 0;  // the errno of the first failed write
    protected:
        std::streamsize xsputn(const char* data, std::streamsize size) override;
        int_type overflow(int_type c) override;
    };
    std::filesystem::path target_;
    std::filesystem::path temp_;
    Buffer buffer_;
    std::ostream stream_{&buffer_};
    std::string error_;
    bool committed_ = false;
};

// Whether two paths name the same file: by identity when both exist (links and different
// spellings included), else by their absolute form with links in the folders resolved.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace bench
