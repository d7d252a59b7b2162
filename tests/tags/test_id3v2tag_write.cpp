// Writing and removing the ID3v2 tag: round trips per version with and without
// unsynchronisation, in-place writing into padding versus rewriting, cluster padding, the
// temporary files, and files whose tag claims more than they hold.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tags/ID3v2Tag.h"
#include "tests/tags/test_id3v2tag_util.h"

using namespace tags;
using namespace id3test;
namespace fs = std::filesystem;

namespace {

// Points the temporary folder at a fresh directory for the test, so that leftovers show.
class ID3v2TagWrite : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        if (old) oldTmp_ = old;
        hadTmp_ = old != nullptr;
        char pattern[] = "/tmp/qmm-id3w-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir_ = pattern;
        tmp_ = dir_ / "tmp";
        fs::create_directory(tmp_);
        setenv("TMPDIR", tmp_.c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp_) setenv("TMPDIR", oldTmp_.c_str(), 1);
        else unsetenv("TMPDIR");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    size_t TempFilesLeft() const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(tmp_)) n += e.path().filename().string().rfind("TagTemp.t", 0) == 0;
        return n;
    }
    fs::path WriteFile(const std::string& name, const Bytes& bytes) {
        fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }
    static Bytes ReadFile(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path dir_, tmp_;
    std::string oldTmp_;
    bool hadTmp_ = false;
};

Bytes Tail(const Bytes& b, size_t from) { return Bytes(b.begin() + std::ptrdiff_t(from), b.end()); }

}  // namespace

TEST_F(ID3v2TagWrite, RoundTripPerVersionWithAndWithoutUnsynchronisation) {
    const Bytes audio = Audio(3);
    const Bytes trailer = Trailer("v1 title");
    // Title bytes FF E0 (U+00FF U+00E0) need unsynchronisation; the artist needs UTF-16.
    const std::u16string title = u"Caf\u00e9 \u00ff\u00e0 end";
    const std::u16string artist = u"\u0416\u0443\u043a";
    for (int major : {2, 3, 4}) {
        for (bool unsynch : {false, true}) {
            SCOPED_TRACE(testing::Message() << "major " << major << " unsynch " << unsynch);
            // The version comes from the tag that was read.
            Bytes file = Tag(major, Frame(major, major == 2 ? "TEN" : "TENC", Latin1("enc")), 50);
            Append(file, audio);
            Append(file, trailer);
            TMemoryStream s(file);
            TID3v2Tag tag;
            ASSERT_EQ(MP3ERR_None, tag.ReadFromStream(s));
            tag.SetFlgUnsynch(unsynch);
            tag.SetTitle(title);
            tag.SetArtist(artist);
            tag.SetAlbum(u"Album");
            tag.SetYear(u"1999");
            tag.SetGenre(u"rock");
            tag.SetTrack(u"3/12");
            tag.SetComment(u"Nice");
            tag.SetLyrics(u"La la");
            tag.SetComposer(u"Composer");
            tag.SetURL("http://example.invalid/");
            tag.SetRating(200);
            tag.SetPlayCounter(77);
            tag.SetUserText(u"key", u"value");
            TMemoryStream pic(std::string("\xFF\xD8\xFF\xE0 picture", 12));
            tag.SetPicture("image/jpeg", 3, u"front", &pic);
            TMemoryStream priv(std::string("\x01\x02\xFF\x00", 4));
            tag.SetPrivateFrame("owner", &priv);
            ASSERT_EQ(MP3ERR_None, tag.WriteToStream(s));
            EXPECT_EQ(0u, TempFilesLeft());

            // Audio and trailer come through untouched.
            const Bytes& out = s.Data();
            ASSERT_GE(out.size(), audio.size() + trailer.size());
            EXPECT_EQ(tag.Size() + audio.size() + trailer.size(), out.size());
            Bytes rest = Tail(out, tag.Size());
            Bytes expected = audio;
            Append(expected, trailer);
            EXPECT_EQ(expected, rest);
            EXPECT_EQ(unsynch ? 0x80 : 0, out[5]);
            EXPECT_EQ(major, out[3]);

            TID3v2Tag back;
            ASSERT_EQ(MP3ERR_None, back.ReadFromStream(s));
            EXPECT_EQ(major, back.Version().Major);
            EXPECT_EQ(unsynch, back.FlgUnsynch());
            EXPECT_EQ(title, back.Title());
            EXPECT_EQ(artist, back.Artist());
            EXPECT_EQ(u"Album", back.Album());
            EXPECT_EQ(u"1999", back.Year());
            EXPECT_EQ(u"Rock", back.Genre());
            EXPECT_EQ(u"(17)Rock", back.GetText(IDv2_GENRE));
            EXPECT_EQ(u"3/12", back.Track());
            EXPECT_EQ(u"Nice", back.Comment());
            EXPECT_EQ(u"La la", back.Lyrics());
            EXPECT_EQ(u"Composer", back.Composer());
            EXPECT_EQ(u"enc", back.EncodedBy());
            EXPECT_EQ("http://example.invalid/", back.URL());
            EXPECT_EQ(200, back.Rating());
            EXPECT_EQ(77u, back.PlayCounter());
            EXPECT_EQ(u"value", back.GetUserText(u"key"));
            TMemoryStream picOut;
            EXPECT_EQ(major == 2 ? "JPG" : "image/jpeg", back.GetPicture(picOut, u"front"));
            EXPECT_EQ(pic.Data(), picOut.Data());
            TMemoryStream privOut;
            EXPECT_TRUE(back.GetPrivateFrame("owner", privOut));
            EXPECT_EQ(priv.Data(), privOut.Data());
            EXPECT_EQ(tag.Frames.size(), back.Frames.size());
            EXPECT_TRUE(back.UsePadding());
            EXPECT_EQ(tag.PaddingSize(), back.PaddingSize());
        }
    }
}

