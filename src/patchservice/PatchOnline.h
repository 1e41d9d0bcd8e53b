// Asks the patch service whether a patch exists for the host's product, and
// fetches it.
#pragma once

#include "patchservice/PatchInfo.h"
#include "patchservice/TavorHttpTransfer.h"
#include "platform/internet/Internet.h"
#include "platform/pe/ByteSource.h"
#include "platform/trust/ImageDigestWorker.h"

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

/// The image digest of a patch, computed from the bytes as the transfer
/// writes them, for the signature check that follows. The hashing runs in a
/// thread of its own, so that it overlaps the transfer instead of adding to it.
class CPatchDigest final : public ITransferBodyObserver {
public:
    void OnBodyStart() override { worker_.Restart(); }
    void OnBodyBytes(const std::uint8_t* data, std::size_t length) override { worker_.Update({data, length}); }
    std::span<std::uint8_t> BodyRoom(std::size_t wanted) override { return worker_.Room(wanted); }
    /// Waits until every byte seen is hashed; what the check takes.
    const qz::platform::ImageDigestStream& Finish() { return worker_.Finish(); }
    /// A transfer that failed: nothing of its bytes is wanted.
    void Cancel() { worker_.Cancel(); }

private:
    qz::platform::ImageDigestWorker worker_;
};

class CPatchOnline {
public:
    /// Builds the query URL from `configuration`, which may be null.
    explicit CPatchOnline(QzAutoUpdate::CUpdateConfiguration2* configuration);
    CPatchOnline(const CPatchOnline&) = delete;
    CPatchOnline& operator=(const CPatchOnline&) = delete;
    virtual ~CPatchOnline();

    /// Writes the result document's file name into `name` and returns it.
    virtual std::wstring& GetResultFileName(std::wstring& name);
    /// Builds the query URL from the configuration.
    virtual void BuildURL();

    /// Fetches the result document; with `report`, parses it and tells the
    /// host version and description. 1 when the answer is usable, else 2.
    std::uint32_t IsAvailable(bool report);
    /// Downloads the patch into the download folder; with `report`, the host
    /// follows the transfer and receives the file. 1, 3, 10 or 15.
    std::uint32_t Download(bool report);

    /// No real result document comes near this; a longer answer is refused.
    static constexpr std::uint64_t kMaxResultDocument = 4 * 1024 * 1024;
    /// A query waits no longer than a user waits for the update dialog to
    /// fill: 15 s to connect, 15 s below 512 bytes a second, 30 s in all.
    static constexpr qz::platform::InternetTimeouts kQueryTimeouts{15, 512, 15, 30};

    /// The folder the host named, or else the user's private temporary folder;
    /// nothing, with a log line, when that folder is not private.
    static std::optional<QzOSAL::QzPath> ResolveDownloadFolder(QzAutoUpdate::CUpdateConfiguration2& configuration);

    /// Whether a parsed document may be acted on: valid, and, when the query
    /// went over https, naming an https patch (else logged and refused).
    bool IsAcceptable(const CPatchInfo& info) const;

    /// Where the detached signature of a patch lies: the document's
    /// "signature" URL, else the patch URL with ".p7s" added to its path;
    /// empty for a patch URL without a path.
    static std::wstring SignatureUrl(const CPatchInfo& info);
    /// Part of the download of a patch that is no PE file: fetches its
    /// detached signature beside `patchFile` (its name plus ".p7s") under the
    /// patch's transfer rules, after removing whatever lay there. Nothing to
    /// fetch for a PE file. False only when `cancel` stopped the fetch; a
    /// signature that could not be had fails the check that follows.
    static bool FetchSignature(const CPatchInfo& info, const qz::platform::ByteSource& patch,
                               const QzOSAL::QzPath& patchFile, const std::function<bool()>& cancel);

    /// Asked while a transfer waits; true stops it. By default the host's IsCancelled.
    void SetCancelCheck(std::function<bool()> check) { cancelCheck_ = std::move(check); }
    /// The result document as received by the last good IsAvailable, read
    /// back through the file that was written, not by its name.
    const std::string& GetResultDocument() const { return resultDocument_; }
    const CPatchInfo& GetPatchInfo() const { return patchInfo_; }
    const QzOSAL::QzPath& GetLocalFile() const { return localFile_; }
    const QzOSAL::QzURL& GetQueryUrl() const { return queryUrl_; }
    std::int64_t GetContentLength() const { return contentLength_; }
    /// Whether the last download's check took the digest computed during the transfer.
    bool WasDigestStreamed() const { return digestStreamed_; }

private:
    void Log(const std::wstring& line) const;
    std::function<bool()> CancelCheck() const;

    CPatchInfo patchInfo_;
    QzAutoUpdate::CUpdateConfiguration2* configuration_;
    QzOSAL::QzPath localFile_;
    QzOSAL::QzURL queryUrl_;
    std::int64_t contentLength_ = 0;
    std::function<bool()> cancelCheck_;
    std::string resultDocument_;
    bool digestStreamed_ = false;
};
