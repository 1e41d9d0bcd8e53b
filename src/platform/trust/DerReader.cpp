#include "platform/trust/DerReader.h"

namespace qz::platform {

std::optional<DerElement> DerReader::Next()
{
    if (rest_.size() < 2 || (rest_[0] & 0x1f) == 0x1f) {
        return std::nullopt;
    }
    std::size_t header = 2;
    std::uint64_t length = rest_[1];
    if (length & 0x80) {
        const std::size_t octets = length & 0x7f;
        if (octets == 0 || octets > 4 || rest_.size() < 2 + octets) {
            return std::nullopt; // indefinite, oversized or cut short
        }
        length = 0;
        for (std::size_t i = 0; i < octets; ++i) {
            length = (length << 8) | rest_[2 + i];
        }
        header += octets;
    }
    if (length > rest_.size() - header) {
        return std::nullopt;
    }
    DerElement element;
    element.tag = rest_[0];
    element.encoding = rest_.first(header + length);
    element.value = element.encoding.subspan(header);
    rest_ = rest_.subspan(header + length);
    return element;
}

std::optional<DerElement> DerReader::Next(std::uint8_t tag)
{
    DerReader probe = *this;
    auto element = probe.Next();
    if (!element || element->tag != tag) {
        return std::nullopt;
    }
    *this = probe;
    return element;
}

} // namespace qz::platform
