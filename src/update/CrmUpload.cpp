#include "update/CrmUpload.h"

#include "osal/QzFile.h"
#include "osal/QzString.h"
#include "patchservice/TavorHttpTransfer.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"
#include "platform/WinFormat.h"
#include "platform/internet/Internet.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <unistd.h>
#include <vector>

using namespace qz::platform;

namespace {

constexpr std::size_t kRedirectAnswerSize = 4096;
constexpr std::size_t kBlockSize = 1000;
constexpr std::uintptr_t kContext = 1;
// Error texts are cut to what the Windows message buffer holds.
constexpr std::size_t kMaxErrorMessage = 255;

constexpr const wchar_t* kBoundary = L"---------------------------119281817426312";

void Log(QzAutoUpdate::CUpdateConfiguration2& configuration, const std::wstring& line)
{
    configuration.Log(line.c_str());
}

void LogUploadError(QzAutoUpdate::CUpdateConfiguration2& configuration)
{
    std::wstring message = QzOSAL::QzWString(InternetGetLastErrorText(), CP_UTF8).GetString();
    if (message.size() > kMaxErrorMessage) {
        message.resize(kMaxErrorMessage);
    }
    Log(configuration, L"CRM-Upload Error: " + message);
}

// Closes the handles of one upload in the order the connection was built
// up backwards: request, connection, session.
struct Handles {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;

    Handles() = default;
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
    ~Handles()
    {
        for (HINTERNET handle : {request, connection, session}) {
            if (handle != nullptr) {
                InternetCloseHandle(handle);
            }
        }
    }
};

// Asks the redirect URL where the upload goes. False when the URL cannot be
// opened or its answer cannot be read; a readable answer that is no URL
// leaves `redirect` not found.
bool LookUpRedirect(QzAutoUpdate::CUpdateConfiguration2& configuration, HINTERNET session,
                    CrmRedirect& redirect)
{
    const wchar_t* url = configuration.GetCrmRedirectUrl();
    HINTERNET answer =
        InternetOpenUrl(session, url != nullptr ? url : L"", L"", INTERNET_FLAG_TRANSFER_ASCII, kContext);
    if (answer == nullptr) {
        return false;
    }
    // One read into a zeroed buffer with room for a terminator: the answer
    // is whatever that read brought, up to its first zero byte.
    char buffer[kRedirectAnswerSize + 1] = {};
    std::size_t read = 0;
    const bool ok = InternetReadFile(answer, buffer, kRedirectAnswerSize, &read);
    InternetCloseHandle(answer);
    if (!ok) {
        return false;
    }
    const QzOSAL::QzAString narrow(buffer, CP_ACP, CP_ACP);
    redirect = ParseCrmRedirect(QzOSAL::QzWString(&narrow).GetString());
    return true;
}

std::string Ansi(const std::wstring& text)
{
    const QzOSAL::QzAString narrow(text, CP_ACP);
    return std::string(narrow.GetString(), narrow.GetLength());
}

bool WriteAll(HINTERNET request, const std::string& bytes)
{
    std::size_t written = 0;
    return InternetWriteFile(request, bytes.data(), bytes.size(), &written) && written == bytes.size();
}

enum class BodyResult { Sent, NetworkError, FileError };

// Hands out the file in 1000-byte reads while asking the system for a
// larger piece at a time: a read call per 1000 bytes would cost more than
// sending them.
class BlockReader {
  public:
    BlockReader(QzOSAL::QzFile& file, std::uint64_t length) : file_(file), left_(length) {}

    // The next block of at most kBlockSize bytes; false when the file ends
    // before its announced length or cannot be read.
    bool Next(const char*& block, std::size_t& size)
    {
        if (start_ == end_) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), left_));
            std::size_t read = 0;
            if (file_.Read(buffer_.data(), want, read) != QzOSAL::QzFile::kOk || read == 0) {
                return false;
            }
            left_ -= read;
            start_ = 0;
            end_ = read;
        }
        block = buffer_.data() + start_;
        size = std::min(kBlockSize, end_ - start_);
        start_ += size;
        return true;
    }
    bool AtEnd() const { return left_ == 0 && start_ == end_; }

  private:
    QzOSAL::QzFile& file_;
    std::uint64_t left_;
    std::vector<char> buffer_ = std::vector<char>(1024 * kBlockSize);
    std::size_t start_ = 0;
    std::size_t end_ = 0;
};

// Streams header part, file and closing part, then ends the request. The
// file goes out as long as it was when its length was announced: bytes a
// writer appends meanwhile are not sent, a file that shrank is a file error.
BodyResult SendBody(HINTERNET request, QzOSAL::QzFile& file, std::uint64_t length, const std::string& headerPart,
                    const std::string& closingPart)
{
    if (!WriteAll(request, headerPart)) {
        return BodyResult::NetworkError;
    }
    BlockReader reader(file, length);
    while (!reader.AtEnd()) {
        const char* block = nullptr;
        std::size_t size = 0;
        if (!reader.Next(block, size)) {
            return BodyResult::FileError;
        }
        std::size_t written = 0;
        if (!InternetWriteFile(request, block, size, &written) || written != size) {
            return BodyResult::NetworkError;
        }
    }
    file.Close();
    if (!WriteAll(request, closingPart)) {
        return BodyResult::NetworkError;
    }
    return HttpEndRequest(request, 0, kContext) ? BodyResult::Sent : BodyResult::NetworkError;
}

} // namespace

