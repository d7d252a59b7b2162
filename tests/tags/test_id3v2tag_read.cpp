// Reading the ID3v2 tag: header and flags by version, extended header, unsynchronisation, the
// frame list and padding, and the result codes and state for broken input.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tags/ID3v2Tag.h"
#include "tests/tags/test_id3v2tag_util.h"

using namespace tags;
using namespace id3test;

namespace {

TMP3Error ReadBytes(TID3v2Tag& tag, const Bytes& bytes) {
    TMemoryStream s(bytes);
    return tag.ReadFromStream(s);
}

// Counts how far reads went, to prove a reader stays inside the tag.
class WatchedStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    int64_t Read(void* buffer, int64_t count) override {
        const int64_t n = TMemoryStream::Read(buffer, count);
        furthest = std::max(furthest, Position());
        return n;
    }
    int64_t furthest = 0;
};

class ThrowingStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    int64_t Read(void* buffer, int64_t count) override {
        if (Position() >= 10) throw EStreamError("disk on fire");
        return TMemoryStream::Read(buffer, count);
    }
};

}  // namespace

TEST(ID3v2TagRead, HeaderSizeVersionAndFlags) {
    TID3v2Tag tag;
    Bytes v3 = Header(3, 0, 1014);
    v3.resize(1024 + 100, 0);
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, v3));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(1024u, tag.Size());
    EXPECT_EQ(3, tag.Version().Major);
    EXPECT_TRUE(tag.UsePadding());
    EXPECT_EQ(1014u, tag.PaddingSize());

    Bytes v4 = Header(4, 0x10, 1014);
    v4.resize(1100, 0);
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, v4));
    EXPECT_EQ(1034u, tag.Size());
    EXPECT_TRUE(tag.FlgFooterPresent());

    // The footer bit means nothing before version 4; the extended-header bit of version 2 is
    // compression.
    Bytes v3footer = Header(3, 0x10, 0);
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, v3footer));
    EXPECT_EQ(10u, tag.Size());
    EXPECT_FALSE(tag.FlgFooterPresent());
    EXPECT_TRUE(tag.FlgUnknown());

    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Header(3, 0xA0, 0)));
    EXPECT_TRUE(tag.FlgUnsynch());
    EXPECT_TRUE(tag.FlgExperimental());
    EXPECT_FALSE(tag.FlgExtended());
    EXPECT_FALSE(tag.FlgUnknown());

    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Header(2, 0x01, 0)));
    EXPECT_TRUE(tag.FlgUnknown());
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Header(4, 0x08, 0)));
    EXPECT_TRUE(tag.FlgUnknown());

    Bytes v2c = Header(2, 0x40, 20);
    Append(v2c, Frame(2, "TT2", Latin1("x")));
    v2c.resize(30, 0);
    EXPECT_EQ(ID3ERR_Compression, ReadBytes(tag, v2c));
    EXPECT_TRUE(tag.Exists());
    EXPECT_TRUE(tag.FlgCompression());
    EXPECT_EQ(30u, tag.Size());
    EXPECT_TRUE(tag.Frames.empty());
}

TEST(ID3v2TagRead, NoTagInvalidHeaderAndShortStream) {
    TID3v2Tag tag;
    Bytes bad = Header(5, 0, 0);
    EXPECT_EQ(ID3ERR_Invalid_Header, ReadBytes(tag, bad));
    EXPECT_FALSE(tag.Exists());
    EXPECT_EQ(0u, tag.Size());
    bad[3] = 1;
    EXPECT_EQ(ID3ERR_Invalid_Header, ReadBytes(tag, bad));

    // A tag from an earlier read does not survive a file without one.
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Tag(3, Frame(3, "TIT2", Latin1("Old")))));
    ASSERT_EQ(1u, tag.Frames.size());
    Bytes riff{'R', 'I', 'F', 'F', 0x24, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    EXPECT_EQ(ID3ERR_NoTag, ReadBytes(tag, riff));
    EXPECT_FALSE(tag.Exists());
    EXPECT_EQ(0u, tag.Size());
    EXPECT_TRUE(tag.Frames.empty());
    EXPECT_EQ(u"", tag.Title());

    EXPECT_EQ(MP3ERR_SRead, ReadBytes(tag, Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(tag.Exists());
    EXPECT_EQ(MP3ERR_SRead, ReadBytes(tag, Bytes{}));
}

TEST(ID3v2TagRead, FramesPaddingAndStayingInsideTheTag) {
    for (int major : {2, 3, 4}) {
        SCOPED_TRACE(major);
        const bool v2 = major == 2;
        Bytes frames = Frame(major, v2 ? "TT2" : "TIT2", Latin1("Song"));
        Append(frames, Frame(major, v2 ? "TP1" : "TPE1", Latin1("Band")));
        Append(frames, Frame(major, v2 ? "TAL" : "TALB", Bytes{}));  // zero-length frame
        TID3v2Tag tag;

        Bytes padded = Tag(major, frames, 400);
        Append(padded, Audio(2));
        EXPECT_EQ(MP3ERR_None, ReadBytes(tag, padded));
        ASSERT_EQ(3u, tag.Frames.size());
        EXPECT_EQ(u"Song", tag.Title());
        EXPECT_EQ(u"Band", tag.Artist());
        EXPECT_EQ(u"", tag.Album());
        EXPECT_TRUE(tag.UsePadding());
        EXPECT_EQ(400u, tag.PaddingSize());

        // Frames that fill the area exactly, followed by bytes that would pass for a frame.
        Bytes exact = Tag(major, frames);
        const size_t tagEnd = exact.size();
        Append(exact, Frame(major, v2 ? "TCO" : "TCON", Latin1("NotMine")));
        WatchedStream s(exact);
        EXPECT_EQ(MP3ERR_None, tag.ReadFromStream(s));
        EXPECT_EQ(3u, tag.Frames.size());
        EXPECT_FALSE(tag.UsePadding());
        EXPECT_EQ(0u, tag.PaddingSize());
        EXPECT_LE(s.furthest, int64_t(tagEnd));
        EXPECT_EQ(tagEnd, tag.Size());
    }
}

TEST(ID3v2TagRead, AreaEndingInsideAnIDOrOnGarbageIsPadding) {
    TID3v2Tag tag;
    Bytes frames = Frame(3, "TIT2", Latin1("A"));
    Append(frames, std::string("TP"));
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Tag(3, frames)));
    EXPECT_EQ(1u, tag.Frames.size());
    EXPECT_TRUE(tag.UsePadding());
    EXPECT_EQ(2u, tag.PaddingSize());

    // A lower-case ID ends the frame list.
    frames = Frame(3, "TIT2", Latin1("A"));
    Append(frames, Frame(3, "tpe1", Latin1("B")));
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Tag(3, frames)));
    EXPECT_EQ(1u, tag.Frames.size());
    EXPECT_EQ(12u, tag.PaddingSize());
}

