#include "headless/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace roses {
namespace {

namespace fs = std::filesystem;

// A name beside the target that no other run picks: the process number and a counter, and
// O_EXCL for anything left from an earlier process with the same number. The dot hides it
// from a casual listing while it is written.
int create_temporary(const std::string& target, std::string& name) {
    static unsigned counter = 0;
    const fs::path path(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(getpid()), counter++);
        std::string leaf(1, '.');
        leaf += path.filename().string();
        leaf += suffix;
        name = (path.parent_path() / leaf).string();
        // 0666 less the umask: the same mode the file would get if written in place.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

} // namespace

std::string system_reason(int error) {
    return std::strerror(error);
}

std::string output_file::open(const std::string& path) {
    discard();
    target = path;
    // Through symbolic links, even dangling ones, to the file they name: that file is
    // replaced and the links stay as they were.
    fs::path resolved(path);
    std::error_code error;
    for (int depth = 0; depth < 40 && fs::is_symlink(resolved, error); ++depth) {
        const fs::path link = fs::read_symlink(resolved, error);
        resolved = link.is_absolute() ? link : resolved.parent_path() / link;
    }
    target = resolved.string();
    struct stat status {};
    if (stat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        stream_ = std::fopen(target.c_str(), "wb");
        return stream_ != nullptr ? std::string() : system_reason(errno);
    }
    const int fd = create_temporary(target, temporary);
    if (fd < 0) {
        const int error = errno;
        temporary.clear();
        return system_reason(error);
    }
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
        const int error = errno;
        ::close(fd);
        discard();
        return system_reason(error);
    }
    return {};
}

std::string output_file::write(const void* bytes, std::size_t size) {
    if (std::fwrite(bytes, 1, size, stream_) != size) {
        return system_reason(errno);
    }
    return {};
}

std::string output_file::close() {
    std::FILE* file = stream_;
    stream_ = nullptr;
    int error = 0;
    if (std::fflush(file) != 0) {
        error = errno;
    } else if (std::ferror(file)) {
        error = EIO; // an earlier write failed and its reason is gone
    }
    if (std::fclose(file) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        discard();
        return system_reason(error);
    }
    return {};
}

std::string output_file::finish() {
    if (stream_ != nullptr) {
        if (std::string reason = close(); !reason.empty()) {
            return reason;
        }
    }
    if (!temporary.empty() && std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        discard();
        return system_reason(error);
    }
    temporary.clear();
    return {};
}

void output_file::discard() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temporary.empty()) {
        unlink(temporary.c_str());
        temporary.clear();
    }
}

} // namespace roses
