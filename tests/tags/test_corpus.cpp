// The tag readers over the public corpus of real files: every file is read without a crash,
// and the facts its README states about the files hold. Skipped when the corpus is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>

#include "tags/ID3v2Frames.h"
#include "tags/Tagwright.h"

using namespace tags;
namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = QMM_CORPUS_DIR;

// What a probe of one file finds, read the way the program reads it.
struct Probe {
    TMP3Error v2Result{}, mpegResult{}, v1Result{};
    TID3v2Tag v2;
    TMpegInfo mpeg;
    TID3v1Tag v1;
    int64_t fileSize = 0;
};

std::unique_ptr<Probe> ProbeStream(TStream& stream) {
    auto probe = std::make_unique<Probe>();
    probe->fileSize = stream.Size();
    probe->v2Result = probe->v2.ReadFromStream(stream);
    stream.SetPosition(probe->v2.Exists() ? int64_t(probe->v2.Size()) : 0);
    probe->mpegResult = probe->mpeg.LoadFromStream(stream);
    probe->v1Result = probe->v1.ReadFromStream(stream);
    return probe;
}

std::unique_ptr<Probe> ProbeFile(const fs::path& p) {
    std::error_code ec;
    ReadAheadStream stream(p, ec);
    EXPECT_FALSE(ec) << p;
    return ProbeStream(stream);
}

class Corpus : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "corpus folder absent: " << kCorpus;
    }
    std::unique_ptr<Probe> P(const std::string& rel) {
        const fs::path p = kCorpus / rel;
        EXPECT_TRUE(fs::exists(p)) << p;
        return ProbeFile(p);
    }
};

