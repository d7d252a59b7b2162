#pragma once
// Errors that handlers raise and the handler guard shows to the user.
#include <stdexcept>
#include <string>

namespace platform {

// what() is UTF-8.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class WriteError : public Error {
public:
    using Error::Error;
};

// "Unable to write to %s"
WriteError UnableToWrite(const std::string& fileUtf8);

}  // namespace platform
