// A dialog template as the Windows dialog manager reads it (the extended
// DLGTEMPLATEEX layout), and the reading of its binary form. The binary form
// is what the resource compiler embeds (its writer is the compiler's), so
// templates are looked up and loaded like any other resource.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qz::platform {

/// A resource name: either a 16-bit ordinal or a text (upper case for named
/// resources, as the resource compiler stores them).
struct ResName {
    std::uint16_t ordinal = 0;
    std::wstring name;

    /// Makes an ordinal name.
    static ResName Ordinal(std::uint16_t value) { return ResName{value, {}}; }
    /// Makes a text name.
    static ResName Named(std::wstring text) { return ResName{0, std::move(text)}; }
    /// True for an ordinal, false for a text name.
    bool IsOrdinal() const { return name.empty(); }
    /// True when the name is absent (ordinal 0, no text) in a sz_Or_Ord field.
    bool IsEmpty() const { return name.empty() && ordinal == 0; }
    bool operator==(const ResName&) const = default;
};

/// Ordinals of the predefined control classes in a template.
inline constexpr std::uint16_t kClassButton = 0x0080;
inline constexpr std::uint16_t kClassEdit = 0x0081;
inline constexpr std::uint16_t kClassStatic = 0x0082;
inline constexpr std::uint16_t kClassListBox = 0x0083;
inline constexpr std::uint16_t kClassScrollBar = 0x0084;
inline constexpr std::uint16_t kClassComboBox = 0x0085;

/// One control of a dialog template, in dialog units.
struct DialogItemTemplate {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t cx = 0;
    std::int16_t cy = 0;
    std::uint32_t id = 0;
    /// A predefined class ordinal (kClassButton...) or a class name.
    ResName windowClass;
    /// The control's text, or an ordinal (an icon's resource ID).
    ResName text;
    /// Creation data handed to the control; kept, not interpreted.
    std::vector<std::uint8_t> extra;
    bool operator==(const DialogItemTemplate&) const = default;
};

/// A dialog template: the dialog's frame, font and controls, in dialog units.
struct DialogTemplate {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t cx = 0;
    std::int16_t cy = 0;
    ResName menu;
    ResName windowClass;
    std::wstring caption;
    /// Font fields; present when the style has DS_SETFONT.
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t charset = 0;
    std::wstring typeface;
    std::vector<DialogItemTemplate> items;
    bool operator==(const DialogTemplate&) const = default;
};

/// Reads a template in the DLGTEMPLATEEX layout or in the older DLGTEMPLATE
/// layout. Truncated or inconsistent data gives no result.
std::optional<DialogTemplate> DecodeDialogTemplate(std::span<const std::uint8_t> data);

/// Decodes UTF-16LE code units into wide text; unpaired surrogates become
/// U+FFFD.
std::wstring DecodeUtf16(std::span<const std::uint8_t> data);

} // namespace qz::platform
