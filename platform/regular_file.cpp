#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace platform {

namespace {

class FileKindCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "file kind"; }
    std::string message(int) const override { return "Not a regular file"; }
};

}  // namespace

bool IsRegularFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool IsFileNotFolder(const std::filesystem::path& path) {
    if (path.empty()) return false;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

std::error_code NotARegularFile() {
    static const FileKindCategory category;
    return {1, category};
}

int OpenRegularFile(const std::filesystem::path& path, int flags, std::error_code& ec, int mode) {
    ec.clear();
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_NONBLOCK, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        ec.assign(errno, std::generic_category());
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ec.assign(errno, std::generic_category());
    } else if (S_ISDIR(st.st_mode)) {
        ec = std::make_error_code(std::errc::is_a_directory);
    } else if (!S_ISREG(st.st_mode)) {
        ec = NotARegularFile();
    } else {
        const int fl = ::fcntl(fd, F_GETFL);
        if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
            ec.assign(errno, std::generic_category());
        }
    }
    if (ec) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace platform
