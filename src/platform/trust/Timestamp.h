// Timestamps on an Authenticode signature: an RFC 3161 token or a legacy
// PKCS#9 countersignature over the signer's signature value. A valid one
// moves the time at which the signer's chain is judged to the time it names.
#pragma once

#include "platform/trust/OpenSslPtr.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace qz::platform {

/// The time of the signer's timestamp when it has a valid one: the token or
/// countersignature covers the signer's signature value, its own signature
/// verifies, and its signer chains to a root of a store made by
/// LoadTrustStore as of the time it names, with the time-stamping purpose.
/// `note` says what was found, for log texts. `signedData` is the primary
/// signature; its certificates help build the countersigner's chain.
/// `tokenAttributes` are the unsigned attributes (dotted OIDs) that may hold
/// an RFC 3161 token; a PKCS#9 countersignature is looked for after them.
/// Without `sha1Accepted` a timestamp that digests with SHA-1 counts for none.
std::optional<std::time_t> VerifiedTimestamp(PKCS7* signedData, PKCS7_SIGNER_INFO* signer,
                                             const std::vector<const char*>& tokenAttributes, bool sha1Accepted,
                                             std::string& note);

} // namespace qz::platform
