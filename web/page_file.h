#pragma once
// Replacing a generated page in one step, so a guest never gets half of it.
#include <string>
#include <string_view>

namespace web {

// Writes bytes to a temporary file beside path and renames it over path. Unlike
// platform::WriteFileAtomic it does not wait for the disk: a page is made again at the next
// event anyway, and a sync per page would make the first 2,000 track pages take seconds.
// Throws platform::WriteError("Unable to write to <path>").
void WritePageFile(const std::string& path, std::string_view bytes);

}  // namespace web
