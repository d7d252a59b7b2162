#pragma once
// From a request line to a file of the document folder: the path of a GET line, escapes
// decoded, ".." kept inside the folder, and the name and extension rules of the listener.
#include <optional>
#include <string>
#include <string_view>

namespace web {

// The text between "GET " and the blank before the first "HTTP" of a GET line; empty when the
// line is no GET or holds no "HTTP" far enough in.
std::string RequestPath(std::string_view line);

// Every %XX escape decoded to its byte; nullopt for a broken escape or one that makes a NUL.
std::optional<std::string> PercentDecode(std::string_view text);

// Whether a "/"-separated path never climbs above where it starts through its ".." segments.
bool StaysInside(std::string_view path);

// A request path mapped onto the document folder.
struct MappedRequest {
    std::string full;      // document folder + decoded path, a trailing "/" removed
    std::string name;      // file-name part, taken before the "?" of a select link
    bool select = false;   // ".../select.htm/?track"
    std::string selected;  // the decoded track path of a select request
    std::string ext;       // extension of full's last component, lower case (".png")
};

// nullopt when the path is not to be served: a broken escape, a NUL, ".." leading out of the
// folder, or no document folder at all. "/" and "" stand for "/index.html". A select link's
// "?" is the first one as received, so an escaped "?" (%3F) stays part of a name; on any other
// path a query string is ignored.
std::optional<MappedRequest> MapRequest(std::string_view documentFolder, std::string_view requestPath);

// Whether `full`, with every symbolic link on its way followed, still lies in `folder` (whose own
// links are followed too). A path that names nothing counts as inside: nothing is served from it.
bool ResolvesInside(const std::string& folder, const std::string& full);

}  // namespace web
