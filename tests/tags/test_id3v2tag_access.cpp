// Frame access on the ID3v2 tag: the named properties with their own rules (year, genre),
// lookups and setters by kind, wildcards, deletion by empty values, collections.
#include <gtest/gtest.h>

#include <algorithm>

#include "tags/ID3v2Tag.h"
#include "tests/tags/test_id3v2tag_util.h"

using namespace tags;
using namespace id3test;

namespace {

TID3v2Tag& ReadInto(TID3v2Tag& tag, int major) {
    TMemoryStream s(Tag(major, Bytes{}, 10));
    EXPECT_EQ(MP3ERR_None, tag.ReadFromStream(s));
    return tag;
}

std::vector<std::string> IDs(const TID3v2Tag& tag) {
    std::vector<std::string> ids;
    for (const auto& f : tag.Frames) ids.push_back(f->FrameIDString());
    return ids;
}

}  // namespace

TEST(ID3v2TagAccess, YearRules) {
    TID3v2Tag tag;
    tag.SetYear(u"2005");
    EXPECT_EQ(u"2005", tag.Year());
    tag.SetYear(u"  99 ");
    EXPECT_EQ(u"0099", tag.Year());
    ASSERT_EQ(1u, tag.Frames.size());
    EXPECT_EQ("TYER", tag.Frames[0]->FrameIDString());
    for (const char16_t* bad : {u"0", u"abc", u"10000", u"-5", u""}) {
        tag.SetYear(u"1999");
        tag.SetYear(bad);
        EXPECT_TRUE(tag.Frames.empty()) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
    }
    TID3v2Tag v4;
    ReadInto(v4, 4).SetYear(u"2010");
    EXPECT_EQ(std::vector<std::string>{"TDRC"}, IDs(v4));
}

TEST(ID3v2TagAccess, GenreRules) {
    TID3v2Tag tag;
    tag.SetGenre(u"rock");
    EXPECT_EQ(u"(17)Rock", tag.GetText(IDv2_GENRE));
    EXPECT_EQ(u"Rock", tag.Genre());
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"(17)", u"Rock"},   {u"(200)", u"(200)"}, {u"Trance", u"Trance"}, {u"17)", u"Rock"},
        {u"(x)", u"(x)"},     {u"(0)", u"Blues"},   {u")(3)", u")(3)"},     {u"(300)", u"Space"},
        {u"(147)", u"Synthpop"}};
    for (const auto& [stored, shown] : cases) {
        tag.SetText(IDv2_GENRE, stored);
        EXPECT_EQ(std::u16string(shown), tag.Genre());
    }
    tag.SetGenre(u"Trash Metal");
    EXPECT_EQ(u"(144)Trash Metal", tag.GetText(IDv2_GENRE));
    tag.SetGenre(u"Thrash Metal");
    EXPECT_EQ(u"Thrash Metal", tag.GetText(IDv2_GENRE));
}

