// One-shot HTTP(S) download of a URL into a file, block by block, with
// progress and cooperative cancellation.
#pragma once

#include "platform/StagedFile.h"
#include "platform/internet/Internet.h"

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

/// Follows a transfer: status texts, begin, progress, errors, and a say in
/// whether to go on. Texts arrive as narrow strings in the ANSI code page.
class ITransferStatusListener {
public:
    virtual void OnTransferStatus(const char* text) = 0;
    virtual void OnTransferBegin(const char* text, std::uint32_t received, std::uint32_t expected) = 0;
    virtual void OnTransferProgress(std::uint32_t received) = 0;
    /// Not called by the engine; kept so the interface's slots stay in place.
    virtual void OnTransferReserved1() {}
    virtual void OnTransferReserved2() {}
    /// 0 stops the transfer.
    virtual int ContinueTransfer() = 0;
    virtual void OnTransferError(const char* text) = 0;

protected:
    ~ITransferStatusListener() = default;
};

/// Sees the body as it goes into the target file: the file's bytes in order
/// from offset 0, whatever part of them this transfer received. When a
/// transfer continues a partial file of an earlier one, the bytes already on
/// disk come first, then the received ones.
class ITransferBodyObserver {
public:
    /// The file starts over, empty; whatever was seen before is void.
    virtual void OnBodyStart() = 0;
    /// The next bytes of the file, once they are written.
    virtual void OnBodyBytes(const std::uint8_t* data, std::size_t length) = 0;
    /// Where the transfer may receive up to `wanted` next bytes, before it
    /// writes them and shows them to OnBodyBytes; spares the observer a copy
    /// of each. Empty: the transfer receives into a buffer of its own.
    virtual std::span<std::uint8_t> BodyRoom(std::size_t /*wanted*/) { return {}; }

protected:
    ~ITransferBodyObserver() = default;
};

class CTavorHttpTransfer {
public:
    /// Size of each read, and of the one buffer an exchange allocates.
    static constexpr std::uint32_t kDefaultBlockSize = 0x10000;
    /// A patch download: half a minute to connect; less than 1 KiB a second
    /// for half a minute is a dead server, not a slow one.
    static constexpr qz::platform::InternetTimeouts kDownloadTimeouts{30, 1024, 30, 0};

    CTavorHttpTransfer();
    CTavorHttpTransfer(const CTavorHttpTransfer&) = delete;
    CTavorHttpTransfer& operator=(const CTavorHttpTransfer&) = delete;
    // Closes request, connection and session, then the target file.
    ~CTavorHttpTransfer();

    /// Runs the whole exchange for the URL parts already set.
    virtual bool Transfer();
    /// Takes one received block: writes it and reports progress.
    virtual bool OnData(const char* block, std::uint32_t length);

    /// Splits `url` (percent escapes decoded) and transfers it into
    /// `targetFile` (when given) with an optional expected size.
    bool DownloadToFile(const std::wstring& url, std::uint32_t expectedSize = 0,
                        const wchar_t* targetFile = nullptr);
    /// Transfers http://host/path; the target is narrow text in the ANSI code page.
    bool DownloadFromHostPath(const std::wstring& host, const std::wstring& path,
                              std::uint32_t expectedSize = 0, const char* targetFile = nullptr);
    /// The probing variant: one block of a good answer is enough; nothing is written.
    bool DownloadFromAnsiUrl(const char* url);
    bool Probe();

    void SetProgressReceiver(QzAutoUpdate::CUpdateConfiguration2* receiver) { receiver_ = receiver; }
    void SetStatusListener(ITransferStatusListener* listener) { listener_ = listener; }
    /// Shown every byte of the target file; null for none.
    void SetBodyObserver(ITransferBodyObserver* observer) { bodyObserver_ = observer; }
    void SetSaveErrorAnswer(bool save) { saveErrorAnswer_ = save; }
    void SetAskBeforeOverwriting(bool ask) { askBeforeOverwriting_ = ask; }
    void SetReportServerErrors(bool report) { reportServerErrors_ = report; }
    /// Asked with the receiver's IsCancelled while the transfer waits; true stops it.
    void SetCancelCheck(std::function<bool()> check) { cancelCheck_ = std::move(check); }
    /// Limits of the next session; by default those of a patch download.
    void SetTimeouts(const qz::platform::InternetTimeouts& timeouts) { timeouts_ = timeouts; }
    /// A body longer than this fails the transfer; 0 sets no limit.
    void SetSizeLimit(std::uint64_t bytes) { sizeLimit_ = bytes; }
    /// A body of any other length fails the transfer; 0 accepts any.
    void SetRequiredSize(std::uint64_t bytes) { requiredSize_ = bytes; }
    /// Whether a good body goes to the target name at once (the default), or
    /// stays staged until the caller takes it, checks it and commits it.
    void SetCommitOnSuccess(bool commit) { commitOnSuccess_ = commit; }
    /// Whether a stopped body is kept beside the target as "<target>.part"
    /// (the default) or removed.
    void SetKeepPartial(bool keep) { keepPartial_ = keep; }
    /// Connections that drop in the middle of a resumable body are resumed
    /// this often within one transfer before it fails.
    static constexpr int kMaxResumes = 3;
    /// Whether a body keeps a record beside its partial file ("<target>.part"
    /// and "<target>.resume"), so that the next transfer of the same URL, or
    /// this one after a dropped connection, asks the server only for the
    /// rest. Off by default: only a download worth continuing wants it.
    void SetResume(bool resume) { resume_ = resume; }
    /// The wait before a dropped connection is resumed.
    void SetResumePause(std::chrono::milliseconds pause) { resumePause_ = pause; }
    /// Where the engine's own log lines go (resumes, restarts, refused partial files).
    void SetLogSink(std::function<void(const std::wstring&)> sink) { logSink_ = std::move(sink); }
    /// The offset at which the last transfer continued a partial file of an
    /// earlier one; 0 when it started from zero.
    std::uint64_t GetResumedFrom() const { return resumedFrom_; }
    /// Dropped connections the last transfer resumed.
    int GetResumeCount() const { return resumeCount_; }