CrmRedirect ParseCrmRedirect(const std::wstring& answer)
{
    CrmRedirect redirect;
    std::wstring text = answer;
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back()))) {
        text.pop_back();
    }
    // The host starts after the seven characters of "http://"; a "/" before
    // index 8 belongs to the scheme or leaves an empty host. A script that
    // answers with https asks for TLS, which it gets, to the host it names.
    std::wstring scheme = text.substr(0, 8);
    for (wchar_t& c : scheme) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    redirect.secure = scheme == L"https://";
    const std::size_t hostStart = redirect.secure ? 8 : 7;
    const std::size_t slash = text.find(L'/', hostStart + 1);
    if (slash == std::wstring::npos) {
        return redirect;
    }
    redirect.found = true;
    if (redirect.secure) {
        redirect.port = INTERNET_DEFAULT_HTTPS_PORT;
    }
    redirect.server = text.substr(hostStart, slash - hostStart);
    redirect.path = text.substr(slash);
    redirect.host = redirect.server;

    const std::size_t colon = redirect.server.rfind(L':');
    const std::size_t digits = colon == std::wstring::npos ? 0 : redirect.server.size() - colon - 1;
    if (digits >= 1 && digits <= 5 &&
        redirect.server.find_first_not_of(L"0123456789", colon + 1) == std::wstring::npos) {
        const unsigned long port = std::wcstoul(redirect.server.c_str() + colon + 1, nullptr, 10);
        if (port >= 1 && port <= 65535) {
            redirect.port = static_cast<std::uint16_t>(port);
            redirect.host = redirect.server.substr(0, colon);
        }
    }
    if (redirect.host.size() >= 2 && redirect.host.front() == L'[' && redirect.host.back() == L']') {
        redirect.host = redirect.host.substr(1, redirect.host.size() - 2);
    }
    return redirect;
}

bool UploadCrmData(QzAutoUpdate::CUpdateConfiguration2* configuration, const QzOSAL::QzPath& dataFile,
                   bool deleteAfterwards, std::function<bool()> cancelled)
{
    Handles handles;
    handles.session = InternetOpen(L"", INTERNET_OPEN_TYPE_PRECONFIG);
    if (handles.session == nullptr || configuration == nullptr) {
        return false;
    }
    // The limits of a patch download: a dead server is not waited for.
    InternetSetTimeouts(handles.session, CTavorHttpTransfer::kDownloadTimeouts);
    if (cancelled) {
        InternetSetKeepGoing(handles.session, [cancelled] { return !cancelled(); });
    }

    CrmRedirect redirect;
    if (!LookUpRedirect(*configuration, handles.session, redirect)) {
        Log(*configuration, L"Unable to redirect path");
        return false;
    }
    if (redirect.found) {
        Log(*configuration, FormatW(L"Redirect found and parsed: server=%s, URL=%s", redirect.server.c_str(),
                                    redirect.path.c_str()));
    }

    handles.connection = InternetConnect(handles.session, redirect.host, redirect.port, L"", L"",
                                         INTERNET_SERVICE_HTTP, 0, kContext);
    if (handles.connection == nullptr) {
        Log(*configuration, L"Unable to get Http Connection");
        return false;
    }
    handles.request = HttpOpenRequest(handles.connection, L"POST", redirect.path, L"", L"", {},
                                      INTERNET_FLAG_EXISTING_CONNECT | (redirect.secure ? INTERNET_FLAG_SECURE : 0),
                                      kContext);
    if (handles.request == nullptr) {
        Log(*configuration, L"Unable to get Http File (OpenRequest)");
        return false;
    }

    QzOSAL::QzFile file(dataFile);
    std::uint64_t fileLength = 0;
    if (file.Open(QzOSAL::QzFile::kModeRead) != QzOSAL::QzFile::kOk ||
        file.GetLength(fileLength) != QzOSAL::QzFile::kOk) {
        return false;
    }

    // Every length goes out as a signed 32-bit "%d"; a body past that range
    // could not be announced truthfully, so such a file is not sent at all.
    if (fileLength > static_cast<std::uint64_t>(INT_MAX)) {
        return false;
    }
    // Lines end with LF alone, and the part headers are followed by two
    // more, as the receiving script has always been sent them.
    const std::string headerPart =
        Ansi(FormatW(L"--%s\n"
                     L"Content-Disposition: form-data; name=\"File\"; filename=\"crm.zip\"\n"
                     L"Content-Type: application/octet-stream\n"
                     L"Content-Length: %d\n"
                     L"\n\n",
                     kBoundary, static_cast<int>(fileLength)));
    const std::string closingPart = Ansi(FormatW(L"\n\n--%s--\n", kBoundary));
    if (headerPart.size() + fileLength + closingPart.size() > static_cast<std::uint64_t>(INT_MAX)) {
        return false;
    }
    const int bodyLength = static_cast<int>(headerPart.size() + fileLength + closingPart.size());

    HttpAddRequestHeaders(handles.request,
                          FormatW(L"Content-Type: multipart/form-data; boundary=%s", kBoundary),
                          HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    HttpAddRequestHeaders(handles.request, FormatW(L"Content-Length: %d", bodyLength),
                          HTTP_ADDREQ_FLAG_ADD_IF_NEW);

    if (!HttpSendRequestEx(handles.request, static_cast<std::uint32_t>(bodyLength), HSR_INITIATE, kContext)) {
        LogUploadError(*configuration);
        return false;
    }

    const BodyResult sent = SendBody(handles.request, file, fileLength, headerPart, closingPart);
    if (sent == BodyResult::FileError) {
        return false;
    }
    if (sent == BodyResult::NetworkError) {
        LogUploadError(*configuration);
    }
    if (file.IsOpen()) {
        file.Close();
    }
    if (deleteAfterwards) {
        // The file has gone out, or was lost on the way; either way it is
        // not offered again.
        unlink(NativeFileName(dataFile.GetPath()).c_str());
    }
    return sent == BodyResult::Sent;
}
