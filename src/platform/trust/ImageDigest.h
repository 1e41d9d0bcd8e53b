// The Authenticode digest of a PE image: every byte of the file except the
// CheckSum field, the certificate-table directory entry and the table itself.
// One engine computes it, fed the file's bytes in order in blocks of any
// size: the check of a finished file reads the file into it, and a download
// feeds it each block as the block is written, so that once the last byte is
// in only the signature itself remains to be checked.
#pragma once

#include "platform/pe/ByteSource.h"
#include "platform/pe/PeImage.h"
#include "platform/trust/OpenSslPtr.h"

#include <openssl/evp.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qz::platform {

/// Where the ranges the digest leaves out lie.
struct ImageDigestLayout {
    std::uint64_t checkSum = 0;      ///< The CheckSum field (4 bytes).
    std::uint64_t securityEntry = 0; ///< The certificate-table directory entry (8 bytes).
    std::uint64_t tableOffset = 0;   ///< The certificate table; nothing from here on is hashed.

    /// The layout of a parsed image, the table where its security entry says;
    /// nothing when the image has no such entry.
    static std::optional<ImageDigestLayout> Of(const PeImage& image);
    /// The ranges lie in order and apart; a digest is defined only then.
    bool IsValid() const { return checkSum + 4 <= securityEntry && securityEntry + 8 <= tableOffset; }
    bool operator==(const ImageDigestLayout&) const = default;
};

/// The digest engine. Fed bytes in file order from offset 0; learns the
/// layout from the headers unless it was given one.
class ImageDigestStream {
  public:
    /// Headers the engine will wait for before it gives up on learning the
    /// layout; real images keep theirs in the first few kilobytes.
    static constexpr std::uint64_t kMaxHeaderBytes = 1u << 20;

    enum class State {
        Learning,  ///< The headers are not all in yet.
        Hashing,   ///< The layout is known and every byte so far is accounted for.
        Unknowable ///< Not a PE image, no valid layout, or headers too far in: use the full check.
    };

    /// Learns the layout from the bytes and hashes with each of `algorithms`.
    explicit ImageDigestStream(std::vector<const EVP_MD*> algorithms = {EVP_sha256()});
    /// Hashes with `md` over a layout already known.
    ImageDigestStream(const ImageDigestLayout& layout, const EVP_MD* md);

    ImageDigestStream(const ImageDigestStream&) = delete;
    ImageDigestStream& operator=(const ImageDigestStream&) = delete;

    /// Forgets every byte: the file starts over from offset 0.
    void Restart();
    /// The next bytes of the file.
    void Update(std::span<const std::uint8_t> bytes);

    State GetState() const { return state_; }
    /// Bytes fed since the start.
    std::uint64_t Fed() const { return fed_; }
    /// The layout the headers gave; only meaningful while Hashing.
    const ImageDigestLayout& Layout() const { return layout_; }

    /// The digest by `md` when this stream hashed with it over `layout` and
    /// has been fed exactly `fileSize` bytes, that is: when it describes the
    /// file whose headers give `layout`. Nothing otherwise.
    std::optional<std::vector<std::uint8_t>> Digest(const ImageDigestLayout& layout, const EVP_MD* md,
                                                    std::uint64_t fileSize) const;

  private:
    void Learn();
    void StartHashing();
    void Hash(std::span<const std::uint8_t> bytes);

    std::vector<const EVP_MD*> algorithms_;
    std::vector<MdCtxPtr> contexts_;
    State state_ = State::Learning;
    bool learns_ = true;
    ImageDigestLayout layout_;
    std::uint64_t fed_ = 0;
    /// Bytes already passed to the hashing (position in the file).
    std::uint64_t hashedTo_ = 0;
    std::vector<std::uint8_t> head_;
    /// Bytes the header parser asked for last; no new attempt before they are in.
    std::uint64_t headWanted_ = 0;
};

/// Hashes `source` up to the table that `layout` names, reading it in blocks
/// of a fixed size, so memory stays flat whatever the file size. Nothing when
/// a read fails or the layout is not valid.
std::optional<std::vector<std::uint8_t>> ComputeImageDigest(const ByteSource& source,
                                                            const ImageDigestLayout& layout, const EVP_MD* md);

} // namespace qz::platform
