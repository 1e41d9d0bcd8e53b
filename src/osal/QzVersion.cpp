#include "osal/QzVersion.h"

#include "osal/SplitString.h"
#include "platform/WinFormat.h"

#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace QzOSAL {
namespace {

constexpr unsigned long long kMax32 = 0xFFFFFFFFull;

// wcstoul in base 10 as a 32-bit unsigned long has it: out-of-range values
// give the maximum, and a minus sign negates modulo 2^32. The 64-bit
// unsigned long of Linux is narrowed to those rules here.
std::uint32_t ParsePiece(const std::wstring& piece)
{
    errno = 0;
    const unsigned long long value = std::wcstoul(piece.c_str(), nullptr, 10);
    if (errno == ERANGE)
        return static_cast<std::uint32_t>(kMax32);
    std::size_t i = 0;
    while (i < piece.size() && std::iswspace(static_cast<wint_t>(piece[i])))
        ++i;
    const bool negative = i < piece.size() && piece[i] == L'-';
    const unsigned long long magnitude = negative ? 0 - value : value;
    if (magnitude > kMax32)
        return static_cast<std::uint32_t>(kMax32);
    return negative ? static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(magnitude))
                    : static_cast<std::uint32_t>(magnitude);
}

}  // namespace

QzVersion::QzVersion() : parts_{0, 0, 0, 0} {}

QzVersion::QzVersion(std::uint32_t p0, std::uint32_t p1, std::uint32_t p2, std::uint32_t p3)
    : parts_{p0, p1, p2, p3}
{
}

QzVersion::QzVersion(const std::wstring& text) : QzVersion() { FromString(text); }

QzVersion::QzVersion(const wchar_t* text) : QzVersion() { FromString(text); }

QzVersion::~QzVersion() = default;

void QzVersion::FromString(const std::wstring& text)
{
    Clear();
    std::vector<std::wstring> pieces;
    SplitString(text, L".", pieces);
    for (std::size_t i = 0; i < pieces.size() && i < 4; ++i)
        parts_[i] = ParsePiece(pieces[i]);
}

void QzVersion::FromString(const wchar_t* text) { FromString(std::wstring(text ? text : L"")); }

std::wstring QzVersion::ToString() const
{
    return qz::platform::FormatW(L"%u.%u.%u.%u", parts_[0], parts_[1], parts_[2], parts_[3]);
}

std::uint32_t QzVersion::GetPart(int index) const { return parts_[index]; }

void QzVersion::SetPart(int index, std::uint32_t value) { parts_[index] = value; }

void QzVersion::Clear()
{
    for (std::uint32_t& p : parts_)
        p = 0;
}

bool QzVersion::operator==(const QzVersion& other) const
{
    return parts_[0] == other.parts_[0] && parts_[1] == other.parts_[1] &&
           parts_[2] == other.parts_[2] && parts_[3] == other.parts_[3];
}

// The four orderings share the walk over components 0 to 2, where a strict
// difference decides; only the test at component 3 differs.
bool QzVersion::operator>(const QzVersion& other) const
{
    for (int i = 0; i < 3; ++i)
        if (parts_[i] != other.parts_[i])
            return parts_[i] > other.parts_[i];
    return parts_[3] > other.parts_[3];
}

bool QzVersion::operator>=(const QzVersion& other) const
{
    for (int i = 0; i < 3; ++i)
        if (parts_[i] != other.parts_[i])
            return parts_[i] > other.parts_[i];
    return parts_[3] >= other.parts_[3];
}

bool QzVersion::operator<(const QzVersion& other) const
{
    for (int i = 0; i < 3; ++i)
        if (parts_[i] != other.parts_[i])
            return parts_[i] < other.parts_[i];
    return parts_[3] < other.parts_[3];
}

bool QzVersion::operator<=(const QzVersion& other) const
{
    for (int i = 0; i < 3; ++i)
        if (parts_[i] != other.parts_[i])
            return parts_[i] < other.parts_[i];
    return parts_[3] <= other.parts_[3];
}

}  // namespace QzOSAL
