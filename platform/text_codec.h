#pragma once
// Text encodings. Wide text is UTF-16. Files the program reads: a UTF-8 mark means UTF-8 (mark
// dropped), a UTF-16 mark means UTF-16, valid UTF-8 is UTF-8, anything else Windows-1252.
// Files it writes: UTF-8 without a mark.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::u16string Utf8ToU16(std::string_view utf8);  // invalid sequences become U+FFFD
std::string U16ToUtf8(std::u16string_view text);
bool IsValidUtf8(std::string_view bytes);

// Windows-1252 with the five unassigned bytes mapped to U+0081, U+008D, U+008F, U+0090, U+009D,
// so every byte decodes and encodes back unchanged. What it cannot hold encodes as '?'.
std::u16string DecodeCp1252(std::string_view bytes);
std::string EncodeCp1252(std::u16string_view text);
// The byte for one character, or -1 when Windows-1252 cannot hold it.
int Cp1252Byte(char16_t c);

// The reading rules above, applied to a whole file's bytes.
std::u16string DecodeTextFile(std::string_view bytes);
// The same, but without a mark each line is UTF-8 or Windows-1252 on its own: one line pasted
// from a Windows file does not turn every accent of a UTF-8 file into two characters.
std::u16string DecodeTextLines(std::string_view bytes);
// Reads and decodes a whole file; nullopt when it cannot be read.
std::optional<std::u16string> ReadTextFile(const std::filesystem::path& path);
std::optional<std::string> ReadBinaryFile(const std::filesystem::path& path);
// Writes UTF-8 bytes to a temporary file beside `path` and renames it over `path` only when the
// whole write succeeded. Throws WriteError("Unable to write to <path>"). A file the user saves
// waits for the disk; a generated page need not (it is made again at the next event, and a sync
// per page would make the first 2,000 track pages take seconds).
enum class Durability { WaitForDisk, NoWait };
void WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                     Durability durability = Durability::WaitForDisk);

std::filesystem::path PathFromU16(std::u16string_view text);
std::u16string PathToU16(const std::filesystem::path& path);

}  // namespace platform
