// Upload of the host's CRM data file: a redirect lookup names the upload
// script, then the file goes there as a multipart/form-data POST.
#pragma once

#include "osal/QzPath.h"

#include <cstdint>
#include <functional>
#include <string>

#include <QzAutoUpdate/UpdateConfiguration2.h>

/// Sends `dataFile` to the CRM server that the host's redirect URL names, and
/// writes every failure to the host's log. True once the whole request was
/// sent, whatever the server answered. With `deleteAfterwards` the file is
/// removed after a completed send or after a network error while the body
/// was being sent; in every other case it is kept.
/// `cancelled` is asked at least every 250 ms while the network is waited
/// for; true ends the upload as a network error would.
bool UploadCrmData(QzAutoUpdate::CUpdateConfiguration2* configuration, const QzOSAL::QzPath& dataFile,
                   bool deleteAfterwards, std::function<bool()> cancelled = {});

/// Where the redirect answer says the upload goes.
struct CrmRedirect {
    bool found = false;  ///< False when the answer holds no "/" at index 8 or later.
    std::wstring server; ///< The host part as cut from the answer, port included.
    std::wstring host;   ///< The server without its port, for the connection.
    std::uint16_t port = 80;
    std::wstring path; ///< From the "/" on, without trailing white space.
    bool secure = false; ///< The answer named https: the upload goes over TLS.
};

/// Reads a redirect answer such as "http://crm.example/up/crm.php": the
/// server sits between index 7 and the first "/" at index 8 or later, the
/// path runs from that "/" to the end. An answer that begins "https://"
/// (any case) has its server from index 8 on and is sent over TLS, to 443
/// unless it names a port. Trailing white space (a line break the script
/// printed) is dropped first; an explicit ":port" after the server is
/// honoured, 80 otherwise.
CrmRedirect ParseCrmRedirect(const std::wstring& answer);
