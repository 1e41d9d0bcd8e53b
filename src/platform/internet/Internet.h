// HTTP and HTTPS access shaped like the Windows Internet functions: a session,
// a connection and a request handle; a send that returns once the answer's
// headers are in; queries of the status and headers; pull reads of the body in
// the caller's block size; uploads pushed in pieces. Built on libcurl, which
// stays hidden behind plain C++ types. Every call reports failure with false
// (or a null handle) and leaves an error code for InternetGetLastError, per
// thread, as GetLastError does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qz::platform {

struct InternetObject;

/// An open session, connection or request. Null when an open failed.
using HINTERNET = InternetObject*;

// Access types of InternetOpen. Preconfigured access honours the proxy
// variables http_proxy, https_proxy and no_proxy of the environment.
constexpr std::uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr std::uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr std::uint32_t INTERNET_OPEN_TYPE_PROXY = 3;

constexpr std::uint16_t INTERNET_INVALID_PORT_NUMBER = 0;
constexpr std::uint16_t INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr std::uint16_t INTERNET_DEFAULT_HTTPS_PORT = 443;
constexpr std::uint32_t INTERNET_SERVICE_HTTP = 3;

// Request flags. Nothing is ever cached, so the cache flags change nothing.
constexpr std::uint32_t INTERNET_FLAG_TRANSFER_ASCII = 0x00000001;
constexpr std::uint32_t INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
constexpr std::uint32_t INTERNET_FLAG_KEEP_CONNECTION = 0x00400000;
constexpr std::uint32_t INTERNET_FLAG_SECURE = 0x00800000;
constexpr std::uint32_t INTERNET_FLAG_DONT_CACHE = 0x04000000;
constexpr std::uint32_t INTERNET_FLAG_EXISTING_CONNECT = 0x20000000;
constexpr std::uint32_t INTERNET_FLAG_RELOAD = 0x80000000;

// Modifiers of HttpAddRequestHeaders.
constexpr std::uint32_t HTTP_ADDREQ_FLAG_ADD_IF_NEW = 0x10000000;
constexpr std::uint32_t HTTP_ADDREQ_FLAG_ADD = 0x20000000;
constexpr std::uint32_t HTTP_ADDREQ_FLAG_REPLACE = 0x80000000;

// Flags of HttpSendRequestEx.
constexpr std::uint32_t HSR_INITIATE = 0x00000008;

// Information levels of HttpQueryInfo.
constexpr std::uint32_t HTTP_QUERY_CONTENT_TYPE = 1;
constexpr std::uint32_t HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr std::uint32_t HTTP_QUERY_VERSION = 18;
constexpr std::uint32_t HTTP_QUERY_STATUS_CODE = 19;
constexpr std::uint32_t HTTP_QUERY_STATUS_TEXT = 20;
constexpr std::uint32_t HTTP_QUERY_RAW_HEADERS_CRLF = 22;
constexpr std::uint32_t HTTP_QUERY_LOCATION = 33;
constexpr std::uint32_t HTTP_QUERY_TRANSFER_ENCODING = 63;

// Flags of InternetCrackUrl. Both decode percent escapes in the parts.
constexpr std::uint32_t ICU_DECODE = 0x10000000;
constexpr std::uint32_t ICU_ESCAPE = 0x80000000;

// Error codes left by failing calls; the numbers are those of Windows, so log
// lines read the same on both systems.
constexpr std::uint32_t ERROR_SUCCESS = 0;
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_INTERNET_TIMEOUT = 12002;
constexpr std::uint32_t ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr std::uint32_t ERROR_INTERNET_INVALID_URL = 12005;
constexpr std::uint32_t ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr std::uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr std::uint32_t ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr std::uint32_t ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr std::uint32_t ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr std::uint32_t ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr std::uint32_t ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr std::uint32_t ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr std::uint32_t ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr std::uint32_t ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR = 12040;
constexpr std::uint32_t ERROR_INTERNET_INVALID_CA = 12045;
constexpr std::uint32_t ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr std::uint32_t ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr std::uint32_t ERROR_HTTP_HEADER_ALREADY_EXISTS = 12155;
constexpr std::uint32_t ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr std::uint32_t ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

