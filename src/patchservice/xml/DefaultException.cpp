#include "patchservice/xml/DefaultException.h"

#include <utility>

namespace common::general::io {

DefaultException::DefaultException(std::string message) : message_(std::move(message)) {}

DefaultException::~DefaultException() = default;

const char* DefaultException::what() const noexcept
{
    return message_.c_str();
}

}  // namespace common::general::io
