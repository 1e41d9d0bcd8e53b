// The signer side of a PKCS#7 signature, once the content it covers is known:
// the signer's authenticated attributes and signature, its timestamp, and its
// certificate chain with code-signing usage. Authenticode signatures and
// detached signatures of whole files share it.
#pragma once

#include "platform/trust/Authenticode.h"
#include "platform/trust/CertificateTable.h"

#include <functional>
#include <vector>

namespace qz::platform {

/// What a signer vouches for, and the rules its signature is judged by.
struct SignedContent {
    /// The signed contentType attribute it must carry (dotted OID).
    const char* contentType = nullptr;
    /// Its name in reasons.
    const char* contentTypeName = nullptr;
    /// Whether the signer may digest with SHA-1.
    bool sha1Accepted = true;
    /// Unsigned attributes (dotted OIDs) that may hold an RFC 3161 token over
    /// the signature value; a PKCS#9 countersignature is always looked for.
    std::vector<const char*> timestampTokenAttributes;
    /// Writes the content into `sink`, a digest BIO, in pieces; false when it
    /// cannot be read. Called once, so a file is read once.
    std::function<bool(BIO* sink)> write;
};

/// Checks the first signer of `pkcs7` over `content`, its timestamp and its
/// chain. The trust store is loaded at the call.
AuthenticodeVerdict CheckSignerOf(PKCS7* pkcs7, const SignedContent& content);

/// Checks everything about an Authenticode `signature` except the image
/// digest, which the caller compares.
AuthenticodeVerdict CheckSigner(const ParsedSignature& signature);

} // namespace qz::platform
