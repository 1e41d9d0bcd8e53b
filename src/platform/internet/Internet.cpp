// Handles of the Internet functions. A handle is the address of an object
// kept alive by a table of open handles; a closed or unknown handle is
// refused, never dereferenced. Children hold their parents, so handles may be
// closed in any order.
#include "platform/internet/Internet.h"

#include "platform/internet/CurlExchange.h"
#include "platform/internet/InternetErrors.h"
#include "platform/internet/InternetTestApi.h"
#include "platform/internet/InternetText.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace qz::platform {

struct InternetObject {
    enum class Kind { Session, Connection, Request };
    explicit InternetObject(Kind k) : kind(k) {}
    virtual ~InternetObject() = default;
    const Kind kind;
};

namespace {

using internet::SetLastError;

struct Session : InternetObject {
    Session() : InternetObject(Kind::Session) {}
    std::string agent;
    std::uint32_t accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy;
    std::string proxyBypass;
    InternetTimeouts timeouts;
    std::function<bool()> keepGoing;
};

struct Connection : InternetObject {
    Connection() : InternetObject(Kind::Connection) {}
    std::shared_ptr<Session> session;
    std::string host;
    std::uint16_t port = 0;
    std::string userName;
    std::string password;
};

struct Request : InternetObject {
    Request() : InternetObject(Kind::Request) {}
    std::shared_ptr<Connection> connection;
    internet::ExchangeSetup setup;
    std::unique_ptr<internet::CurlExchange> exchange;
};

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<InternetObject*, std::shared_ptr<InternetObject>> open;
};

HandleTable& Handles()
{
    static HandleTable table;
    return table;
}

HINTERNET Register(std::shared_ptr<InternetObject> object)
{
    HandleTable& table = Handles();
    std::lock_guard lock(table.mutex);
    InternetObject* handle = object.get();
    table.open.emplace(handle, std::move(object));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

template <class T> std::shared_ptr<T> Find(HINTERNET handle, InternetObject::Kind kind)
{
    std::shared_ptr<InternetObject> object;
    {
        HandleTable& table = Handles();
        std::lock_guard lock(table.mutex);
        const auto it = table.open.find(handle);
        if (it != table.open.end()) {
            object = it->second;
        }
    }
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (object->kind != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}

std::shared_ptr<Request> FindSentRequest(HINTERNET handle)
{
    auto request = Find<Request>(handle, InternetObject::Kind::Request);
    if (request && (!request->exchange || !request->exchange->HeadReady())) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "the request has no answer yet");
        return nullptr;
    }
    return request;
}

// Splits "Name: value" lines separated by CR LF or LF; empty lines are skipped.
std::vector<std::string> HeaderLines(const std::wstring& headers)
{
    std::vector<std::string> lines;
    const std::string text = internet::ToUtf8(headers);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(std::move(line));
        }
        start = end + 1;
    }
    return lines;
}

std::string HeaderName(const std::string& line)
{
    std::string name = line.substr(0, line.find(':'));
    while (!name.empty() && name.back() == ' ') {
        name.pop_back();
    }
    return internet::AsciiLower(name);
}

bool HeaderValueEmpty(const std::string& line)
{
    const std::size_t colon = line.find(':');
    return colon == std::string::npos || line.find_first_not_of(" \t", colon + 1) == std::string::npos;
}

