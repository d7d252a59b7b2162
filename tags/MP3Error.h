#pragma once
// Result codes of the tag library and its "Error" report.
//
// Every read, write and remove operation of the tag classes returns a TMP3Error; the ordinal
// values are stable and may be stored or compared by number. The tag classes never let an
// ordinary error escape: an unexpected std::exception inside a stream operation is reported
// through the handler set with SetErrorHandler (caption "Error", the exception's message) and
// the operation returns ID3ERR_Unclassified. The application installs a handler that shows a
// message box; without one nothing is shown.
//
//   tags::SetErrorHandler([](const std::u16string& caption, const std::u16string& text) {...});
//   return tags::GuardStreamOp([&] { return DoRead(stream); });
#include <exception>
#include <functional>
#include <string>

namespace tags {

enum TMP3Error : int {
    MP3ERR_None = 0,
    MP3ERR_NoFile = 1,
    MP3ERR_FOpenCrt = 2,
    MP3ERR_FOpenR = 3,
    MP3ERR_FOpenRW = 4,
    MP3ERR_FOpenW = 5,
    MP3ERR_SRead = 6,
    MP3ERR_SWrite = 7,
    ID3ERR_Cache = 8,
    ID3ERR_NoTag = 9,
    ID3ERR_Invalid_Header = 10,
    ID3ERR_Compression = 11,
    ID3ERR_Unclassified = 12,
    MPEGERR_NoFrame = 13,
};

// The code's name, e.g. "MP3ERR_SRead"; "unknown" for a value outside the enumeration.
const char* MP3ErrorName(TMP3Error code);

using TErrorHandler = std::function<void(const std::u16string& caption, const std::u16string& text)>;

// Replaces the handler; an empty function restores the default, which reports nothing.
void SetErrorHandler(TErrorHandler handler);

// Passes caption and text to the current handler.
void ReportError(const std::u16string& caption, const std::u16string& text);

// Reports an unexpected exception captioned "Error" with its message (what() read as UTF-8).
void ReportUnexpected(const std::exception& e);

// Runs a stream operation returning TMP3Error; a std::exception escaping it is reported with
// ReportUnexpected and turned into ID3ERR_Unclassified. Anything else passes through.
template <class Op>
TMP3Error GuardStreamOp(Op&& op) {
    try {
        return op();
    } catch (const std::exception& e) {
        ReportUnexpected(e);
        return ID3ERR_Unclassified;
    }
}

}  // namespace tags
