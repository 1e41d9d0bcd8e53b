// InternetCrackUrl: splitting a URL into the parts a connection needs.
#include "platform/internet/Internet.h"
#include "platform/internet/InternetErrors.h"
#include "platform/internet/InternetText.h"

#include <cwctype>

namespace qz::platform {

namespace {

bool IsAsciiAlpha(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsAsciiDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

std::wstring Lower(std::wstring_view text)
{
    std::wstring out(text);
    for (wchar_t& c : out) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return out;
}

struct SchemeInfo {
    InternetScheme scheme;
    std::uint16_t port;
    bool needsHost;
};

SchemeInfo LookUpScheme(const std::wstring& name)
{
    const std::wstring lower = Lower(name);
    if (lower == L"http") {
        return {INTERNET_SCHEME_HTTP, INTERNET_DEFAULT_HTTP_PORT, true};
    }
    if (lower == L"https") {
        return {INTERNET_SCHEME_HTTPS, INTERNET_DEFAULT_HTTPS_PORT, true};
    }
    if (lower == L"ftp") {
        return {INTERNET_SCHEME_FTP, 21, true};
    }
    if (lower == L"file") {
        return {INTERNET_SCHEME_FILE, INTERNET_INVALID_PORT_NUMBER, false};
    }
    return {INTERNET_SCHEME_UNKNOWN, INTERNET_INVALID_PORT_NUMBER, false};
}

bool Fail(std::uint32_t error, const char* detail)
{
    internet::SetLastError(error, detail);
    return false;
}

} // namespace

bool InternetCrackUrl(const std::wstring& url, std::uint32_t flags, UrlComponents& parts)
{
    parts = UrlComponents{};
    const std::size_t colon = url.find(L':');
    if (colon == std::wstring::npos || colon == 0 || !IsAsciiAlpha(url[0])) {
        return Fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME, "no scheme");
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const wchar_t c = url[i];
        if (!IsAsciiAlpha(c) && !IsAsciiDigit(c) && c != L'+' && c != L'-' && c != L'.') {
            return Fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME, "invalid scheme");
        }
    }
    parts.schemeName = url.substr(0, colon);
    const SchemeInfo info = LookUpScheme(parts.schemeName);
    parts.scheme = info.scheme;
    parts.port = info.port;

    std::wstring_view rest(url);
    rest.remove_prefix(colon + 1);
    const bool hasAuthority = rest.substr(0, 2) == L"//";
    if (!hasAuthority && info.needsHost) {
        return Fail(ERROR_INTERNET_INVALID_URL, "no \"//\" after the scheme");
    }
    std::wstring_view authority;
    if (hasAuthority) {
        rest.remove_prefix(2);
        const std::size_t end = rest.find_first_of(L"/?#");
        authority = rest.substr(0, end);
        rest = end == std::wstring_view::npos ? std::wstring_view{} : rest.substr(end);
    }

    // user:password@host:port; the last "@" ends the credentials.
    const std::size_t at = authority.rfind(L'@');
    if (at != std::wstring_view::npos) {
        const std::wstring_view credentials = authority.substr(0, at);
        const std::size_t separator = credentials.find(L':');
        parts.userName = credentials.substr(0, separator);
        if (separator != std::wstring_view::npos) {
            parts.password = credentials.substr(separator + 1);
        }
        authority.remove_prefix(at + 1);
    }
    std::wstring_view portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == L'[') {
        const std::size_t close = authority.find(L']');
        if (close == std::wstring_view::npos) {
            return Fail(ERROR_INTERNET_INVALID_URL, "unterminated IPv6 address");
        }
        parts.hostName = authority.substr(1, close - 1);
        const std::wstring_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != L':') {
                return Fail(ERROR_INTERNET_INVALID_URL, "text after the IPv6 address");
            }
            portText = after.substr(1);
            hasPort = true;
        }
    } else {
        const std::size_t portColon = authority.find(L':');
        parts.hostName = authority.substr(0, portColon);
        if (portColon != std::wstring_view::npos) {
            portText = authority.substr(portColon + 1);
            hasPort = true;
        }
    }
    if (hasPort && !portText.empty()) {
        unsigned long port = 0;
        for (const wchar_t c : portText) {
            if (!IsAsciiDigit(c) || port > 65535) {
                return Fail(ERROR_INTERNET_INVALID_URL, "invalid port");
            }
            port = port * 10 + static_cast<unsigned long>(c - L'0');
        }
        if (port > 65535) {
            return Fail(ERROR_INTERNET_INVALID_URL, "invalid port");
        }
        parts.port = static_cast<std::uint16_t>(port);
    }
    if (info.needsHost && parts.hostName.empty()) {
        return Fail(ERROR_INTERNET_INVALID_URL, "no host name");
    }

    const std::size_t extra = rest.find_first_of(L"?#");
    parts.urlPath = rest.substr(0, extra);
    if (extra != std::wstring_view::npos) {
        parts.extraInfo = rest.substr(extra);
    }

    if ((flags & (ICU_DECODE | ICU_ESCAPE)) != 0) {
        for (std::wstring* part :
             {&parts.hostName, &parts.userName, &parts.password, &parts.urlPath, &parts.extraInfo}) {
            *part = internet::PercentDecode(*part);
        }
    }
    internet::SetLastError(ERROR_SUCCESS);
    return true;
}

} // namespace qz::platform
