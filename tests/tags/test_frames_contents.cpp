// Decoding and rebuilding frame bodies by frame kind.
#include <gtest/gtest.h>

#include "tags/ID3v2Frames.h"

using namespace tags;

namespace {

TBuffer Bytes(std::initializer_list<int> list) {
    TBuffer b;
    for (int v : list) b.push_back(static_cast<uint8_t>(v));
    return b;
}

TBuffer Str(std::string_view s) { return TBuffer(s.begin(), s.end()); }

TBuffer Cat(std::initializer_list<TBuffer> parts) {
    TBuffer out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// UTF-16LE with the mark, as the setters write it.
TBuffer U16(std::u16string_view s) {
    TBuffer b{0xFF, 0xFE};
    for (char16_t c : s) {
        b.push_back(uint8_t(c & 0xFF));
        b.push_back(uint8_t(c >> 8));
    }
    return b;
}

TID3v2Frame WithBody(std::string_view id, uint8_t version, const TBuffer& body) {
    TID3v2Frame f(id, version);
    TMemoryStream s(body);
    f.SetData(s);
    return f;
}

// A frame read from a stream with the given format flags (versions 3 and 4).
TID3v2Frame ReadWithFlags(std::string_view id, uint8_t version, uint8_t format,
                          const TBuffer& body) {
    TBuffer afterId{0, 0, 0, uint8_t(body.size()), 0, format};
    afterId.insert(afterId.end(), body.begin(), body.end());
    TMemoryStream s(afterId);
    TID3v2Frame f(id, version);
    EXPECT_EQ(f.ReadFromStream(s), MP3ERR_None);
    return f;
}

uint32_t SizeField(const TID3v2Frame& f) {
    const TBuffer& h = f.Header();
    return (uint32_t(h[4]) << 24) | (uint32_t(h[5]) << 16) | (uint32_t(h[6]) << 8) | h[7];
}

}  // namespace

TEST(FrameText, DecodesEveryEncoding) {
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({1, 0xFF, 0xFE, 0x41, 0, 0x42, 0})).GetText(), u"AB");
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({1, 0xFE, 0xFF, 0, 0x41, 0, 0x42})).GetText(), u"AB");
    // Any mark other than FE FF counts as little-endian.
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({1, 0x12, 0x34, 0x41, 0})).GetText(), u"A");
    EXPECT_EQ(WithBody("TIT2", 4, Bytes({2, 0, 0x41, 0, 0x42})).GetText(), u"AB");
    EXPECT_EQ(WithBody("TIT2", 4, Cat({Bytes({3}), Str("K\xC3\xB6ln")})).GetText(), u"K\u00F6ln");
    EXPECT_EQ(WithBody("TIT2", 3, Cat({Bytes({0}), Str("  word "), Bytes({0, 0})})).GetText(),
              u"word");
    // Windows-1252 for single-byte text, and unknown encodings count as that.
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({0, 0x80, 0xE9})).GetText(), u"\u20AC\u00E9");
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({9, 'h', 'i'})).GetText(), u"hi");
    // Terminators, padding and odd lengths.
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({1, 0xFF, 0xFE, 0x41, 0, 0, 0})).GetText(), u"A");
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({1, 0xFF, 0xFE, 0x41, 0, 0x42})).GetText(), u"A");
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({1, 0xFF, 0xFE})).GetText(), u"");
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({1, 0xFF})).GetText(), u"");
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({2, 0x41})).GetText(), u"");
    EXPECT_EQ(WithBody("TIT2", 3, Bytes({1})).GetText(), u"");
    EXPECT_EQ(WithBody("TIT2", 3, {}).GetText(), u"");
    // Inner characters below 33 stay; only the ends are trimmed. A zero separates values.
    EXPECT_EQ(WithBody("TIT2", 4, Bytes({3, 'a', '\t', 'b', 0})).GetText(), u"a\tb");
    EXPECT_EQ(WithBody("TIT2", 4, Bytes({3, 'a', 0, 'b', 0})).GetText(), u"a / b");

    // The decoder clamps bounds itself.
    TID3v2Frame f = WithBody("TIT2", 3, Bytes({0, 'x', 'y'}));
    EXPECT_EQ(f.DecodeText(-5, 100, 0), u"xy");
    EXPECT_EQ(f.DecodeText(2, 1, 0), u"");
    EXPECT_EQ(f.DecodeText(7, 9, 0), u"");
}

