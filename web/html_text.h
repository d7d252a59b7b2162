#pragma once
// Text as it goes into generated pages: HTML escaping of inserted values and percent-encoding of
// paths in links.
#include <string>
#include <string_view>

namespace web {

// & < > " ' as character references, so a value can neither end an attribute nor open a tag.
std::string HtmlEscape(std::string_view text);
void AppendHtmlEscaped(std::string& out, std::string_view text);

// Every byte except the unreserved characters (A-Z a-z 0-9 - . _ ~) and "/" as %XX, so any
// UTF-8 path survives the trip through a browser and back through the listener's decoding.
std::string PercentEncodePath(std::string_view path);

}  // namespace web