TEST_F(ID3v2TagWrite, PaddingExampleOfAMillionBytes) {
    Bytes file(1000000, 0x55);
    TMemoryStream s(file);
    TID3v2Tag tag;
    tag.Clear();  // a cleared tag writes with padding
    // 10 header bytes + 10 frame header bytes + 480 body bytes = 500.
    tag.SetTitle(std::u16string(479, u'a'));
    ASSERT_EQ(MP3ERR_None, tag.WriteToStream(s));
    EXPECT_EQ(500u, tag.DataSize());
    EXPECT_EQ(844u, tag.PaddingSize());
    EXPECT_EQ(1344u, tag.Size());
    EXPECT_EQ(1001344, s.Size());
    EXPECT_EQ(Bytes(1000000, 0x55), Tail(s.Data(), 1344));

    // Without padding the tag is exactly header and frames.
    TMemoryStream plain(file);
    TID3v2Tag noPad;
    noPad.SetTitle(u"x");
    ASSERT_FALSE(noPad.UsePadding());
    ASSERT_EQ(MP3ERR_None, noPad.WriteToStream(plain));
    EXPECT_EQ(0u, noPad.PaddingSize());
    EXPECT_EQ(noPad.DataSize(), noPad.Size());
    EXPECT_EQ(10u + 10u + 2u, noPad.Size());

    // An existing trailer leaves no room to keep for one.
    Bytes withTrailer(1000000 - 128, 0x55);
    Append(withTrailer, Trailer("t"));
    TMemoryStream t(withTrailer);
    tag.Clear();
    tag.SetTitle(std::u16string(479, u'a'));
    ASSERT_EQ(MP3ERR_None, tag.WriteToStream(t));
    EXPECT_EQ(972u, tag.PaddingSize());
    EXPECT_EQ(0u, (tag.Size() + 1000000u) % 2048u);
}

