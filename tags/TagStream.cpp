#include "tags/TagStream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/regular_file.h"

namespace tags {

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count <= 0) return;
    if (Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count <= 0) return;
    if (Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    constexpr int64_t kChunk = 64 * 1024;
    std::vector<uint8_t> buf(static_cast<size_t>(count >= 0 ? std::min(count, kChunk) : kChunk));
    int64_t copied = 0;
    while (count < 0 || copied < count) {
        int64_t want = count < 0 ? kChunk : std::min(kChunk, count - copied);
        if (want <= 0) break;
        int64_t got = source.Read(buf.data(), want);
        if (got <= 0) break;
        WriteBuffer(buf.data(), got);
        copied += got;
        if (got < want) break;
    }
    return copied;
}

// ---------------------------------------------------------------------------------------------

namespace {

std::string PathText(const std::filesystem::path& p) { return p.string(); }

// The descriptor of `path` opened in `mode`, or -1 with ec telling why.
int OpenLocked(const std::filesystem::path& path, TFileMode mode, std::error_code& ec) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case fmOpenRead: flags |= O_RDONLY; break;
        case fmOpenReadWrite: flags |= O_RDWR; break;
        case fmCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        case fmCreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    // Only regular files: a FIFO or a device would block the open or the reads for ever.
    const int fd = platform::OpenRegularFile(path, flags, ec);
    if (fd < 0) return -1;
    // Readers share the file; a writer wants it alone. Only this program's own streams honour
    // the lock, which is what keeps a probe and a tag rewrite from overlapping.
    int lock = (mode == fmOpenRead ? LOCK_SH : LOCK_EX) | LOCK_NB;
    if (::flock(fd, lock) != 0 && errno != ENOLCK && errno != EOPNOTSUPP && errno != EINVAL) {
        ec.assign(errno == EWOULDBLOCK ? EBUSY : errno, std::generic_category());
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string OpenErrorText(const std::filesystem::path& path, TFileMode mode, const std::error_code& ec) {
    const bool create = mode == fmCreate || mode == fmCreateNew;
    return std::string(create ? "Cannot create file \"" : "Cannot open file \"") + PathText(path) + "\". " +
           ec.message();
}

}  // namespace

TFileStream::TFileStream(const std::filesystem::path& path, TFileMode mode) {
    std::error_code ec;
    OpenImpl(path, mode, ec);
    if (ec) {
        if (mode == fmCreate || mode == fmCreateNew) throw EFCreateError(OpenErrorText(path, mode, ec));
        throw EFOpenError(OpenErrorText(path, mode, ec));
    }
}

std::unique_ptr<TFileStream> TFileStream::Open(const std::filesystem::path& path, TFileMode mode,
                                               std::error_code* ec) noexcept {
    std::error_code local;
    std::unique_ptr<TFileStream> s(new (std::nothrow) TFileStream());
    if (!s) {
        if (ec) *ec = std::make_error_code(std::errc::not_enough_memory);
        return nullptr;
    }
    try {
        s->OpenImpl(path, mode, local);
    } catch (...) {
        local = std::make_error_code(std::errc::not_enough_memory);
    }
    if (ec) *ec = local;
    if (local) return nullptr;
    return s;
}

void TFileStream::OpenImpl(const std::filesystem::path& path, TFileMode mode,
                           std::error_code& ec) {
    ec.clear();
    path_ = path;
    fd_ = OpenLocked(path, mode, ec);
}

TFileStream::~TFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || fd_ < 0) return 0;
    auto* p = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        size_t want = static_cast<size_t>(
            std::min<int64_t>(count - done, std::numeric_limits<ssize_t>::max()));
        ssize_t n = ::read(fd_, p + done, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;  // a failed read counts as a short one
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0 || fd_ < 0) return 0;
    const auto* p = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        size_t want = static_cast<size_t>(
            std::min<int64_t>(count - done, std::numeric_limits<ssize_t>::max()));
        ssize_t n = ::write(fd_, p + done, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (fd_ < 0) return -1;
    int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (r < 0) {
        if (errno == EINVAL || errno == EOVERFLOW) return -1;
        throw EStreamError(std::string("Seek error: ") + std::strerror(errno));
    }
    return r;
}

