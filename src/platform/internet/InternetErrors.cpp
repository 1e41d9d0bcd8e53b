#include "platform/internet/InternetErrors.h"

#include "platform/internet/Internet.h"

namespace qz::platform {

namespace {

struct LastError {
    std::uint32_t code = ERROR_SUCCESS;
    std::string detail;
};

thread_local LastError lastError;

} // namespace

void internet::SetLastError(std::uint32_t error, std::string detail)
{
    lastError.code = error;
    lastError.detail = std::move(detail);
}

std::uint32_t InternetGetLastError()
{
    return lastError.code;
}

std::string InternetErrorDescription(std::uint32_t error)
{
    switch (error) {
    case ERROR_SUCCESS:
        return "The operation completed successfully";
    case ERROR_INVALID_HANDLE:
        return "The handle is invalid";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "Not enough memory";
    case ERROR_INVALID_PARAMETER:
        return "The parameter is incorrect";
    case ERROR_INTERNET_TIMEOUT:
        return "The operation timed out";
    case ERROR_INTERNET_INTERNAL_ERROR:
        return "An internal error occurred";
    case ERROR_INTERNET_INVALID_URL:
        return "The URL is invalid";
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME:
        return "The URL does not use a recognized protocol";
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
        return "The server name could not be resolved";
    case ERROR_INTERNET_OPERATION_CANCELLED:
        return "The operation was canceled";
    case ERROR_INTERNET_INCORRECT_HANDLE_TYPE:
        return "The type of handle supplied is incorrect for this operation";
    case ERROR_INTERNET_INCORRECT_HANDLE_STATE:
        return "The requested operation cannot be carried out in the handle's state";
    case ERROR_INTERNET_CANNOT_CONNECT:
        return "A connection with the server could not be established";
    case ERROR_INTERNET_CONNECTION_ABORTED:
        return "The connection with the server was terminated abnormally";
    case ERROR_INTERNET_CONNECTION_RESET:
        return "The connection with the server was reset";
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        return "The server certificate's name does not match the host";
    case ERROR_INTERNET_INVALID_CA:
        return "The server certificate is not trusted";
    case ERROR_HTTP_HEADER_NOT_FOUND:
        return "The requested header could not be located";
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
        return "The server response could not be parsed";
    case ERROR_HTTP_HEADER_ALREADY_EXISTS:
        return "The header could not be added because it already exists";
    case ERROR_HTTP_REDIRECT_FAILED:
        return "The redirection failed";
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
        return "A secure channel could not be established";
    default:
        return "Unknown error " + std::to_string(error);
    }
}

std::string InternetGetLastErrorText()
{
    std::string text = InternetErrorDescription(lastError.code);
    if (!lastError.detail.empty()) {
        text += " (" + lastError.detail + ")";
    }
    return text;
}

} // namespace qz::platform