TEST_F(ID3v2TagWrite, InPlaceIntoPaddingVersusRewrite) {
    const Bytes audio = Audio(2);
    Bytes file = Tag(3, Frame(3, "TIT2", Latin1("old")), 200);
    const uint32_t oldSize = uint32_t(file.size());
    Append(file, audio);
    TMemoryStream s(file);
    TID3v2Tag tag;
    ASSERT_EQ(MP3ERR_None, tag.ReadFromStream(s));
    ASSERT_TRUE(tag.UsePadding());

    // Room to spare: the file keeps its size and the rest of the old tag becomes padding.
    tag.SetTitle(u"new title");
    ASSERT_EQ(MP3ERR_None, tag.WriteToStream(s));
    EXPECT_EQ(oldSize, tag.Size());
    EXPECT_EQ(oldSize - tag.DataSize(), tag.PaddingSize());
    EXPECT_EQ(file.size(), s.Data().size());
    EXPECT_EQ(audio, Tail(s.Data(), oldSize));

    // Exactly 31 bytes to spare still fits; 30 does not.
    const uint32_t frameBytes = oldSize - 10 - 31;  // header + frames = oldSize - 31
    tag.SetTitle(std::u16string(frameBytes - 11, u'b'));
    ASSERT_EQ(MP3ERR_None, tag.WriteToStream(s));
    EXPECT_EQ(oldSize - 31, tag.DataSize());
    EXPECT_EQ(oldSize, tag.Size());
    EXPECT_EQ(31u, tag.PaddingSize());

    tag.SetTitle(std::u16string(frameBytes - 10, u'c'));
    ASSERT_EQ(MP3ERR_None, tag.WriteToStream(s));
    EXPECT_EQ(oldSize - 30, tag.DataSize());
    EXPECT_NE(oldSize, tag.Size());
    EXPECT_EQ(0u, (tag.Size() + audio.size() + 128) % 2048);
    EXPECT_EQ(audio, Tail(s.Data(), tag.Size()));
    EXPECT_EQ(0u, TempFilesLeft());

    // Without padding a smaller tag rewrites too, and the file shrinks.
    TID3v2Tag small;
    ASSERT_EQ(MP3ERR_None, small.ReadFromStream(s));
    small.SetUsePadding(false);
    small.SetTitle(u"s");
    ASSERT_EQ(MP3ERR_None, small.WriteToStream(s));
    EXPECT_EQ(small.DataSize(), small.Size());
    EXPECT_EQ(small.Size() + audio.size(), s.Data().size());
    EXPECT_EQ(audio, Tail(s.Data(), small.Size()));
}

TEST_F(ID3v2TagWrite, EmptyTagGetsASpaceTitle) {
    TMemoryStream s(Audio(1));
    TID3v2Tag tag;
    ASSERT_EQ(MP3ERR_None, tag.WriteToStream(s));
    ASSERT_EQ(1u, tag.Frames.size());
    EXPECT_EQ("TIT2", tag.Frames[0]->FrameIDString());
    EXPECT_EQ(Bytes({0, ' '}), tag.Frames[0]->Data());
    TID3v2Tag back;
    ASSERT_EQ(MP3ERR_None, back.ReadFromStream(s));
    EXPECT_EQ(1u, back.Frames.size());
    EXPECT_EQ(3, back.Version().Major);
}

TEST_F(ID3v2TagWrite, ClaimLargerThanFileDoesNotGrowIt) {
    // The header claims 100000 bytes over a 300-byte file.
    Bytes file = Header(3, 0, 100000);
    Append(file, Frame(3, "TIT2", Latin1("t")));
    file.resize(300, 0);
    TMemoryStream s(file);
    TID3v2Tag tag;
    EXPECT_EQ(MP3ERR_SRead, tag.ReadFromStream(s));
    tag.SetUsePadding(true);
    tag.SetTitle(u"fixed");
    ASSERT_EQ(MP3ERR_None, tag.WriteToStream(s));
    EXPECT_LT(s.Size(), 4096);
    EXPECT_EQ(uint64_t(s.Size()), tag.Size());

    TMemoryStream r(file);
    TID3v2Tag remover;
    ASSERT_EQ(MP3ERR_None, remover.RemoveFromStream(r));
    EXPECT_EQ(0, r.Size());
}

TEST_F(ID3v2TagWrite, RemoveKeepsTheAudio) {
    const Bytes audio = Audio(2);
    Bytes file = Tag(4, Frame(4, "TIT2", Latin1("x")), 30, 0x10);
    Append(file, Bytes(10, 0));  // footer space counted in the size
    Append(file, audio);
    TMemoryStream s(file);
    TID3v2Tag tag;
    ASSERT_EQ(MP3ERR_None, tag.RemoveFromStream(s));
    EXPECT_EQ(audio, s.Data());
    EXPECT_EQ(ID3ERR_NoTag, tag.RemoveFromStream(s));
    EXPECT_EQ(audio, s.Data());
    EXPECT_EQ(0u, TempFilesLeft());
}

