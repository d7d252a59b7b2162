// Fuzz target: the ID3v2 tag reader, the frame access over what it read, and writing the tag
// back. Checks that a tag read whole writes back to the same frames with the audio after it
// unchanged, and that removing it leaves exactly that audio.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/ID3v2Tag.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

void Touch(const tags::TID3v2Tag& tag) {
    // Every getter over whatever frames came out of the input.
    (void)tag.Title(), (void)tag.Artist(), (void)tag.Album(), (void)tag.Genre(), (void)tag.Track();
    (void)tag.Year(), (void)tag.Comment(), (void)tag.Lyrics(), (void)tag.URL(), (void)tag.Rating();
    (void)tag.PlayCounter(), (void)tag.GetUserText(u""), (void)tag.GetExtendedComment("*", u"*");
    tags::TMemoryStream picture, priv;
    (void)tag.GetPicture(picture, u"*");
    (void)tag.GetPrivateFrame("", priv);
    (void)tag.GetAllowedTextFrames();
    for (tags::TID3v2Frame* f : tag.GetAllFrames()) {
        (void)f->FrameTypeDescription();
        (void)f->FrameID();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        tags::SetErrorHandler([](const std::u16string&, const std::u16string&) {});
        return true;
    }();
    (void)quiet;

    const std::string input(reinterpret_cast<const char*>(data), size);
    tags::TMemoryStream stream(input);
    tags::TID3v2Tag tag;
    const tags::TMP3Error r = tag.ReadFromStream(stream);
    Check(r != tags::ID3ERR_Unclassified);
    Check(tag.Exists() || tag.Frames.empty());
    Touch(tag);

    // Writing goes through temporary files; keep it to inputs of moderate size.
    if (r != tags::MP3ERR_None || !tag.Exists() || size > 64 * 1024) return 0;
    const size_t oldSize = tag.Size();
    const size_t frameCount = tag.Frames.size();
    std::vector<tags::TBuffer> before;
    for (const auto& f : tag.Frames) before.push_back(f->Data());

    if (tag.WriteToStream(stream) != tags::MP3ERR_None) return 0;
    const std::string audio = input.substr(std::min(oldSize, input.size()));
    const std::string written(stream.Data().begin(), stream.Data().end());
    Check(written.size() >= tag.Size() && written.substr(tag.Size()) == audio);

    tags::TID3v2Tag back;
    Check(back.ReadFromStream(stream) == tags::MP3ERR_None);
    // A tag without frames was written with a title frame.
    Check(back.Frames.size() == (frameCount == 0 ? 1 : frameCount));
    for (size_t i = 0; i < frameCount; ++i) Check(back.Frames[i]->Data() == before[i]);

    Check(back.RemoveFromStream(stream) == tags::MP3ERR_None);
    Check(std::string(stream.Data().begin(), stream.Data().end()) == audio);
    return 0;
}
