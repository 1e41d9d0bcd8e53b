// The signer side of an Authenticode signature, once the image digest is
// known to match: the signer's authenticated attributes and signature, its
// timestamp, and its certificate chain with code-signing usage.
#pragma once

#include "platform/trust/Authenticode.h"
#include "platform/trust/CertificateTable.h"

namespace qz::platform {

/// Checks everything about `signature` except the image digest, which the
/// caller compares. The trust store is loaded at the call.
AuthenticodeVerdict CheckSigner(const ParsedSignature& signature);

} // namespace qz::platform