TEST_F(ID3v2TagWrite, FilesClusterPaddingAndTemporaryNames) {
    const Bytes audio = Audio(5);
    fs::path mp3 = WriteFile("song.mp3", audio);
    TID3v2Tag tag;
    EXPECT_EQ(ID3ERR_NoTag, tag.ReadFromFile(mp3));
    tag.Clear();
    tag.SetTitle(u"On disk");
    ASSERT_EQ(MP3ERR_None, tag.WriteToFile(mp3));
    struct statvfs info {};
    ASSERT_EQ(0, statvfs(mp3.c_str(), &info));
    EXPECT_EQ(0u, (tag.Size() + audio.size() + 128) % info.f_bsize);
    Bytes onDisk = ReadFile(mp3);
    EXPECT_EQ(audio, Tail(onDisk, tag.Size()));

    TID3v2Tag back;
    ASSERT_EQ(MP3ERR_None, back.ReadFromFile(mp3));
    EXPECT_EQ(u"On disk", back.Title());
    ASSERT_EQ(MP3ERR_None, back.RemoveFromFile(mp3));
    EXPECT_EQ(audio, ReadFile(mp3));
    EXPECT_EQ(0u, TempFilesLeft());

    // Clustered padding off: the 2048 unit.
    tag.SetUseClusteredPadding(false);
    EXPECT_EQ(2048u, tag.ClusterPadding(0));
    EXPECT_EQ(1u, tag.ClusterPadding(2047));
    EXPECT_EQ(2048u, tag.ClusterPadding(4096));

    EXPECT_EQ(MP3ERR_NoFile, tag.WriteToFile(dir_ / "missing.mp3"));
    EXPECT_EQ(MP3ERR_NoFile, tag.RemoveFromFile(dir_ / "missing.mp3"));

    // Names count up in upper-case hexadecimal past the ones that exist.
    EXPECT_EQ(tmp_ / "TagTemp.t00", TagTempFileName());
    for (int i = 0; i < 11; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "TagTemp.t%02X", i);
        WriteFile(std::string("tmp/") + name, Bytes{1});
    }
    EXPECT_EQ(tmp_ / "TagTemp.t0B", TagTempFileName());
    // Writing still works beside the leftovers, and removes only its own files.
    TMemoryStream s(audio);
    ASSERT_EQ(MP3ERR_None, tag.WriteToStream(s));
    EXPECT_EQ(11u, TempFilesLeft());

    // No temporary folder: nothing can be created and the stream stays as it was.
    setenv("TMPDIR", (dir_ / "gone").c_str(), 1);
    TMemoryStream untouched(audio);
    EXPECT_EQ(MP3ERR_FOpenCrt, tag.WriteToStream(untouched));
    EXPECT_EQ(audio, untouched.Data());
    TMemoryStream withTag(Tag(3, Frame(3, "TIT2", Latin1("x"))));
    const Bytes before = withTag.Data();
    EXPECT_EQ(MP3ERR_FOpenCrt, tag.RemoveFromStream(withTag));
    EXPECT_EQ(before, withTag.Data());
}

namespace {
// Accepts writes only up to a size limit, like a full disk.
class FullStream : public TMemoryStream {
public:
    FullStream(id3test::Bytes bytes, int64_t limit) : TMemoryStream(std::move(bytes)), limit_(limit) {}
    int64_t Write(const void* buffer, int64_t count) override {
        const int64_t room = std::max<int64_t>(0, limit_ - Position());
        return TMemoryStream::Write(buffer, std::min(count, room));
    }

private:
    int64_t limit_;
};
}  // namespace

TEST_F(ID3v2TagWrite, FailedWriteBackKeepsTheAudioInATemporaryFile) {
    std::vector<std::u16string> shown;
    SetErrorHandler([&](const std::u16string&, const std::u16string& text) { shown.push_back(text); });
    const Bytes audio = Audio(4);
    // Room for the new tag but not for all of the audio behind it.
    FullStream s(audio, int64_t(audio.size()) + 100);
    TID3v2Tag tag;
    tag.Clear();
    tag.SetTitle(u"Too big for the disk");
    EXPECT_EQ(MP3ERR_SWrite, tag.WriteToStream(s));
    ASSERT_EQ(1u, TempFilesLeft());
    const fs::path kept = fs::directory_iterator(tmp_)->path();
    EXPECT_EQ(audio, ReadFile(kept));
    ASSERT_EQ(1u, shown.size());
    EXPECT_NE(std::u16string::npos, shown[0].find(kept.u16string()));
    fs::remove(kept);

    // Removing: the stream is cut before the audio moves down; a failed move keeps the copy.
    Bytes tagged = Tag(3, Frame(3, "TIT2", Latin1("x")), 100);
    Append(tagged, audio);
    FullStream r(tagged, 1000);
    EXPECT_EQ(ID3ERR_Cache, tag.RemoveFromStream(r));
    ASSERT_EQ(1u, TempFilesLeft());
    const fs::path keptRest = fs::directory_iterator(tmp_)->path();
    EXPECT_EQ(audio, ReadFile(keptRest));
    fs::remove(keptRest);

    // A write that fits leaves nothing behind.
    FullStream roomy(audio, 1 << 20);
    EXPECT_EQ(MP3ERR_None, tag.WriteToStream(roomy));
    EXPECT_EQ(0u, TempFilesLeft());
    SetErrorHandler(nullptr);
}

