// tagdump FILE... — prints what the tag library reads from each file as one JSON object per
// line: the ID3v1 trailer, the ID3v2 tag with its frames, and the MPEG audio information found
// the way the program probes a file (from the end of the ID3v2 tag, or from 0 without one).
// A file that cannot be opened, or is no regular file, gives {"file":..., "error":...} and exit
// status 1.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/text_codec.h"
#include "tags/ID3v2Frames.h"
#include "tags/Tagwright.h"

namespace {

using namespace tags;

class Json {
public:
    void Key(std::string_view key) {
        Sep();
        Quote(key);
        out_ += ':';
        pendingValue_ = true;  // the value follows without a comma
    }
    void Open(char c) {
        Sep();
        out_ += c;
        first_ = true;
    }
    void Close(char c) {
        out_ += c;
        first_ = false;
    }
    // UTF-8 text.
    void Str(std::string_view s) {
        Sep();
        Quote(s);
    }
    void Str(std::u16string_view s) { Str(std::string_view(platform::U16ToUtf8(s))); }
    // Bytes of unknown encoding: UTF-8 when valid, else Windows-1252.
    void Bytes(std::string_view s) {
        if (platform::IsValidUtf8(s)) Str(s);
        else Str(std::u16string_view(platform::DecodeCp1252(s)));
    }
    void Int(int64_t v) {
        Sep();
        out_ += std::to_string(v);
    }
    void Bool(bool v) {
        Sep();
        out_ += v ? "true" : "false";
    }
    void Null() {
        Sep();
        out_ += "null";
    }
    const std::string& Text() const { return out_; }

private:
    void Sep() {
        if (pendingValue_) pendingValue_ = false;
        else if (!first_) out_ += ',';
        first_ = false;
    }
    void Quote(std::string_view s) {
        out_ += '"';
        for (unsigned char c : s) {
            switch (c) {
                case '"': out_ += "\\\""; break;
                case '\\': out_ += "\\\\"; break;
                case '\n': out_ += "\\n"; break;
                case '\r': out_ += "\\r"; break;
                case '\t': out_ += "\\t"; break;
                default:
                    if (c < 0x20 || c == 0x7F) {
                        char buf[8];
                        std::snprintf(buf, sizeof buf, "\\u%04x", c);
                        out_ += buf;
                    } else {
                        out_ += char(c);
                    }
            }
        }
        out_ += '"';
    }

