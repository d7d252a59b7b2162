#pragma once
// Opening a path only when it names a regular file, without blocking on a FIFO or a device.
#include <filesystem>
#include <system_error>

namespace platform {

// True when `path` names a regular file (after links); false for folders, devices, FIFOs and
// paths that cannot be examined.
bool IsRegularFile(const std::filesystem::path& path);

// True when something that is not a folder exists at `path`: a row's file as the lists and the
// decks see it (a FIFO counts; opening it is refused later, with its reason).
bool IsFileNotFolder(const std::filesystem::path& path);

// The error a FIFO, socket or device gives: "Not a regular file".
std::error_code NotARegularFile();

// Opens `path` with the open(2) `flags` (and `mode` when creating) and returns the descriptor
// when it names a regular file. The open itself never waits (a FIFO without a writer would hold
// a plain open for ever); the descriptor is blocking again when returned. Otherwise -1, with
// `ec` telling why: the open's own error, is_a_directory, or NotARegularFile().
int OpenRegularFile(const std::filesystem::path& path, int flags, std::error_code& ec, int mode = 0666);

}  // namespace platform
