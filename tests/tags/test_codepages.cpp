#include <gtest/gtest.h>

#include <set>

#include "tags/U_CharCode.h"

using namespace tags;

TEST(CodePages, GenreListSpellingsAndCaseInsensitiveLookup) {
    ASSERT_EQ(Genres.Count(), 148);
    EXPECT_EQ(Genres[0], u"Blues");
    EXPECT_EQ(Genres[79], u"Hard Rock");
    EXPECT_EQ(Genres[80], u"Folk");
    EXPECT_EQ(Genres[147], u"Synthpop");
    EXPECT_FALSE(Genres[133].empty());
    EXPECT_EQ(Genres[134], u"Polsk Punk");
    EXPECT_TRUE(Genres[148].empty());
    EXPECT_TRUE(Genres[-1].empty());

    EXPECT_EQ(Genres.IndexOf(u"Rock"), 17);
    EXPECT_EQ(Genres.IndexOf(u"rock"), 17);
    EXPECT_EQ(Genres.IndexOf(u"ROCK"), 17);
    EXPECT_EQ(Genres.IndexOf(u"Progessive Rock"), 92);
    EXPECT_EQ(Genres.IndexOf(u"Trash Metal"), 144);
    EXPECT_EQ(Genres.IndexOf(u"Progressive Rock"), -1);
    EXPECT_EQ(Genres.IndexOf(u"Thrash Metal"), -1);
    EXPECT_EQ(Genres.IndexOf(u"Rock "), -1);
    EXPECT_EQ(Genres.IndexOf(u""), -1);
    EXPECT_EQ(Genres.IndexOf(u"r&b"), 14);
    EXPECT_EQ(Genres.IndexOf(u"drum & bass"), 127);

    // Every name is distinct, so a look-up finds each entry at its own index.
    for (int i = 0; i < Genres.Count(); ++i) EXPECT_EQ(Genres.IndexOf(Genres[i]), i) << i;
}

TEST(CodePages, LanguageListsAreParallelSortedAndKeepTheirDuplicates) {
    ASSERT_EQ(LanguageCodes.Count(), 427);
    ASSERT_EQ(LanguageNames.Count(), 427);
    EXPECT_EQ(LanguageCodes[0], u"aar");
    EXPECT_EQ(LanguageCodes[426], u"zun");

    for (int i = 0; i < LanguageCodes.Count(); ++i) {
        EXPECT_EQ(LanguageCodes[i].size(), 3u) << i;
        EXPECT_FALSE(LanguageNames[i].empty()) << i;
        if (i > 0) {
            EXPECT_LE(LanguageCodes[i - 1], LanguageCodes[i]) << i;
        }
    }

    auto nameOf = [](std::u16string_view code) {
        return LanguageNames[LanguageCodes.IndexOf(code)];
    };
    int ine = LanguageCodes.IndexOf(u"ine");
    EXPECT_EQ(LanguageNames[ine], u"Indo-European (Other)");
    EXPECT_EQ(LanguageCodes[ine + 1], u"ine");
    EXPECT_EQ(LanguageNames[ine + 1], u"Interlingue");
    int mak = LanguageCodes.IndexOf(u"MAK");
    EXPECT_EQ(LanguageNames[mak], u"Macedonian");
    EXPECT_EQ(LanguageNames[mak + 1], u"Makasar");
    int ssw = LanguageCodes.IndexOf(u"ssw");
    EXPECT_EQ(LanguageNames[ssw], u"Siswant");
    EXPECT_EQ(LanguageNames[ssw + 1], u"Swazi");

    EXPECT_EQ(nameOf(u"eng"), u"English");
    EXPECT_EQ(nameOf(u"und"), u"Undetermined");
    EXPECT_EQ(nameOf(u"mul"), u"Multiple Languages");
    EXPECT_EQ(nameOf(u"got"), u"Gothic");
    EXPECT_EQ(nameOf(u"lat"), u"Latin");
    EXPECT_EQ(nameOf(u"chi"), nameOf(u"zho"));
    EXPECT_EQ(nameOf(u"deu"), u"German");
    EXPECT_EQ(nameOf(u"ger"), u"German");
    EXPECT_EQ(nameOf(u"fra"), u"French");
    EXPECT_EQ(nameOf(u"fre"), u"French");
    EXPECT_EQ(LanguageNames.IndexOf(u"german"), LanguageCodes.IndexOf(u"deu"));
    EXPECT_EQ(LanguageCodes.IndexOf(u"xxx"), -1);

    std::set<std::u16string_view> codes(LanguageCodes.begin(), LanguageCodes.end());
    EXPECT_EQ(codes.size(), 424u);  // three codes appear twice
}