TEST(ID3v2TagRead, ExtendedHeaderIsSkipped) {
    // Version 3: the size counts the bytes after itself.
    Bytes v3 = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0};
    Append(v3, Frame(3, "TIT2", Latin1("Three")));
    TID3v2Tag tag;
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Tag(3, v3, 0, 0x40)));
    EXPECT_TRUE(tag.FlgExtended());
    EXPECT_EQ(u"Three", tag.Title());

    // Version 4: synchsafe, counting the whole extended header.
    Bytes v4 = {0, 0, 0, 12, 1, 0x20, 0, 0, 0, 0, 0, 0};
    Append(v4, Frame(4, "TIT2", Latin1("Four")));
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Tag(4, v4, 0, 0x40)));
    EXPECT_EQ(u"Four", tag.Title());

    // Flagged but absent: the "size" is a frame ID that points far beyond the stream.
    Bytes missing = Frame(4, "TIT2", Latin1("Gone"));
    EXPECT_EQ(MP3ERR_SRead, ReadBytes(tag, Tag(4, missing, 0, 0x40)));
    EXPECT_TRUE(tag.Exists());
    EXPECT_TRUE(tag.Frames.empty());

    // An extended header larger than the frame area leaves no frames, and no error.
    Bytes t = Tag(3, Bytes{0, 0, 0, 20}, 0, 0x40);
    t.resize(40, 0);
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, t));
    EXPECT_TRUE(tag.Frames.empty());

    EXPECT_EQ(MP3ERR_SRead, ReadBytes(tag, Bytes{'I', 'D', '3', 3, 0, 0x40, 0, 0, 0, 10, 0, 0}));
}

TEST(ID3v2TagRead, WholeTagUnsynchronisationBeforeVersion4) {
    // Title bytes FF E0 must be stored as FF 00 E0.
    Bytes body = Latin1("x");
    body.push_back(0xFF);
    body.push_back(0xE0);
    Bytes frames = Frame(3, "TIT2", body);
    Append(frames, Frame(3, "TPE1", Latin1("Nina")));
    TBuffer synced;
    ASSERT_TRUE(ApplyUnsynchronisation(frames, synced));
    Bytes tagBytes = Tag(3, synced, 0, 0x80);
    Append(tagBytes, Audio(1));
    TID3v2Tag tag;
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, tagBytes));
    EXPECT_TRUE(tag.FlgUnsynch());
    ASSERT_EQ(2u, tag.Frames.size());
    EXPECT_EQ(Bytes({0, 'x', 0xFF, 0xE0}), tag.Frames[0]->Data());
    EXPECT_EQ(u"Nina", tag.Artist());
    EXPECT_EQ(synced.size() + 10, tag.Size());

    // Version 4 ignores the header flag for the area: frames carry their own flag.
    Bytes v4frames = Frame(4, "TIT2", Bytes{0, 'y', 0xFF, 0x00, 0xE0}, 0x02);
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Tag(4, v4frames, 0, 0x80)));
    ASSERT_EQ(1u, tag.Frames.size());
    EXPECT_EQ(Bytes({0, 'y', 0xFF, 0xE0}), tag.Frames[0]->Data());

    // Unsynchronised area cut short by the end of the stream: frames before the cut stay.
    Bytes cut = Tag(3, synced, 0, 0x80);
    cut.resize(cut.size() - 3);
    EXPECT_EQ(MP3ERR_SRead, ReadBytes(tag, cut));
    EXPECT_EQ(1u, tag.Frames.size());
    EXPECT_TRUE(tag.Exists());
}

