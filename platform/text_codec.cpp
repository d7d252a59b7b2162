#include "platform/text_codec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/errors.h"
#include "platform/regular_file.h"

namespace platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Bytes 0x80..0x9F of Windows-1252; the five unassigned ones map to the C1 control of the same value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Decodes one UTF-8 sequence at `i`; returns its length, or 0 when it is not a valid,
// shortest-form sequence of a scalar value.
size_t DecodeOne(std::string_view s, size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t len;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) {
        return 0;
    }
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out;
    out.reserve(bytes.size() / 2 + 1);
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        out.push_back(static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a)));
    }
    if (i < bytes.size()) {
        out.push_back(kReplacement);  // a lone trailing byte
    }
    return out;
}

std::atomic<unsigned> tempCounter{0};

}  // namespace

std::u16string Utf8ToU16(std::string_view utf8) {
    // Never more code units than bytes; filled by index, cut to size at the end.
    std::u16string out(utf8.size(), u'\0');
    size_t o = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        if (b0 < 0x80) {
            out[o++] = b0;
            ++i;
            continue;
        }
        char32_t cp;
        const size_t len = DecodeOne(utf8, i, cp);
        if (len == 0) {
            out[o++] = kReplacement;
            ++i;
        } else if (cp < 0x10000) {
            out[o++] = static_cast<char16_t>(cp);
            i += len;
        } else {
            cp -= 0x10000;
            out[o++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            out[o++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            i += len;
        }
    }
    out.resize(o);
    return out;
}

std::string U16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;  // unpaired surrogate
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        char32_t cp;
        const size_t len = DecodeOne(bytes, i, cp);
        if (len == 0) {
            return false;
        }
        i += len;
    }
    return true;
}

std::u16string DecodeCp1252(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b));
    }
    return out;
}

int Cp1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return c;
    }
    for (int k = 0; k < 32; ++k) {
        if (kCp1252High[k] == c) {
            return 0x80 + k;
        }
    }
    return -1;
}

std::string EncodeCp1252(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        // A surrogate pair is one character and so one '?'.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
            out.push_back('?');
            continue;
        }
        const int b = Cp1252Byte(c);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

std::u16string DecodeTextFile(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return Utf8ToU16(bytes.substr(3));
    }
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
        return DecodeUtf16(bytes.substr(2), false);
    }
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") {
        return DecodeUtf16(bytes.substr(2), true);
    }
    if (IsValidUtf8(bytes)) {
        return Utf8ToU16(bytes);
    }
    return DecodeCp1252(bytes);
}

std::u16string DecodeTextLines(std::string_view bytes) {
    const bool marked = bytes.substr(0, 3) == "\xEF\xBB\xBF" || bytes.substr(0, 2) == "\xFF\xFE" ||
                        bytes.substr(0, 2) == "\xFE\xFF";
    if (marked || IsValidUtf8(bytes)) {
        return DecodeTextFile(bytes);
    }
    std::u16string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const size_t end = std::min(bytes.find('\n'), bytes.size() - 1) + 1;
        const std::string_view line = bytes.substr(0, end);
        out += IsValidUtf8(line) ? Utf8ToU16(line) : DecodeCp1252(line);
        bytes.remove_prefix(end);
    }
    return out;
}

std::optional<std::string> ReadBinaryFile(const std::filesystem::path& path) {
    // A playlist, settings or language file named by a FIFO must not hold the window.
    std::error_code ec;
    const int fd = OpenRegularFile(path, O_RDONLY | O_CLOEXEC, ec);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    std::string data;
    if (st.st_size > 0) {
        data.reserve(static_cast<size_t>(st.st_size));
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return data;
}

std::optional<std::u16string> ReadTextFile(const std::filesystem::path& path) {
    auto bytes = ReadBinaryFile(path);
    if (!bytes) {
        return std::nullopt;
    }
    return DecodeTextFile(*bytes);
}

void WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes, Durability durability) {
    const auto fail = [&]() -> WriteError { return UnableToWrite(path.string()); };

    // Write through a link to the file it names, so the link survives.
    std::filesystem::path target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        auto resolved = std::filesystem::canonical(path, ec);
        if (!ec) {
            target = resolved;
        }
    }

    bool existed = false;
    mode_t mode = 0;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        // A file the user may not write must not be replaced behind its back.
        if (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0) {
            throw fail();
        }
        existed = true;
        mode = st.st_mode & 07777;
    }

    // A short name of its own, so a target whose name is near the length limit still works.
    const std::filesystem::path temp =
        target.parent_path() /
        (".qmm-" + std::to_string(::getpid()) + "-" + std::to_string(tempCounter++) + ".tmp");
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw fail();
    }
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
    // A replaced file keeps its permissions; a new one gets the usual ones (umask applies).
    ok = ok && (!existed || ::fchmod(fd, mode) == 0);
    if (ok && existed && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        [[maybe_unused]] const int owner = ::fchown(fd, st.st_uid, st.st_gid);  // best effort
    }
    ok = ok && (durability == Durability::NoWait || ::fsync(fd) == 0);
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        throw fail();
    }
}

std::filesystem::path PathFromU16(std::u16string_view text) {
    return std::filesystem::path(U16ToUtf8(text));
}

std::u16string PathToU16(const std::filesystem::path& path) {
    return Utf8ToU16(path.native());
}

}  // namespace platform
