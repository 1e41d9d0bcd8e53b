// A four-part version number such as 5.4.0.0: parsed leniently from its
// dotted text, printed as "%u.%u.%u.%u", ordered component by component.
#pragma once

#include <cstdint>
#include <string>

namespace QzOSAL {

/// Four unsigned 32-bit components, index 0 the most significant.
/// 0.0.0.0 is the default and stands for "no version" to callers.
class QzVersion {
public:
    /// 0.0.0.0.
    QzVersion();
    /// The version p0.p1.p2.p3.
    QzVersion(std::uint32_t p0, std::uint32_t p1, std::uint32_t p2, std::uint32_t p3);
    /// As FromString.
    explicit QzVersion(const std::wstring& text);
    explicit QzVersion(const wchar_t* text);
    QzVersion(const QzVersion& other) = default;
    QzVersion& operator=(const QzVersion& other) = default;
    virtual ~QzVersion();

    /// Replaces the whole value by `text` parsed leniently: pieces between
    /// dots (a leading dot skipped, inner empty pieces 0, pieces past the
    /// fourth ignored), each read as a base-10 number with leading blanks
    /// and sign allowed, stopping at the first non-digit, capped at
    /// 4294967295. Never fails. A null pointer reads as the empty text.
    void FromString(const std::wstring& text);
    void FromString(const wchar_t* text);
    /// The text form "a.b.c.d" in decimal, always four components.
    std::wstring ToString() const;

    /// Component `index` (0 to 3, unchecked).
    std::uint32_t GetPart(int index) const;
    /// Sets component `index` (0 to 3, unchecked).
    void SetPart(int index, std::uint32_t value);
    /// Sets all four components to 0.
    void Clear();

    /// True when all four components are equal.
    bool operator==(const QzVersion& other) const;
    bool operator!=(const QzVersion& other) const { return !(*this == other); }
    /// Numeric order over the components, index 0 first.
    bool operator>(const QzVersion& other) const;
    bool operator>=(const QzVersion& other) const;
    bool operator<(const QzVersion& other) const;
    bool operator<=(const QzVersion& other) const;

private:
    std::uint32_t parts_[4];
};

}  // namespace QzOSAL
