// The trust service in place of WinVerifyTrust with the generic verify
// action: does a PE file carry a valid Authenticode signature? Any publisher
// is accepted whose chain reaches a root of the trust store (OpenSSL's default
// paths, or SSL_CERT_FILE / SSL_CERT_DIR when set, read at each call) with
// code-signing usage, judged at the time of a valid timestamp or else now.
// No revocation checking, no network. Stricter than Windows: the certificate
// table must end the file and hold one entry with nothing but zero padding.
#pragma once

#include "platform/pe/ByteSource.h"

#include <string>

namespace qz::platform {

class ImageDigestStream;

/// A verdict with the reason behind it, for log lines and the command line.
struct AuthenticodeVerdict {
    bool valid = false;
    /// On success who signed and how the time was fixed; otherwise the first
    /// check that failed.
    std::string reason;
    /// Whether the image digest came from a stream fed during the download
    /// instead of a read of the file.
    bool streamedDigest = false;
};

/// True when the file at `path` (stored on disk as UTF-8) carries a valid
/// Authenticode signature.
bool VerifyAuthenticode(const std::wstring& path);

/// The same check with its reason.
AuthenticodeVerdict CheckAuthenticode(const std::wstring& path);

/// The same check over any byte source; the file is read in blocks, never whole.
AuthenticodeVerdict CheckAuthenticode(const ByteSource& source);

/// The same check taking the image digest from `streamed` when that stream
/// was fed exactly the bytes of `source` with the algorithm the signature
/// names; then only the headers and the certificate table are read. Any
/// other stream (or none) leaves the digest to a full read of the file, so
/// the verdict is the same either way.
AuthenticodeVerdict CheckAuthenticode(const ByteSource& source, const ImageDigestStream* streamed);

} // namespace qz::platform
