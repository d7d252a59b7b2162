#include "tags/MP3Error.h"

#include <mutex>

#include "platform/text_codec.h"

namespace tags {

namespace {

std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}

TErrorHandler& Handler() {
    static TErrorHandler h;
    return h;
}

}  // namespace

const char* MP3ErrorName(TMP3Error code) {
    switch (code) {
        case MP3ERR_None: return "MP3ERR_None";
        case MP3ERR_NoFile: return "MP3ERR_NoFile";
        case MP3ERR_FOpenCrt: return "MP3ERR_FOpenCrt";
        case MP3ERR_FOpenR: return "MP3ERR_FOpenR";
        case MP3ERR_FOpenRW: return "MP3ERR_FOpenRW";
        case MP3ERR_FOpenW: return "MP3ERR_FOpenW";
        case MP3ERR_SRead: return "MP3ERR_SRead";
        case MP3ERR_SWrite: return "MP3ERR_SWrite";
        case ID3ERR_Cache: return "ID3ERR_Cache";
        case ID3ERR_NoTag: return "ID3ERR_NoTag";
        case ID3ERR_Invalid_Header: return "ID3ERR_Invalid_Header";
        case ID3ERR_Compression: return "ID3ERR_Compression";
        case ID3ERR_Unclassified: return "ID3ERR_Unclassified";
        case MPEGERR_NoFrame: return "MPEGERR_NoFrame";
    }
    return "unknown";
}

void SetErrorHandler(TErrorHandler handler) {
    std::lock_guard lock(HandlerMutex());
    Handler() = std::move(handler);
}

void ReportError(const std::u16string& caption, const std::u16string& text) {
    TErrorHandler h;
    {
        std::lock_guard lock(HandlerMutex());
        h = Handler();
    }
    // Called outside the lock: a handler may show a dialog or set another handler.
    if (h) h(caption, text);
}

void ReportUnexpected(const std::exception& e) {
    ReportError(u"Error", platform::Utf8ToU16(e.what()));
}

}  // namespace tags
