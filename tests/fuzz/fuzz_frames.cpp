// Builds ID3v2 frames from arbitrary bytes and exercises every content getter, both writers and
// the setters. Input: one byte selecting the version, then frames as the tag reader sees them
// (ID, rest of header, body) until the input runs out.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/ID3v2Frames.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

void ExerciseGetters(const tags::TID3v2Frame& f) {
    std::string s;
    std::u16string d;
    uint8_t type = 0;
    tags::TMemoryStream out;
    (void)f.FrameType();
    (void)f.FrameTypeDescription();
    (void)f.FrameID();
    (void)f.FlagTagAlterPreservation();
    (void)f.FlagFileAlterPreservation();
    (void)f.FlagReadOnly();
    (void)f.FlagCompression();
    (void)f.FlagEncryption();
    (void)f.FlagUnsynchronisation();
    (void)f.FlagDataLengthIndicator();
    (void)f.FlagUnknownStatus();
    (void)f.FlagUnknownEncoding();
    (void)f.FlagGroupingIndentity();
    (void)f.GetText();
    (void)f.GetUserText(d);
    (void)f.GetCommentsLyrics(s, d);
    (void)f.GetUserdefinedURL(d);
    (void)f.GetURL();
    const bool pic = f.GetPicture(s, type, d, out);
    Check(!pic || out.Size() > 0);
    (void)f.GetRating(s);
    (void)f.GetPersonalPlayCounter(s);
    (void)f.GetPrivateFrame(s, out);
    f.GetData(out);
    for (uint8_t enc = 0; enc < 5; ++enc) (void)f.DecodeText(1, f.DataSize(), enc);
}

// Writing a frame and reading it back yields the same body.
void CheckRoundTrip(const tags::TID3v2Frame& original, bool unsynced) {
    tags::TID3v2Frame f = original;
    tags::TMemoryStream out;
    Check((unsynced ? f.WriteUnsyncedToStream(out) : f.WriteToStream(out)) == tags::MP3ERR_None);
    const size_t idLen = f.Version() == 2 ? 3 : 4;
    Check(out.Size() >= static_cast<int64_t>(f.Header().size()));
    out.Seek(static_cast<int64_t>(idLen), tags::soBeginning);
    tags::TID3v2Frame back(f.FrameIDString(), f.Version());
    Check(back.ReadFromStream(out) == tags::MP3ERR_None);
    Check(out.Position() == out.Size());
    Check(back.Data() == f.Data());
    Check(back.Parsable() == f.Parsable());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t version = uint8_t(2 + data[0] % 3);
    tags::TMemoryStream in(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    const int idLen = version == 2 ? 3 : 4;
    for (int n = 0; n < 64; ++n) {
        char id[4];
        if (in.Read(id, idLen) != idLen) break;
        tags::TID3v2Frame f(std::string_view(id, idLen), version);
        f.SetAutoCorrectCodepage((id[0] & 1) != 0);
        if (f.AutoCorrectCodepage()) f.SetCharCode(tags::ChineseCodePages[1]);
        if (f.ReadFromStream(in) != tags::MP3ERR_None) break;
        Check(f.DataSize() <= static_cast<int64_t>(size));

        ExerciseGetters(f);
        CheckRoundTrip(f, false);
        if (version == 4) CheckRoundTrip(f, true);

        // Setters rebuild the body from what the getters found.
        tags::TID3v2Frame g = f;
        const std::u16string text = g.GetText();
        g.SetText(text + u"\u0100");
        Check(g.GetText() == tags::TrimControl(text + u"\u0100"));
        std::string s;
        std::u16string d;
        const std::u16string v = f.GetCommentsLyrics(s, d);
        g.SetCommentsLyrics(s, d, v);
        g.SetAlwaysWriteUnicode(true);
        g.SetUserText(d, v);
        uint8_t type = 0;
        tags::TMemoryStream pic;
        f.GetPicture(s, type, d, pic);
        g.SetPicture(s, type, d, pic);
        const uint8_t rating = f.GetRating(s);
        g.SetRating(s, rating);
        const uint32_t counter = f.GetPersonalPlayCounter(s);
        g.SetPersonalPlayCounter(s, counter);
        Check(g.GetRating(s) == rating && g.GetPersonalPlayCounter(s) == counter);
        const std::string url = f.GetURL();
        g.SetUserdefinedURL(d, url);
        g.SetURL(url);
        ExerciseGetters(g);
        CheckRoundTrip(g, false);
    }
    return 0;
}