TEST(FrameText, SeveralValuesReadAsOneText) {
    // UTF-16 big-endian as a second writer might put it.
    auto be = [](std::u16string_view v) {
        TBuffer b{0xFE, 0xFF};
        for (char16_t c : v) {
            b.push_back(uint8_t(c >> 8));
            b.push_back(uint8_t(c & 0xFF));
        }
        return b;
    };
    const TBuffer z2 = Bytes({0, 0});
    struct Case {
        const char* name;
        TBuffer body;
        std::u16string shown;
    };
    const Case cases[] = {
        {"UTF-16, a mark per value",
         Cat({Bytes({1}), U16(u"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC"), z2, U16(u"Second"), z2}),
         u"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC / Second"},
        {"UTF-16, second value big-endian", Cat({Bytes({1}), U16(u"A\u00E9"), z2, be(u"B\u00E9")}),
         u"A\u00E9 / B\u00E9"},
        {"UTF-8 with marks", Cat({Bytes({3}), Str("\xEF\xBB\xBFK\xC3\xB6ln"), Bytes({0}), Str("\xEF\xBB\xBFRom")}),
         u"K\u00F6ln / Rom"},
        {"single byte, empty value between", Cat({Bytes({0}), Str("Rock"), Bytes({0, 0}), Str("Pop")}),
         u"Rock / Pop"},
    };
    for (const auto& c : cases) EXPECT_EQ(WithBody("TIT2", 4, c.body).GetText(), c.shown) << c.name;
}

TEST(FrameText, ChosenCodePageWithFallback) {
    const TBuffer greek = Bytes({0, 0xC1, 0xE8});  // Alpha, theta in Windows-1253
    TID3v2Frame f = WithBody("TIT2", 3, greek);
    EXPECT_EQ(f.GetText(), u"\u00C1\u00E8");  // as Windows-1252 until asked otherwise
    f.SetCharCode(GreekCodePages[0]);
    EXPECT_EQ(f.GetText(), u"\u00C1\u00E8");  // the flag is off
    f.SetAutoCorrectCodepage(true);
    if (CodePageSupported(1253)) {
        EXPECT_EQ(f.GetText(), u"\u0391\u03B8");
    }
    // A code page without a converter falls back to Windows-1252.
    f.SetCharCode(TCodePage{u"none", 99999, 0});
    EXPECT_EQ(f.GetText(), u"\u00C1\u00E8");
    // Only encoding 0 is affected.
    TID3v2Frame u = WithBody("TIT2", 3, Bytes({3, 0xC3, 0xA9}));
    u.SetAutoCorrectCodepage(true);
    u.SetCharCode(GreekCodePages[0]);
    EXPECT_EQ(u.GetText(), u"\u00E9");
}