/// Scheme numbers of a cracked URL.
enum InternetScheme : int {
    INTERNET_SCHEME_UNKNOWN = -1,
    INTERNET_SCHEME_DEFAULT = 0,
    INTERNET_SCHEME_FTP = 1,
    INTERNET_SCHEME_HTTP = 3,
    INTERNET_SCHEME_HTTPS = 4,
    INTERNET_SCHEME_FILE = 5,
};

/// The parts of a URL as InternetCrackUrl gives them.
struct UrlComponents {
    InternetScheme scheme = INTERNET_SCHEME_UNKNOWN;
    std::wstring schemeName;                           ///< As written, without the colon.
    std::wstring hostName;                             ///< Without the brackets of an IPv6 literal.
    std::uint16_t port = INTERNET_INVALID_PORT_NUMBER; ///< The scheme's default when none is written.
    std::wstring userName;
    std::wstring password;
    std::wstring urlPath;   ///< From the first "/" after the host, up to "?" or "#"; may be empty.
    std::wstring extraInfo; ///< From the first "?" or "#" on, that character included.
};

/// Splits a URL. A URL without a valid scheme, an http(s) URL without "//" or
/// host, and a port that is not a number up to 65535 fail. ICU_DECODE decodes
/// percent escapes in host, user, password, path and extra information; the
/// decoded bytes are read as UTF-8 when they form valid UTF-8, else one
/// character per byte.
bool InternetCrackUrl(const std::wstring& url, std::uint32_t flags, UrlComponents& parts);

/// Opens a session. The agent becomes the User-Agent header (none when empty).
/// With INTERNET_OPEN_TYPE_PROXY, proxy names the proxy and proxyBypass the
/// hosts reached directly (comma-separated, as no_proxy).
HINTERNET InternetOpen(const std::wstring& agent, std::uint32_t accessType, const std::wstring& proxy = {},
                       const std::wstring& proxyBypass = {}, std::uint32_t flags = 0);

/// Names the server of later requests; nothing goes on the wire yet. Port 0
/// means the default of the request's scheme (80, or 443 for secure requests).
/// A user name is sent only together with a password, as Basic credentials.
HINTERNET InternetConnect(HINTERNET session, const std::wstring& serverName, std::uint16_t port,
                          const std::wstring& userName, const std::wstring& password, std::uint32_t service,
                          std::uint32_t flags, std::uintptr_t context);

/// Prepares a request. An empty verb is GET; objectName is the path followed by
/// the extra information ("" is "/"); characters a request line cannot carry
/// are percent-escaped as UTF-8. acceptTypes form the Accept header (none when
/// empty). GET and HEAD follow redirects (301, 302, 303, 307, 308, at most
/// 10 in a row) unless INTERNET_FLAG_NO_AUTO_REDIRECT is given; other verbs
/// never do. INTERNET_FLAG_SECURE selects HTTPS, verified against the system
/// trust store or the one SSL_CERT_FILE / SSL_CERT_DIR name.
HINTERNET HttpOpenRequest(HINTERNET connection, const std::wstring& verb, const std::wstring& objectName,
                          const std::wstring& version, const std::wstring& referrer,
                          const std::vector<std::wstring>& acceptTypes, std::uint32_t flags,
                          std::uintptr_t context);

/// Adds request headers ("Name: value" lines separated by CR LF or LF) before
/// the request is sent. ADD_IF_NEW fails for a header already present;
/// REPLACE replaces it, or removes it when the value is empty.
bool HttpAddRequestHeaders(HINTERNET request, const std::wstring& headers, std::uint32_t modifiers);

/// Sends the request with optional extra headers and an optional body, and
/// returns once the final answer's status line and headers are in; the body is
/// left for InternetReadFile. An answer whose status line cannot be parsed
/// still counts as sent: the status queries then give a text that is not a
/// number.
bool HttpSendRequest(HINTERNET request, const std::wstring& headers = {}, const void* body = nullptr,
                     std::size_t bodyLength = 0);

