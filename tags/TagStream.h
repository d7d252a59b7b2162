#pragma once
// Seekable byte streams for the tag classes.
//
// TStream is the abstract stream: Read/Write move bytes and return how many moved (short at the
// end of the data), ReadBuffer/WriteBuffer demand the whole count and throw EReadError /
// EWriteError otherwise, Seek moves from the start, the current position or the end, and
// Truncate cuts the stream at the current position (file and memory streams; other kinds keep
// their data and return false). I/O failures throw EStreamError or a subclass; all derive from
// std::runtime_error, so GuardStreamOp (MP3Error.h) turns them into ID3ERR_Unclassified.
//
// TFileStream opens a file (see TFileMode); opening failures throw EFOpenError, or use
// TFileStream::Open, which returns nullptr instead. ReadAheadStream reads a file through a window
// of its bytes, for the many small reads of a probe. TMemoryStream keeps its bytes in a vector.
//
//   tags::TMemoryStream m(bytes);
//   m.Seek(-128, tags::soEnd);
//   m.ReadBuffer(buf, 128);
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tags {

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class EReadError : public EStreamError {  // "Stream read error"
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {  // "Stream write error"
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {  // "Cannot open file "<name>". <reason>"
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EFOpenError {  // "Cannot create file "<name>". <reason>"
public:
    using EFOpenError::EFOpenError;
};

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to count bytes at the position; returns the number read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes count bytes at the position, growing the stream as needed; returns the number
    // written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position and returns the new one. A target before the start leaves the
    // position unchanged and returns -1. A target past the end is allowed.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size() = 0;
    // Cuts the stream at the current position. Returns false (stream unchanged) for kinds that
    // cannot be truncated.
    virtual bool Truncate() { return false; }

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, soBeginning); }

    // Whole-count transfers: throw EReadError("Stream read error") /
    // EWriteError("Stream write error") when fewer bytes move.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);

    // Copies bytes from source's current position to this stream's position: count bytes, or
    // everything up to source's end when count is negative. Returns the number copied, which is
    // less than count when source ends first. A write that falls short throws EWriteError.
    int64_t CopyFrom(TStream& source, int64_t count);
};

enum TFileMode {
    fmOpenRead,       // existing file, read only; other writers denied
    fmOpenReadWrite,  // existing file, read and write; other writers denied
    fmCreate,         // create or empty the file, read and write
    fmCreateNew,      // create a file that must not exist yet, read and write; others denied
};

class TFileStream : public TStream {
public:
    // Throws EFOpenError (EFCreateError for the create modes) when the file cannot be opened,
    // or when another stream of this program holds it in a conflicting mode.
    TFileStream(const std::filesystem::path& path, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // nullptr instead of an exception; ec (when given) receives the reason.
    static std::unique_ptr<TFileStream> Open(const std::filesystem::path& path, TFileMode mode,
                                             std::error_code* ec = nullptr) noexcept;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    bool Truncate() override;

    const std::filesystem::path& FileName() const { return path_; }

private:
    TFileStream() = default;
    void OpenImpl(const std::filesystem::path& path, TFileMode mode, std::error_code& ec);

    std::filesystem::path path_;
    int fd_ = -1;
};

// What tells one state of a file from another: the file itself and its size and change times.
struct FileIdentity {
    uint64_t device = 0, inode = 0;
    int64_t size = 0, modifiedNs = 0, changedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
// Nothing when the path names no file that can be examined.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// A file opened for reading only (as TFileStream's fmOpenRead, with the same errors), read
// through a window of its bytes: a probe's reads and seeks near each other cost one system call
// between them instead of one each. Its size is taken once, when it opens; writes move nothing.
class ReadAheadStream : public TStream {
public:
    static constexpr int64_t kWindow = 8192;

    // Throws EFOpenError as TFileStream does when the file cannot be opened.
    explicit ReadAheadStream(const std::filesystem::path& path);
    // When the file cannot be opened, ec tells why and the stream is empty.
    ReadAheadStream(const std::filesystem::path& path, std::error_code& ec) noexcept;
    ~ReadAheadStream() override;
    ReadAheadStream(const ReadAheadStream&) = delete;
    ReadAheadStream& operator=(const ReadAheadStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return identity_.size; }
    // The file as it was when it opened.
    const FileIdentity& Identity() const { return identity_; }

private:
    void OpenFile(const std::filesystem::path& path, std::error_code& ec) noexcept;
    // Reads up to count bytes at `at` straight from the file; fewer only at its end or on error.
    int64_t ReadAt(int64_t at, uint8_t* to, int64_t count) const;

    int fd_ = -1;
    FileIdentity identity_;
    int64_t pos_ = 0;
    int64_t windowAt_ = 0, windowLen_ = 0;
    std::array<uint8_t, kWindow> window_;
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
    explicit TMemoryStream(std::string_view bytes) : data_(bytes.begin(), bytes.end()) {}

    int64_t Read(void* buffer, int64_t count) override;
    // Writing past the end fills the gap with zero bytes.
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    bool Truncate() override;

    // Sets the size (new bytes are zero); the position is kept, also beyond the new end.
    void SetSize(int64_t size);
    void Clear() { data_.clear(); pos_ = 0; }

    const std::vector<uint8_t>& Data() const { return data_; }
    std::vector<uint8_t>& Data() { return data_; }
    std::string Bytes() const { return std::string(data_.begin(), data_.end()); }

    // Whole-file helpers; throw EFOpenError / EReadError / EWriteError.
    void LoadFromFile(const std::filesystem::path& path);
    void SaveToFile(const std::filesystem::path& path) const;

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
};

}  // namespace tags
