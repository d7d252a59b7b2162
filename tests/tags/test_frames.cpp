// Frame table, identification, flags, reading and writing, unsynchronisation.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "tags/ID3v2Frames.h"

using namespace tags;

namespace {

TBuffer Bytes(std::initializer_list<int> list) {
    TBuffer b;
    for (int v : list) b.push_back(static_cast<uint8_t>(v));
    return b;
}

TBuffer Cat(TBuffer a, const TBuffer& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A frame read from `afterId` (the header after the ID, then the body), as the tag reader
// hands it over.
struct ReadResult {
    TID3v2Frame frame;
    TMP3Error result;
    int64_t position;
};

ReadResult ReadFrame(std::string_view id, uint8_t version, const TBuffer& afterId) {
    TMemoryStream s(afterId);
    TID3v2Frame f(id, version);
    const TMP3Error r = f.ReadFromStream(s);
    return {std::move(f), r, s.Position()};
}

TBuffer Written(TID3v2Frame& f, bool unsynced = false) {
    TMemoryStream out;
    EXPECT_EQ(unsynced ? f.WriteUnsyncedToStream(out) : f.WriteToStream(out), MP3ERR_None);
    return out.Data();
}

}  // namespace

TEST(FrameTable, RowsMatchTheirKindsAndHoldWellFormedIds) {
    ASSERT_EQ(ID3v2KnownFrames.size(), 91u);
    std::set<std::string> names;
    for (size_t i = 0; i < ID3v2KnownFrames.size(); ++i) {
        const auto& row = ID3v2KnownFrames[i];
        EXPECT_EQ(static_cast<size_t>(row.IDs), i);
        EXPECT_FALSE(row.Description.empty()) << i;
        for (uint8_t v = 2; v <= 4; ++v) {
            const std::string_view id = row.IDStrings[v - 2];
            EXPECT_TRUE(ValidFrameID(id, v) || id == (v == 2 ? "---" : "----"))
                << FrameIDName(row.IDs) << " v" << int(v) << " " << id;
            EXPECT_EQ(KnownFrameIDString(row.IDs, v), id);
        }
        names.insert(FrameIDName(row.IDs));
    }
    EXPECT_EQ(names.size(), 91u);
    EXPECT_STREQ(FrameIDName(IDv2_SIZE), "IDv2_SIZE");
    EXPECT_STREQ(FrameIDName(static_cast<TFrameIDs>(500)), "IDv2_UNKNOWN");
    EXPECT_EQ(KnownFrameIDString(IDv2_TITEL, 5), "");
    EXPECT_EQ(KnownFrameIDString(IDv2_YEAR, 4), "TDRC");
    EXPECT_EQ(KnownFrameIDString(IDv2_RECORDINGTIME, 4), "TDRC");
    EXPECT_EQ(KnownFrameIDString(IDv2_ENCRYPTEDMETAFRAME, 2), "CRM");
    EXPECT_EQ(KnownFrameIDString(IDv2_ENCRYPTEDMETAFRAME, 3), "----");
    EXPECT_EQ(KnownFrameIDString(IDv2_FILEOWNER, 2), "---");
    EXPECT_EQ(ID3v2KnownFrames[IDv2_LYRICS].Description, u"Unsychronized lyric/text transcription");

    EXPECT_STREQ(FrameTypeName(FT_INVALID), "FT_INVALID");
    EXPECT_STREQ(FrameTypeName(FT_PopularimeterFrame), "FT_PopularimeterFrame");
    EXPECT_STREQ(FrameTypeName(FT_UserTextFrame), "FT_UserTextFrame");

    ASSERT_EQ(PictureTypeNames.size(), 21u);
    EXPECT_EQ(PictureTypeNames[3], u"Cover (front)");
    EXPECT_EQ(PictureTypeNames[17], u"A bright coloured fish");
    EXPECT_EQ(PictureTypeNames[20], u"Publisher/Studio logotype");
}

TEST(FrameConstruction, ValidatesIdAndLaysOutHeader) {
    EXPECT_TRUE(ValidFrameID("TIT2", 3));
    EXPECT_TRUE(ValidFrameID("TT2", 2));
    EXPECT_FALSE(ValidFrameID("TT2", 3));
    EXPECT_FALSE(ValidFrameID("TIT2", 2));
    EXPECT_FALSE(ValidFrameID("tit2", 4));
    EXPECT_FALSE(ValidFrameID("TI-2", 4));
    EXPECT_FALSE(ValidFrameID(std::string_view("TI\0" "2", 4), 4));

    TID3v2Frame lower("tit2", 3);
    EXPECT_EQ(lower.FrameIDString(), "XXXX");
    EXPECT_EQ(lower.Header(), Bytes({'X', 'X', 'X', 'X', 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(lower.FrameType(), FT_UNKNOWN);

    TID3v2Frame v2("TIT2", 2);
    EXPECT_EQ(v2.FrameIDString(), "XXX");
    EXPECT_EQ(v2.Header().size(), 6u);

    TID3v2Frame ok("TALB", 4);
    EXPECT_EQ(ok.Header(), Bytes({'T', 'A', 'L', 'B', 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(ok.Parsable());
    EXPECT_EQ(ok.DataSize(), 0);
    EXPECT_FALSE(ok.AlwaysWriteUnicode());
    EXPECT_FALSE(ok.AutoCorrectCodepage());
    EXPECT_EQ(ok.CharCode(), DefaultCharCode);
}

TEST(FrameIdentification, TypeIdAndDescriptionByVersion) {
    struct Case {
        const char* id;
        uint8_t version;
        TID3v2FrameTypes type;
    };
    const Case cases[] = {
        {"TXX", 2, FT_UserTextFrame},   {"TT2", 2, FT_TextFrame},
        {"WXX", 2, FT_UserDefinedURLFrame}, {"COM", 2, FT_CommentFrame},
        {"ULT", 2, FT_LyricFrame},      {"PIC", 2, FT_PictureFrame},
        {"POP", 2, FT_PopularimeterFrame}, {"WCM", 2, FT_URLFrame},
        {"WPB", 2, FT_URLFrame},        {"WOR", 2, FT_UNKNOWN},
        {"CNT", 2, FT_UNKNOWN},         {"TXXX", 3, FT_UserTextFrame},
        {"TZZZ", 4, FT_TextFrame},      {"WXXX", 4, FT_UserDefinedURLFrame},
        {"COMM", 3, FT_CommentFrame},   {"USLT", 4, FT_LyricFrame},
        {"APIC", 3, FT_PictureFrame},   {"POPM", 4, FT_PopularimeterFrame},
        {"WORS", 3, FT_URLFrame},       {"WPAY", 4, FT_URLFrame},
        {"WOAF", 3, FT_URLFrame},       {"WXYZ", 3, FT_UNKNOWN},
        {"PRIV", 3, FT_UNKNOWN},
    };
    for (const Case& c : cases) {
        TID3v2Frame f(c.id, c.version);
        EXPECT_EQ(f.FrameType(), c.type) << c.id << " v" << int(c.version);
    }

    TID3v2Frame tdrc("TDRC", 4);
    EXPECT_EQ(tdrc.FrameID(), IDv2_YEAR);
    EXPECT_EQ(tdrc.FrameTypeDescription(), u"Year");
    TID3v2Frame tyer4("TYER", 4);
    EXPECT_EQ(tyer4.FrameID(), IDv2_UNKNOWN);
    EXPECT_EQ(tyer4.FrameTypeDescription(), u"Unknown Frame (TYER)");
    TID3v2Frame tyer3("TYER", 3);
    EXPECT_EQ(tyer3.FrameTypeDescription(), u"Year");
    EXPECT_EQ(tyer3.FrameID(), IDv2_YEAR);
    TID3v2Frame prv("PRV", 2);
    EXPECT_EQ(prv.FrameID(), IDv2_PRIVATE);
    TID3v2Frame crm("CRM", 2);
    EXPECT_EQ(crm.FrameTypeDescription(), u"Encrypted meta frame");
    TID3v2Frame x("XXXX", 3);
    EXPECT_EQ(x.FrameID(), IDv2_UNKNOWN);
    EXPECT_EQ(x.FrameTypeDescription(), u"Unknown/experimental Frame");
    TID3v2Frame xmp("XMP3", 4);
    EXPECT_EQ(xmp.FrameID(), IDv2_TagwrightExperimental);
}

TEST(FrameReading, SizesAndBodiesInEachVersion) {
    // Version 2: 3-byte big-endian size.
    auto v2 = ReadFrame("TT2", 2, Cat(Bytes({0, 0, 3}), Bytes({0, 'a', 'b', 0xEE})));
    EXPECT_EQ(v2.result, MP3ERR_None);
    EXPECT_EQ(v2.frame.Data(), Bytes({0, 'a', 'b'}));
    EXPECT_EQ(v2.position, 6);  // the next frame's ID is untouched
    EXPECT_EQ(v2.frame.Header(), Bytes({'T', 'T', '2', 0, 0, 3}));

    // Version 3: plain big-endian; 0x000100 bytes.
    TBuffer body3(256, 'x');
    auto v3 = ReadFrame("TIT2", 3, Cat(Bytes({0, 0, 1, 0, 0, 0}), body3));
    EXPECT_EQ(v3.result, MP3ERR_None);
    EXPECT_EQ(v3.frame.DataSize(), 256);

    // Version 4: synchsafe; bytes 00 00 02 00 mean 256, not 512.
    auto v4 = ReadFrame("TIT2", 4, Cat(Bytes({0, 0, 2, 0, 0, 0}), TBuffer(300, 'y')));
    EXPECT_EQ(v4.result, MP3ERR_None);
    EXPECT_EQ(v4.frame.DataSize(), 256);
    EXPECT_EQ(v4.position, 6 + 256);

    // A zero-length frame reads as empty and writes back as it was.
    auto empty = ReadFrame("TIT2", 3, Bytes({0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(empty.result, MP3ERR_None);
    EXPECT_EQ(empty.frame.DataSize(), 0);
    EXPECT_EQ(empty.frame.GetText(), u"");
    EXPECT_EQ(Written(empty.frame), Bytes({'T', 'I', 'T', '2', 0, 0, 0, 0, 0, 0}));
}

TEST(FrameReading, ShortOrOversizedInputFailsWithoutOverreach) {
    EXPECT_EQ(ReadFrame("TIT2", 3, Bytes({0, 0, 0})).result, MP3ERR_SRead);
    EXPECT_EQ(ReadFrame("TT2", 2, Bytes({0, 0})).result, MP3ERR_SRead);
    // Body one byte short.
    EXPECT_EQ(ReadFrame("TIT2", 3, Bytes({0, 0, 0, 4, 0, 0, 1, 2, 3})).result, MP3ERR_SRead);
    // Claimed sizes far beyond the stream are refused before anything is allocated.
    EXPECT_EQ(ReadFrame("TIT2", 3, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 1})).result,
              MP3ERR_SRead);
    EXPECT_EQ(ReadFrame("TIT2", 4, Bytes({0x7F, 0x7F, 0x7F, 0x7F, 0, 0x02, 1})).result,
              MP3ERR_SRead);
}

TEST(FrameReading, NotParsableBodyRoundTripsByteForByte) {
    // Version 3, compression flag: the body (with its decompressed-size prefix) stays opaque.
    const TBuffer afterId = Bytes({0, 0, 0, 7, 0x40, 0x80, 0, 0, 0, 9, 0x78, 0x9C, 0x01});
    auto r = ReadFrame("TIT2", 3, afterId);
    ASSERT_EQ(r.result, MP3ERR_None);
    EXPECT_FALSE(r.frame.Parsable());
    EXPECT_TRUE(r.frame.FlagCompression());
    EXPECT_EQ(r.frame.DataSize(), 7);
    EXPECT_EQ(Written(r.frame), Cat(Bytes({'T', 'I', 'T', '2'}), afterId));

    // Version 4, encryption with grouping: group byte stays inside the opaque body.
    const TBuffer enc4 = Bytes({0, 0, 0, 3, 0, 0x44, 7, 1, 2});
    auto e = ReadFrame("TALB", 4, enc4);
    EXPECT_FALSE(e.frame.Parsable());
    EXPECT_EQ(e.frame.GroupID(), 0);
    EXPECT_EQ(Written(e.frame), Cat(Bytes({'T', 'A', 'L', 'B'}), enc4));

    // Undefined format bits make version-4 frames opaque as well; undefined status bits do not.
    EXPECT_FALSE(ReadFrame("TIT2", 4, Bytes({0, 0, 0, 1, 0, 0x10, 0})).frame.Parsable());
    EXPECT_TRUE(ReadFrame("TIT2", 4, Bytes({0, 0, 0, 1, 0x8F, 0x00, 0})).frame.Parsable());
    EXPECT_FALSE(ReadFrame("TIT2", 3, Bytes({0, 0, 0, 1, 0, 0x01, 0})).frame.Parsable());
}

TEST(FrameReading, Version4UnsynchronisationAndLengthIndicator) {
    // Stored FF 00 E0 with the unsynchronisation flag.
    auto r = ReadFrame("PRIV", 4, Bytes({0, 0, 0, 3, 0, 0x02, 0xFF, 0x00, 0xE0}));
    ASSERT_EQ(r.result, MP3ERR_None);
    EXPECT_EQ(r.frame.Data(), Bytes({0xFF, 0xE0}));
    EXPECT_TRUE(r.frame.FlagUnsynchronisation());
    {
        TID3v2Frame copy = r.frame;
        EXPECT_EQ(Written(copy, true),
                  Bytes({'P', 'R', 'I', 'V', 0, 0, 0, 3, 0, 0x02, 0xFF, 0x00, 0xE0}));
        EXPECT_TRUE(copy.FlagUnsynchronisation());
    }
    EXPECT_EQ(Written(r.frame), Bytes({'P', 'R', 'I', 'V', 0, 0, 0, 2, 0, 0x00, 0xFF, 0xE0}));
    EXPECT_FALSE(r.frame.FlagUnsynchronisation());

    // Nothing to insert: the flag is cleared by the unsynchronised write too.
    auto plain = ReadFrame("TIT2", 4, Bytes({0, 0, 0, 2, 0, 0x02, 0, 'a'}));
    EXPECT_EQ(Written(plain.frame, true), Bytes({'T', 'I', 'T', '2', 0, 0, 0, 2, 0, 0, 0, 'a'}));

    // Data length indicator: 4 indicator bytes, 6 bytes of data; written back without it.
    auto dli = ReadFrame("TIT2", 4,
                         Bytes({0, 0, 0, 10, 0, 0x01, 0, 0, 0, 6, 0, 'h', 'e', 'l', 'l', 'o'}));
    ASSERT_EQ(dli.result, MP3ERR_None);
    EXPECT_TRUE(dli.frame.Parsable());
    EXPECT_EQ(dli.frame.DataSize(), 6);
    EXPECT_EQ(dli.frame.DataLength(), 6u);
    EXPECT_EQ(dli.frame.GetText(), u"hello");
    EXPECT_EQ(Written(dli.frame),
              Bytes({'T', 'I', 'T', '2', 0, 0, 0, 6, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'}));

    // Unsynchronisation is undone before the indicator is taken off.
    auto both = ReadFrame("TIT2", 4,
                          Bytes({0, 0, 0, 8, 0, 0x03, 0xFF, 0x00, 0, 0, 2, 0, 'a', 'b'}));
    ASSERT_EQ(both.result, MP3ERR_None);
    EXPECT_EQ(both.frame.DataLength(), 0xFF000002u);
    EXPECT_EQ(both.frame.Data(), Bytes({0, 'a', 'b'}));
}

TEST(FrameReading, GroupingByteIsSeparatedAndRestored) {
    auto v3 = ReadFrame("TIT2", 3, Bytes({0, 0, 0, 3, 0, 0x20, 0x42, 0, 'z'}));
    ASSERT_EQ(v3.result, MP3ERR_None);
    EXPECT_TRUE(v3.frame.Parsable());
    EXPECT_TRUE(v3.frame.FlagGroupingIndentity());
    EXPECT_EQ(v3.frame.GroupID(), 0x42);
    EXPECT_EQ(v3.frame.GetText(), u"z");
    EXPECT_EQ(Written(v3.frame), Bytes({'T', 'I', 'T', '2', 0, 0, 0, 3, 0, 0x20, 0x42, 0, 'z'}));

    // Grouping and length indicator in version 4; the unsynchronised write keeps the group byte.
    auto v4 = ReadFrame("TIT2", 4, Bytes({0, 0, 0, 7, 0, 0x41, 0x07, 0, 0, 0, 2, 0, 'q'}));
    ASSERT_EQ(v4.result, MP3ERR_None);
    EXPECT_EQ(v4.frame.GroupID(), 7);
    EXPECT_EQ(v4.frame.Data(), Bytes({0, 'q'}));
    EXPECT_EQ(Written(v4.frame, true), Bytes({'T', 'I', 'T', '2', 0, 0, 0, 3, 0, 0x40, 7, 0, 'q'}));

    // Setting the flag on a new frame makes the writer add the group byte.
    TID3v2Frame f("TALB", 3);
    f.SetText(u"A");
    f.SetFlagGroupingIndentity(true);
    f.SetGroupID(9);
    EXPECT_EQ(Written(f), Bytes({'T', 'A', 'L', 'B', 0, 0, 0, 3, 0, 0x20, 9, 0, 'A'}));
    f.SetFlagGroupingIndentity(false);
    EXPECT_EQ(Written(f), Bytes({'T', 'A', 'L', 'B', 0, 0, 0, 2, 0, 0, 0, 'A'}));
}

TEST(FrameReading, BodyShorterThanGroupByteAndIndicatorIsKeptVerbatim) {
    const TBuffer zero = Bytes({0, 0, 0, 0, 0, 0x41});
    auto z = ReadFrame("TIT2", 4, zero);
    ASSERT_EQ(z.result, MP3ERR_None);
    EXPECT_FALSE(z.frame.Parsable());
    EXPECT_EQ(z.frame.GetText(), u"");
    EXPECT_EQ(Written(z.frame), Cat(Bytes({'T', 'I', 'T', '2'}), zero));

    const TBuffer three = Bytes({0, 0, 0, 3, 0, 0x01, 1, 2, 3});
    auto t = ReadFrame("TIT2", 4, three);
    ASSERT_EQ(t.result, MP3ERR_None);
    EXPECT_EQ(t.position, 9);
    EXPECT_EQ(t.frame.DataSize(), 3);
    EXPECT_EQ(Written(t.frame), Cat(Bytes({'T', 'I', 'T', '2'}), three));

    // A new value makes it plain data again.
    t.frame.SetText(u"ok");
    EXPECT_TRUE(t.frame.Parsable());
    EXPECT_EQ(Written(t.frame), Bytes({'T', 'I', 'T', '2', 0, 0, 0, 3, 0, 0, 0, 'o', 'k'}));
}

TEST(FrameFlags, BitsByVersionAndResetAfterChange) {
    auto v3 = ReadFrame("TIT2", 3, Bytes({0, 0, 0, 1, 0xFF, 0x20, 5, 0}));
    const TID3v2Frame& f3 = v3.frame;
    EXPECT_FALSE(f3.FlagTagAlterPreservation());
    EXPECT_FALSE(f3.FlagFileAlterPreservation());
    EXPECT_TRUE(f3.FlagReadOnly());
    EXPECT_TRUE(f3.FlagUnknownStatus());
    EXPECT_TRUE(f3.FlagGroupingIndentity());
    EXPECT_FALSE(f3.FlagUnsynchronisation());
    EXPECT_FALSE(f3.FlagDataLengthIndicator());
    EXPECT_FALSE(f3.FlagUnknownEncoding());

    auto v4 = ReadFrame("TIT2", 4, Bytes({0, 0, 0, 1, 0x40, 0x00, 0}));
    EXPECT_FALSE(v4.frame.FlagTagAlterPreservation());
    EXPECT_TRUE(v4.frame.FlagFileAlterPreservation());
    EXPECT_FALSE(v4.frame.FlagReadOnly());
    EXPECT_FALSE(v4.frame.FlagUnknownStatus());

    auto v4b = ReadFrame("TIT2", 4, Bytes({0, 0, 0, 1, 0x9F, 0xFF, 0}));
    const TID3v2Frame& g = v4b.frame;
    EXPECT_TRUE(g.FlagReadOnly());
    EXPECT_TRUE(g.FlagUnknownStatus());
    EXPECT_TRUE(g.FlagCompression());
    EXPECT_TRUE(g.FlagEncryption());
    EXPECT_TRUE(g.FlagGroupingIndentity());
    EXPECT_TRUE(g.FlagUnsynchronisation());
    EXPECT_TRUE(g.FlagDataLengthIndicator());
    EXPECT_TRUE(g.FlagUnknownEncoding());
    EXPECT_FALSE(g.Parsable());

    TID3v2Frame v2("TT2", 2);
    EXPECT_TRUE(v2.FlagTagAlterPreservation());
    EXPECT_TRUE(v2.FlagFileAlterPreservation());
    EXPECT_FALSE(v2.FlagGroupingIndentity());
    v2.SetFlagGroupingIndentity(true);
    EXPECT_FALSE(v2.FlagGroupingIndentity());
    EXPECT_EQ(v2.Header().size(), 6u);

    // Reset keeps both preservation bits and grouping only.
    TID3v2Frame r3 = v3.frame;
    r3.ResetFlagsAfterChange();
    EXPECT_EQ(r3.Header()[8], 0xC0);
    EXPECT_EQ(r3.Header()[9], 0x20);
    auto all4 = ReadFrame("TIT2", 4, Bytes({0, 0, 0, 0, 0xFF, 0xFF}));
    all4.frame.ResetFlagsAfterChange();
    EXPECT_EQ(all4.frame.Header()[8], 0x60);
    EXPECT_EQ(all4.frame.Header()[9], 0x40);
    EXPECT_TRUE(all4.frame.Parsable());
}

TEST(Unsynchronisation, TransformsAndRoundTrip) {
    TBuffer out;
    EXPECT_TRUE(ApplyUnsynchronisation(Bytes({0xFF, 0x00, 0x01, 0xFF, 0xE0, 0xFF, 0xDF}), out));
    EXPECT_EQ(out, Bytes({0xFF, 0x00, 0x00, 0x01, 0xFF, 0x00, 0xE0, 0xFF, 0xDF}));
    EXPECT_TRUE(ApplyUnsynchronisation(Bytes({1, 0xFF}), out));
    EXPECT_EQ(out, Bytes({1, 0xFF, 0}));
    EXPECT_TRUE(ApplyUnsynchronisation(Bytes({0xFF, 0xFF, 0xFF}), out));
    EXPECT_EQ(out, Bytes({0xFF, 0, 0xFF, 0, 0xFF, 0}));
    EXPECT_FALSE(ApplyUnsynchronisation(Bytes({0xFE, 0xFF, 0x7F}), out));
    EXPECT_EQ(out, Bytes({0xFE, 0xFF, 0x7F}));
    EXPECT_FALSE(ApplyUnsynchronisation({}, out));
    EXPECT_TRUE(out.empty());

    EXPECT_EQ(RemoveUnsynchronisation(Bytes({0xFF, 0x00, 0x00})), Bytes({0xFF, 0x00}));
    EXPECT_EQ(RemoveUnsynchronisation(Bytes({0xFF, 0xFF, 0x00, 0xE0})), Bytes({0xFF, 0xFF, 0xE0}));
    EXPECT_EQ(RemoveUnsynchronisation(Bytes({0x00, 0xFF})), Bytes({0x00, 0xFF}));
    EXPECT_EQ(RemoveUnsynchronisation(Bytes({0xFF, 0x00})), Bytes({0xFF}));

    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        TBuffer in(rng() % 64);
        for (auto& b : in) b = (rng() % 3 == 0) ? 0xFF : (rng() % 2 ? 0x00 : uint8_t(rng()));
        ApplyUnsynchronisation(in, out);
        for (size_t i = 0; i + 1 < out.size(); ++i)
            ASSERT_FALSE(out[i] == 0xFF && out[i + 1] >= 0xE0) << "false sync left at " << i;
        ASSERT_EQ(RemoveUnsynchronisation(out), in);
    }
}

TEST(FrameWriting, SizeFieldInEachVersionAndOverflow) {
    TMemoryStream pic(std::string(200, 'p'));
    TID3v2Frame v4("PRIV", 4);
    v4.SetPrivateFrame("o", pic);  // 202 bytes
    EXPECT_EQ(Written(v4), Cat(Bytes({'P', 'R', 'I', 'V', 0, 0, 1, 0x4A, 0, 0}), v4.Data()));
    TID3v2Frame v3("PRIV", 3);
    v3.SetPrivateFrame("o", pic);
    const TBuffer w3 = Written(v3);
    EXPECT_EQ(TBuffer(w3.begin(), w3.begin() + 10),
              Bytes({'P', 'R', 'I', 'V', 0, 0, 0, 0xCA, 0, 0}));
    TID3v2Frame v2("PRV", 2);
    v2.SetPrivateFrame("o", pic);
    const TBuffer w2 = Written(v2);
    EXPECT_EQ(TBuffer(w2.begin(), w2.begin() + 6), Bytes({'P', 'R', 'V', 0, 0, 0xCA}));

    // A version-2 size field holds 24 bits; a larger body is refused, not truncated.
    TMemoryStream big;
    big.SetSize(0x1000000);
    TID3v2Frame huge("PRV", 2);
    huge.SetData(big);
    TMemoryStream out;
    EXPECT_EQ(huge.WriteToStream(out), MP3ERR_SWrite);
    EXPECT_EQ(out.Size(), 0);
}