int64_t TFileStream::Size() {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) throw EStreamError("Cannot determine the file size");
    return st.st_size;
}

bool TFileStream::Truncate() {
    int64_t pos = Position();
    if (pos < 0 || ::ftruncate(fd_, static_cast<off_t>(pos)) != 0)
        throw EWriteError(std::string("Cannot truncate file: ") + std::strerror(errno));
    return true;
}

// ---------------------------------------------------------------------------------------------

namespace {

FileIdentity IdentityFrom(const struct stat& st) {
    const auto ns = [](const timespec& t) { return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; };
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), st.st_size, ns(st.st_mtim),
            ns(st.st_ctim)};
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return IdentityFrom(st);
}

ReadAheadStream::ReadAheadStream(const std::filesystem::path& path, std::error_code& ec) noexcept {
    OpenFile(path, ec);
}

ReadAheadStream::ReadAheadStream(const std::filesystem::path& path) {
    std::error_code ec;
    OpenFile(path, ec);
    if (ec) throw EFOpenError(OpenErrorText(path, fmOpenRead, ec));
}

void ReadAheadStream::OpenFile(const std::filesystem::path& path, std::error_code& ec) noexcept {
    ec.clear();
    const int fd = OpenLocked(path, fmOpenRead, ec);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ec.assign(errno, std::generic_category());
        ::close(fd);
        return;
    }
    fd_ = fd;
    identity_ = IdentityFrom(st);
}

ReadAheadStream::~ReadAheadStream() {
    if (fd_ >= 0) ::close(fd_);
}

int64_t ReadAheadStream::ReadAt(int64_t at, uint8_t* to, int64_t count) const {
    int64_t done = 0;
    while (done < count) {
        const size_t want = static_cast<size_t>(
            std::min<int64_t>(count - done, std::numeric_limits<ssize_t>::max()));
        const ssize_t n = ::pread(fd_, to + done, want, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // a failed read counts as a short one
        done += n;
    }
    return done;
}

int64_t ReadAheadStream::Read(void* buffer, int64_t count) {
    count = std::min(count, identity_.size - pos_);
    if (count <= 0) return 0;
    auto* to = static_cast<uint8_t*>(buffer);
    int64_t got;
    if (pos_ >= windowAt_ && pos_ + count <= windowAt_ + windowLen_) {
        std::memcpy(to, window_.data() + (pos_ - windowAt_), static_cast<size_t>(count));
        got = count;
    } else if (count >= kWindow) {
        got = ReadAt(pos_, to, count);  // as much as the window holds or more: no copy through it
    } else {
        windowAt_ = pos_;
        windowLen_ = ReadAt(pos_, window_.data(), std::min(kWindow, identity_.size - pos_));
        got = std::min(count, windowLen_);
        std::memcpy(to, window_.data(), static_cast<size_t>(got));
    }
    pos_ += got;
    return got;
}

int64_t ReadAheadStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : identity_.size;
    if (base + offset < 0) return -1;
    pos_ = base + offset;
    return pos_;
}

// ---------------------------------------------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    int64_t size = Size();
    if (count <= 0 || pos_ < 0 || pos_ >= size) return 0;
    int64_t n = std::min(count, size - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0 || pos_ < 0) return 0;
    int64_t end = pos_ + count;
    if (end > Size()) data_.resize(static_cast<size_t>(end), 0);
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : Size();
    int64_t target = base + offset;
    if (target < 0) return -1;
    pos_ = target;
    return pos_;
}

bool TMemoryStream::Truncate() {
    SetSize(pos_);
    return true;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) size = 0;
    data_.resize(static_cast<size_t>(size), 0);
}

void TMemoryStream::LoadFromFile(const std::filesystem::path& path) {
    TFileStream f(path, fmOpenRead);
    int64_t size = f.Size();
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    f.ReadBuffer(bytes.data(), size);
    data_ = std::move(bytes);
    pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::filesystem::path& path) const {
    TFileStream f(path, fmCreate);
    f.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

}  // namespace tags
