// Frames taken straight out of real tagged files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tags/ID3v2Frames.h"

using namespace tags;

namespace {

std::filesystem::path CorpusFile(const char* name) {
    return std::filesystem::path(QMM_CORPUS_DIR) / name;
}

// The first frame with this ID in the file, read as the tag reader would.
struct Found {
    bool ok = false;
    TID3v2Frame frame{"XXXX", 3};
};

Found FirstFrame(const char* file, std::string_view id, uint8_t version) {
    Found result;
    std::ifstream in(CorpusFile(file), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = bytes.find(id, 10);
    if (at == std::string::npos) return result;
    TMemoryStream s(bytes);
    s.Seek(static_cast<int64_t>(at + id.size()), soBeginning);
    result.frame = TID3v2Frame(id, version);
    result.ok = result.frame.ReadFromStream(s) == MP3ERR_None;
    return result;
}

}  // namespace

TEST(FrameCorpus, RealFramesDecode) {
    if (!std::filesystem::is_directory(QMM_CORPUS_DIR)) GTEST_SKIP() << "no corpus";

    auto title = FirstFrame("mutagen/id3v22-test.mp3", "TT2", 2);
    ASSERT_TRUE(title.ok);
    EXPECT_EQ(title.frame.FrameID(), IDv2_TITEL);
    EXPECT_EQ(title.frame.GetText(), u"cosmic american");

    auto comment = FirstFrame("mutagen/id3v22-test.mp3", "COM", 2);
    ASSERT_TRUE(comment.ok);
    std::string lang;
    std::u16string desc;
    EXPECT_EQ(comment.frame.GetCommentsLyrics(lang, desc),
              u"Waterbug Records, www.anaismitchell.com");
    EXPECT_EQ(lang, "eng");
    EXPECT_EQ(desc, u"");

    auto popm = FirstFrame("mutagen/bad-POPM-frame.mp3", "POPM", 4);
    ASSERT_TRUE(popm.ok);
    std::string mail;
    EXPECT_EQ(popm.frame.GetRating(mail), 255);
    EXPECT_EQ(mail, "Windows Media Player 9 Series");
    EXPECT_EQ(popm.frame.GetPersonalPlayCounter(mail), 2709193061u);

    // Compressed picture with a length indicator: kept opaque, written back unchanged.
    auto pic = FirstFrame("taglib/compressed_id3_frame.mp3", "APIC", 4);
    ASSERT_TRUE(pic.ok);
    EXPECT_FALSE(pic.frame.Parsable());
    EXPECT_TRUE(pic.frame.FlagCompression());
    EXPECT_TRUE(pic.frame.FlagDataLengthIndicator());
    std::string mime;
    uint8_t type = 0;
    TMemoryStream out;
    EXPECT_FALSE(pic.frame.GetPicture(mime, type, desc, out));
    const TBuffer header = pic.frame.Header();
    const TBuffer body = pic.frame.Data();
    TMemoryStream back;
    ASSERT_EQ(pic.frame.WriteToStream(back), MP3ERR_None);
    TBuffer expected = header;
    expected.insert(expected.end(), body.begin(), body.end());
    EXPECT_EQ(back.Data(), expected);
}
