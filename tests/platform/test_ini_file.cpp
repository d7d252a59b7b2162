#include <gtest/gtest.h>

#include <fstream>

#include "platform/ini_file.h"
#include "platform/text_codec.h"
#include "tests/support/temp_dir.h"

using namespace platform;

namespace {

void Put(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string Slurp(const std::filesystem::path& p) {
    return ReadBinaryFile(p).value_or("<missing>");
}

}  // namespace

TEST(IniFile, WindowsMadeFileReadsWithLooseMatching) {
    testutil::TempDir dir;
    const auto path = dir / "win.ini";
    // Windows-1252 bytes, CR LF, mixed case, quotes, blanks and tabs around names and values.
    Put(path,
        "; a comment line\r\n"
        "[Standard]\r\n"
        "Fade = 7 \r\n"
        "\tHtmlPath=\t\"C:\\Musik\\M\xFCller\" \r\n"
        "quoted=\"\"twice\"\"\r\n"
        "half=\"open\r\n"
        "single='x'\r\n"
        "singleTwice=''y''\r\n"
        "mixed='z\"\r\n"
        "inner=a 'b' c\r\n"
        "lone='\r\n"
        "empty=\r\n"
        "noequals\r\n"
        "[oops\r\n"
        "afterOops=still standard\r\n"
        "[ spaced ]\r\n"
        "k=v\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.SectionCount(), 2);
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::u16string>{u"Standard", u"spaced"}));
    EXPECT_TRUE(ini.HasSection(u"STANDARD"));
    EXPECT_FALSE(ini.HasSection(u"oops"));

    struct Case {
        const char16_t* section;
        const char16_t* key;
        const char16_t* expected;  // with default u"def"
    };
    const Case cases[] = {
        {u"standard", u"fade", u"7"},
        {u"STANDARD", u"htmlpath", u"C:\\Musik\\M\u00FCller"},
        {u"standard", u"quoted", u"\"twice\""},  // one pair only
        {u"standard", u"half", u"\"open"},
        {u"standard", u"single", u"x"},
        {u"standard", u"singleTwice", u"'y'"},
        {u"standard", u"mixed", u"'z\""},
        {u"standard", u"inner", u"a 'b' c"},
        {u"standard", u"lone", u"'"},
        {u"standard", u"empty", u""},
        {u"standard", u"noequals", u"def"},
        {u"standard", u"missing", u"def"},
        {u"standard", u"afterOops", u"still standard"},  // "[oops" opens no section
        {u"nosection", u"fade", u"def"},
        {u"Spaced", u"K", u"v"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini.ReadString(c.section, c.key, u"def"), c.expected)
            << U16ToUtf8(c.section) << "/" << U16ToUtf8(c.key);
    }
}

TEST(IniFile, FirstMatchWinsAndDuplicateHeadersCount) {
    testutil::TempDir dir;
    const auto path = dir / "dup.ini";
    Put(path, "[a]\nx=1\nX=2\n[b]\nx=3\n[A]\nx=4\ny=5\n");
    IniFile ini(path);
    EXPECT_EQ(ini.SectionCount(), 3);
    EXPECT_EQ(ini.ReadString(u"a", u"x", u""), u"1");
    EXPECT_EQ(ini.ReadString(u"a", u"y", u"none"), u"none");  // the second [A] is never seen
    EXPECT_EQ(ini.ReadString(u"b", u"x", u""), u"3");
}