/// Starts a request whose body of totalLength bytes follows in pieces through
/// InternetWriteFile; returns once the connection stands and the headers are
/// sent. A Content-Length header added by the caller is sent as it is.
bool HttpSendRequestEx(HINTERNET request, std::uint64_t totalLength, std::uint32_t flags = 0,
                       std::uintptr_t context = 0);

/// Takes the next piece of a body started with HttpSendRequestEx; more than
/// announced fails. Pieces are gathered, up to 1 MiB, and sent together, so
/// many small writes cost what a few large ones do; a connection that fails
/// meanwhile fails a later write or HttpEndRequest.
bool InternetWriteFile(HINTERNET request, const void* data, std::size_t length, std::size_t* written);

/// Sends what is gathered of the body of HttpSendRequestEx, ends it and waits
/// for the answer's headers.
/// Fails when fewer bytes were written than announced.
bool HttpEndRequest(HINTERNET request, std::uint32_t flags = 0, std::uintptr_t context = 0);

/// Reads one item of the answer as text: the status code, the status text,
/// the version, all headers, or a header by level. A header the answer does
/// not carry fails with ERROR_HTTP_HEADER_NOT_FOUND. When the status line
/// cannot be parsed, the status code and text are the raw line (or, when the
/// connection library refused the line, a description of it).
bool HttpQueryInfo(HINTERNET request, std::uint32_t infoLevel, std::wstring& value);

/// Reads the first value of a header of the answer by name, case-insensitive.
bool HttpQueryHeader(HINTERNET request, const std::wstring& name, std::wstring& value);

/// Reads up to length bytes of the body: the call returns when the buffer is
/// full or the body has ended. Success with 0 bytes is the end of the body;
/// a body cut short (reset, truncated chunks, fewer bytes than announced)
/// fails after the bytes that did arrive have been read. The transfer runs
/// only inside these calls and pauses when twice the read size (at least
/// 64 KiB) waits unread, so a body is never held whole.
bool InternetReadFile(HINTERNET request, void* buffer, std::size_t length, std::size_t* read);

/// Cracks the URL, connects, opens a GET request (redirects followed) and
/// sends it with the extra headers; the request handle is returned.
HINTERNET InternetOpenUrl(HINTERNET session, const std::wstring& url, const std::wstring& headers,
                          std::uint32_t flags, std::uintptr_t context);

/// Limits of every request a session opens afterwards; they stand in for
/// the Windows time-out options.
struct InternetTimeouts {
    long connectSeconds = 60;
    /// Fewer bytes a second than this, for lowSpeedSeconds, is a time-out.
    long lowSpeedBytesPerSecond = 1;
    long lowSpeedSeconds = 60;
    /// A whole exchange, redirects included; 0 sets no limit.
    long totalSeconds = 0;
};
bool InternetSetTimeouts(HINTERNET session, const InternetTimeouts& timeouts);

/// A check asked on the calling thread at least every 250 ms while a call on
/// a request the session opens afterwards waits (connecting, sending, for the
/// answer, for body bytes); false cancels the call with
/// ERROR_INTERNET_OPERATION_CANCELLED. Windows programs cancel by closing the
/// handle from another thread; here the waiting thread asks.
bool InternetSetKeepGoing(HINTERNET session, std::function<bool()> keepGoing);

/// Closes any handle, in any order: a request keeps what it needs of its
/// connection and session until it is closed itself.
bool InternetCloseHandle(HINTERNET handle);

/// The error code of this thread's last failing call (0 after a success).
std::uint32_t InternetGetLastError();

/// A short English description of an error code, for logs.
std::string InternetErrorDescription(std::uint32_t error);

/// The description of this thread's last error with the connection library's
/// own detail, e.g. "The server name could not be resolved (Could not resolve
/// host: x.invalid)".
std::string InternetGetLastErrorText();

} // namespace qz::platform
