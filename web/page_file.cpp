// Generated pages: temporary file, then rename.
#include "web/page_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/errors.h"

namespace web {

void WritePageFile(const std::string& path, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    // A short name of its own, so a page whose name is near the length limit still works.
    const std::string temp = folder + ".qmm-page-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++) + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) throw platform::UnableToWrite(path);
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            ok = errno == EINTR;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        throw platform::UnableToWrite(path);
    }
}

}  // namespace web