TEST(ID3v2TagAccess, TextSettersDeleteAppendAndRespectTheVersion) {
    TID3v2Tag tag;
    tag.SetArtist(u"A");
    tag.SetAlbum(u"B");
    tag.SetTitle(u"C");
    EXPECT_EQ((std::vector<std::string>{"TPE1", "TALB", "TIT2"}), IDs(tag));
    tag.SetArtist(u"A2");  // rewritten in place, order kept
    EXPECT_EQ((std::vector<std::string>{"TPE1", "TALB", "TIT2"}), IDs(tag));
    EXPECT_EQ(u"A2", tag.Artist());
    tag.SetArtist(u"");
    EXPECT_EQ((std::vector<std::string>{"TALB", "TIT2"}), IDs(tag));
    tag.SetArtist(u"");  // nothing to delete
    EXPECT_EQ(2u, tag.Frames.size());

    // Only the first of two frames of a kind is read and written.
    TMemoryStream two(Tag(3, [] {
        Bytes f = Frame(3, "TPE1", Latin1("First"));
        Append(f, Frame(3, "TPE1", Latin1("Second")));
        return f;
    }()));
    ASSERT_EQ(MP3ERR_None, tag.ReadFromStream(two));
    EXPECT_EQ(u"First", tag.Artist());
    tag.SetArtist(u"");
    EXPECT_EQ(u"Second", tag.Artist());

    // Version 2 has no ID for some kinds; version 4 none for others. Those setters do nothing.
    TID3v2Tag v2;
    ReadInto(v2, 2);
    EXPECT_EQ("---", v2.IDStringFor(IDv2_FILEOWNER));
    v2.SetText(IDv2_FILEOWNER, u"me");
    v2.SetURL(IDv2_PAYMENTURL, "http://pay");
    EXPECT_TRUE(v2.Frames.empty());
    v2.SetTitle(u"Two");
    EXPECT_EQ(std::vector<std::string>{"TT2"}, IDs(v2));
    TID3v2Tag v4;
    ReadInto(v4, 4);
    v4.SetText(IDv2_DATE, u"0304");
    EXPECT_TRUE(v4.Frames.empty());
    // Not a text kind: ignored.
    v4.SetText(IDv2_COMMENT, u"x");
    EXPECT_TRUE(v4.Frames.empty());

    tag.Clear();
    tag.SetURL(IDv2_ARTISTURL, "http://artist");
    EXPECT_EQ("http://artist", tag.GetURL(IDv2_ARTISTURL));
    tag.SetURL(IDv2_ARTISTURL, "");
    EXPECT_TRUE(tag.Frames.empty());
    EXPECT_EQ("", tag.GetURL(IDv2_ARTISTURL));
}

TEST(ID3v2TagAccess, CommentsLyricsAndUserText) {
    TID3v2Tag tag;
    tag.SetExtendedComment("de", u"d1", u"first");
    tag.SetExtendedComment("fra", u"d1", u"second");
    std::string lang;
    std::u16string desc;
    ASSERT_EQ(2u, tag.GetAllCommentFrames().size());
    EXPECT_EQ(u"first", tag.GetAllCommentFrames()[0]->GetCommentsLyrics(lang, desc));
    EXPECT_EQ("eng", lang);
    EXPECT_EQ(u"first", tag.GetExtendedComment("eng", u"d1"));
    EXPECT_EQ(u"second", tag.GetExtendedComment("fra", u"d1"));
    EXPECT_EQ(u"first", tag.GetExtendedComment("*", u"*"));
    EXPECT_EQ(u"first", tag.GetExtendedComment("", u"d1"));
    EXPECT_EQ(u"", tag.GetExtendedComment("deu", u"d1"));
    EXPECT_EQ(u"", tag.Comment());  // wants an empty description
    EXPECT_FALSE(tag.ValidNewCommentFrame("fra", u"d1"));
    EXPECT_TRUE(tag.ValidNewCommentFrame("fra", u"d2"));
    tag.SetComment(u"plain");
    EXPECT_EQ(u"plain", tag.Comment());
    EXPECT_EQ(u"plain", tag.GetExtendedComment("eng", u""));  // "*" is written as "eng"
    tag.SetExtendedComment("*", u"*", u"");  // deletes the first comment of all
    EXPECT_EQ(u"second", tag.GetExtendedComment("*", u"*"));

    tag.SetLyrics(u"Words");
    EXPECT_EQ(u"Words", tag.Lyrics());
    EXPECT_EQ(1u, tag.GetAllLyricFrames().size());
    EXPECT_FALSE(tag.ValidNewLyricFrame("*", u""));

    tag.SetUserText(u"k1", u"v1");
    tag.SetUserText(u"K1", u"v2");  // descriptions are case-sensitive
    EXPECT_EQ(u"v1", tag.GetUserText(u"k1"));
    EXPECT_EQ(u"v2", tag.GetUserText(u"K1"));
    EXPECT_EQ(2u, tag.GetAllUserTextFrames().size());
    tag.SetUserText(u"k1", u"");
    EXPECT_EQ(u"", tag.GetUserText(u"k1"));
    EXPECT_EQ(1u, tag.GetAllUserTextFrames().size());

    tag.SetUserDefinedURL(u"home", "http://home");
    tag.SetURL("http://plain");
    EXPECT_EQ("http://home", tag.GetUserDefinedURL(u"home"));
    EXPECT_EQ("http://plain", tag.URL());
    EXPECT_EQ("", tag.GetUserDefinedURL(u"*"));  // no wildcard here
    EXPECT_FALSE(tag.ValidNewUserDefUrlFrame(u"home"));
    EXPECT_EQ(2u, tag.GetAllUserDefinedURLFrames().size());
    tag.SetURL("");
    EXPECT_EQ(1u, tag.GetAllUserDefinedURLFrames().size());
}