bool AddHeaders(std::vector<std::string>& target, const std::wstring& headers, std::uint32_t modifiers)
{
    for (std::string& line : HeaderLines(headers)) {
        if (line.find(':') == std::string::npos) {
            SetLastError(ERROR_INVALID_PARAMETER, "a header line without a colon");
            return false;
        }
        const std::string name = HeaderName(line);
        const auto existing = std::find_if(target.begin(), target.end(),
                                           [&](const std::string& h) { return HeaderName(h) == name; });
        if ((modifiers & HTTP_ADDREQ_FLAG_REPLACE) != 0) {
            if (existing != target.end()) {
                target.erase(existing);
            }
            if (!HeaderValueEmpty(line)) {
                target.push_back(std::move(line));
            }
        } else if ((modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) != 0 && existing != target.end()) {
            SetLastError(ERROR_HTTP_HEADER_ALREADY_EXISTS, name);
            return false;
        } else {
            target.push_back(std::move(line));
        }
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool FirstHeader(const internet::ResponseHead& head, std::string_view name, std::wstring& value)
{
    const std::string wanted = internet::AsciiLower(name);
    for (const auto& [key, text] : head.headers) {
        if (internet::AsciiLower(key) == wanted) {
            value = internet::FromBytes(text);
            SetLastError(ERROR_SUCCESS);
            return true;
        }
    }
    SetLastError(ERROR_HTTP_HEADER_NOT_FOUND, std::string(name));
    return false;
}

// The status line as version, code and text; a code that is not three digits
// leaves the raw line as code and text, so that a numeric parse fails.
void SplitStatusLine(const internet::ResponseHead& head, std::string& version, std::string& code,
                     std::string& text)
{
    if (head.refused) {
        version.clear();
        code = text = head.refusal;
        return;
    }
    const std::string& line = head.statusLine;
    const std::size_t first = line.find(' ');
    version = line.substr(0, first);
    const std::size_t codeStart = first == std::string::npos ? line.size() : first + 1;
    const std::size_t codeEnd = std::min(line.find(' ', codeStart), line.size());
    code = line.substr(codeStart, codeEnd - codeStart);
    const bool numeric = code.size() == 3 &&
                         std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!numeric) {
        code = text = line;
        return;
    }
    text = codeEnd < line.size() ? line.substr(codeEnd + 1) : std::string();
}

} // namespace

HINTERNET InternetOpen(const std::wstring& agent, std::uint32_t accessType, const std::wstring& proxy,
                       const std::wstring& proxyBypass, std::uint32_t /*flags*/)
{
    if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT &&
        accessType != INTERNET_OPEN_TYPE_PROXY) {
        SetLastError(ERROR_INVALID_PARAMETER, "unknown access type");
        return nullptr;
    }
    auto session = std::make_shared<Session>();
    session->agent = internet::ToUtf8(agent);
    session->accessType = accessType;
    session->proxy = internet::ToUtf8(proxy);
    session->proxyBypass = internet::ToUtf8(proxyBypass);
    return Register(std::move(session));
}

HINTERNET InternetConnect(HINTERNET sessionHandle, const std::wstring& serverName, std::uint16_t port,
                          const std::wstring& userName, const std::wstring& password, std::uint32_t service,
                          std::uint32_t /*flags*/, std::uintptr_t /*context*/)
{
    auto session = Find<Session>(sessionHandle, InternetObject::Kind::Session);
    if (!session) {
        return nullptr;
    }
    if (service != INTERNET_SERVICE_HTTP) {
        SetLastError(ERROR_INVALID_PARAMETER, "only the HTTP service is offered");
        return nullptr;
    }
    if (serverName.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER, "no server name");
        return nullptr;
    }
    auto connection = std::make_shared<Connection>();
    connection->session = std::move(session);
    connection->host = internet::ToUtf8(serverName);
    connection->port = port;
    connection->userName = internet::ToUtf8(userName);
    connection->password = internet::ToUtf8(password);
    return Register(std::move(connection));
}

HINTERNET HttpOpenRequest(HINTERNET connectionHandle, const std::wstring& verb,
                          const std::wstring& objectName, const std::wstring& /*version*/,
                          const std::wstring& referrer, const std::vector<std::wstring>& acceptTypes,
                          std::uint32_t flags, std::uintptr_t /*context*/)
{
    auto connection = Find<Connection>(connectionHandle, InternetObject::Kind::Connection);
    if (!connection) {
        return nullptr;
    }
    auto request = std::make_shared<Request>();
    internet::ExchangeSetup& setup = request->setup;
    const Session& session = *connection->session;
    setup.agent = session.agent;
    setup.accessType = session.accessType;
    setup.proxy = session.proxy;
    setup.proxyBypass = session.proxyBypass;
    setup.keepGoing = session.keepGoing;
    setup.connectTimeoutSeconds = session.timeouts.connectSeconds;
    setup.lowSpeedBytesPerSecond = session.timeouts.lowSpeedBytesPerSecond;
    setup.lowSpeedSeconds = session.timeouts.lowSpeedSeconds;
    setup.totalTimeoutSeconds = session.timeouts.totalSeconds;
    setup.secure = (flags & INTERNET_FLAG_SECURE) != 0;
    setup.host = connection->host;
    setup.port = connection->port;
    setup.userName = connection->userName;
    setup.password = connection->password;
    setup.verb = verb.empty() ? "GET" : internet::ToUtf8(verb);
    setup.target = internet::EscapeRequestTarget(objectName);
    setup.followRedirects = (flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;
    if (!referrer.empty()) {
        setup.headers.push_back("Referer: " + internet::ToUtf8(referrer));
    }
    if (!acceptTypes.empty()) {
        std::string accept = "Accept: ";
        for (std::size_t i = 0; i < acceptTypes.size(); ++i) {
            accept += (i == 0 ? "" : ", ") + internet::ToUtf8(acceptTypes[i]);
        }
        setup.headers.push_back(std::move(accept));
    }
    request->connection = std::move(connection);
    return Register(std::move(request));
}

bool HttpAddRequestHeaders(HINTERNET requestHandle, const std::wstring& headers, std::uint32_t modifiers)
{
    auto request = Find<Request>(requestHandle, InternetObject::Kind::Request);
    if (!request) {
        return false;
    }
    if (request->exchange) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "the request was sent already");
        return false;
    }
    return AddHeaders(request->setup.headers, headers, modifiers);
}