    /// The file the last body went to, staged or placed; the engine forgets it.
    qz::platform::StagedFile TakeStagedFile() { return std::move(target_); }
    const qz::platform::StagedFile& GetStagedFile() const { return target_; }
    bool IsSizeLimitExceeded() const { return sizeLimitExceeded_; }
    /// Whether the last body was stopped by a cancel (receiver, check or listener).
    bool WasStopped() const { return stopped_; }
    /// Bytes of the last body, without the 32-bit bound of GetBytesReceived.
    std::uint64_t GetTotalReceived() const { return totalReceived_; }

    std::int64_t GetContentLength() const { return contentLength_; }
    /// True when the answer is chunked or announced a length above 0.
    bool HasContent() const { return chunked_ || contentLength_ > 0; }
    std::int32_t GetStatusCode() const { return statusCode_; }
    std::uint32_t GetBytesReceived() const { return bytesReceived_; }
    bool IsAnswerSaved() const { return answerSaved_; }
    bool IsChunked() const { return chunked_; }
    const std::wstring& GetTargetFile() const { return targetFile_; }
    std::uint16_t GetPort() const { return port_; }

    /// Restores every default and empties the URL parts.
    void Reset();

    // The smaller steps, each usable alone.
    bool OpenSession();
    bool Connect();
    bool OpenRequest();
    bool OpenUrl(const std::wstring& url);
    bool SendRequest();
    bool CheckStatus();
    bool OpenTargetFile();
    bool ReceiveToFile();
    void CloseTargetFile();

private:
    void ResetUrlParts();
    bool CrackUrl(const std::wstring& url);
    void CloseHandles();
    bool ReadStatusCode(std::int32_t& status, std::wstring& raw);
    void Status(const std::wstring& text);
    void Error(const std::wstring& text);
    void StatusText(std::uint32_t id);
    void ErrorText(std::uint32_t id);
    bool ShouldStop();
    bool FinishTarget(bool complete);
    void Log(const std::wstring& line) const;
    std::string NativeTarget() const;
    void PrepareResume();
    bool SendResumable();
    bool AnswerContinues(std::wstring& why);
    bool ContinueTarget();
    void StartFile();
    bool ResumeAfterDrop();
    bool PauseBeforeResume();

    bool saveErrorAnswer_ = true;
    bool reportServerErrors_ = false;
    bool askBeforeOverwriting_ = true;
    std::wstring defaultFileName_;
    std::wstring targetFile_;
    std::wstring userName_;
    std::int32_t statusCode_ = 0;
    std::uint32_t bytesReceived_ = 0;
    std::uint32_t expectedSize_ = 0;
    std::uint32_t blockSize_ = kDefaultBlockSize;
    // URL parts. Unlike the fixed 260-character buffers they stand in for,
    // they take parts of any length: long download URLs are common.
    qz::platform::InternetScheme scheme_ = qz::platform::INTERNET_SCHEME_UNKNOWN;
    std::wstring hostName_;
    std::wstring urlPath_;
    std::wstring extraInfo_;
    std::wstring password_;
    std::uint16_t port_ = 0;
    ITransferStatusListener* listener_ = nullptr;
    ITransferBodyObserver* bodyObserver_ = nullptr;
    qz::platform::HINTERNET session_ = nullptr;
    qz::platform::HINTERNET connection_ = nullptr;
    qz::platform::HINTERNET request_ = nullptr;
    std::uint32_t context_ = 0;
    qz::platform::StagedFile target_;
    bool answerSaved_ = false;
    bool chunked_ = false;
    std::int64_t contentLength_ = 0;
    QzAutoUpdate::CUpdateConfiguration2* receiver_ = nullptr;
    std::function<bool()> cancelCheck_;
    qz::platform::InternetTimeouts timeouts_ = kDownloadTimeouts;
    std::uint64_t sizeLimit_ = 0;
    std::uint64_t requiredSize_ = 0;
    std::uint64_t totalReceived_ = 0;
    bool sizeLimitExceeded_ = false;
    bool stopped_ = false;
    bool commitOnSuccess_ = true;
    bool keepPartial_ = true;

    bool resume_ = false;
    std::chrono::milliseconds resumePause_{1000};
    std::function<void(const std::wstring&)> logSink_;
    std::wstring url_;
    // What the partial file is continued with: the offset the request in
    // flight asks from (0: the whole body), the validator and the length of
    // the whole file. An empty validator means nothing can be resumed.
    std::uint64_t rangeFrom_ = 0;
    std::wstring validator_;
    std::uint64_t total_ = 0;
    bool continuing_ = false;
    bool readFailed_ = false;
    std::uint64_t resumedFrom_ = 0;
    int resumeCount_ = 0;
};
