// Feeds arbitrary bytes to the certificate-table parser (WIN_CERTIFICATE,
// PKCS#7 SignedData, SpcIndirectDataContent), and what parses to the signer
// checks: attributes, signature, timestamps (unsigned, so mutations there keep
// the signer's signature intact) and the chain against an empty trust store.
#include "EmptyTrustStore.h"
#include "platform/pe/ByteSource.h"
#include "platform/trust/Authenticode.h"
#include "platform/trust/CertificateTable.h"
#include "platform/trust/SignerCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A minimal PE32+ header whose certificate table is `table`.
std::vector<std::uint8_t> WrapInImage(const std::uint8_t* table, std::size_t size)
{
    std::vector<std::uint8_t> image(0x200, 0);
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3c] = 0x40;
    std::memcpy(image.data() + 0x40, "PE\0\0", 4);
    image[0x40 + 4 + 16] = 240; // SizeOfOptionalHeader
    const std::size_t opt = 0x40 + 24;
    image[opt] = 0x0b;
    image[opt + 1] = 0x02;
    image[opt + 108] = 16;
    const std::size_t entry = opt + 112 + 4 * 8;
    const std::uint32_t offset = 0x200, length = static_cast<std::uint32_t>(size);
    std::memcpy(image.data() + entry, &offset, 4);
    std::memcpy(image.data() + entry + 4, &length, 4);
    image.insert(image.end(), table, table + size);
    return image;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return UseEmptyTrustStore();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qz::platform;
    const CertificateTableResult parsed = ParseCertificateTable(std::span(data, size));
    if (parsed.signature && parsed.signature->imageDigest.empty()) {
        __builtin_trap(); // a parsed signature always names a digest
    }
    if (parsed.signature) {
        if (CheckSigner(*parsed.signature).valid) {
            __builtin_trap(); // an empty store trusts no one
        }
        const auto image = WrapInImage(data, size);
        const MemoryByteSource source(image);
        (void)CheckAuthenticode(source);
    }
    return 0;
}