bool HttpSendRequest(HINTERNET requestHandle, const std::wstring& headers, const void* body,
                     std::size_t bodyLength)
{
    auto request = Find<Request>(requestHandle, InternetObject::Kind::Request);
    if (!request) {
        return false;
    }
    if (request->exchange) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "the request was sent already");
        return false;
    }
    if (!AddHeaders(request->setup.headers, headers, HTTP_ADDREQ_FLAG_ADD)) {
        return false;
    }
    request->exchange = std::make_unique<internet::CurlExchange>(request->setup);
    const std::string_view bytes =
        body != nullptr ? std::string_view(static_cast<const char*>(body), bodyLength) : std::string_view();
    return request->exchange->Send(bytes);
}

bool HttpSendRequestEx(HINTERNET requestHandle, std::uint64_t totalLength, std::uint32_t /*flags*/,
                       std::uintptr_t /*context*/)
{
    auto request = Find<Request>(requestHandle, InternetObject::Kind::Request);
    if (!request) {
        return false;
    }
    if (request->exchange) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "the request was sent already");
        return false;
    }
    request->exchange = std::make_unique<internet::CurlExchange>(request->setup);
    return request->exchange->BeginUpload(totalLength);
}

bool InternetWriteFile(HINTERNET requestHandle, const void* data, std::size_t length, std::size_t* written)
{
    if (written != nullptr) {
        *written = 0;
    }
    auto request = Find<Request>(requestHandle, InternetObject::Kind::Request);
    if (!request) {
        return false;
    }
    if (!request->exchange) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "the request was not started");
        return false;
    }
    if (length > 0 && data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER, "no data");
        return false;
    }
    if (!request->exchange->Write(static_cast<const char*>(data), length)) {
        return false;
    }
    if (written != nullptr) {
        *written = length;
    }
    return true;
}

bool HttpEndRequest(HINTERNET requestHandle, std::uint32_t /*flags*/, std::uintptr_t /*context*/)
{
    auto request = Find<Request>(requestHandle, InternetObject::Kind::Request);
    if (!request) {
        return false;
    }
    if (!request->exchange) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "the request was not started");
        return false;
    }
    return request->exchange->EndUpload();
}