TEST(ID3v2TagRead, TruncatedAndOversizedInput) {
    TID3v2Tag tag;
    Bytes frames = Frame(3, "TIT2", Latin1("Kept"));
    Append(frames, Frame(3, "TPE1", Latin1("Lost")));

    // Frame area longer than the stream.
    Bytes shortFile = Tag(3, frames, 100);
    shortFile.resize(shortFile.size() - 50);
    EXPECT_EQ(MP3ERR_SRead, ReadBytes(tag, shortFile));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(10u + frames.size() + 100, tag.Size());
    EXPECT_TRUE(tag.Frames.empty());

    // Second frame's size runs past the area: the first frame stays.
    Bytes overlong = Frame(3, "TIT2", Latin1("Kept"));
    Append(overlong, Bytes{'T', 'P', 'E', '1', 0, 0, 0x10, 0, 0, 0, 0, 'L'});
    EXPECT_EQ(MP3ERR_SRead, ReadBytes(tag, Tag(3, overlong)));
    ASSERT_EQ(1u, tag.Frames.size());
    EXPECT_EQ(u"Kept", tag.Title());

    // Claimed sizes of 256 MiB over a few bytes: an error, not an allocation of the claim.
    for (int major : {2, 3, 4}) {
        Bytes huge = Header(major, 0, 0x0FFFFFFF);
        Append(huge, Bytes{'T', 'T', '2', 0xFF, 0xFF, 0xFF});
        EXPECT_EQ(MP3ERR_SRead, ReadBytes(tag, huge));
        EXPECT_EQ(10u + 0x0FFFFFFFu, tag.Size());
        Bytes hugeUnsync = Header(major, 0x80, 0x0FFFFFFF);
        Append(hugeUnsync, major == 2 ? Bytes{'T', 'T', '2', 0x7F, 0xFF, 0xFF}
                                      : Bytes{'T', 'I', 'T', '2', 0x7F, 0x7F, 0x7F, 0x7F, 0, 0});
        EXPECT_EQ(MP3ERR_SRead, ReadBytes(tag, hugeUnsync));
    }

    // A frame claiming more than the area holds, the area itself being whole.
    Bytes claim = Bytes{'T', 'I', 'T', '2', 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0};
    EXPECT_EQ(MP3ERR_SRead, ReadBytes(tag, Tag(3, claim, 16)));
    EXPECT_TRUE(tag.Frames.empty());

    // Many zero-length frames end.
    Bytes zeros;
    for (int i = 0; i < 500; ++i) Append(zeros, Frame(4, "TXXX", Bytes{}));
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Tag(4, zeros)));
    EXPECT_EQ(500u, tag.Frames.size());
}

TEST(ID3v2TagRead, UnexpectedStreamErrorIsReportedAndClassified) {
    std::vector<std::u16string> shown;
    SetErrorHandler([&](const std::u16string& caption, const std::u16string& text) {
        shown.push_back(caption + u": " + text);
    });
    ThrowingStream s(Tag(3, Frame(3, "TIT2", Latin1("x"))));
    TID3v2Tag tag;
    EXPECT_EQ(ID3ERR_Unclassified, tag.ReadFromStream(s));
    SetErrorHandler(nullptr);
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(u"Error: disk on fire", shown[0]);
    EXPECT_TRUE(tag.Exists());
}

TEST(ID3v2TagRead, SettingsReachFramesAndSurviveReads) {
    TID3v2Tag tag;
    tag.SetAlwaysWriteUnicode(true);
    tag.SetAutoCorrectCodepage(true);
    tag.SetCharCode(CyrillicCodePages[0]);
    // 0xC0 0xE1 in Windows-1251 is U+0410 U+0431.
    Bytes frames = Frame(3, "TIT2", Bytes{0, 0xC0, 0xE1});
    EXPECT_EQ(MP3ERR_None, ReadBytes(tag, Tag(3, frames)));
    ASSERT_EQ(1u, tag.Frames.size());
    EXPECT_TRUE(tag.Frames[0]->AlwaysWriteUnicode());
    EXPECT_EQ(1251u, tag.Frames[0]->CharCode().CodePage);
    EXPECT_EQ(std::u16string(u"\u0410\u0431"), tag.Title());

    tag.SetAutoCorrectCodepage(false);
    EXPECT_FALSE(tag.Frames[0]->AutoCorrectCodepage());
    EXPECT_EQ(std::u16string(u"\u00C0\u00E1"), tag.Title());
    tag.SetCharCode(DefaultCharCode);
    EXPECT_EQ(0u, tag.Frames[0]->CharCode().CodePage);

    EXPECT_EQ(MP3ERR_NoFile, tag.ReadFromFile("/nonexistent/dir/file.mp3"));
}
