#include "gui/ControlTemplateBuilder.h"

#include <climits>
#include <cwctype>

#include "config/IniNumbers.h"
#include "config/QZIniFileReader.h"
#include "config/QZLegacyIniFileSupport.h"
#include "gui/ControlTemplateFile.h"
#include "gui/GuiErrorLog.h"
#include "gui/SymbolicConstants.h"

namespace {

using qz::platform::POINT;
using qz::platform::RECT;

// wcstol in base 10 with the 32-bit long of the skin files' home platform:
// out-of-range numbers saturate at the 32-bit limits. `end` stays at `pos`
// when there is no number.
std::int32_t ReadLong(std::wstring_view text, std::size_t& pos, bool& converted)
{
    std::size_t i = pos;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    const std::size_t digits = i;
    long long value = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        value = value * 10 + (text[i++] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    converted = i > digits;
    if (!converted)
        return 0;
    pos = i;
    value = negative ? -value : value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<std::int32_t>(value);
}

std::wstring CommasToBlanks(std::wstring_view text)
{
    std::wstring copy(text);
    for (wchar_t& c : copy) {
        if (c == L',')
            c = L' ';
    }
    return copy;
}

std::wstring Trimmed(std::wstring_view text)
{
    std::size_t b = 0, e = text.size();
    while (b < e && std::iswspace(static_cast<wint_t>(text[b])))
        ++b;
    while (e > b && std::iswspace(static_cast<wint_t>(text[e - 1])))
        --e;
    return std::wstring(text.substr(b, e - b));
}

// Line breaks would split the scratch text that fonts are read through.
std::wstring OneLine(std::wstring_view text)
{
    std::wstring line;
    for (wchar_t c : text) {
        if (c != L'\r' && c != L'\n')
            line.push_back(c);
    }
    return Trimmed(line);
}

std::wstring Key(std::wstring_view prefix, std::wstring_view rest)
{
    std::wstring key(prefix);
    key += rest;
    return key;
}

const CQZSymbolicConstants& Constants()
{
    return CQZSymbolicConstants::Instance();
}

} // namespace

CQZControlTemplateBuilder::CQZControlTemplateBuilder(CQZControlTemplateFile& file, CQZIniFileReader& reader)
    : file_(file), reader_(reader)
{
}

QzColorRef CQZControlTemplateBuilder::ParseColor(std::wstring_view text)
{
    const std::wstring blanks = CommasToBlanks(text);
    std::uint32_t parts[4] = {0, 0, 0, 0};
    std::size_t pos = 0;
    for (std::uint32_t& part : parts) {
        bool converted = false;
        const std::int32_t value = ReadLong(blanks, pos, converted);
        if (!converted)
            break;
        part = static_cast<std::uint32_t>(value) & 0xFFu;
    }
    return parts[0] | (parts[1] << 8) | (parts[2] << 16) | (parts[3] << 24);
}

RECT CQZControlTemplateBuilder::ParseRect(std::wstring_view text)
{
    const std::wstring blanks = CommasToBlanks(text);
    std::int32_t values[4] = {0, 0, 0, 0};
    std::size_t pos = 0;
    for (std::int32_t& value : values) {
        bool converted = false;
        value = ReadLong(blanks, pos, converted);
        if (!converted)
            break;
    }
    RECT rect;
    rect.left = values[0];
    rect.top = values[1];
    rect.right = values[2];
    rect.bottom = values[3];
    return rect;
}

std::vector<POINT> CQZControlTemplateBuilder::ParsePoints(std::wstring_view text)
{
    const std::wstring blanks = CommasToBlanks(text);
    std::vector<POINT> points;
    std::size_t pos = 0;
    for (;;) {
        bool convertedX = false, convertedY = false;
        const std::int32_t x = ReadLong(blanks, pos, convertedX);
        const std::int32_t y = convertedX ? ReadLong(blanks, pos, convertedY) : 0;
        if (!convertedY)
            break;
        POINT point;
        point.x = x;
        point.y = y;
        points.push_back(point);
    }
    return points;
}

std::uint32_t CQZControlTemplateBuilder::ParseIntegerOrFlags(std::wstring_view text)
{
    const std::wstring trimmed = Trimmed(text);
    if (!trimmed.empty() &&
        (std::iswdigit(static_cast<wint_t>(trimmed[0])) || trimmed[0] == L'-' || trimmed[0] == L'+'))
        return static_cast<std::uint32_t>(QzWtoi(trimmed.c_str()));
    return Constants().ParseFlags(trimmed);
}

bool CQZControlTemplateBuilder::Has(const std::wstring& section, std::wstring_view key) const
{
    std::wstring value;
    return Get(section, key, value);
}

bool CQZControlTemplateBuilder::Get(const std::wstring& section, std::wstring_view key, std::wstring& value,
                                    std::size_t limit) const
{
    const std::wstring keyText(key);
    if (!reader_.HasKey(section.c_str(), keyText.c_str()))
        return false;
    reader_.GetString(section.c_str(), keyText.c_str(), L"", value);
    if (limit != 0 && value.size() > limit)
        value.resize(limit);
    return !value.empty();
}

void CQZControlTemplateBuilder::Build()
{
    ReadGeneral();

    const std::uint32_t needed = reader_.GetSectionNames(nullptr, 0);
    std::vector<wchar_t> names(static_cast<std::size_t>(needed) + 2, 0);
    reader_.GetSectionNames(names.data(), static_cast<std::uint32_t>(names.size()));
    for (const wchar_t* name = names.data(); *name != 0; name += std::wcslen(name) + 1) {
        const std::wstring section(name);
        if (QzEqualsNoCase(section, CQZControlTemplateFile::kGeneralSection))
            continue;
        std::wstring controlClass;
        Get(section, L"controlClass", controlClass, CQZControlTemplateFile::kNameBufferSize - 1);
        const QzTemplateFamily family = QzTemplateFamilyFromClass(Trimmed(controlClass));
        if (family == QzTemplateFamily::Unknown) {
            CQZGuiErrorLog::Report(L"CQZControlTemplateFile: template " + section +
                                   L" has the unknown class \"" + controlClass + L"\" in " + file_.path_);
            continue;
        }
        std::wstring base;
        Get(section, L"baseTemplate", base, CQZControlTemplateFile::kNameBufferSize - 1);
        file_.index_.Set(section, file_.templates_.size());
        file_.templates_.emplace_back(section, family);
        file_.templates_.back().baseName_ = Trimmed(base);
        baseNames_.push_back(Trimmed(base));
    }

    state_.assign(file_.templates_.size(), 0);
    for (std::size_t i = 0; i < file_.templates_.size(); ++i)
        ReadTemplate(i);
}

void CQZControlTemplateBuilder::ReadGeneral()
{
    const wchar_t* general = CQZControlTemplateFile::kGeneralSection;
    static const wchar_t* const kDefaultImages[] = {L"dibStandard", L"dibPressed", L"dibHilite",
                                                    L"dibDisabled"};
    for (const wchar_t* key : kDefaultImages) {
        std::wstring name;
        if (!Get(general, key, name, CQZControlTemplateFile::kMaxImageName))
            continue;
        const std::wstring path = file_.ResolveImage(Trimmed(name));
        if (path.empty()) {
            CQZGuiErrorLog::Report(L"CQZControlTemplateFile: default image " + name + L" cannot be read");
            continue;
        }
        std::lock_guard<std::mutex> guard(file_.imageLock_);
        file_.imageTable_.Set(key, path);
    }

    std::vector<wchar_t> buffer(CQZControlTemplateFile::kGeneralBufferSize, 0);
    const std::uint32_t length =
        reader_.GetSection(general, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (length >= CQZControlTemplateFile::kGeneralBufferSize - 2)
        CQZGuiErrorLog::Report(L"CQZControlTemplateFile: section general too long in " + file_.path_);
    for (const wchar_t* item = buffer.data(); *item != 0; item += std::wcslen(item) + 1) {
        const std::wstring_view line(item);
        const std::size_t eq = line.find(L'=');
        if (eq == std::wstring_view::npos || eq == 0)
            continue;
        file_.namedValues_.Set(Trimmed(line.substr(0, eq)), Trimmed(line.substr(eq + 1)));
    }
}

void CQZControlTemplateBuilder::ReadTemplate(std::size_t index)
{
    if (state_[index] == 2)
        return;
    // Walk the base chain first, so that every base is read before the
    // templates that name it, whatever their order in the file.
    std::vector<std::size_t> chain{index};
    state_[index] = 1;
    std::vector<bool> withBase;
    for (;;) {
        const std::size_t current = chain.back();
        const std::wstring& baseName = baseNames_[current];
        if (baseName.empty()) {
            withBase.push_back(false);
            break;
        }
        const std::ptrdiff_t base = file_.FindTemplate(baseName);
        if (base < 0 || state_[static_cast<std::size_t>(base)] == 1) {
            CQZGuiErrorLog::Report(L"CQZControlTemplateFile: base template " + baseName + L" of " +
                                   file_.templates_[current].GetName() +
                                   (base < 0 ? L" not found" : L" names itself through its bases"));
            withBase.push_back(false);
            break;
        }
        withBase.push_back(true);
        if (state_[static_cast<std::size_t>(base)] == 2)
            break;
        state_[static_cast<std::size_t>(base)] = 1;
        chain.push_back(static_cast<std::size_t>(base));
    }
    for (std::size_t k = chain.size(); k-- > 0;) {
        CQZControlTemplate& record = file_.templates_[chain[k]];
        const CQZControlTemplate* base =
            withBase[k]
                ? &file_.templates_[static_cast<std::size_t>(file_.FindTemplate(baseNames_[chain[k]]))]
                : nullptr;
        ReadValues(record, base);
        state_[chain[k]] = 2;
    }
}

void CQZControlTemplateBuilder::ReadValues(CQZControlTemplate& record, const CQZControlTemplate* base)
{
    if (base != nullptr)
        record.InheritFrom(*base);
    bool present = false;
    record.options_ = ReadFlagWord(record.name_, L"options", kFlagWordAll, record.options_, present);
    for (const QzTemplateKeySpec& spec : QzTemplateKeys(record.family_)) {
        if (GuardAllows(record, spec))
            ReadKey(record, spec);
    }
}

bool CQZControlTemplateBuilder::GuardAllows(const CQZControlTemplate& record,
                                            const QzTemplateKeySpec& spec) const
{
    if (spec.guard == nullptr)
        return true;
    const std::uint32_t bit = Constants().Lookup(spec.guard).value_or(0);
    const std::uint32_t word = spec.guardOnFlags ? record.GetFlags(L"flags") : record.options_;
    return (word & bit) != 0;
}

std::uint32_t CQZControlTemplateBuilder::ReadFlagWord(const std::wstring& section, std::wstring_view key,
                                                      std::uint8_t keys, std::uint32_t value,
                                                      bool& present) const
{
    const std::size_t limit = CQZSymbolicConstants::kFlagTextBufferSize - 1;
    std::wstring text;
    if ((keys & kFlagWordSet) && Get(section, key, text, limit)) {
        value = Constants().ParseFlags(text);
        present = true;
    }
    if ((keys & kFlagWordAdd) && Get(section, Key(key, L"ToAdd"), text, limit)) {
        value |= Constants().ParseFlags(text);
        present = true;
    }
    if ((keys & kFlagWordRemove) && Get(section, Key(key, L"ToRemove"), text, limit)) {
        value &= ~Constants().ParseFlags(text);
        present = true;
    }
    return value;
}

bool CQZControlTemplateBuilder::ReadColor(const std::wstring& section, std::wstring_view key,
                                          QzColorRef& color) const
{
    std::wstring text;
    if (!Get(section, key, text))
        return false;
    if (const auto named = file_.GetNamedValue(Trimmed(text)))
        text = *named;
    color = ParseColor(text);
    return true;
}

bool CQZControlTemplateBuilder::ReadImage(const std::wstring& section, std::wstring_view key,
                                          QzTemplateImage& image) const
{
    std::wstring name;
    if (!Get(section, key, name, CQZControlTemplateFile::kMaxImageName))
        return false;
    image.name = Trimmed(name);
    image.path = file_.ResolveImage(image.name);
    return true;
}

bool CQZControlTemplateBuilder::ReadCompactFont(const std::wstring& section, std::wstring_view key,
                                                LOGFONTW& font) const
{
    std::wstring value;
    if (!Get(section, key, value))
        return false;
    // "face, description": the face and the description of the legacy font
    // reader in one value, read through it so that the face rules and the
    // ".alternative" fallback stay the same as for older skins.
    auto split = [](const std::wstring& text, std::wstring& face, std::wstring& description) {
        const std::size_t comma = text.find(L',');
        face = OneLine(text.substr(0, comma));
        description = comma == std::wstring::npos ? std::wstring() : OneLine(text.substr(comma + 1));
    };
    std::wstring face, description;
    split(value, face, description);
    std::wstring scratch = L"[f]\nface=" + face + L"\ndesc=" + description + L"\n";
    std::wstring alternative;
    if (Get(section, Key(key, L".alternative"), alternative)) {
        split(alternative, face, description);
        scratch += L"face.alternative=" + face + L"\ndesc.alternative=" + description + L"\n";
    }
    CQZIniFileReader reader;
    if (!reader.OpenText(scratch.c_str()))
        return false;
    CQZLegacyIniFileSupport legacy;
    legacy.AttachReader(&reader);
    return legacy.GetFont(&font, L"", L"", L"face", L"desc", L"f", L"template", L"");
}

bool CQZControlTemplateBuilder::ReadFontGroup(const std::wstring& section, std::wstring_view prefix,
                                              QzTemplateFont& group) const
{
    bool present = false;
    std::wstring text;
    const std::wstring dot = Key(prefix, L".");
    if (ReadCompactFont(section, Key(dot, L"font"), group.font))
        present = true;
    if (Get(section, Key(dot, L"name"), text)) {
        const std::wstring face = Trimmed(text).substr(0, 31);
        std::fill(std::begin(group.font.lfFaceName), std::end(group.font.lfFaceName), L'\0');
        face.copy(group.font.lfFaceName, face.size());
        present = true;
    }
    struct IntField {
        const wchar_t* key;
        std::int32_t LOGFONTW::*field;
    };
    static const IntField kInts[] = {{L"height", &LOGFONTW::lfHeight},
                                     {L"weight", &LOGFONTW::lfWeight},
                                     {L"width", &LOGFONTW::lfWidth},
                                     {L"escapement", &LOGFONTW::lfEscapement},
                                     {L"orientation", &LOGFONTW::lfOrientation}};
    for (const IntField& f : kInts) {
        if (Get(section, Key(dot, f.key), text)) {
            group.font.*f.field = QzWtoi(text.c_str());
            present = true;
        }
    }
    struct ByteField {
        const wchar_t* key;
        std::uint8_t LOGFONTW::*field;
        bool boolean;
    };
    static const ByteField kBytes[] = {
        {L"charset", &LOGFONTW::lfCharSet, false},       {L"precision", &LOGFONTW::lfOutPrecision, false},
        {L"clip", &LOGFONTW::lfClipPrecision, false},    {L"quality", &LOGFONTW::lfQuality, false},
        {L"family", &LOGFONTW::lfPitchAndFamily, false}, {L"underline", &LOGFONTW::lfUnderline, true},
        {L"strikeout", &LOGFONTW::lfStrikeOut, true},    {L"italic", &LOGFONTW::lfItalic, true}};
    for (const ByteField& f : kBytes) {
        if (Get(section, Key(dot, f.key), text)) {
            const std::uint32_t value = ParseIntegerOrFlags(text);
            group.font.*f.field = f.boolean ? (value != 0 ? 1 : 0) : static_cast<std::uint8_t>(value);
            present = true;
        }
    }
    if (ReadColor(section, Key(dot, L"color"), group.color))
        present = true;
    if (Get(section, Key(dot, L"offset"), text)) {
        group.offset = ParseRect(text);
        present = true;
    }
    if (Get(section, Key(dot, L"format"), text)) {
        group.format = ParseIntegerOrFlags(text);
        present = true;
    }
    return present;
}

bool CQZControlTemplateBuilder::ReadImageGroup(const std::wstring& section, std::wstring_view prefix,
                                               QzTemplateImageGroup& group) const
{
    bool present = false;
    std::wstring text;
    const std::wstring dot = Key(prefix, L".");
    struct FlagField {
        const wchar_t* key;
        std::uint32_t QzTemplateImageGroup::*field;
    };
    static const FlagField kFlags[] = {
        {L"type", &QzTemplateImageGroup::type},     {L"flags", &QzTemplateImageGroup::flags},
        {L"center", &QzTemplateImageGroup::center}, {L"left", &QzTemplateImageGroup::left},
        {L"top", &QzTemplateImageGroup::top},       {L"right", &QzTemplateImageGroup::right},
        {L"bottom", &QzTemplateImageGroup::bottom}, {L"ROP", &QzTemplateImageGroup::rop}};
    for (const FlagField& f : kFlags) {
        if (Get(section, Key(dot, f.key), text, CQZSymbolicConstants::kFlagTextBufferSize - 1)) {
            group.*f.field = ParseIntegerOrFlags(text);
            present = true;
        }
    }
    if (ReadImage(section, Key(dot, L"source"), group.source))
        present = true;
    if (Get(section, Key(dot, L"inner"), text)) {
        group.inner = ParseRect(text);
        present = true;
    }
    if (Get(section, Key(dot, L"borders"), text)) {
        group.borders = ParseRect(text);
        present = true;
    }
    if (Get(section, Key(dot, L"transparency"), text)) {
        group.transparency = QzWtoi(text.c_str());
        present = true;
    }
    if (ReadColor(section, Key(dot, L"centerColor"), group.centerColor))
        present = true;
    static const wchar_t* const kTiles[] = {L"left",    L"center",   L"right",      L"top",        L"bottom",
                                            L"lefttop", L"righttop", L"leftbottom", L"rightbottom"};
    for (const wchar_t* tile : kTiles) {
        QzTemplateImage image;
        if (ReadImage(section, Key(Key(dot, L"tile."), tile), image)) {
            group.tiles[tile] = image;
            present = true;
        }
    }
    // SVG settings carry free names ("%s.svg.%s"), so they are found by
    // walking the section.
    const std::wstring svg = Key(dot, L"svg.");
    const CQZIniDocument& document = reader_.GetDocument();
    const std::ptrdiff_t s = document.sections.Lookup(section);
    if (s >= 0) {
        for (const auto& entry : document.sections.At(static_cast<std::size_t>(s)).value.entries.Items()) {
            if (entry.key.size() > svg.size() &&
                QzEqualsNoCase(std::wstring_view(entry.key).substr(0, svg.size()), svg) &&
                Get(section, entry.key, text)) {
                group.svg[entry.key.substr(svg.size())] = Trimmed(text);
                present = true;
            }
        }
    }
    return present;
}

bool CQZControlTemplateBuilder::ReadGenericFallback(const std::wstring& section,
                                                    QzTemplateImageGroup& group) const
{
    bool present = false;
    std::wstring text;
    if (Get(section, L"generic.Type", text)) {
        group.type = ParseIntegerOrFlags(text);
        present = true;
    }
    if (Get(section, L"generic.Borders", text)) {
        group.borders = ParseRect(text);
        present = true;
    }
    if (ReadImage(section, L"generic.Tile", group.source))
        present = true;
    static const std::pair<const wchar_t*, const wchar_t*> kTiles[] = {{L"generic.TileLeft", L"left"},
                                                                       {L"generic.TileTop", L"top"},
                                                                       {L"generic.TileRight", L"right"},
                                                                       {L"generic.TileBottom", L"bottom"}};
    for (const auto& [key, tile] : kTiles) {
        QzTemplateImage image;
        if (ReadImage(section, key, image)) {
            group.tiles[tile] = image;
            present = true;
        }
    }
    return present;
}

void CQZControlTemplateBuilder::ReadKey(CQZControlTemplate& record, const QzTemplateKeySpec& spec)
{
    const std::wstring& section = record.name_;
    const std::wstring key(spec.key);
    std::wstring text;
    switch (spec.form) {
    case QzTemplateValueForm::FlagText:
        if (Get(section, key, text, CQZSymbolicConstants::kFlagTextBufferSize - 1))
            record.flags_[key] = Constants().ParseFlags(text);
        break;
    case QzTemplateValueForm::FlagWord: {
        bool present = record.FindFlags(key) != nullptr;
        const std::uint32_t value =
            ReadFlagWord(section, key, spec.flagWordKeys, record.GetFlags(key), present);
        if (present)
            record.flags_[key] = value;
        break;
    }
    case QzTemplateValueForm::Integer:
        if (Get(section, key, text))
            record.ints_[key] = QzWtoi(text.c_str());
        break;
    case QzTemplateValueForm::IntegerOrFlags:
        if (Get(section, key, text, CQZSymbolicConstants::kFlagTextBufferSize - 1))
            record.flags_[key] = ParseIntegerOrFlags(text);
        break;
    case QzTemplateValueForm::Color: {
        QzColorRef color = 0;
        if (ReadColor(section, key, color))
            record.colors_[key] = color;
        break;
    }
    case QzTemplateValueForm::Rect:
        if (Get(section, key, text))
            record.rects_[key] = ParseRect(text);
        break;
    case QzTemplateValueForm::Image: {
        QzTemplateImage image;
        if (ReadImage(section, key, image)) {
            record.images_[key] = image;
        } else if (record.FindImage(key) == nullptr) {
            const std::wstring standard = file_.ResolveImage(L"dibStandard");
            if (!standard.empty())
                record.images_[key] = QzTemplateImage{L"dibStandard", standard};
        }
        break;
    }
    case QzTemplateValueForm::Font: {
        LOGFONTW font = record.FindFont(key) ? *record.FindFont(key) : LOGFONTW{};
        if (ReadCompactFont(section, key, font))
            record.fonts_[key] = font;
        break;
    }
    case QzTemplateValueForm::FontGroup: {
        QzTemplateFont group = record.FindFontGroup(key) ? *record.FindFontGroup(key) : QzTemplateFont{};
        if (ReadFontGroup(section, key, group))
            record.fontGroups_[key] = group;
        break;
    }
    case QzTemplateValueForm::ImageGroup:
    case QzTemplateValueForm::GenericGroup:
    case QzTemplateValueForm::BackgroundOrGeneric: {
        QzTemplateImageGroup group =
            record.FindImageGroup(key) ? *record.FindImageGroup(key) : QzTemplateImageGroup{};
        bool present = ReadImageGroup(section, key, group);
        if (!present && spec.form == QzTemplateValueForm::BackgroundOrGeneric)
            present = ReadGenericFallback(section, group);
        if (!present && spec.form == QzTemplateValueForm::GenericGroup)
            CQZGuiErrorLog::Report(L"CQZControlTemplateFile: template " + section + L" lacks generic.XXX");
        if (present)
            record.imageGroups_[key] = group;
        break;
    }
    case QzTemplateValueForm::SubTemplate:
        if (Get(section, key, text, CQZControlTemplateFile::kNameBufferSize - 1))
            record.texts_[key] = Trimmed(text);
        break;
    case QzTemplateValueForm::Text:
        if (Get(section, key, text))
            record.texts_[key] = text;
        break;
    case QzTemplateValueForm::Points:
        if (Get(section, key, text))
            record.points_[key] = ParsePoints(text);
        break;
    }
}