    std::string out_;
    bool first_ = true;
    bool pendingValue_ = false;
};

void DumpId3v1(Json& j, TStream& stream) {
    TID3v1Tag v1;
    const TMP3Error r = v1.ReadFromStream(stream);
    j.Key("id3v1");
    j.Open('{');
    j.Key("result"); j.Int(r);
    j.Key("exists"); j.Bool(v1.Exists());
    j.Key("version"); j.Int(v1.Version());
    j.Key("title"); j.Str(std::u16string_view(v1.Title()));
    j.Key("artist"); j.Str(std::u16string_view(v1.Artist()));
    j.Key("album"); j.Str(std::u16string_view(v1.Album()));
    j.Key("year"); j.Str(std::u16string_view(v1.YearText()));
    j.Key("comment"); j.Str(std::u16string_view(v1.Comment()));
    j.Key("track"); j.Str(std::u16string_view(v1.Track()));
    j.Key("genre"); j.Str(std::u16string_view(v1.Genre()));
    j.Close('}');
}

void DumpId3v2(Json& j, const TID3v2Tag& v2, TMP3Error r) {
    j.Key("id3v2");
    j.Open('{');
    j.Key("result"); j.Int(r);
    j.Key("exists"); j.Bool(v2.Exists());
    j.Key("major"); j.Int(v2.Version().Major);
    j.Key("minor"); j.Int(v2.Version().Minor);
    j.Key("size"); j.Int(v2.Size());
    j.Key("padding"); j.Int(v2.PaddingSize());
    j.Key("use_padding"); j.Bool(v2.UsePadding());
    j.Key("unsynch"); j.Bool(v2.FlgUnsynch());
    j.Key("extended"); j.Bool(v2.FlgExtended());
    j.Key("experimental"); j.Bool(v2.FlgExperimental());
    j.Key("footer"); j.Bool(v2.FlgFooterPresent());
    j.Key("title"); j.Str(std::u16string_view(v2.Title()));
    j.Key("artist"); j.Str(std::u16string_view(v2.Artist()));
    j.Key("album"); j.Str(std::u16string_view(v2.Album()));
    j.Key("year"); j.Str(std::u16string_view(v2.Year()));
    j.Key("genre"); j.Str(std::u16string_view(v2.Genre()));
    j.Key("track"); j.Str(std::u16string_view(v2.Track()));
    j.Key("comment"); j.Str(std::u16string_view(v2.Comment()));
    j.Key("frames");
    j.Open('[');
    for (const auto& f : v2.Frames) {
        j.Open('{');
        j.Key("id"); j.Bytes(f->FrameIDString());
        j.Key("type"); j.Str(std::string_view(FrameTypeName(f->FrameType())));
        j.Key("description"); j.Str(std::u16string_view(f->FrameTypeDescription()));
        j.Key("size"); j.Int(f->DataSize());
        j.Key("parsable"); j.Bool(f->Parsable());
        j.Key("text");
        if (f->FrameType() == FT_TextFrame) j.Str(std::u16string_view(f->GetText()));
        else j.Null();
        j.Close('}');
    }
    j.Close(']');
    j.Close('}');
}

void DumpMpeg(Json& j, TStream& stream, const TID3v2Tag& v2) {
    TMpegInfo info;
    stream.Seek(v2.Exists() ? int64_t(v2.Size()) : 0, soBeginning);
    const TMP3Error r = info.LoadFromStream(stream);
    j.Key("mpeg");
    j.Open('{');
    j.Key("result"); j.Int(r);
    j.Key("valid"); j.Bool(info.Valid());
    j.Key("first_header"); j.Int(info.FirstHeaderPosition());
    j.Key("version"); j.Int(info.Version());
    j.Key("layer"); j.Int(info.Layer());
    j.Key("bitrate"); j.Int(info.Bitrate());
    j.Key("samplerate"); j.Int(info.Samplerate());
    j.Key("channelmode"); j.Int(info.Channelmode());
    j.Key("frames"); j.Int(info.Frames());
    j.Key("duration"); j.Int(info.Duration());
    j.Key("vbr"); j.Bool(info.Vbr());
    j.Key("filesize"); j.Int(info.Filesize());
    j.Close('}');
}

// Returns false when the file could not be opened.
bool DumpFile(const char* name) {
    Json j;
    j.Open('{');
    j.Key("file"); j.Bytes(name);
    const std::filesystem::path path(name);
    std::error_code ec;
    // Refuses folders, FIFOs and devices without waiting on them.
    std::unique_ptr<TFileStream> stream = TFileStream::Open(path, fmOpenRead, &ec);
    if (!stream && !ec) ec = std::make_error_code(std::errc::io_error);
    if (!stream) {
        j.Key("error"); j.Bytes(ec.message());
        j.Close('}');
        std::printf("%s\n", j.Text().c_str());
        return false;
    }
    TID3v2Tag v2;
    const TMP3Error r2 = v2.ReadFromStream(*stream);
    DumpId3v1(j, *stream);
    DumpId3v2(j, v2, r2);
    DumpMpeg(j, *stream, v2);
    j.Close('}');
    std::printf("%s\n", j.Text().c_str());
    return true;
}

constexpr char kUsage[] =
    "Usage: tagdump [--] FILE...\n"
    "       tagdump --help | --version\n"
    "\n"
    "Prints what Quorbel Media Mixer's tag library reads from each file as one JSON object per\n"
    "line: the ID3v1 tag, the ID3v2 tag with its frames, and the MPEG audio figures. A file that\n"
    "cannot be read gives {\"file\":...,\"error\":...} and exit status 1; a wrong option exits 2.\n"
    "Arguments after \"--\" are file names even when they start with \"-\".\n";

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("tagdump (Quorbel Media Mixer) " QMM_VERSION);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--") == 0) first = 2;
    else if (argc > 1 && argv[1][0] == '-' && argv[1][1] != '\0') {
        std::fprintf(stderr, "tagdump: unknown option '%s'\nTry 'tagdump --help'.\n", argv[1]);
        return 2;
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: tagdump FILE...\n");
        return 2;
    }
    tags::SetErrorHandler([](const std::u16string& caption, const std::u16string& text) {
        std::fprintf(stderr, "%s: %s\n", platform::U16ToUtf8(caption).c_str(), platform::U16ToUtf8(text).c_str());
    });
    int status = 0;
    for (int i = first; i < argc; ++i)
        if (!DumpFile(argv[i])) status = 1;
    return status;
}