TEST(FrameText, SetterChoosesEncodingAndResetsFlags) {
    TID3v2Frame f("TIT2", 3);
    f.SetText(u"Caf\u00E9");
    EXPECT_EQ(f.Data(), Bytes({0, 'C', 'a', 'f', 0xE9}));
    EXPECT_EQ(SizeField(f), 5u);
    f.SetText(u"\u20AC5");  // above 255, even though Windows-1252 has the euro sign
    EXPECT_EQ(f.Data(), Cat({Bytes({1}), U16(u"\u20AC5")}));
    EXPECT_EQ(f.GetText(), u"\u20AC5");
    f.SetText(u"x\u0081\u0085");  // C1 control without a Windows-1252 byte: no '?' loss
    EXPECT_EQ(f.Data()[0], 1);
    EXPECT_EQ(f.GetText(), u"x\u0081\u0085");
    f.SetAlwaysWriteUnicode(true);
    f.SetText(u"ab");
    EXPECT_EQ(f.Data(), Cat({Bytes({1}), U16(u"ab")}));
    EXPECT_EQ(f.DataSize(), 3 + 2 * 2);
    f.SetText(u"");
    EXPECT_EQ(f.Data(), Bytes({1, 0xFF, 0xFE}));

    EXPECT_TRUE(NeedsUnicode(u"\u0100"));
    EXPECT_FALSE(NeedsUnicode(u"\u00FF\u0081"));
    EXPECT_TRUE(NeedsUnicode(u"\u0080"));

    // A compressed, read-only frame becomes a plain one with the new value.
    TID3v2Frame c = ReadWithFlags("TIT2", 3, 0x80, Bytes({0, 0, 0, 9, 1, 2}));
    EXPECT_EQ(c.GetText(), u"");
    c.SetText(u"new");
    EXPECT_TRUE(c.Parsable());
    EXPECT_FALSE(c.FlagCompression());
    EXPECT_EQ(c.GetText(), u"new");
    EXPECT_EQ(SizeField(c), 4u);
}

TEST(FrameUserText, LayoutsAndMalformedBodies) {
    TID3v2Frame f("TXXX", 3);
    f.SetUserText(u"key", u"val");
    EXPECT_EQ(f.Data(), Cat({Bytes({0}), Str("key"), Bytes({0}), Str("val")}));
    std::u16string d;
    EXPECT_EQ(f.GetUserText(d), u"val");
    EXPECT_EQ(d, u"key");
    f.SetUserText(u"k\u0416", u"v");
    EXPECT_EQ(f.Data(), Cat({Bytes({1}), U16(u"k\u0416"), Bytes({0, 0}), U16(u"v")}));
    EXPECT_EQ(f.DataSize(), 7 + 2 * 2 + 2 * 1);
    EXPECT_EQ(f.GetUserText(d), u"v");
    EXPECT_EQ(d, u"k\u0416");

    d = u"stale";
    EXPECT_EQ(WithBody("TXXX", 3, Bytes({0, 'a'})).GetUserText(d), u"");
    EXPECT_EQ(d, u"");
    // No terminator: everything is description.
    EXPECT_EQ(WithBody("TXXX", 3, Bytes({0, 'a', 'b', 'c'})).GetUserText(d), u"");
    EXPECT_EQ(d, u"abc");
    // UTF-16 without terminator and of odd length.
    EXPECT_EQ(WithBody("TXXX", 3, Bytes({1, 0xFF, 0xFE, 'a', 0, 'b'})).GetUserText(d), u"");
    EXPECT_EQ(d, u"a");
    // Big-endian UTF-16, terminator found on the pair boundary only.
    EXPECT_EQ(WithBody("TXXX", 4, Bytes({2, 0, 'a', 0x01, 0, 0, 0, 0, 'v'})).GetUserText(d),
              u"v");
    EXPECT_EQ(d, u"a\u0100");
}

TEST(FrameCommentsLyrics, LanguageDescriptionAndValue) {
    TID3v2Frame f("COMM", 3);
    f.SetCommentsLyrics("de", u"", u"Hallo");
    EXPECT_EQ(f.Data(), Cat({Bytes({0}), Str("eng"), Bytes({0}), Str("Hallo")}));
    EXPECT_EQ(f.DataSize(), 5 + 0 + 5);
    std::string lang;
    std::u16string desc;
    EXPECT_EQ(f.GetCommentsLyrics(lang, desc), u"Hallo");
    EXPECT_EQ(lang, "eng");
    EXPECT_EQ(desc, u"");

    f.SetCommentsLyrics("deu", u"d", u"\u0161\u0107");
    EXPECT_EQ(f.Data(),
              Cat({Bytes({1}), Str("deu"), U16(u"d"), Bytes({0, 0}), U16(u"\u0161\u0107")}));
    EXPECT_EQ(f.DataSize(), 10 + 2 + 4);
    EXPECT_EQ(f.GetCommentsLyrics(lang, desc), u"\u0161\u0107");
    EXPECT_EQ(lang, "deu");
    EXPECT_EQ(desc, u"d");

    TID3v2Frame lyr("ULT", 2);
    lyr.SetAlwaysWriteUnicode(true);
    lyr.SetCommentsLyrics("*", u"", u"la");
    EXPECT_EQ(lyr.Data(), Cat({Bytes({1}), Str("eng"), U16(u""), Bytes({0, 0}), U16(u"la")}));

    lang = "xyz";
    EXPECT_EQ(WithBody("COMM", 3, Bytes({0, 'e', 'n', 'g'})).GetCommentsLyrics(lang, desc), u"");
    EXPECT_EQ(lang, "");
    EXPECT_EQ(WithBody("COMM", 3, Bytes({0, 'e', 'n', 'g', 'x'})).GetCommentsLyrics(lang, desc),
              u"");
    EXPECT_EQ(lang, "eng");
    EXPECT_EQ(desc, u"x");
}

