#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "tags/ID3v1Tag.h"

using namespace tags;
namespace fs = std::filesystem;

namespace {

std::string Field(std::string_view s, size_t n) {
    std::string f(s.substr(0, n));
    f.resize(n, '\0');
    return f;
}

// A 128-byte trailer: title, artist, album, year, 30 comment bytes (or 28 + 0 + track), genre.
std::string Trailer(std::string_view title, std::string_view artist, std::string_view album,
                    std::string_view year, std::string_view comment30, uint8_t genre) {
    std::string t = "TAG" + Field(title, 30) + Field(artist, 30) + Field(album, 30) +
                    Field(year, 4) + Field(comment30, 30);
    t.push_back(static_cast<char>(genre));
    return t;
}

std::string V11Comment(std::string_view comment28, uint8_t track) {
    std::string c = Field(comment28, 28);
    c.push_back('\0');
    c.push_back(static_cast<char>(track));
    return c;
}

class TempDir {
public:
    TempDir() {
        static std::atomic<int> n{0};
        path_ = fs::temp_directory_path() /
                ("qmm-id3v1-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path File(const std::string& name, const std::string& bytes) const {
        fs::path p = path_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A stream that cannot be truncated.
class PlainStream : public TStream {
public:
    explicit PlainStream(std::string bytes) : m_(bytes) {}
    int64_t Read(void* b, int64_t n) override { return m_.Read(b, n); }
    int64_t Write(const void* b, int64_t n) override { return m_.Write(b, n); }
    int64_t Seek(int64_t o, TSeekOrigin w) override { return m_.Seek(o, w); }
    int64_t Size() override { return m_.Size(); }
    TMemoryStream m_;
};

// A stream whose reads fail in a chosen way.
class FailingStream : public PlainStream {
public:
    enum Kind { Runtime, Foreign, ShortWrite };
    FailingStream(std::string bytes, Kind k) : PlainStream(std::move(bytes)), kind_(k) {}
    int64_t Read(void* b, int64_t n) override {
        if (kind_ == Runtime) throw EReadError("disk on fire");
        if (kind_ == Foreign) throw 42;
        return PlainStream::Read(b, n);
    }
    int64_t Write(const void* b, int64_t n) override {
        return kind_ == ShortWrite ? PlainStream::Write(b, n / 2) : PlainStream::Write(b, n);
    }

private:
    Kind kind_;
};

}  // namespace

TEST(TagStreams, MemoryStreamSeekReadWriteTruncate) {
    TMemoryStream m(std::string("abcdef"));
    EXPECT_EQ(m.Size(), 6);
    EXPECT_EQ(m.Seek(-2, soEnd), 4);
    char b[8] = {};
    EXPECT_EQ(m.Read(b, 8), 2);
    EXPECT_EQ(std::string(b, 2), "ef");
    EXPECT_EQ(m.Read(b, 8), 0);
    EXPECT_EQ(m.Seek(-10, soEnd), -1);  // before the start: refused, position kept
    EXPECT_EQ(m.Position(), 6);
    EXPECT_EQ(m.Seek(-1, soCurrent), 5);
    m.SetPosition(8);  // past the end: a write fills the gap with zeros
    m.WriteBuffer("xy", 2);
    EXPECT_EQ(m.Bytes(), std::string("abcdef\0\0xy", 10));
    m.SetPosition(3);
    EXPECT_TRUE(m.Truncate());
    EXPECT_EQ(m.Bytes(), "abc");
    EXPECT_THROW(m.ReadBuffer(b, 1), EReadError);
    m.SetPosition(0);
    EXPECT_NO_THROW(m.ReadBuffer(b, 3));

    TMemoryStream dst;
    m.SetPosition(1);
    EXPECT_EQ(dst.CopyFrom(m, -1), 2);
    m.SetPosition(0);
    EXPECT_EQ(dst.CopyFrom(m, 10), 3);  // source ends first
    EXPECT_EQ(dst.Bytes(), "bcabc");
}

TEST(TagStreams, FileStreamModesLocksAndTruncation) {
    TempDir dir;
    fs::path p = dir.File("a.bin", "0123456789");
    {
        TFileStream f(p, fmOpenReadWrite);
        EXPECT_EQ(f.Size(), 10);
        EXPECT_EQ(f.Seek(-3, soEnd), 7);
        f.WriteBuffer("XYZW", 4);
        EXPECT_EQ(f.Size(), 11);
        EXPECT_EQ(f.Seek(-100, soCurrent), -1);
        f.SetPosition(5);
        EXPECT_TRUE(f.Truncate());
        EXPECT_EQ(f.Size(), 5);

        // A writer holds the file alone; readers share it.
        EXPECT_EQ(TFileStream::Open(p, fmOpenRead), nullptr);
        EXPECT_THROW(TFileStream(p, fmOpenReadWrite), EFOpenError);
    }
    EXPECT_EQ(ReadAll(p), "01234");
    {
        TFileStream r1(p, fmOpenRead);
        auto r2 = TFileStream::Open(p, fmOpenRead);
        EXPECT_NE(r2, nullptr);
        EXPECT_EQ(TFileStream::Open(p, fmOpenReadWrite), nullptr);
        char c;
        EXPECT_EQ(r1.Write("q", 1), 0);  // read-only stream: a write moves nothing
        EXPECT_EQ(r1.Read(&c, 1), 1);
    }
    std::error_code ec;
    EXPECT_EQ(TFileStream::Open(dir.Path() / "missing", fmOpenRead, &ec), nullptr);
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_EQ(TFileStream::Open(dir.Path(), fmOpenRead), nullptr);  // a folder is no file
    EXPECT_THROW(TFileStream(p, fmCreateNew), EFCreateError);
    {
        TFileStream c(dir.Path() / "new.bin", fmCreateNew);
        c.WriteBuffer("hi", 2);
    }
    EXPECT_EQ(ReadAll(dir.Path() / "new.bin"), "hi");

    TMemoryStream m;
    m.LoadFromFile(p);
    EXPECT_EQ(m.Bytes(), "01234");
    m.SaveToFile(dir.Path() / "copy.bin");
    EXPECT_EQ(ReadAll(dir.Path() / "copy.bin"), "01234");
}

TEST(TagStreams, ReadAheadStreamReadsWhatTheFileHolds) {
    TempDir dir;
    std::string bytes(3 * ReadAheadStream::kWindow + 100, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    const fs::path p = dir.File("a.bin", bytes);
    ReadAheadStream file(p);
    TMemoryStream memory(bytes);
    const int64_t w = ReadAheadStream::kWindow, size = static_cast<int64_t>(bytes.size());
    // Seeks and reads as the tag readers make them: inside the window, across its end, larger
    // than it, at and past the end of the file, before its start.
    struct Step {
        int64_t offset;
        TSeekOrigin origin;
        int64_t count;
    } const steps[] = {
        {0, soBeginning, 10}, {0, soCurrent, 899}, {w - 5, soBeginning, 10}, {-20, soCurrent, 40},
        {w / 2, soBeginning, 2 * w}, {0, soCurrent, 3}, {-128, soEnd, 128}, {-3, soEnd, 10},
        {0, soEnd, 1}, {5, soEnd, 1}, {-1, soBeginning, 1}, {100, soBeginning, w}, {0, soCurrent, w - 1},
        {-(size + 1), soEnd, 4}, {size - w - 1, soBeginning, w + 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::to_string(step.offset) + " from " + std::to_string(step.origin) + ", " +
                     std::to_string(step.count) + " bytes");
        EXPECT_EQ(file.Seek(step.offset, step.origin), memory.Seek(step.offset, step.origin));
        std::string a(static_cast<size_t>(step.count), 'a'), b(static_cast<size_t>(step.count), 'b');
        const int64_t got = file.Read(a.data(), step.count);
        ASSERT_EQ(got, memory.Read(b.data(), step.count));
        EXPECT_EQ(a.substr(0, static_cast<size_t>(got)), b.substr(0, static_cast<size_t>(got)));
        EXPECT_EQ(file.Position(), memory.Position());
    }
    EXPECT_EQ(file.Size(), size);
    EXPECT_EQ(file.Write("x", 1), 0);
    char a0[1];

    // It opens as TFileStream's readers do: a writer of this program is refused while it reads,
    // a missing file or a folder does not open.
    EXPECT_EQ(TFileStream::Open(p, fmOpenReadWrite), nullptr);
    std::error_code ec;
    ReadAheadStream missing(dir.Path() / "missing", ec);
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_EQ(missing.Read(a0, 1), 0);
    ReadAheadStream folder(dir.Path(), ec);
    EXPECT_EQ(ec, std::errc::is_a_directory);
    EXPECT_THROW(ReadAheadStream{dir.Path() / "missing"}, EFOpenError);
}

TEST(ID3v1, NoTrailerAndTooShortStreams) {
    TID3v1Tag t;
    TMemoryStream noTag(std::string(300, 'x'));
    EXPECT_EQ(t.ReadFromStream(noTag), ID3ERR_NoTag);
    EXPECT_FALSE(t.Exists());
    EXPECT_EQ(t.Title(), u"");
    EXPECT_EQ(t.Artist(), u"");
    EXPECT_EQ(t.Album(), u"");
    EXPECT_EQ(t.Comment(), u"");
    EXPECT_EQ(t.Year(), std::string(4, '\0'));
    EXPECT_EQ(t.Track(), u"0");
    EXPECT_EQ(t.Genre(), u"Blues");
    EXPECT_EQ(noTag.Position(), noTag.Size());

    // Under 128 bytes: a short read, even when the bytes start with "TAG".
    TMemoryStream shortOne(std::string("TAG") + std::string(100, 'a'));
    EXPECT_EQ(t.ReadFromStream(shortOne), MP3ERR_SRead);
    TMemoryStream empty;
    EXPECT_EQ(t.ReadFromStream(empty), MP3ERR_SRead);

    // A previous read leaves nothing behind.
    TMemoryStream tagged(std::string(10, 'z') + Trailer("Song", "Band", "", "1999", "", 17));
    ASSERT_EQ(t.ReadFromStream(tagged), MP3ERR_None);
    EXPECT_EQ(t.Title(), u"Song");
    EXPECT_EQ(t.ReadFromStream(noTag), ID3ERR_NoTag);
    EXPECT_EQ(t.Title(), u"");
    EXPECT_EQ(t.Year(), std::string(4, '\0'));
}

TEST(ID3v1, VersionsTrimmingAndRawYear) {
    TID3v1Tag t;
    TMemoryStream v11(Trailer("  Hello World   ", std::string("\0\0Art", 5), "Alb\x01",
                              "    ", V11Comment("Nice one", 7), 17));
    ASSERT_EQ(t.ReadFromStream(v11), MP3ERR_None);
    EXPECT_TRUE(t.TagExists());
    EXPECT_EQ(t.Version(), 1);
    EXPECT_EQ(t.Title(), u"Hello World");
    EXPECT_EQ(t.Artist(), u"Art");
    EXPECT_EQ(t.Album(), u"Alb");
    EXPECT_EQ(t.Comment(), u"Nice one");
    EXPECT_EQ(t.Track(), u"7");
    EXPECT_EQ(t.Year(), "    ");  // raw, not trimmed
    EXPECT_EQ(t.Genre(), u"Rock");
    EXPECT_EQ(t.RawComment().Length, 30);
    EXPECT_EQ(t.RawComment().Bytes[28], 0);

    // Byte 125 zero and byte 126 zero: ID3v1.0, the comment spans all 30 bytes.
    std::string c30 = Field("Comment", 29) + std::string(1, '\0');
    TMemoryStream v10(Trailer("T", "A", "B", "2001", c30, 0));
    ASSERT_EQ(t.ReadFromStream(v10), MP3ERR_None);
    EXPECT_EQ(t.Version(), 0);
    EXPECT_EQ(t.Track(), u"0");
    // Byte 125 not zero: ID3v1.0 even though byte 126 is set; the comment keeps both bytes.
    std::string full = std::string(28, 'c') + "de";
    TMemoryStream v10b(Trailer("T", "A", "B", "2001", full, 255));
    ASSERT_EQ(t.ReadFromStream(v10b), MP3ERR_None);
    EXPECT_EQ(t.Version(), 0);
    EXPECT_EQ(t.Comment(), std::u16string(28, u'c') + u"de");
    EXPECT_EQ(t.Genre(), u"");

    // Windows-1252 bytes decode to their characters.
    TMemoryStream ansi(Trailer("Caf\xE9 \x80", "", "", "", "", 0));
    ASSERT_EQ(t.ReadFromStream(ansi), MP3ERR_None);
    EXPECT_EQ(t.Title(), u"Caf\u00E9 \u20AC");
}

TEST(ID3v1, GenreTrackAndYearSetters) {
    TID3v1Tag t;
    t.SetGenreIndex(125);
    EXPECT_EQ(t.Genre(), u"Dance Hall");
    t.SetGenreIndex(126);
    EXPECT_EQ(t.Genre(), u"");
    t.SetGenreIndex(255);
    EXPECT_EQ(t.Genre(), u"");
    t.SetGenre(u"rock");
    EXPECT_EQ(t.GenreIndex(), 17);
    t.SetGenre(u"Goa");  // in the list, but past the ID3v1 range
    EXPECT_EQ(t.GenreIndex(), 255);
    t.SetGenre(u"Polka Rock");
    EXPECT_EQ(t.GenreIndex(), 255);

    t.SetTrack(u"300");
    EXPECT_EQ(t.TrackNumber(), 44);
    t.SetTrack(u"x");
    EXPECT_EQ(t.TrackNumber(), 0);
    t.SetTrack(u"12");
    EXPECT_EQ(t.Track(), u"12");
    t.SetTrack(u"-1");
    EXPECT_EQ(t.TrackNumber(), 255);
    t.SetTrack(u"5x");
    EXPECT_EQ(t.TrackNumber(), 0);
    t.SetTrack(u"99999999999");
    EXPECT_EQ(t.TrackNumber(), 0);
    t.SetTrack(u"");
    EXPECT_EQ(t.TrackNumber(), 0);

    t.SetYear("20245");
    EXPECT_EQ(t.Year(), "2024");
    t.SetYear("99");
    EXPECT_EQ(t.Year(), "99");
    EXPECT_EQ(t.YearText(), u"99");
}

TEST(ID3v1, TextSettersUseTheConfiguredCodePage) {
    TID3v1Tag t;
    t.SetTitle(u"An overly long title that goes past thirty bytes");
    EXPECT_EQ(t.RawTitle().Length, 30);
    EXPECT_EQ(t.Title(), u"An overly long title that goes");
    t.SetArtist(u"\u0391x");  // not in Windows-1252
    EXPECT_EQ(t.RawArtist().Str(), Field("?x", 30));

    t.SetAutoCorrectCodepage(true);
    t.SetCharCode(GreekCodePages[0]);
    t.SetArtist(u"\u0391\u03B2");
    EXPECT_EQ(t.RawArtist().Str(), std::string("\xC1\xE2\0", 3));  // stored with its zero byte
    EXPECT_EQ(t.Artist(), u"\u0391\u03B2");
    t.SetAlbum(u"");
    EXPECT_EQ(t.RawAlbum().Length, 30);

    // The DOS Greek code page reads the same bytes differently; switching off the correction
    // falls back to Windows-1252.
    t.SetCharCode(GreekCodePages[1]);
    EXPECT_EQ(t.Artist(), u"\u2534\u03AD");
    t.SetAutoCorrectCodepage(false);
    EXPECT_EQ(t.Artist(), u"\u00C1\u00E2");

    // A code page without a converter behaves like the system default both ways.
    t.SetAutoCorrectCodepage(true);
    t.SetCharCode(ArabicCodePages[1]);
    EXPECT_EQ(t.Artist(), u"\u00C1\u00E2");
    t.SetComment(u"ok");
    EXPECT_EQ(t.RawComment().Length, 30);
    EXPECT_EQ(t.Comment(), u"ok");

    // Clear keeps the code page settings.
    t.Clear();
    EXPECT_TRUE(t.AutoCorrectCodepage());
    EXPECT_EQ(t.CharCode(), ArabicCodePages[1]);
    TID3v1Tag fresh;
    EXPECT_EQ(fresh.CharCode(), DefaultCharCode);
    EXPECT_FALSE(fresh.AutoCorrectCodepage());
}

TEST(ID3v1, WriteAndRemoveRoundTripsOnMemoryStreams) {
    TID3v1Tag t;
    t.SetTitle(u"Title");
    t.SetArtist(u"Artist");
    t.SetAlbum(u"Album");
    t.SetComment(std::u16string(30, u'c'));
    t.SetYear("1984");
    t.SetGenre(u"Jazz");

    const std::string audio(1000, 'a');
    TMemoryStream m(audio);
    ASSERT_EQ(t.WriteToStream(m), MP3ERR_None);
    EXPECT_EQ(m.Size(), 1128);
    std::string bytes = m.Bytes();
    EXPECT_EQ(bytes.substr(0, 1000), audio);
    EXPECT_EQ(bytes.substr(1000, 3), "TAG");
    EXPECT_EQ(bytes.substr(1125, 2), "cc");  // no track: the comment keeps its last two bytes
    EXPECT_EQ(static_cast<uint8_t>(bytes[1127]), 8);

    TID3v1Tag r;
    ASSERT_EQ(r.ReadFromStream(m), MP3ERR_None);
    EXPECT_EQ(r.Version(), 0);
    EXPECT_EQ(r.Title(), u"Title");
    EXPECT_EQ(r.Artist(), u"Artist");
    EXPECT_EQ(r.Album(), u"Album");
    EXPECT_EQ(r.Comment(), std::u16string(30, u'c'));
    EXPECT_EQ(r.Year(), "1984");
    EXPECT_EQ(r.Genre(), u"Jazz");

    // Overwriting keeps the size; a track turns the trailer into ID3v1.1.
    t.SetTrack(u"9");
    ASSERT_EQ(t.WriteToStream(m), MP3ERR_None);
    EXPECT_EQ(m.Size(), 1128);
    ASSERT_EQ(r.ReadFromStream(m), MP3ERR_None);
    EXPECT_EQ(r.Version(), 1);
    EXPECT_EQ(r.Track(), u"9");
    EXPECT_EQ(r.Comment(), std::u16string(28, u'c'));

    ASSERT_EQ(r.RemoveFromStream(m), MP3ERR_None);
    EXPECT_EQ(m.Bytes(), audio);
    EXPECT_EQ(r.RemoveFromStream(m), ID3ERR_NoTag);
    EXPECT_EQ(m.Bytes(), audio);

    // A stream that cannot be cut stays as it is, and that is no error.
    PlainStream plain(audio + bytes.substr(1000));
    EXPECT_EQ(r.RemoveFromStream(plain), MP3ERR_None);
    EXPECT_EQ(plain.Size(), 1128);

    // A short stream that starts with "TAG" holds no trailer: writing appends, removing
    // leaves it alone.
    const std::string small = "TAG-like start";
    TMemoryStream s(small);
    EXPECT_EQ(r.RemoveFromStream(s), ID3ERR_NoTag);
    EXPECT_EQ(s.Bytes(), small);
    ASSERT_EQ(t.WriteToStream(s), MP3ERR_None);
    EXPECT_EQ(s.Size(), static_cast<int64_t>(small.size()) + 128);
    EXPECT_EQ(s.Bytes().substr(0, small.size()), small);
}

TEST(ID3v1, StreamFailuresBecomeResultCodes) {
    std::u16string caption, text;
    int calls = 0;
    SetErrorHandler([&](const std::u16string& c, const std::u16string& m) {
        caption = c;
        text = m;
        ++calls;
    });
    TID3v1Tag t;
    FailingStream bad(std::string(200, 'x'), FailingStream::Runtime);
    EXPECT_EQ(t.ReadFromStream(bad), ID3ERR_Unclassified);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(caption, u"Error");
    EXPECT_EQ(text, u"disk on fire");
    EXPECT_EQ(t.WriteToStream(bad), ID3ERR_Unclassified);
    EXPECT_EQ(t.RemoveFromStream(bad), ID3ERR_Unclassified);
    EXPECT_EQ(calls, 3);

    FailingStream foreign(std::string(200, 'x'), FailingStream::Foreign);
    EXPECT_THROW(t.ReadFromStream(foreign), int);

    FailingStream half(std::string(200, 'x'), FailingStream::ShortWrite);
    EXPECT_EQ(t.WriteToStream(half), MP3ERR_SWrite);
    EXPECT_EQ(calls, 3);

    SetErrorHandler(nullptr);  // the default reports nothing
    EXPECT_EQ(t.ReadFromStream(bad), ID3ERR_Unclassified);
    EXPECT_EQ(calls, 3);
}

TEST(ID3v1, FileWrappers) {
    TempDir dir;
    TID3v1Tag t;
    EXPECT_EQ(t.ReadFromFile(dir.Path() / "none.mp3"), MP3ERR_NoFile);
    EXPECT_EQ(t.WriteToFile(dir.Path() / "none.mp3"), MP3ERR_NoFile);
    EXPECT_EQ(t.RemoveFromFile(dir.Path() / "none.mp3"), MP3ERR_NoFile);
    EXPECT_EQ(t.ReadFromFile(dir.Path()), MP3ERR_FOpenR);
    EXPECT_EQ(t.WriteToFile(dir.Path()), MP3ERR_FOpenRW);

    const std::string audio(500, '\x55');
    fs::path p = dir.File("song.mp3", audio);
    EXPECT_EQ(t.ReadFromFile(p), ID3ERR_NoTag);
    t.SetTitle(u"\u00C9t\u00E9");
    t.SetTrack(u"3");
    ASSERT_EQ(t.WriteToFile(p), MP3ERR_None);
    EXPECT_EQ(fs::file_size(p), 628u);
    ASSERT_EQ(t.WriteToFile(p), MP3ERR_None);
    EXPECT_EQ(fs::file_size(p), 628u);

    TID3v1Tag r;
    ASSERT_EQ(r.ReadFromFile(p), MP3ERR_None);
    EXPECT_EQ(r.Title(), u"\u00C9t\u00E9");
    EXPECT_EQ(r.Track(), u"3");

    {
        // Another writer of this program holds the file.
        TFileStream holder(p, fmOpenReadWrite);
        EXPECT_EQ(r.ReadFromFile(p), MP3ERR_FOpenR);
        EXPECT_EQ(r.RemoveFromFile(p), MP3ERR_FOpenRW);
    }
    ASSERT_EQ(r.RemoveFromFile(p), MP3ERR_None);
    EXPECT_EQ(ReadAll(p), audio);
    EXPECT_EQ(r.RemoveFromFile(p), ID3ERR_NoTag);

    fs::path tiny = dir.File("tiny.mp3", "TAG");
    EXPECT_EQ(r.ReadFromFile(tiny), MP3ERR_SRead);
    EXPECT_EQ(r.RemoveFromFile(tiny), ID3ERR_NoTag);
    EXPECT_EQ(ReadAll(tiny), "TAG");
}

TEST(ID3v1, CorpusFiles) {
    const fs::path corpus = QMM_CORPUS_DIR;
    if (!fs::exists(corpus / "mutagen") || !fs::exists(corpus / "taglib"))
        GTEST_SKIP() << "corpus not available";
    TID3v1Tag t;

    ASSERT_EQ(t.ReadFromFile(corpus / "mutagen/silence-44-s-v1.mp3"), MP3ERR_None);
    EXPECT_EQ(t.Version(), 1);
    EXPECT_EQ(t.Album(), u"Quod Libet Test Data");

    ASSERT_EQ(t.ReadFromFile(corpus / "mutagen/silence-44-s.mp3"), MP3ERR_None);
    EXPECT_EQ(t.Version(), 1);
    EXPECT_EQ(t.Track(), u"2");

    ASSERT_EQ(t.ReadFromFile(corpus / "mutagen/id3v1v2-combined.mp3"), MP3ERR_None);
    EXPECT_EQ(t.Version(), 1);
    EXPECT_EQ(t.Year(), "1337");

    for (const char* v10 : {"mutagen/97-unknown-23-update.mp3", "mutagen/bad-TYER-frame.mp3",
                            "mutagen/apev2-lyricsv2.mp3", "taglib/ape-id3v1.mp3",
                            "taglib/rare_frames.mp3"}) {
        EXPECT_EQ(t.ReadFromFile(corpus / v10), MP3ERR_None) << v10;
        EXPECT_EQ(t.Version(), 0) << v10;
    }
    // The trailer is followed by an appended ID3v2 tag, so it is not at the end.
    EXPECT_EQ(t.ReadFromFile(corpus / "mutagen/audacious-trailing-id32-id31.mp3"), ID3ERR_NoTag);
    EXPECT_EQ(t.ReadFromFile(corpus / "mutagen/no-tags.mp3"), ID3ERR_NoTag);
    EXPECT_EQ(t.ReadFromFile(corpus / "taglib/ape.mp3"), ID3ERR_NoTag);
    EXPECT_EQ(t.ReadFromFile(corpus / "mutagen/emptyfile.mp3"), MP3ERR_SRead);
    EXPECT_EQ(t.ReadFromFile(corpus / "taglib/segfault.wav"), MP3ERR_SRead);

    // A write and remove on a copy gives back the original bytes.
    TempDir dir;
    fs::path copy = dir.Path() / "copy.mp3";
    fs::copy_file(corpus / "mutagen/no-tags.mp3", copy);
    const std::string before = ReadAll(copy);
    t.Clear();
    t.SetTitle(u"x");
    ASSERT_EQ(t.WriteToFile(copy), MP3ERR_None);
    ASSERT_EQ(t.RemoveFromFile(copy), MP3ERR_None);
    EXPECT_EQ(ReadAll(copy), before);
}