std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(Corpus, EveryFileReadsWithoutCrashAndRoundTripsThroughMemory) {
    std::vector<std::u16string> errors;
    SetErrorHandler([&](const std::u16string&, const std::u16string& text) { errors.push_back(text); });
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(kCorpus)) {
        if (!e.is_regular_file() || e.path().filename() == "README.md") continue;
        ++files;
        SCOPED_TRACE(e.path().string());
        auto probe = ProbeFile(e.path());
        EXPECT_NE(ID3ERR_Unclassified, probe->v2Result);
        // Read through the file's window, the readers find what they find in the plain bytes.
        TMemoryStream bytes(Bytes(e.path()));
        const auto plain = ProbeStream(bytes);
        EXPECT_EQ(std::tuple(probe->v2Result, probe->v2.Size(), probe->v2.Frames.size(), probe->mpegResult,
                             probe->mpeg.FirstHeaderPosition(), probe->mpeg.Frames(), probe->mpeg.Bitrate(),
                             probe->v1Result, probe->v1.Title()),
                  std::tuple(plain->v2Result, plain->v2.Size(), plain->v2.Frames.size(), plain->mpegResult,
                             plain->mpeg.FirstHeaderPosition(), plain->mpeg.Frames(), plain->mpeg.Bitrate(),
                             plain->v1Result, plain->v1.Title()));
        // A tag that was read whole writes back (into memory) and reads back the same frames.
        if (probe->v2Result == MP3ERR_None && probe->v2.Exists()) {
            const size_t oldSize = probe->v2.Size();
            TMemoryStream copy(Bytes(e.path()));
            ASSERT_EQ(MP3ERR_None, probe->v2.WriteToStream(copy));
            TID3v2Tag back;
            ASSERT_EQ(MP3ERR_None, back.ReadFromStream(copy));
            ASSERT_EQ(probe->v2.Frames.size(), back.Frames.size());
            for (size_t i = 0; i < back.Frames.size(); ++i) {
                EXPECT_EQ(probe->v2.Frames[i]->FrameIDString(), back.Frames[i]->FrameIDString());
                EXPECT_EQ(probe->v2.Frames[i]->Data(), back.Frames[i]->Data());
            }
            // The audio after the tag is unchanged.
            const std::string original = Bytes(e.path());
            const std::string written(copy.Data().begin(), copy.Data().end());
            EXPECT_EQ(original.substr(std::min<size_t>(original.size(), oldSize)), written.substr(back.Size()));
        }
    }
    SetErrorHandler(nullptr);
    EXPECT_EQ(69, files);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Corpus, VersionsFlagsAndFrames) {
    auto v22 = P("mutagen/id3v22-test.mp3");
    EXPECT_EQ(MP3ERR_None, v22->v2Result);
    EXPECT_EQ(2, v22->v2.Version().Major);
    std::map<std::string, int> ids;
    for (const auto& f : v22->v2.Frames) ++ids[f->FrameIDString()];
    for (const char* id : {"TT2", "TP1", "TAL", "TRK", "TYE", "COM", "TEN"}) EXPECT_EQ(1, ids.count(id)) << id;
    EXPECT_EQ(u"3/11", v22->v2.Track());

    auto unsynch = P("mutagen/id3v23_unsynch.id3");
    EXPECT_EQ(MP3ERR_None, unsynch->v2Result);
    EXPECT_TRUE(unsynch->v2.FlgUnsynch());
    EXPECT_EQ(u"Nina Simone", unsynch->v2.Artist());
    EXPECT_EQ(u"My babe just cares for me", unsynch->v2.Title());
    EXPECT_EQ(Bytes(kCorpus / "mutagen/id3v23_unsynch.id3"), Bytes(kCorpus / "taglib/unsynch.id3"));

    auto unsynch24 = P("taglib/unsynch24.id3");
    EXPECT_EQ(4, unsynch24->v2.Version().Major);
    EXPECT_EQ(u"Hi", unsynch24->v2.Title());

    auto ext = P("mutagen/id3v24_extended_header.id3");
    EXPECT_EQ(MP3ERR_None, ext->v2Result);
    EXPECT_TRUE(ext->v2.FlgExtended());
    EXPECT_EQ(4, ext->v2.Version().Major);
    EXPECT_EQ(uint32_t(ext->fileSize), ext->v2.Size());

    auto druids = P("taglib/extended-header.mp3");
    EXPECT_TRUE(druids->v2.FlgExtended());
    EXPECT_EQ(u"Druids", druids->v2.Title());
    EXPECT_EQ(u"2013", druids->v2.Year());
    EXPECT_EQ(u"Folk/Power Metal", druids->v2.Genre());

    // Extended-header flag without an extended header: the tag is there, its frames are not.
    auto issue21 = P("mutagen/issue_21.id3");
    EXPECT_TRUE(issue21->v2.Exists());
    EXPECT_TRUE(issue21->v2.FlgExtended());
    EXPECT_EQ(MP3ERR_SRead, issue21->v2Result);
    EXPECT_EQ(1091, issue21->mpeg.FirstHeaderPosition());

    auto silence = P("mutagen/silence-44-s.mp3");
    EXPECT_EQ(3, silence->v2.Version().Major);
    EXPECT_EQ(u"piman", silence->v2.Artist());  // the first of two TPE1 frames
    EXPECT_EQ(2u, std::count_if(silence->v2.Frames.begin(), silence->v2.Frames.end(),
                                [](const auto& f) { return f->FrameIDString() == "TPE1"; }));
    EXPECT_EQ(u"02/10", silence->v2.Track());
    EXPECT_EQ(u"Silence", silence->v2.Genre());
    EXPECT_TRUE(silence->v1.Exists());
    EXPECT_EQ(1, silence->v1.Version());

    EXPECT_EQ(u"Dance", P("mutagen/vbri.mp3")->v2.Genre());

    auto combined = P("mutagen/id3v1v2-combined.mp3");
    EXPECT_EQ(4, combined->v2.Version().Major);
    EXPECT_EQ(u"", combined->v2.Year());  // TYER is no version-4 year frame
    const auto tyer = std::find_if(combined->v2.Frames.begin(), combined->v2.Frames.end(),
                                   [](const auto& f) { return f->FrameIDString() == "TYER"; });
    ASSERT_NE(combined->v2.Frames.end(), tyer);
    EXPECT_EQ(u"2004", (*tyer)->GetText());
    EXPECT_EQ("1337", combined->v1.Year());
    EXPECT_EQ(1, combined->v1.Version());

    auto tda = P("taglib/id3v22-tda.mp3");
    EXPECT_EQ(2, tda->v2.Version().Major);
    EXPECT_EQ(u"2010", tda->v2.Year());
    EXPECT_EQ(u"0304", tda->v2.GetText(IDv2_DATE));

    EXPECT_EQ(23u, P("taglib/itunes10.mp3")->v2.Frames.size());
    EXPECT_EQ(130u, P("taglib/toc_many_children.mp3")->v2.Frames.size());
    EXPECT_EQ(3, P("taglib/mac-399-id3v2.ape")->v2.Version().Major);
}

