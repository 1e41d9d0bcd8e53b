// The one exception type of the XML layer: a narrow English text that says
// what went wrong, thrown by construction, loading and searches.
#pragma once

#include <exception>
#include <string>

namespace common::general::io {

/// Thrown by the XML classes; what() gives the full message text.
class DefaultException : public std::exception {
public:
    /// Carries `message` unchanged.
    explicit DefaultException(std::string message);
    ~DefaultException() override;

    /// The message as given to the constructor.
    const char* what() const noexcept override;
    /// The same text as a string, for callers that append to it.
    const std::string& GetText() const noexcept { return message_; }

private:
    std::string message_;
};

}  // namespace common::general::io
