// Reads the sections of a control-template file into its templates: the
// "general" defaults, inheritance through "baseTemplate", the option word
// and every value form the families use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gui/ControlTemplate.h"
#include "gui/ControlTemplateSchema.h"

class CQZIniFileReader;
class CQZControlTemplateFile;

class CQZControlTemplateBuilder {
  public:
    /// `file` receives what `reader` (the opened template file) holds.
    CQZControlTemplateBuilder(CQZControlTemplateFile& file, CQZIniFileReader& reader);

    /// Reads "general" and every template section.
    void Build();

    /// "r, g, b[, a]" (commas or blanks) as red + green * 256 + blue * 65536
    /// + alpha * 16777216, each part modulo 256; missing parts are 0.
    static QzColorRef ParseColor(std::wstring_view text);
    /// "left, top, right, bottom"; missing numbers are 0.
    static qz::platform::RECT ParseRect(std::wstring_view text);
    /// Number pairs "x, y, x, y ..." up to the first text that is no number.
    static std::vector<qz::platform::POINT> ParsePoints(std::wstring_view text);
    /// A decimal number when the text starts like one, else a flag text.
    static std::uint32_t ParseIntegerOrFlags(std::wstring_view text);

  private:
    void ReadGeneral();
    void ReadTemplate(std::size_t index);
    void ReadValues(CQZControlTemplate& record, const CQZControlTemplate* base);
    void ReadKey(CQZControlTemplate& record, const QzTemplateKeySpec& spec);
    bool GuardAllows(const CQZControlTemplate& record, const QzTemplateKeySpec& spec) const;

    /// The non-empty value of a key, cut to `limit` characters (0: whole).
    bool Get(const std::wstring& section, std::wstring_view key, std::wstring& value,
             std::size_t limit = 0) const;
    bool Has(const std::wstring& section, std::wstring_view key) const;
    std::uint32_t ReadFlagWord(const std::wstring& section, std::wstring_view key, std::uint8_t keys,
                               std::uint32_t value, bool& present) const;
    bool ReadColor(const std::wstring& section, std::wstring_view key, QzColorRef& color) const;
    bool ReadImage(const std::wstring& section, std::wstring_view key, QzTemplateImage& image) const;
    bool ReadCompactFont(const std::wstring& section, std::wstring_view key, LOGFONTW& font) const;
    bool ReadFontGroup(const std::wstring& section, std::wstring_view prefix, QzTemplateFont& group) const;
    bool ReadImageGroup(const std::wstring& section, std::wstring_view prefix,
                        QzTemplateImageGroup& group) const;
    bool ReadGenericFallback(const std::wstring& section, QzTemplateImageGroup& group) const;

    CQZControlTemplateFile& file_;
    CQZIniFileReader& reader_;
    std::vector<std::wstring> baseNames_;
    std::vector<std::uint8_t> state_; // 0 unread, 1 in a base chain, 2 read
};