bool HttpQueryInfo(HINTERNET requestHandle, std::uint32_t infoLevel, std::wstring& value)
{
    auto request = FindSentRequest(requestHandle);
    if (!request) {
        return false;
    }
    const internet::ResponseHead& head = request->exchange->Head();
    std::string version, code, text;
    SplitStatusLine(head, version, code, text);
    switch (infoLevel) {
    case HTTP_QUERY_STATUS_CODE:
        value = internet::FromBytes(code);
        break;
    case HTTP_QUERY_STATUS_TEXT:
        value = internet::FromBytes(text);
        break;
    case HTTP_QUERY_VERSION:
        value = internet::FromBytes(version);
        break;
    case HTTP_QUERY_RAW_HEADERS_CRLF: {
        std::string all = head.refused ? head.refusal : head.statusLine;
        all += "\r\n";
        for (const auto& [name, headerValue] : head.headers) {
            all += name + ": " + headerValue + "\r\n";
        }
        all += "\r\n";
        value = internet::FromBytes(all);
        break;
    }
    case HTTP_QUERY_CONTENT_TYPE:
        return FirstHeader(head, "Content-Type", value);
    case HTTP_QUERY_CONTENT_LENGTH:
        return FirstHeader(head, "Content-Length", value);
    case HTTP_QUERY_LOCATION:
        return FirstHeader(head, "Location", value);
    case HTTP_QUERY_TRANSFER_ENCODING:
        return FirstHeader(head, "Transfer-Encoding", value);
    default:
        SetLastError(ERROR_INVALID_PARAMETER, "unknown information level " + std::to_string(infoLevel));
        return false;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool HttpQueryHeader(HINTERNET requestHandle, const std::wstring& name, std::wstring& value)
{
    auto request = FindSentRequest(requestHandle);
    if (!request) {
        return false;
    }
    return FirstHeader(request->exchange->Head(), internet::ToUtf8(name), value);
}

bool InternetReadFile(HINTERNET requestHandle, void* buffer, std::size_t length, std::size_t* read)
{
    std::size_t got = 0;
    if (read != nullptr) {
        *read = 0;
    }
    auto request = FindSentRequest(requestHandle);
    if (!request) {
        return false;
    }
    if ((buffer == nullptr && length > 0) || read == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER, "no buffer");
        return false;
    }
    const bool ok = request->exchange->Read(static_cast<char*>(buffer), length, got);
    *read = got;
    return ok;
}

HINTERNET InternetOpenUrl(HINTERNET session, const std::wstring& url, const std::wstring& headers,
                          std::uint32_t flags, std::uintptr_t context)
{
    UrlComponents parts;
    if (!InternetCrackUrl(url, 0, parts)) {
        return nullptr;
    }
    if (parts.scheme != INTERNET_SCHEME_HTTP && parts.scheme != INTERNET_SCHEME_HTTPS) {
        SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME, internet::ToUtf8(parts.schemeName));
        return nullptr;
    }
    HINTERNET connection = InternetConnect(session, parts.hostName, parts.port, parts.userName,
                                           parts.password, INTERNET_SERVICE_HTTP, 0, context);
    if (connection == nullptr) {
        return nullptr;
    }
    if (parts.scheme == INTERNET_SCHEME_HTTPS) {
        flags |= INTERNET_FLAG_SECURE;
    }
    HINTERNET request =
        HttpOpenRequest(connection, L"GET", parts.urlPath + parts.extraInfo, {}, {}, {}, flags, context);
    // The request keeps its connection; the handle is not needed further.
    const std::uint32_t error = InternetGetLastError();
    InternetCloseHandle(connection);
    if (request == nullptr) {
        SetLastError(error);
        return nullptr;
    }
    if (!HttpSendRequest(request, headers)) {
        const std::uint32_t sendError = InternetGetLastError();
        const std::string detail = InternetGetLastErrorText();
        InternetCloseHandle(request);
        SetLastError(sendError, detail);
        return nullptr;
    }
    return request;
}

bool InternetSetTimeouts(HINTERNET sessionHandle, const InternetTimeouts& timeouts)
{
    auto session = Find<Session>(sessionHandle, InternetObject::Kind::Session);
    if (!session) {
        return false;
    }
    session->timeouts = timeouts;
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool InternetSetKeepGoing(HINTERNET sessionHandle, std::function<bool()> keepGoing)
{
    auto session = Find<Session>(sessionHandle, InternetObject::Kind::Session);
    if (!session) {
        return false;
    }
    session->keepGoing = std::move(keepGoing);
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool InternetCloseHandle(HINTERNET handle)
{
    std::shared_ptr<InternetObject> object;
    {
        HandleTable& table = Handles();
        std::lock_guard lock(table.mutex);
        const auto it = table.open.find(handle);
        if (it == table.open.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        object = std::move(it->second);
        table.open.erase(it);
    }
    // Destroyed here, outside the lock: a request ends its transfer.
    object.reset();
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::size_t InternetTestApi::BufferHighWater(HINTERNET requestHandle)
{
    auto request = Find<Request>(requestHandle, InternetObject::Kind::Request);
    return request && request->exchange ? request->exchange->BufferHighWater() : 0;
}

std::size_t InternetTestApi::UploadHighWater(HINTERNET requestHandle)
{
    auto request = Find<Request>(requestHandle, InternetObject::Kind::Request);
    return request && request->exchange ? request->exchange->UploadHighWater() : 0;
}

} // namespace qz::platform
