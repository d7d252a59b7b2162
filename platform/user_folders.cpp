// The user's data folder, as the desktop's base directories name it.
#include "platform/user_folders.h"

#include <cstdlib>

namespace platform {

std::filesystem::path UserDataFolder() {
    // A relative value is to be ignored: it would depend on the folder the program started in.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return std::filesystem::path(xdg) / "quorbel-media-mixer";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::filesystem::path(home) / ".local" / "share" / "quorbel-media-mixer";
    return {};
}

}  // namespace platform
