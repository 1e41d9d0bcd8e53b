// Detached signatures for patches that are not PE files: a DER CMS/PKCS#7
// SignedData without content (what `openssl cms -sign -binary -outform DER`
// writes), judged by the rules of the Authenticode check: a chain to the
// trust store, code-signing usage, a timestamp that fixes the time of the
// chain check, and a digest of SHA-256 or stronger over the whole file.
#pragma once

#include "platform/pe/ByteSource.h"
#include "platform/trust/Authenticode.h"

#include <cstdint>
#include <span>
#include <string>

namespace qz::platform {

/// Largest signature file read: a chain and a timestamp take a few kilobytes.
inline constexpr std::uint64_t kMaxDetachedSignatureSize = 256 * 1024;

/// The name of the signature that belongs to a file: the file's name plus ".p7s".
std::wstring DetachedSignaturePath(const std::wstring& path);

/// Whether the bytes start as a PE file does ("MZ"); such a file must carry
/// its own Authenticode signature, whatever lies beside it.
bool LooksLikePeFile(const ByteSource& source);

/// Checks `signature` (DER) over every byte of `content`, read once in blocks.
AuthenticodeVerdict CheckDetachedSignature(const ByteSource& content, std::span<const std::uint8_t> signature);

/// The same with the signature read from `signaturePath` (at most
/// kMaxDetachedSignatureSize bytes).
AuthenticodeVerdict CheckDetachedSignature(const ByteSource& content, const std::wstring& signaturePath);

/// The check a patch gets: a PE file its Authenticode signature, any other
/// file the detached signature at `signaturePath`.
/// With `streamed`, a PE file's image digest comes from that stream when it
/// fits the file (see CheckAuthenticode).
AuthenticodeVerdict CheckPatchSignature(const ByteSource& content, const std::wstring& signaturePath,
                                        const ImageDigestStream* streamed = nullptr);

} // namespace qz::platform
