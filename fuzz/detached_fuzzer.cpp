// Feeds arbitrary bytes as the detached signature of a fixed content: the DER
// parser, the shape rules (detached, one signer, nothing after the DER), the
// signer's attributes and signature, the timestamps and the chain against an
// empty trust store. The seeds are signatures of that very content.
#include "EmptyTrustStore.h"
#include "platform/pe/ByteSource.h"
#include "platform/trust/DetachedSignature.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return UseEmptyTrustStore();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qz::platform;
    static const std::uint8_t kContent[] = "qz fuzz content\n";
    const MemoryByteSource content(std::span(kContent, sizeof kContent - 1));
    if (CheckDetachedSignature(content, std::span(data, size)).valid) {
        __builtin_trap(); // an empty store trusts no one
    }
    return 0;
}
