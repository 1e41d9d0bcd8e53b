// What each control family reads from its template section: the keys in
// reading order, the form of each value and the option bit that enables it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "gui/ControlTemplate.h"

/// How a key's value is written.
enum class QzTemplateValueForm {
    FlagText,            // names joined by "|"
    FlagWord,            // the key, key + "ToAdd", key + "ToRemove" on an inherited word
    Integer,             // decimal
    IntegerOrFlags,      // decimal when it starts like a number, else a flag text
    Color,               // "r, g, b[, a]" or a named value of "general"
    Rect,                // "left, top, right, bottom"
    Image,               // an image name of the file's image table
    Font,                // "face, size weight ..." with the key + ".alternative" fallback
    FontGroup,           // "%s.name", "%s.height", ... "%s.color", "%s.offset", "%s.format"
    ImageGroup,          // "%s.type", "%s.source", ... tiles and SVG settings
    GenericGroup,        // an image group whose absence is reported
    BackgroundOrGeneric, // an image group, else the older "generic.*" keys
    SubTemplate,         // the name of another template of the same file
    Text,                // a plain text
    Points,              // "x, y, x, y, ..."
};

/// Which of a flag word's three keys the family defines.
enum QzFlagWordKeys : std::uint8_t {
    kFlagWordSet = 1,
    kFlagWordAdd = 2,
    kFlagWordRemove = 4,
    kFlagWordAll = 7,
};

struct QzTemplateKeySpec {
    const wchar_t* key;
    QzTemplateValueForm form;
    /// The constant whose bit must be set for the key to be read; null
    /// for keys that are always read.
    const wchar_t* guard = nullptr;
    /// The guard is a bit of the template's "flags" word, not of the
    /// option word.
    bool guardOnFlags = false;
    std::uint8_t flagWordKeys = kFlagWordAll;
};

/// The family a "controlClass" text names (compared without regard to
/// case); Unknown for any other text.
QzTemplateFamily QzTemplateFamilyFromClass(std::wstring_view controlClass);

/// The class name of a family, as template files write it.
const wchar_t* QzTemplateControlClass(QzTemplateFamily family);

/// The keys a family reads after "baseTemplate" and the option word.
std::span<const QzTemplateKeySpec> QzTemplateKeys(QzTemplateFamily family);
