// See tools/bench/output.h.
#include "tools/bench/output.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <random>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace bench {
namespace {

std::FILE* openForWriting(const fs::path& path) {
#if defined(_WIN32)
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

std::string reason(int error) { return std::strerror(error != 0 ? error : EIO); }

}  // namespace

std::streamsize AtomicFile::Buffer::xsputn(const char* data, std::streamsize size) {
    if (file == nullptr || failure != 0) return 0;
    const std::size_t written = std::fwrite(data, 1, static_cast<std::size_t>(size), file);
    if (written != static_cast<std::size_t>(size)) failure = errno != 0 ? errno : EIO;
    return static_cast<std::streamsize>(written);
}

AtomicFile::Buffer::int_type AtomicFile::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

AtomicFile::AtomicFile(const fs::path& target) : target_(fs::absolute(target)) {
    std::error_code failed;
    fs::create_directories(target_.parent_path(), failed);
    if (failed) {
        error_ = "cannot make the folder " + target_.parent_path().string() + ": " + failed.message();
        return;
    }
    std::random_device entropy;
    std::ostringstream name;
    name << "." << target_.filename().string() << "." << std::hex << entropy() << ".tmp";
    temp_ = target_.parent_path() / name.str();
    errno = 0;
    buffer_.file = openForWriting(temp_);
    if (buffer_.file == nullptr) {
        error_ = "cannot create a file in " + target_.parent_path().string() + ": " + reason(errno);
        temp_.clear();
    }
}

AtomicFile::~AtomicFile() {
    if (buffer_.file != nullptr) std::fclose(buffer_.file);
    if (!committed_ && !temp_.empty()) {
        std::error_code ignored;  // nothing more can be done about a temporary file left behind
        fs::remove(temp_, ignored);
    }
}

bool AtomicFile::commit() {
    if (!error_.empty()) return false;
    errno = 0;
    int failure = buffer_.failure;
    if (std::fflush(buffer_.file) != 0 && failure == 0) failure = errno;
    if (std::ferror(buffer_.file) && failure == 0) failure = EIO;
    errno = 0;
    if (std::fclose(buffer_.file) != 0 && failure == 0) failure = errno;
    buffer_.file = nullptr;
    if (failure != 0) {
        error_ = reason(failure);
        return false;
    }
    std::error_code failed;
    if (fs::is_directory(target_, failed)) {
        error_ = "a folder is in the way";
        return false;
    }
    fs::rename(temp_, target_, failed);
    if (failed) {
        error_ = failed.message();
        return false;
    }
    committed_ = true;
    return true;
}

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code failed;
    if (fs::exists(a, failed) && fs::exists(b, failed)) {
        const bool same = fs::equivalent(a, b, failed);
        if (!failed) return same;
    }
    std::string first = fs::weakly_canonical(fs::absolute(a), failed).lexically_normal().string();
    std::string second = fs::weakly_canonical(fs::absolute(b), failed).lexically_normal().string();
#if defined(_WIN32)
    // Windows file names are compared without regard to case.
    auto lower = [](std::string& text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    };
    lower(first);
    lower(second);
#endif
    return first == second;
}

}  // namespace bench
