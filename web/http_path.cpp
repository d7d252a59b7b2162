// Request paths of the listener mapped onto the document folder.
#include "web/http_path.h"

#include <climits>
#include <cstdlib>
#include <memory>

namespace web {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// What follows the last separator; "\" counts too, for track paths from Windows playlists.
std::string_view FileNamePart(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool StartsWithSlash(const std::string& path) { return !path.empty() && path.front() == '/'; }

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

std::string RequestPath(std::string_view line) {
    if (line.substr(0, 3) != "GET") return {};
    const auto http = line.find("HTTP");
    if (http == std::string_view::npos || http < 5) return {};
    return std::string(line.substr(4, http - 5));
}

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        const char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0') return std::nullopt;
        out += byte;
        i += 2;
    }
    return out;
}

bool StaysInside(std::string_view path) {
    long depth = 0;
    while (!path.empty()) {
        const auto slash = path.find('/');
        const auto segment = path.substr(0, slash);
        if (segment == "..") {
            if (--depth < 0) return false;
        } else if (!segment.empty() && segment != ".") {
            ++depth;
        }
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return true;
}

std::optional<MappedRequest> MapRequest(std::string_view documentFolder, std::string_view requestPath) {
    if (documentFolder.empty()) return std::nullopt;
    if (requestPath.empty() || requestPath == "/") requestPath = "/index.html";
    while (documentFolder.size() > 1 && documentFolder.back() == '/') documentFolder.remove_suffix(1);

    const auto question = requestPath.find('?');
    const auto before = PercentDecode(requestPath.substr(0, question));
    if (!before) return std::nullopt;

    MappedRequest request;
    // Without its own "/" a path would reach beside the folder ("htdocs" + "2/x.htm").
    std::string pagePart = std::string(documentFolder) + (StartsWithSlash(*before) ? "" : "/") + *before;
    if (question != std::string_view::npos) {
        // The select link ends its page part in "select.htm/" just before the "?".
        request.select = FileNamePart(std::string_view(pagePart).substr(0, pagePart.size() - 1)) == "select.htm";
    }
    if (request.select) {
        const auto after = PercentDecode(requestPath.substr(question + 1));
        if (!after) return std::nullopt;
        request.full = pagePart + "?" + *after;
        request.name = "select.htm";
        request.selected = *after;
        if (!request.selected.empty() && request.selected.back() == '/') request.selected.pop_back();
    } else {
        // Any other query (a shared link's "?fbclid=...") asks for the page itself.
        if (*before == "/" || before->empty()) pagePart = std::string(documentFolder) + "/index.html";
        request.full = pagePart;
        if (!request.full.empty() && request.full.back() == '/') request.full.pop_back();
        request.name = std::string(FileNamePart(request.full));
    }
    if (!StaysInside(*before)) return std::nullopt;

    const auto last = FileNamePart(request.full);
    const auto dot = last.rfind('.');
    if (dot != std::string_view::npos) request.ext = LowerAscii(last.substr(dot));
    return request;
}

namespace {

std::optional<std::string> RealPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real) return std::nullopt;
    return std::string(real.get());
}

}  // namespace

bool ResolvesInside(const std::string& folder, const std::string& full) {
    const auto target = RealPath(full);
    if (!target) return true;
    const auto root = RealPath(folder);
    if (!root) return false;
    if (*root == "/") return true;
    return *target == *root || (target->size() > root->size() && target->compare(0, root->size(), *root) == 0 &&
                                (*target)[root->size()] == '/');
}

}  // namespace web
