// Asks the patch service whether a patch exists for the host's product, and
// fetches it.
#pragma once

#include "patchservice/PatchInfo.h"

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <cstdint>
#include <string>

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

    const CPatchInfo& GetPatchInfo() const { return patchInfo_; }
    const QzOSAL::QzPath& GetLocalFile() const { return localFile_; }
    const QzOSAL::QzURL& GetQueryUrl() const { return queryUrl_; }
    std::int64_t GetContentLength() const { return contentLength_; }

private:
    void Log(const std::wstring& line) const;
    QzOSAL::QzPath DownloadFolder() const;

    CPatchInfo patchInfo_;
    QzAutoUpdate::CUpdateConfiguration2* configuration_;
    QzOSAL::QzPath localFile_;
    QzOSAL::QzURL queryUrl_;
    std::int64_t contentLength_ = 0;
};
