#include "platform/guard.h"

#include "platform/text_codec.h"
#include "platform/user_interface.h"

namespace platform {

void ShowException(const std::exception& e) {
    UserInterface().ShowError(Utf8ToU16(e.what()));
}

void ShowUnknownException() {
    UserInterface().ShowError(u"Unknown error");
}

}  // namespace platform
