// The patch as the patch service describes it in its result document.
#pragma once

#include "osal/QzPath.h"
#include "osal/QzURL.h"
#include "osal/QzVersion.h"

#include <cstdint>
#include <string>
#include <string_view>

class CPatchInfo {
public:
    /// No real result document comes near this; a longer one is not read.
    static constexpr std::size_t kMaxDocumentSize = 4 * 1024 * 1024;

    CPatchInfo();
    CPatchInfo(const CPatchInfo&) = default;
    CPatchInfo& operator=(const CPatchInfo&) = default;
    virtual ~CPatchInfo();

    /// The "pug_installer" value handed to the host with the file.
    std::int32_t GetInstallerKind() const { return installerKind_; }
    std::int64_t GetFileSize() const { return fileSize_; }
    const QzOSAL::QzPath& GetDescriptionFile() const { return descriptionFile_; }
    const std::wstring& GetDescription() const { return description_; }
    const QzOSAL::QzURL& GetUrl() const { return url_; }
    /// The root element's "signature" URL: where the detached signature of a
    /// patch that is no PE file lies; empty when the document names none.
    const QzOSAL::QzURL& GetSignatureUrl() const { return signatureUrl_; }
    const QzOSAL::QzVersion& GetVersion() const { return version_; }

    /// Reads the result document at `path` into this object. Fields the
    /// document does not mention keep their values; an unreadable file, or
    /// one longer than kMaxDocumentSize, changes nothing.
    void ParseResult(const QzOSAL::QzPath& path);
    /// The same over the document's bytes. Reading stops silently at the
    /// first error or at a document type declaration; everything before it
    /// counts, however long the document.
    void ParseResultDocument(std::string_view document);

    /// True when the document described a usable patch: a size, a version
    /// other than 0.0.0.0, a URL and, until a description page exists, a text.
    bool IsValid() const;

    /// Writes the description text as UTF-8 (no byte-order mark) to `path`
    /// with the extension ".html", and remembers that file. A file that
    /// cannot be created is silently not written.
    void WriteDescriptionFile(const QzOSAL::QzPath& path);

private:
    struct Reading;

    std::int32_t installerKind_ = 0;
    std::int64_t fileSize_ = 0;
    QzOSAL::QzPath descriptionFile_;
    std::wstring description_;
    QzOSAL::QzURL url_;
    QzOSAL::QzURL signatureUrl_;
    QzOSAL::QzVersion version_;
};
