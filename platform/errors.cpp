#include "platform/errors.h"

namespace platform {

WriteError UnableToWrite(const std::string& fileUtf8) {
    return WriteError("Unable to write to " + fileUtf8);
}

}  // namespace platform
