// Certificate chains checked against the system trust store, with no
// revocation checking and no network access.
#pragma once

#include "platform/trust/OpenSslPtr.h"

#include <ctime>
#include <optional>
#include <string>

namespace qz::platform {

/// The trust store as the environment selects it now: SSL_CERT_FILE and/or
/// SSL_CERT_DIR when either is set (only those), else OpenSSL's default
/// paths. Null when the store cannot be created.
X509StorePtr LoadTrustStore();

/// What a chain's end certificate must be allowed to do.
enum class ChainUse {
    CodeSigning,  ///< Extended key usage, where present, includes code signing.
    TimeStamping, ///< OpenSSL's time-stamp signing purpose.
};

/// Builds and verifies the chain of `leaf` to a root of `store` as of `at`,
/// with `untrusted` as helper certificates. On failure `error` says why.
bool VerifyChain(X509_STORE* store, X509* leaf, STACK_OF(X509) * untrusted, std::time_t at, ChainUse use,
                 std::string& error);

/// "CN=..., O=..." of a certificate's subject, for log texts.
std::string SubjectText(const X509* certificate);

/// An ASN.1 time as seconds since the epoch; nothing when it is malformed.
std::optional<std::time_t> ToEpoch(const ASN1_TIME* time);

} // namespace qz::platform