TEST(ID3v2TagAccess, PicturesWithWildcards) {
    TID3v2Tag tag;
    TMemoryStream empty;
    tag.SetPicture("image/png", 3, u"front", &empty);  // nothing to add
    EXPECT_TRUE(tag.Frames.empty());
    TMemoryStream jpeg(std::string("JPEGDATA"));
    tag.SetPicture("*", 4, u"*", &jpeg);
    ASSERT_EQ(1u, tag.GetAllPictureFrames().size());
    TMemoryStream out;
    EXPECT_EQ("image/jpeg", tag.GetPicture(out, u""));
    EXPECT_EQ(jpeg.Data(), out.Data());
    EXPECT_TRUE(tag.ValidNewPictureFrame(u"front"));
    EXPECT_FALSE(tag.ValidNewPictureFrame(u"*"));

    // An empty stream keeps the picture and receives it; "*" keeps MIME type and description.
    TMemoryStream keep;
    tag.SetPicture("*", 5, u"*", &keep);
    EXPECT_EQ(jpeg.Data(), keep.Data());
    std::string mime;
    uint8_t type = 0;
    std::u16string desc;
    TMemoryStream again;
    ASSERT_TRUE(tag.GetAllPictureFrames()[0]->GetPicture(mime, type, desc, again));
    EXPECT_EQ("image/jpeg", mime);
    EXPECT_EQ(5, type);
    EXPECT_EQ(u"", desc);
    EXPECT_EQ(jpeg.Data(), again.Data());

    TMemoryStream png(std::string("PNGDATA"));
    tag.SetPicture("image/png", 3, u"front", &png);
    EXPECT_EQ(2u, tag.GetAllPictureFrames().size());
    TMemoryStream front;
    EXPECT_EQ("image/png", tag.GetPicture(front, u"front"));
    EXPECT_EQ(png.Data(), front.Data());
    tag.SetPicture("", 0, u"front", nullptr);
    EXPECT_EQ(1u, tag.GetAllPictureFrames().size());
    TMemoryStream none;
    EXPECT_EQ("", tag.GetPicture(none, u"front"));
}

TEST(ID3v2TagAccess, RatingAndCounterRules) {
    TID3v2Tag tag;
    tag.SetRating(0);  // nothing to delete, and a 0 rating alone makes a frame holding 0
    ASSERT_EQ(1u, tag.GetAllPopularimeterFrames().size());
    std::string owner;
    tag.GetAllPopularimeterFrames()[0]->GetRating(owner);
    EXPECT_EQ(std::string(DefaultRatingOwner), owner);
    tag.SetRatingAndCounter("*", 0, 0);
    EXPECT_TRUE(tag.GetAllPopularimeterFrames().empty());

    tag.SetRatingAndCounter("a@b", 300, -1);  // low 8 bits
    EXPECT_EQ(44, tag.GetRating("a@b"));
    EXPECT_EQ(0u, tag.GetPersonalPlayCounter("a@b"));
    tag.SetRatingAndCounter("a@b", -1, 12);
    EXPECT_EQ(44, tag.GetRating("*"));
    EXPECT_EQ(12u, tag.PlayCounter());
    tag.SetRatingAndCounter("a@b", 0, -1);  // counter stays, so the frame stays
    EXPECT_EQ(0, tag.Rating());
    EXPECT_EQ(12u, tag.PlayCounter());
    tag.SetRatingAndCounter("a@b", -1, 0);  // rating 0 and counter 0: gone
    EXPECT_TRUE(tag.GetAllPopularimeterFrames().empty());

    tag.SetRatingAndCounter("x@y", 5, -7);  // negative counts as 0
    EXPECT_EQ(5, tag.GetRating("x@y"));
    EXPECT_EQ(0u, tag.GetPersonalPlayCounter("x@y"));
    EXPECT_TRUE(tag.ValidNewPopularimeterFrame("other"));
    EXPECT_FALSE(tag.ValidNewPopularimeterFrame("*"));
    tag.SetRatingAndCounter("x@y", 0, -1);  // rating 0 with no counter: gone
    EXPECT_TRUE(tag.GetAllPopularimeterFrames().empty());
}

