// The Authenticode digest of a PE image: every byte of the file except the
// CheckSum field, the certificate-table directory entry and the table itself.
#pragma once

#include "platform/pe/ByteSource.h"
#include "platform/pe/PeImage.h"

#include <openssl/evp.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace qz::platform {

/// Hashes `source` up to `tableOffset` (where the certificate table starts),
/// leaving out the CheckSum field and the security directory entry. Reads in
/// blocks of a fixed size, so memory stays flat whatever the file size.
/// Nothing when a read fails or the excluded fields do not lie before the table.
std::optional<std::vector<std::uint8_t>> ComputeImageDigest(const ByteSource& source, const PeImage& image,
                                                            const EVP_MD* md, std::uint64_t tableOffset);

} // namespace qz::platform
