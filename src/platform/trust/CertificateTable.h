// The attribute certificate table of a signed PE file: one WIN_CERTIFICATE
// holding a PKCS#7 SignedData over an SpcIndirectDataContent. Parsing checks
// structure only (no cryptography): layout, lengths, padding and the content
// that names the image digest. Parsers do no I/O, so this runs on any bytes.
#pragma once

#include "platform/trust/OpenSslPtr.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qz::platform {

/// A certificate table that passed the structural checks.
struct ParsedSignature {
    Pkcs7Ptr pkcs7;                               ///< The SignedData.
    const EVP_MD* imageDigestAlgorithm = nullptr; ///< Algorithm of the image digest (SHA-1/2 only).
    std::vector<std::uint8_t> imageDigest;        ///< The digest the signer vouched for.
    /// SpcIndirectDataContent's value octets: what the signer's messageDigest covers.
    std::vector<std::uint8_t> signedContent;
};

/// Outcome of ParseCertificateTable: a signature, or the reason there is none.
struct CertificateTableResult {
    std::optional<ParsedSignature> signature;
    std::string error;
};

/// Largest certificate table accepted; real ones are a few kilobytes.
inline constexpr std::uint64_t kMaxCertificateTableSize = 1u << 20;

/// Checks and parses a whole certificate table (everything the security
/// directory covers). Exactly one WIN_CERTIFICATE (revision 0x0200, type
/// PKCS_SIGNED_DATA) whose length is the DER length of its content plus 8,
/// optionally rounded up to 8, followed by zero padding to the next multiple
/// of 8 and nothing else.
CertificateTableResult ParseCertificateTable(std::span<const std::uint8_t> table);

/// The digest algorithm named by `algorithm` when the verifier accepts it
/// (SHA-1, SHA-256, SHA-384, SHA-512), else null; MD5 is refused.
const EVP_MD* AcceptedDigest(const ASN1_OBJECT* algorithm);

} // namespace qz::platform
