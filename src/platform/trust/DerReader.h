// A minimal reader of DER elements: enough to walk the few fixed structures
// of an Authenticode signature that OpenSSL has no type for. Only definite
// lengths are accepted, so nothing nests without a bound.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace qz::platform {

/// One DER element: its tag, its value octets, and its whole encoding.
struct DerElement {
    std::uint8_t tag = 0;
    std::span<const std::uint8_t> value;
    std::span<const std::uint8_t> encoding;
};

namespace der {
inline constexpr std::uint8_t kSequence = 0x30;
inline constexpr std::uint8_t kSet = 0x31;
inline constexpr std::uint8_t kOctetString = 0x04;
inline constexpr std::uint8_t kObjectIdentifier = 0x06;
} // namespace der

/// Reads elements one after another from a span.
class DerReader {
  public:
    explicit DerReader(std::span<const std::uint8_t> bytes) : rest_(bytes) {}

    /// The next element, or nothing when it is malformed or runs past the
    /// end (single-byte tags, definite lengths of at most four octets).
    std::optional<DerElement> Next();
    /// The next element when it has `tag`; otherwise nothing, and nothing is consumed.
    std::optional<DerElement> Next(std::uint8_t tag);
    bool AtEnd() const { return rest_.empty(); }

  private:
    std::span<const std::uint8_t> rest_;
};

} // namespace qz::platform