namespace {
// A target that fails once the tag write has begun: the first temporary file is cut while it is
// copied (a short read), cutting the target cannot seek, or seeking fails after the cut.
class FaultyTarget : public TMemoryStream {
public:
    enum Fault { TagCopyEndsEarly, TruncateCannotSeek, SeekFailsAfterCut };
    FaultyTarget(id3test::Bytes bytes, Fault fault, fs::path tagCopy)
        : TMemoryStream(std::move(bytes)), fault_(fault), tagCopy_(std::move(tagCopy)) {}
    int64_t Write(const void* buffer, int64_t count) override {
        if (fault_ == TagCopyEndsEarly) fs::resize_file(tagCopy_, 0);
        return TMemoryStream::Write(buffer, count);
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        if (fault_ == SeekFailsAfterCut && cut_) throw EStreamError("Seek error");
        return TMemoryStream::Seek(offset, origin);
    }
    bool Truncate() override {
        if (fault_ == TruncateCannotSeek) throw EStreamError("Seek error");
        cut_ = true;
        return TMemoryStream::Truncate();
    }

private:
    Fault fault_;
    fs::path tagCopy_;
    bool cut_ = false;
};
}  // namespace

TEST_F(ID3v2TagWrite, AnyFailureAfterTheFirstWrittenByteKeepsTheAudio) {
    const Bytes audio = Audio(300);
    Bytes tagged = Tag(3, Frame(3, "TIT2", Latin1("old")), 100);
    Append(tagged, audio);
    for (const auto fault : {FaultyTarget::TagCopyEndsEarly, FaultyTarget::TruncateCannotSeek,
                             FaultyTarget::SeekFailsAfterCut}) {
        SCOPED_TRACE(fault);
        const bool remove = fault == FaultyTarget::SeekFailsAfterCut;
        std::vector<std::u16string> shown;
        SetErrorHandler([&](const std::u16string&, const std::u16string& text) { shown.push_back(text); });
        TID3v2Tag tag;
        tag.Clear();
        tag.SetTitle(std::u16string(70000, u't'));  // more than one copy chunk
        FaultyTarget target(remove ? tagged : audio, fault, tmp_ / "TagTemp.t00");
        EXPECT_EQ(remove ? ID3ERR_Cache : MP3ERR_SWrite,
                  remove ? tag.RemoveFromStream(target) : tag.WriteToStream(target));
        SetErrorHandler(nullptr);
        ASSERT_EQ(1u, TempFilesLeft());
        const fs::path kept = fs::directory_iterator(tmp_)->path();
        EXPECT_EQ(audio, ReadFile(kept));
        ASSERT_EQ(1u, shown.size());
        EXPECT_NE(std::u16string::npos, shown[0].find(kept.u16string()));
        fs::remove(kept);
    }
}

TEST_F(ID3v2TagWrite, SeveralTextValuesWriteBackAsRead) {
    const Bytes body{1, 0xFF, 0xFE, 'A', 0, 0, 0, 0xFF, 0xFE, 'B', 0};  // version 2.4, two values
    Bytes file = Tag(4, Frame(4, "TIT2", body), 50);
    Append(file, Audio(3));
    TMemoryStream s(file);
    TID3v2Tag tag;
    ASSERT_EQ(MP3ERR_None, tag.ReadFromStream(s));
    EXPECT_EQ(u"A / B", tag.Title());
    tag.SetArtist(u"Someone");
    ASSERT_EQ(MP3ERR_None, tag.WriteToStream(s));
    ASSERT_EQ(MP3ERR_None, tag.ReadFromStream(s));
    EXPECT_EQ(body, tag.Frames.at(0)->Data());
    EXPECT_EQ(u"Someone", tag.Artist());
}
