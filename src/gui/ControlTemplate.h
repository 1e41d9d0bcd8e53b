// One parsed control template: the option word and the flag words, colours,
// rectangles, images, fonts and sub-template names that a section of a
// control-template file gives its control family, after inheritance.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "config/LogFont.h"
#include "config/QZLegacyIniFileSupport.h"
#include "platform/WinUser.h"

/// The control families a template can describe ("controlClass").
enum class QzTemplateFamily {
    Unknown,
    Button,
    Static,
    ColorFrame,
    Edit,
    Fader,
    ComboBox,
    ListBox,
    PeakMeter,
    ScrollBar,
    SpinButton,
    RichEdit,
    Knob,
    ColorTable,
    DateTime,
    ColorWheel,
    Menu,
    TreeListView,
    Dialog,
};

/// An image reference: the name the template used and the file it stands
/// for (empty when the name could not be resolved).
struct QzTemplateImage {
    std::wstring name;
    std::wstring path;
    bool operator==(const QzTemplateImage&) const = default;
};

/// A font group ("caption.name", "caption.height", ...) with the colour,
/// offset and format of the text drawn in it.
struct QzTemplateFont {
    LOGFONTW font{};
    QzColorRef color = 0;
    qz::platform::RECT offset;
    std::uint32_t format = 0;
};

/// An image group ("background.type", "background.source", ...): how a
/// control's surface is built from an image and its parts.
struct QzTemplateImageGroup {
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    QzTemplateImage source;
    qz::platform::RECT inner;
    qz::platform::RECT borders;
    // Drawing modes of the nine parts (QZDIB_IMG_ names).
    std::uint32_t center = 0;
    std::uint32_t left = 0;
    std::uint32_t top = 0;
    std::uint32_t right = 0;
    std::uint32_t bottom = 0;
    std::uint32_t rop = 0;
    std::int32_t transparency = 0;
    QzColorRef centerColor = 0;
    // Tiled images by part ("left", "center", ..., "rightbottom").
    std::map<std::wstring, QzTemplateImage> tiles;
    // SVG settings by the rest of their key ("image", "image.state.pressed").
    std::map<std::wstring, std::wstring> svg;
};

class CQZControlTemplate {
  public:
    CQZControlTemplate(std::wstring name, QzTemplateFamily family);

    /// The section name.
    const std::wstring& GetName() const { return name_; }
    QzTemplateFamily GetFamily() const { return family_; }
    /// The "baseTemplate" text, empty when the template has none.
    const std::wstring& GetBaseName() const { return baseName_; }
    /// The final option word.
    std::uint32_t GetOptions() const { return options_; }

    /// Values by their key (flag words by the key of their replacing form:
    /// "flags", "extendedFlags", "menuPopupFlags", ...). Null when the
    /// template neither inherited nor read the key.
    const std::uint32_t* FindFlags(std::wstring_view key) const { return Find(flags_, key); }
    const std::int32_t* FindInt(std::wstring_view key) const { return Find(ints_, key); }
    const QzColorRef* FindColor(std::wstring_view key) const { return Find(colors_, key); }
    const qz::platform::RECT* FindRect(std::wstring_view key) const { return Find(rects_, key); }
    const QzTemplateImage* FindImage(std::wstring_view key) const { return Find(images_, key); }
    const LOGFONTW* FindFont(std::wstring_view key) const { return Find(fonts_, key); }
    const QzTemplateFont* FindFontGroup(std::wstring_view key) const { return Find(fontGroups_, key); }
    const QzTemplateImageGroup* FindImageGroup(std::wstring_view key) const
    {
        return Find(imageGroups_, key);
    }
    /// Plain texts and the names of sub-templates.
    const std::wstring* FindText(std::wstring_view key) const { return Find(texts_, key); }
    const std::vector<qz::platform::POINT>* FindPoints(std::wstring_view key) const
    {
        return Find(points_, key);
    }

    /// The value or the caller's default.
    std::uint32_t GetFlags(std::wstring_view key, std::uint32_t defaultValue = 0) const;
    std::int32_t GetInt(std::wstring_view key, std::int32_t defaultValue = 0) const;
    QzColorRef GetColor(std::wstring_view key, QzColorRef defaultValue = 0) const;
    qz::platform::RECT GetRect(std::wstring_view key, qz::platform::RECT defaultValue = {}) const;
    std::wstring GetText(std::wstring_view key) const;

    /// Number of values held, over all kinds.
    std::size_t GetValueCount() const;

  private:
    friend class CQZControlTemplateBuilder;

    template <class T> using Map = std::map<std::wstring, T, std::less<>>;

    template <class T> static const T* Find(const Map<T>& map, std::wstring_view key)
    {
        const auto it = map.find(key);
        return it == map.end() ? nullptr : &it->second;
    }

    /// Takes over every value of `base` (name, family and base name stay).
    void InheritFrom(const CQZControlTemplate& base);

    std::wstring name_;
    QzTemplateFamily family_;
    std::wstring baseName_;
    std::uint32_t options_ = 0;
    Map<std::uint32_t> flags_;
    Map<std::int32_t> ints_;
    Map<QzColorRef> colors_;
    Map<qz::platform::RECT> rects_;
    Map<QzTemplateImage> images_;
    Map<LOGFONTW> fonts_;
    Map<QzTemplateFont> fontGroups_;
    Map<QzTemplateImageGroup> imageGroups_;
    Map<std::wstring> texts_;
    Map<std::vector<qz::platform::POINT>> points_;
};
