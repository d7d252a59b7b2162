#pragma once
// Where the program keeps what it writes for the user who runs it.
#include <filesystem>

namespace platform {

// $XDG_DATA_HOME/quorbel-media-mixer when that is an absolute path, else
// ~/.local/share/quorbel-media-mixer; empty when neither can be known (no HOME).
std::filesystem::path UserDataFolder();

}  // namespace platform