TEST(IniFile, LongValuesAreCutAndMissingFileIsEmpty) {
    testutil::TempDir dir;
    const auto path = dir / "long.ini";
    Put(path, "[s]\nv=" + std::string(3000, 'x') + "\nq=\"" + std::string(2100, 'y') + "\"\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString(u"s", u"v", u""), std::u16string(2047, u'x'));
    EXPECT_EQ(ini.ReadString(u"s", u"q", u""), std::u16string(2047, u'y'));

    IniFile none(dir / "none.ini");
    EXPECT_EQ(none.SectionCount(), 0);
    EXPECT_EQ(none.ReadString(u"s", u"v", u"d"), u"d");
}

TEST(IniFile, KeyWritesCreateAndKeepEverythingElse) {
    testutil::TempDir dir;
    const auto path = dir / "w.ini";
    IniFile fresh(path);
    fresh.WriteString(u"standard", u"fade", u"6");
    EXPECT_EQ(Slurp(path), "[standard]\nfade=6\n");

    Put(path,
        "; keep me\r\n"
        "[other]\r\n"
        "a = 1\r\n"
        "\r\n"
        "[Standard]\r\n"
        "FADE = 3\r\n"
        "junk line\r\n"
        "\r\n"
        "[tail]\r\n"
        "z=\"q\"\r\n");
    IniFile ini(path);
    ini.WriteString(u"standard", u"fade", u"9");        // replaced in place, key spelling kept
    ini.WriteString(u"STANDARD", u"ffsec", u"06");      // added after the last entry
    ini.WriteString(u"new", u"k", u"line\r\nbreak");    // new section at the end, one line
    EXPECT_EQ(Slurp(path),
              "; keep me\n"
              "[other]\n"
              "a = 1\n"
              "\n"
              "[Standard]\n"
              "FADE =9\n"
              "junk line\n"
              "ffsec=06\n"
              "\n"
              "[tail]\n"
              "z=\"q\"\n"
              "\n"
              "[new]\n"
              "k=line  break\n");
    EXPECT_EQ(ini.ReadString(u"standard", u"ffsec", u""), u"06");
    EXPECT_EQ(IniFile(path).ReadString(u"tail", u"z", u""), u"q");
}

TEST(IniFile, WriteSeesChangesMadeSinceReading) {
    testutil::TempDir dir;
    const auto path = dir / "w.ini";
    IniFile early(path);
    IniFile(path).WriteString(u"a", u"x", u"1");
    early.WriteString(u"a", u"y", u"2");
    EXPECT_EQ(Slurp(path), "[a]\nx=1\ny=2\n");
}

TEST(IniFile, FailedWriteThrowsWithFileNameAndKeepsFile) {
    testutil::TempDir dir;
    const auto folder = dir / "folder.ini";
    std::filesystem::create_directory(folder);
    IniFile ini(folder);
    try {
        ini.WriteString(u"s", u"k", u"v");
        FAIL() << "expected a WriteError";
    } catch (const WriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + folder.string());
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_THROW(IniFile(dir / "no" / "x.ini").WriteString(u"s", u"k", u"v"), WriteError);
}

TEST(IniWriter, WholeFileEqualsKeyByKeyWrites) {
    testutil::TempDir dir;
    const auto oneByOne = dir / "keys.lst";
    IniWriter writer;
    const std::vector<std::vector<std::u16string>> rows = {
        {u"ready", u"Title \u00E4\u20AC", u"", u"\U0001F600"},
        {u"running", u" spaced ", u"multi\nline", u"x=y"},
        {u"", u"", u"", u""},
    };
    const std::u16string keys[] = {u"Status", u"Title", u"Artist", u"FileName"};
    for (size_t r = 0; r < rows.size(); ++r) {
        const auto section = std::u16string(1, static_cast<char16_t>(u'0' + r));
        writer.Section(section);
        for (size_t k = 0; k < 4; ++k) {
            writer.Key(keys[k], rows[r][k]);
            IniFile(oneByOne).WriteString(section, keys[k], rows[r][k]);
        }
    }
    EXPECT_EQ(writer.Bytes(), Slurp(oneByOne));

    const auto whole = dir / "whole.lst";
    writer.Save(whole);
    EXPECT_EQ(Slurp(whole), Slurp(oneByOne));
    IniFile back(whole);
    EXPECT_EQ(back.SectionCount(), 3);
    EXPECT_EQ(back.ReadString(u"1", u"artist", u"-"), u"multi line");
    EXPECT_EQ(back.ReadString(u"0", u"filename", u"-"), u"\U0001F600");
    EXPECT_THROW(writer.Save(dir / "missing" / "x.lst"), WriteError);
}

TEST(IniFile, FoldCaseCoversNonAsciiNames) {
    EXPECT_EQ(IniFoldCase(u"ABC\u00C4\u0160\u0178\u0391\u0416\u0401"),
              u"abc\u00E4\u0161\u00FF\u03B1\u0436\u0451");
    EXPECT_EQ(IniFoldCase(u"\u00D7\u00DF"), u"\u00D7\u00DF");
}

TEST(IniFile, IntegersInDecimalAndHexadecimal) {
    EXPECT_EQ(ParseIniInteger(u"10"), 10);
    EXPECT_EQ(ParseIniInteger(u" -7 "), -7);
    EXPECT_EQ(ParseIniInteger(u"+3"), 3);
    EXPECT_EQ(ParseIniInteger(u"0x0A"), 10);
    EXPECT_EQ(ParseIniInteger(u"0X1f"), 31);
    EXPECT_EQ(ParseIniInteger(u"$1F"), 31);
    EXPECT_EQ(ParseIniInteger(u"$FFFFFFFF"), -1);
    EXPECT_EQ(ParseIniInteger(u"2147483647"), 2147483647);
    EXPECT_EQ(ParseIniInteger(u"-2147483648"), INT32_MIN);
    for (const char16_t* bad : {u"", u"yes", u"1.5", u"12a", u"0x", u"$", u"-", u"2147483648",
                                u"0x100000000", u"99999999999999999999", u"1 2"}) {
        EXPECT_EQ(ParseIniInteger(bad), std::nullopt) << std::string(bad, bad + 1);
    }

    testutil::TempDir dir;
    const auto path = dir / "n.ini";
    Put(path, "[s]\na=0x0A\nb=word\nc=0\nd=-1\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger(u"s", u"a", 5), 10);
    EXPECT_EQ(ini.ReadInteger(u"s", u"b", 5), 5);
    EXPECT_EQ(ini.ReadInteger(u"s", u"missing", 5), 5);
    EXPECT_FALSE(ini.ReadBool(u"s", u"b", false));
    EXPECT_TRUE(ini.ReadBool(u"s", u"b", true));
    EXPECT_FALSE(ini.ReadBool(u"s", u"c", true));
    EXPECT_TRUE(ini.ReadBool(u"s", u"d", false));
}
