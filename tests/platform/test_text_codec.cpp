#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/errors.h"
#include "platform/guard.h"
#include "platform/text_codec.h"
#include "tests/support/recording_user_interface.h"
#include "tests/support/temp_dir.h"

using namespace platform;

namespace {

std::string Slurp(const std::filesystem::path& p) {
    return ReadBinaryFile(p).value_or("<missing>");
}

void Put(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

}  // namespace

TEST(TextCodec, Cp1252EveryByteRoundTripsAndKnownBytesMap) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::u16string decoded = DecodeCp1252(all);
    ASSERT_EQ(decoded.size(), 256u);
    EXPECT_EQ(EncodeCp1252(decoded), all);

    EXPECT_EQ(decoded[0x80], u'\u20AC');
    EXPECT_EQ(decoded[0x9F], u'\u0178');
    EXPECT_EQ(decoded[0xE4], u'\u00E4');
    for (int unassigned : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(decoded[unassigned], static_cast<char16_t>(unassigned));
        EXPECT_EQ(Cp1252Byte(static_cast<char16_t>(unassigned)), unassigned);
    }
}

TEST(TextCodec, Cp1252UnrepresentableBecomesQuestionMark) {
    // C1 controls other than the five, letters outside the page, and a pair as one character.
    EXPECT_EQ(EncodeCp1252(u"a\u0080b\u0100c\U0001F600d\u20AC"), "a?b?c?d\x80");
    EXPECT_EQ(Cp1252Byte(u'\u0080'), -1);
    EXPECT_EQ(Cp1252Byte(u'\u0160'), 0x8A);
}

TEST(TextCodec, Utf8DecodingRejectsMalformedInput) {
    EXPECT_EQ(Utf8ToU16("Gr\xC3\xBC\xC3\x9F" "e"), u"Gr\u00FC\u00DFe");
    EXPECT_EQ(Utf8ToU16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(Utf8ToU16("\xC0\x80"), u"\uFFFD\uFFFD");          // overlong
    EXPECT_EQ(Utf8ToU16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(Utf8ToU16("ab\xE2\x82"), u"ab\uFFFD\uFFFD");       // cut short
    EXPECT_EQ(Utf8ToU16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // beyond U+10FFFF

    EXPECT_TRUE(IsValidUtf8("plain \xE2\x82\xAC"));
    EXPECT_FALSE(IsValidUtf8("Gr\xFC\xDF" "e"));
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));
}

TEST(TextCodec, Utf8EncodingRoundTripsAndReplacesLoneSurrogates) {
    const std::u16string text = u"\u00E9\u20AC\U0001F600z";
    EXPECT_EQ(Utf8ToU16(U16ToUtf8(text)), text);
    EXPECT_EQ(U16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(U16ToUtf8(lone), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(TextCodec, TextFilesAreDecodedByMarkThenUtf8ThenWindows1252) {
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF" "\xC3\xA4x"), u"\u00E4x");
    EXPECT_EQ(DecodeTextFile(std::string("\xFF\xFE" "a\0\xAC\x20", 6)), u"a\u20AC");
    EXPECT_EQ(DecodeTextFile(std::string("\xFE\xFF\0a\x20\xAC", 6)), u"a\u20AC");
    EXPECT_EQ(DecodeTextFile(std::string("\xFF\xFE" "a", 3)), u"\uFFFD");  // odd trailing byte
    EXPECT_EQ(DecodeTextFile("\xC3\xA4"), u"\u00E4");
    EXPECT_EQ(DecodeTextFile("M\xFCller \x80"), u"M\u00FCller \u20AC");
    EXPECT_EQ(DecodeTextFile(""), u"");
    // Line by line: one Windows line leaves the UTF-8 lines around it as they are.
    EXPECT_EQ(DecodeTextLines("Caf\xC3\xA9\r\nM\xFCller\n\xC3\xA4"), u"Caf\u00E9\r\nM\u00FCller\n\u00E4");
    EXPECT_EQ(DecodeTextLines("\xC3\xA4\n"), u"\u00E4\n");
    EXPECT_EQ(DecodeTextLines("M\xFCller"), u"M\u00FCller");
}

TEST(TextCodec, AtomicWriteReplacesKeepsModeAndFollowsLinks) {
    testutil::TempDir dir;
    const auto file = dir / "out.txt";
    WriteFileAtomic(file, "first");
    EXPECT_EQ(Slurp(file), "first");

    ::chmod(file.c_str(), 0640);
    WriteFileAtomic(file, "second");
    EXPECT_EQ(Slurp(file), "second");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const auto link = dir / "link.txt";
    std::filesystem::create_symlink(file, link);
    WriteFileAtomic(link, "third");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Slurp(file), "third");

    // A name close to the length limit can still be written.
    const auto longName = dir / (std::string(250, 'n') + ".lst");
    WriteFileAtomic(longName, "long");
    EXPECT_EQ(Slurp(longName), "long");

    // Nothing but these files and the link is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

TEST(TextCodec, FailedAtomicWriteReportsFileAndChangesNothing) {
    testutil::TempDir dir;
    const auto missingFolder = dir / "no" / "such.txt";
    try {
        WriteFileAtomic(missingFolder, "x");
        FAIL() << "expected a WriteError";
    } catch (const WriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + missingFolder.string());
    }

    const auto folder = dir / "folder";
    std::filesystem::create_directory(folder);
    EXPECT_THROW(WriteFileAtomic(folder, "x"), WriteError);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(TextCodec, ReadingMissingFolderOrPipeGivesNothing) {
    testutil::TempDir dir;
    EXPECT_FALSE(ReadTextFile(dir / "none").has_value());
    EXPECT_FALSE(ReadBinaryFile(dir.path()).has_value());
    ASSERT_EQ(::mkfifo((dir / "pipe.lst").c_str(), 0600), 0);
    EXPECT_FALSE(ReadTextFile(dir / "pipe.lst").has_value());  // at once, though nobody writes to it
    Put(dir / "w.txt", "\xE4");
    EXPECT_EQ(ReadTextFile(dir / "w.txt").value(), u"\u00E4");
    EXPECT_EQ(PathToU16(PathFromU16(u"/tmp/\u00E4 b.lst")), u"/tmp/\u00E4 b.lst");
}

TEST(Guard, ShowsTheTextOfWhatEscapesAHandlerAndGoesOn) {
    ScopedRecorder rec;
    bool after = false;
    Guarded([] { throw UnableToWrite("/x/\xC3\xA4.stg"); });
    Guarded([] { throw 42; });
    Guarded([&] { after = true; });
    EXPECT_TRUE(after);
    ASSERT_EQ(rec->errors.size(), 2u);
    EXPECT_EQ(rec->errors[0], u"Unable to write to /x/\u00E4.stg");
    EXPECT_FALSE(rec->errors[1].empty());
}

TEST(UserInterface, RecorderAnswersInOrderThenCancelsAndRestoresPrevious) {
    IUserInterface* before = &UserInterface();
    {
        ScopedRecorder rec;
        EXPECT_EQ(&UserInterface(), &*rec);
        rec->saveAnswers.push_back(u"/a.lst");
        FileDialogOptions o;
        o.title = u"Save";
        EXPECT_EQ(UserInterface().SaveFile(o), std::optional<std::u16string>(u"/a.lst"));
        EXPECT_EQ(UserInterface().SaveFile(o), std::nullopt);
        EXPECT_TRUE(UserInterface().OpenFiles(o).empty());
        EXPECT_EQ(rec->dialogs.size(), 3u);
    }
    EXPECT_EQ(&UserInterface(), before);
}
