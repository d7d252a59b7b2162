// Reads an ID3v1 trailer from arbitrary bytes, exercises the getters under several code pages,
// and checks that writing back what was read reproduces the bytes and that removing takes
// exactly the trailer away. Input: one control byte, then the stream's bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/ID3v1Tag.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

const tags::TCodePage kPages[] = {
    tags::DefaultCharCode,      tags::GreekCodePages[0],    tags::GreekCodePages[1],
    tags::CyrillicCodePages[1], tags::ArabicCodePages[1],   tags::ChineseCodePages[0],
    tags::ChineseCodePages[1],  tags::JapaneseCodePages[0], tags::KoreanCodePages[0],
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t control = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    tags::TID3v1Tag tag;
    tag.SetAutoCorrectCodepage((control & 1) != 0);
    tag.SetCharCode(kPages[(control >> 1) % std::size(kPages)]);

    tags::TMemoryStream in(bytes);
    const tags::TMP3Error r = tag.ReadFromStream(in);
    Check(r == tags::MP3ERR_None || r == tags::ID3ERR_NoTag || r == tags::MP3ERR_SRead);
    Check(tag.Exists() == (r == tags::MP3ERR_None));
    Check(r != tags::MP3ERR_SRead || bytes.size() < 128);

    const std::u16string title = tag.Title();
    (void)tag.Artist();
    (void)tag.Album();
    (void)tag.Comment();
    (void)tag.Genre();
    (void)tag.YearText();
    Check(title.empty() || (title.front() >= 33 && title.back() >= 33));
    Check(r == tags::MP3ERR_None || (title.empty() && tag.Track() == u"0"));

    if (r == tags::MP3ERR_None) {
        // Writing what was read gives the same bytes back.
        tags::TMemoryStream copy(bytes);
        Check(tag.WriteToStream(copy) == tags::MP3ERR_None);
        Check(copy.Bytes() == bytes);
        Check(tag.RemoveFromStream(copy) == tags::MP3ERR_None);
        Check(copy.Bytes() == bytes.substr(0, bytes.size() - 128));
    } else {
        tags::TMemoryStream copy(bytes);
        Check(tag.RemoveFromStream(copy) == tags::ID3ERR_NoTag);
        Check(copy.Bytes() == bytes);
    }

    // Setters fed with the decoded text, then a write and read round trip of the fields.
    tag.SetTitle(title);
    tag.SetArtist(tag.Comment());
    tag.SetGenre(tag.Genre());
    tag.SetTrack(tag.Track());
    tags::TMemoryStream out(bytes);
    Check(tag.WriteToStream(out) == tags::MP3ERR_None);
    tags::TID3v1Tag back;
    back.SetAutoCorrectCodepage(tag.AutoCorrectCodepage());
    back.SetCharCode(tag.CharCode());
    Check(back.ReadFromStream(out) == tags::MP3ERR_None);
    Check(back.GenreIndex() == tag.GenreIndex());
    Check(back.Year() == tag.Year());
    return 0;
}