TEST(CodePages, DescriptorsAndTheirConverters) {
    EXPECT_EQ(DefaultCharCode.CodePage, 0u);
    EXPECT_EQ(DefaultCharCode.Description, u"System default");
    EXPECT_EQ(GreekCodePages[1].Description, u"IBM PC Greek");
    EXPECT_EQ(GreekCodePages[1].CodePage, 737u);

    auto check = [](auto const& group) {
        for (size_t i = 0; i < group.size(); ++i) EXPECT_EQ(group[i].Index, static_cast<int>(i));
    };
    check(GreekCodePages);
    check(CyrillicCodePages);
    check(HebrewCodePages);
    check(ArabicCodePages);
    check(ThaiCodePages);
    check(ChineseCodePages);
    check(KoreanCodePages);
    check(JapaneseCodePages);

    // Every descriptor converts except Arabic DOS, which has no converter here.
    for (uint32_t cp : {0u, 1253u, 737u, 1251u, 855u, 28595u, 1255u, 862u, 28598u, 1256u,
                        28596u, 874u, 950u, 936u, 949u, 932u})
        EXPECT_TRUE(CodePageSupported(cp)) << cp;
    EXPECT_FALSE(CodePageSupported(720));
    EXPECT_TRUE(CodePageToWide(720, "abc").empty());
    EXPECT_FALSE(WideToCodePage(720, u"abc").has_value());
    EXPECT_FALSE(CodePageSupported(4294967295u));
}

TEST(CodePages, SystemCodePageMapsEveryByteBothWays) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::u16string wide = CodePageToWide(0, all);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(wide[0x80], u'\u20AC');
    EXPECT_EQ(wide[0x81], u'\u0081');
    EXPECT_EQ(wide[0xE9], u'\u00E9');
    EXPECT_EQ(WideToCodePage(0, wide), all);
    EXPECT_EQ(WideToCodePage(1252, wide), all);
    EXPECT_EQ(AnsiToWide(all), wide);
    EXPECT_EQ(WideToAnsi(u"a\u03A9b"), "a?b");
    EXPECT_EQ(WideToCodePage(0, u""), std::string());
    EXPECT_TRUE(CodePageToWide(0, "").empty());
}

TEST(CodePages, ForeignCodePagesDecodeEncodeAndReplace) {
    // Greek: Windows and DOS place the letters differently.
    EXPECT_EQ(CodePageToWide(1253, "\xC1\xE2"), u"\u0391\u03B2");
    EXPECT_EQ(CodePageToWide(GreekCodePages[1], "\x80"), u"\u0391");
    EXPECT_EQ(WideToCodePage(737, u"\u0391"), std::string("\x80"));
    EXPECT_EQ(CodePageToWide(1251, "\xC0"), u"\u0410");
    EXPECT_EQ(CodePageToWide(28595, "\xB0"), u"\u0410");

    // Multi-byte code pages round-trip, including the terminating zero byte.
    const std::u16string nihon = u"\u65E5\u672C";
    auto sjis = WideToCodePage(932, std::u16string(nihon) + u'\0');
    ASSERT_TRUE(sjis.has_value());
    EXPECT_EQ(*sjis, std::string("\x93\xFA\x96\x7B\0", 5));
    EXPECT_EQ(CodePageToWide(932, sjis->substr(0, 4)), nihon);
    auto big5 = WideToCodePage(950, nihon);
    ASSERT_TRUE(big5.has_value());
    EXPECT_EQ(CodePageToWide(950, *big5), nihon);

    // What the code page cannot hold becomes '?', one per character (a surrogate pair is one).
    EXPECT_EQ(WideToCodePage(1253, u"a\u0410b"), "a?b");
    EXPECT_EQ(WideToCodePage(1251, u"x\U0001F600y"), "x?y");
    EXPECT_EQ(WideToCodePage(1251, u"x\xD800y"), "x?y");
    // Bytes that do not decode still yield text, so callers do not fall back silently.
    std::u16string broken = CodePageToWide(932, "a\x81");
    EXPECT_EQ(broken, u"a\uFFFD");
}

TEST(CodePages, TrimAndCaseFolding) {
    EXPECT_EQ(TrimControl(std::u16string(u"\0\0 \t Hi  there \x1F\0", 17)), u"Hi  there");
    EXPECT_EQ(TrimControl(u"   "), u"");
    EXPECT_EQ(TrimControl(u"!"), u"!");
    EXPECT_TRUE(SameText(u"\u00C9t\u00E9", u"\u00E9T\u00C9"));
    EXPECT_TRUE(SameText(u"\u0391\u0431", u"\u03B1\u0411"));
    EXPECT_FALSE(SameText(u"\u00D7", u"\u00F7"));  // multiplication and division signs
    EXPECT_FALSE(SameText(u"ab", u"abc"));
}
