// The binary forms the resource compiler writes: dialog templates and string
// blocks. The library only reads them (DecodeDialogTemplate,
// StringFromBlock), so the writers live with the compiler.
#pragma once

#include "platform/RcDialogTemplate.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qz::platform {

/// Writes the template in the DLGTEMPLATEEX layout (little-endian, UTF-16,
/// items aligned to four bytes).
std::vector<std::uint8_t> EncodeDialogTemplate(const DialogTemplate& dialog);

/// Writes a string block of 16 entries; missing entries have length zero.
std::vector<std::uint8_t> EncodeStringBlock(const std::array<std::wstring, 16>& entries);

/// Appends text as UTF-16LE code units (no terminator).
void AppendUtf16(std::vector<std::uint8_t>& out, std::wstring_view text);

} // namespace qz::platform