TEST_F(Corpus, TagsLargerThanTheFileAndMisplacedTags) {
    for (const char* rel : {"taglib/compressed_id3_frame.mp3", "taglib/compressed_id3_frame_invalid.mp3",
                            "taglib/excessive_alloc.mp3", "taglib/w000.mp3"}) {
        SCOPED_TRACE(rel);
        auto p = P(rel);
        EXPECT_EQ(MP3ERR_SRead, p->v2Result);
        EXPECT_TRUE(p->v2.Exists());
        EXPECT_GT(int64_t(p->v2.Size()), p->fileSize);
    }
    EXPECT_EQ(5112u, P("taglib/compressed_id3_frame.mp3")->v2.Size());

    // Tags that are not at offset 0 are not found there.
    for (const char* rel : {"mutagen/audacious-trailing-id32-apev2.mp3", "mutagen/audacious-trailing-id32-id31.mp3",
                            "taglib/garbage.mp3", "mutagen/with-id3.dsf", "mutagen/with-id3.aif",
                            "mutagen/silence-2s-PCM-16000-08-ID3v23.wav", "taglib/duplicate_tags.wav",
                            "mutagen/silence-44-s-v1.mp3", "mutagen/no-tags.mp3"}) {
        SCOPED_TRACE(rel);
        auto p = P(rel);
        EXPECT_EQ(ID3ERR_NoTag, p->v2Result);
        EXPECT_FALSE(p->v2.Exists());
        EXPECT_EQ(0u, p->v2.Size());
    }
    auto v1only = P("mutagen/silence-44-s-v1.mp3");
    EXPECT_TRUE(v1only->v1.Exists());
    EXPECT_EQ(u"Quod Libet Test Data", v1only->v1.Album());

    auto empty = P("mutagen/emptyfile.mp3");
    EXPECT_EQ(MP3ERR_SRead, empty->v2Result);
    EXPECT_EQ(MPEGERR_NoFrame, empty->mpegResult);
    EXPECT_EQ(MP3ERR_SRead, empty->v1Result);

    // Two tags back to back: the first one's size, and the audio found after the second.
    auto dup = P("taglib/duplicate_id3v2.mp3");
    EXPECT_EQ(3943u, dup->v2.Size());
    EXPECT_EQ(8049, dup->mpeg.FirstHeaderPosition());
    EXPECT_EQ(44100, dup->mpeg.Samplerate());
}

TEST_F(Corpus, MpegFacts) {
    EXPECT_EQ(24000, P("mutagen/lame397v9short.mp3")->mpeg.Samplerate());
    EXPECT_EQ(24000, P("mutagen/silence-44-s-mpeg2.mp3")->mpeg.Samplerate());
    auto v25 = P("mutagen/silence-44-s-mpeg25.mp3");
    EXPECT_EQ(3, v25->mpeg.Version());
    EXPECT_EQ(12000, v25->mpeg.Samplerate());
    auto mpeg2 = P("taglib/mpeg2.mp3");
    EXPECT_EQ(2, mpeg2->mpeg.Version());
    EXPECT_EQ(22050, mpeg2->mpeg.Samplerate());
    EXPECT_EQ(3, mpeg2->mpeg.Channelmode());
    auto blade = P("taglib/bladeenc.mp3");
    EXPECT_EQ(64, blade->mpeg.Bitrate());
    EXPECT_EQ(3, blade->mpeg.Channelmode());
    EXPECT_FALSE(blade->mpeg.Vbr());
    EXPECT_EQ(160, P("taglib/invalid-frames1.mp3")->mpeg.Bitrate());
    EXPECT_EQ(192, P("taglib/invalid-frames2.mp3")->mpeg.Bitrate());
    EXPECT_EQ(320, P("taglib/invalid-frames3.mp3")->mpeg.Bitrate());
    for (const char* wav : {"taglib/empty.wav", "taglib/alaw.wav", "mutagen/silence-2s-PCM-16000-08-notags.wav"})
        EXPECT_EQ(ID3ERR_NoTag, P(wav)->v2Result) << wav;
    EXPECT_EQ(Bytes(kCorpus / "mutagen/xing.mp3"), Bytes(kCorpus / "taglib/xing.mp3"));

    // MPEG-2 and MPEG-2.5 Layer III with an info header: 576 samples a frame.
    for (const char* name : {"mutagen/silence-44-s-mpeg2.mp3", "mutagen/silence-44-s-mpeg25.mp3",
                             "mutagen/audacious-trailing-id32-apev2.mp3"}) {
        auto p = P(name);
        const TMpegInfo& m = p->mpeg;
        ASSERT_TRUE(m.Vbr()) << name;
        ASSERT_NE(1, m.Version()) << name;
        const double seconds = m.Frames() * 576.0 / m.Samplerate();
        EXPECT_NEAR(m.Duration(), seconds, 1.0) << name;
    }
}