TEST(FrameUrls, PlainAndUserDefined) {
    TID3v2Frame w("WOAR", 3);
    w.SetURL("");
    EXPECT_EQ(w.Data(), Str(" "));
    EXPECT_EQ(w.GetURL(), " ");  // not trimmed
    w.SetURL("http://a.b/ c");
    EXPECT_EQ(w.GetURL(), "http://a.b/ c");

    TID3v2Frame u("WXXX", 4);
    u.SetAlwaysWriteUnicode(true);  // has no say here: only the description decides
    u.SetUserdefinedURL(u"home", "http://x");
    EXPECT_EQ(u.Data(), Cat({Bytes({0}), Str("home"), Bytes({0}), Str("http://x")}));
    std::u16string d;
    EXPECT_EQ(u.GetUserdefinedURL(d), "http://x");
    EXPECT_EQ(d, u"home");
    u.SetUserdefinedURL(u"\u4E2D", "u");
    EXPECT_EQ(u.Data(), Cat({Bytes({1}), U16(u"\u4E2D"), Bytes({0, 0}), Str("u")}));
    EXPECT_EQ(u.DataSize(), 5 + 2 + 1);
    EXPECT_EQ(u.GetUserdefinedURL(d), "u");
    EXPECT_EQ(d, u"\u4E2D");

    EXPECT_EQ(WithBody("WXXX", 3, Cat({Bytes({0, 0}), Str(" http://y \x01"), Bytes({0})}))
                  .GetUserdefinedURL(d),
              "http://y");
    EXPECT_EQ(WithBody("WXXX", 3, Bytes({0})).GetUserdefinedURL(d), "");
    EXPECT_EQ(WithBody("WXXX", 3, Bytes({0, 'd'})).GetUserdefinedURL(d), "");
    EXPECT_EQ(d, u"d");
}

