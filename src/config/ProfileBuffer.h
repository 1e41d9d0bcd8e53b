// The buffer rules of the Windows private-profile functions, shared by the
// reader and the profile functions.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

/// Copies a value: when it does not fit, size - 1 characters and a zero, and
/// size - 1 is returned; otherwise its length. Nothing happens for a null
/// buffer or size 0.
inline std::uint32_t QzCopyProfileValue(std::wstring_view text, wchar_t* buffer, std::uint32_t size)
{
    if (buffer == nullptr || size == 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<std::uint32_t>(n);
}

/// Copies a list of zero-terminated items (`list` holds the items with their
/// zeros) and the extra zero that ends it; returns the characters copied
/// without that extra zero. A list that does not fit is cut, its last two
/// characters become zero and size - 2 is returned. For a null buffer or
/// size 0 the buffer size needed is returned.
inline std::uint32_t QzCopyProfileList(std::wstring_view list, wchar_t* buffer, std::uint32_t size)
{
    if (buffer == nullptr || size == 0)
        return static_cast<std::uint32_t>(std::max<std::size_t>(list.size() + 1, 2));
    if (list.size() + 1 <= size) {
        std::copy_n(list.data(), list.size(), buffer);
        buffer[list.size()] = 0;
        if (list.empty() && size >= 2)
            buffer[1] = 0;
        return static_cast<std::uint32_t>(list.size());
    }
    if (size < 2) {
        buffer[0] = 0;
        return 0;
    }
    std::copy_n(list.data(), size - 2, buffer);
    buffer[size - 2] = 0;
    buffer[size - 1] = 0;
    return size - 2;
}
