// Feeds arbitrary bytes to the certificate-table parser (WIN_CERTIFICATE,
// PKCS#7 SignedData, SpcIndirectDataContent), and what parses to the signer
// checks: attributes, signature, timestamps (unsigned, so mutations there keep
// the signer's signature intact) and the chain against an empty trust store.
#include "EmptyTrustStore.h"
#include "TableImage.h"
#include "platform/pe/ByteSource.h"
#include "platform/trust/Authenticode.h"
#include "platform/trust/CertificateTable.h"
#include "platform/trust/ImageDigest.h"
#include "platform/trust/SignerCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

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
        const auto image = WrapTableInImage(data, size);
        const MemoryByteSource source(image);
        const AuthenticodeVerdict full = CheckAuthenticode(source);
        // The digest fed in odd blocks must decide as the read of the file does.
        ImageDigestStream stream({EVP_sha1(), EVP_sha256(), EVP_sha384(), EVP_sha512()});
        for (std::size_t at = 0; at < image.size(); at += 13) {
            stream.Update(std::span(image).subspan(at, std::min<std::size_t>(13, image.size() - at)));
        }
        const AuthenticodeVerdict streamed = CheckAuthenticode(source, &stream);
        if (streamed.valid != full.valid || streamed.reason != full.reason) {
            __builtin_trap();
        }
    }
    return 0;
}