TEST(ID3v2TagAccess, PrivateFramesCollectionsAndFrameList) {
    TID3v2Tag tag;
    TMemoryStream data(std::string("\x00\x01\x02", 3));
    tag.SetPrivateFrame("me", &data);
    TMemoryStream other(std::string("zz"));
    tag.SetPrivateFrame("you", &other);
    TMemoryStream out;
    EXPECT_TRUE(tag.GetPrivateFrame("me", out));
    EXPECT_EQ(data.Data(), out.Data());
    EXPECT_FALSE(tag.GetPrivateFrame("nobody", out));
    TMemoryStream empty;
    tag.SetPrivateFrame("me", &empty);
    EXPECT_EQ(1u, tag.GetAllPrivateFrames().size());
    tag.SetPrivateFrame("you", nullptr);
    EXPECT_TRUE(tag.GetAllPrivateFrames().empty());

    tag.SetTitle(u"t");
    tag.SetURL(IDv2_COMMERCIALURL, "http://buy");
    tag.SetUserText(u"d", u"v");
    EXPECT_EQ(3u, tag.GetAllFrames().size());
    EXPECT_EQ(1u, tag.GetAllTextFrames().size());
    EXPECT_EQ(1u, tag.GetAllURLFrames().size());
    EXPECT_EQ(1u, tag.GetAllUserTextFrames().size());

    // Allowed kinds: 45 text kinds exist in version 3 (rows 2-35), 45 in version 4 (2-46);
    // URL kinds 48-55 exist in both, 6 of them in version 2.
    auto allowed = tag.GetAllowedTextFrames();
    EXPECT_EQ(33u, allowed.size());  // 34 version-3 kinds minus the title present
    EXPECT_EQ(allowed.end(), std::find(allowed.begin(), allowed.end(), IDv2_TITEL));
    EXPECT_EQ(7u, tag.GetAllowedURLFrames().size());
    TID3v2Tag v4;
    ReadInto(v4, 4);
    EXPECT_EQ(45u, v4.GetAllowedTextFrames().size());
    TID3v2Tag v2;
    ReadInto(v2, 2);
    EXPECT_EQ(6u, v2.GetAllowedURLFrames().size());

    // AddFrame takes no text settings; DeleteFrame ignores strangers.
    tag.SetAlwaysWriteUnicode(true);
    TID3v2Frame* added = tag.AddFrame(IDv2_MOOD);  // no version-3 ID: becomes XXXX
    EXPECT_EQ("XXXX", added->FrameIDString());
    EXPECT_FALSE(added->AlwaysWriteUnicode());
    EXPECT_EQ(added, tag.Frames.back().get());
    TID3v2Frame stranger("TIT2", 3);
    tag.DeleteFrame(&stranger);
    EXPECT_EQ(4u, tag.Frames.size());
    tag.DeleteFrame(added);
    EXPECT_EQ(3u, tag.Frames.size());
    tag.SetComposer(u"\u00e9");
    EXPECT_TRUE(tag.Frames.back()->AlwaysWriteUnicode());
    EXPECT_EQ(1, tag.Frames.back()->Data()[0]);  // written as UTF-16
}