TEST(FramePictures, VersionLayoutsAndMalformedBodies) {
    TMemoryStream jpeg(std::string("\xFF\xD8\xFF\x00jpg", 7));
    jpeg.Seek(0, soEnd);  // the setter reads from the start whatever the position

    TID3v2Frame p3("APIC", 3);
    p3.SetPicture("image/jpeg", 25, u"front", jpeg);
    EXPECT_EQ(p3.Data(), Cat({Bytes({0}), Str("image/jpeg"), Bytes({0, 0}), Str("front"),
                              Bytes({0}), jpeg.Data()}));
    EXPECT_EQ(p3.DataSize(), 4 + 10 + 5 + 7);
    std::string mime;
    uint8_t type = 99;
    std::u16string desc;
    TMemoryStream out;
    EXPECT_TRUE(p3.GetPicture(mime, type, desc, out));
    EXPECT_EQ(mime, "image/jpeg");
    EXPECT_EQ(type, 0);
    EXPECT_EQ(desc, u"front");
    EXPECT_EQ(out.Data(), jpeg.Data());

    p3.SetPicture("image/png", 3, u"\u00E9\u0100", jpeg);
    EXPECT_EQ(p3.DataSize(), 7 + 9 + 2 * 2 + 7);
    TMemoryStream out2;
    EXPECT_TRUE(p3.GetPicture(mime, type, desc, out2));
    EXPECT_EQ(type, 3);
    EXPECT_EQ(desc, u"\u00E9\u0100");
    EXPECT_EQ(out2.Data(), jpeg.Data());

    TID3v2Frame p2("PIC", 2);
    p2.SetPicture("image/png", 4, u"b", jpeg);
    EXPECT_EQ(p2.Data(), Cat({Bytes({0}), Str("PNG"), Bytes({4}), Str("b"), Bytes({0}),
                              jpeg.Data()}));
    EXPECT_EQ(p2.DataSize(), 6 + 1 + 7);
    p2.SetPicture("image/gif", 4, u"", jpeg);
    EXPECT_EQ(TBuffer(p2.Data().begin() + 1, p2.Data().begin() + 4), Str("JPG"));
    p2.SetPicture("GIF", 4, u"\u0100", jpeg);
    EXPECT_EQ(p2.DataSize(), 9 + 2 + 7);
    TMemoryStream out3;
    EXPECT_TRUE(p2.GetPicture(mime, type, desc, out3));
    EXPECT_EQ(mime, "GIF");
    EXPECT_EQ(type, 4);
    EXPECT_EQ(desc, u"\u0100");
    EXPECT_EQ(out3.Data(), jpeg.Data());

    // No picture bytes: false, but what was there is still reported.
    TMemoryStream none;
    EXPECT_FALSE(WithBody("APIC", 3, Cat({Bytes({0}), Str("image/png"), Bytes({0, 3}),
                                          Str("d"), Bytes({0})}))
                     .GetPicture(mime, type, desc, none));
    EXPECT_EQ(mime, "image/png");
    EXPECT_EQ(type, 3);
    EXPECT_EQ(desc, u"d");
    EXPECT_EQ(none.Size(), 0);
    // MIME type without its zero byte runs to the end.
    EXPECT_FALSE(WithBody("APIC", 4, Cat({Bytes({0}), Str("image/png")}))
                     .GetPicture(mime, type, desc, none));
    EXPECT_EQ(mime, "image/png");
    EXPECT_EQ(type, 0);
    // Too short for any content.
    mime = "stale";
    EXPECT_FALSE(WithBody("APIC", 3, Bytes({0, 'a', 0, 3})).GetPicture(mime, type, desc, none));
    EXPECT_EQ(mime, "");
    EXPECT_FALSE(WithBody("PIC", 2, Bytes({0, 'P', 'N', 'G', 3, 0})).GetPicture(mime, type, desc,
                                                                             none));
    EXPECT_EQ(none.Size(), 0);
}

TEST(FramePopularimeter, RatingAndCounterKeepEachOther) {
    TID3v2Frame f("POPM", 3);
    f.SetRating("a@b", 200);
    EXPECT_EQ(f.Data(), Cat({Str("a@b"), Bytes({0, 200})}));
    f.SetPersonalPlayCounter("a@b", 0x01020304);
    EXPECT_EQ(f.Data(), Cat({Str("a@b"), Bytes({0, 200, 1, 2, 3, 4})}));
    f.SetRating("c@d", 5);
    EXPECT_EQ(f.Data(), Cat({Str("c@d"), Bytes({0, 5, 1, 2, 3, 4})}));
    std::string mail;
    EXPECT_EQ(f.GetRating(mail), 5);
    EXPECT_EQ(mail, "c@d");
    EXPECT_EQ(f.GetPersonalPlayCounter(mail), 0x01020304u);
    f.SetPersonalPlayCounter("c@d", 0);
    EXPECT_EQ(f.Data(), Cat({Str("c@d"), Bytes({0, 5})}));
    // A zero inside the e-mail would shift the rating; it is cut there.
    f.SetRating(std::string_view("x\0y", 3), 7);
    EXPECT_EQ(f.Data(), Bytes({'x', 0, 7}));
    EXPECT_EQ(f.GetRating(mail), 7);

    const TBuffer eight = Cat({Str("m"), Bytes({0, 9, 0, 0, 0, 0, 0, 0, 0, 1})});
    EXPECT_EQ(WithBody("POPM", 4, eight).GetPersonalPlayCounter(mail), 0u);
    EXPECT_EQ(WithBody("POPM", 4, eight).GetRating(mail), 9);
    EXPECT_EQ(WithBody("POPM", 4, Cat({Str("m"), Bytes({0, 9, 0, 0, 1})})).GetPersonalPlayCounter(mail),
              0u);
    EXPECT_EQ(WithBody("POPM", 4, Str("nozero")).GetRating(mail), 0);
    EXPECT_EQ(mail, "nozero");
    EXPECT_EQ(WithBody("POPM", 4, Str("nozero")).GetPersonalPlayCounter(mail), 0u);
    EXPECT_EQ(WithBody("POP", 2, Bytes({0})).GetRating(mail), 0);
    EXPECT_EQ(mail, "");
}

TEST(FramePrivateAndRawData, OwnerDataAndFlags) {
    TMemoryStream content(std::string("\x00\x01\x02", 3));
    TID3v2Frame f("PRIV", 4);
    f.SetPrivateFrame("owner", content);
    EXPECT_EQ(f.Data(), Cat({Str("owner"), Bytes({0, 0, 1, 2})}));
    std::string owner;
    TMemoryStream out;
    EXPECT_TRUE(f.GetPrivateFrame(owner, out));
    EXPECT_EQ(owner, "owner");
    EXPECT_EQ(out.Data(), Bytes({0, 1, 2}));

    TMemoryStream untouched;
    EXPECT_FALSE(WithBody("PRIV", 3, Cat({Str("own"), Bytes({0})})).GetPrivateFrame(owner, untouched));
    EXPECT_EQ(owner, "own");
    EXPECT_FALSE(WithBody("PRIV", 3, Str("own")).GetPrivateFrame(owner, untouched));
    EXPECT_EQ(untouched.Size(), 0);

    // SetData keeps the flags and the parsability; GetData mirrors the body.
    TID3v2Frame g = ReadWithFlags("TIT2", 4, 0x40, Bytes({3, 0, 'a'}));
    TMemoryStream raw(std::string("\0xyz", 4));
    g.SetData(raw);
    EXPECT_TRUE(g.FlagGroupingIndentity());
    EXPECT_EQ(g.GroupID(), 3);
    EXPECT_EQ(g.GetText(), u"xyz");
    TMemoryStream back;
    g.GetData(back);
    EXPECT_EQ(back.Data(), Str(std::string_view("\0xyz", 4)));
}

TEST(FrameContents, NotParsableFramesYieldNothing) {
    const TBuffer body = Cat({Bytes({0}), Str("eng"), Bytes({0}), Str("text")});
    for (const char* id : {"TIT2", "TXXX", "COMM", "WXXX", "WOAR", "APIC", "POPM", "PRIV"}) {
        TID3v2Frame f = ReadWithFlags(id, 3, 0x80, body);
        ASSERT_FALSE(f.Parsable());
        std::string s = "stale";
        std::u16string d = u"stale";
        uint8_t type = 9;
        TMemoryStream out;
        EXPECT_EQ(f.GetText(), u"") << id;
        EXPECT_EQ(f.GetUserText(d), u"");
        EXPECT_EQ(d, u"");
        EXPECT_EQ(f.GetCommentsLyrics(s, d), u"");
        EXPECT_EQ(s, "");
        EXPECT_EQ(f.GetUserdefinedURL(d), "");
        EXPECT_EQ(f.GetURL(), "");
        EXPECT_FALSE(f.GetPicture(s, type, d, out));
        EXPECT_EQ(type, 0);
        EXPECT_EQ(f.GetRating(s), 0);
        EXPECT_EQ(f.GetPersonalPlayCounter(s), 0u);
        EXPECT_FALSE(f.GetPrivateFrame(s, out));
        f.GetData(out);
        EXPECT_EQ(out.Size(), 0);
        EXPECT_EQ(f.Data(), body);  // the body itself is untouched
    }
}
