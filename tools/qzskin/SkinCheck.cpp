#include "SkinCheck.h"

#include <QImageReader>
#include <QString>
#include <QSvgRenderer>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <system_error>

#include "config/IniDocument.h"
#include "config/QZIniFileReader.h"
#include "config/QzStringMap.h"
#include "gui/ControlTemplateCache.h"
#include "gui/ControlTemplateFile.h"
#include "gui/ControlTemplateSchema.h"
#include "gui/DialogDefinition.h"
#include "gui/SkinImage.h"
#include "gui/SymbolicConstants.h"
#include "osal/QzPath.h"
#include "platform/FileNames.h"

namespace fs = std::filesystem;

namespace {

using F = QzTemplateValueForm;

const CQZSymbolicConstants& Constants()
{
    return CQZSymbolicConstants::Instance();
}

fs::path Native(const std::wstring& path)
{
    return fs::path(qz::platform::NativeFileName(path));
}

bool IsDirectory(const std::wstring& path)
{
    std::error_code error;
    return fs::is_directory(Native(path), error);
}

bool IsFile(const std::wstring& path)
{
    std::error_code error;
    return fs::is_regular_file(Native(path), error);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    QzOSAL::QzPath path(folder);
    path.AppendPath(name);
    return path.GetPath();
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

bool StartsLikeNumber(std::wstring_view text)
{
    const std::wstring trimmed = Trimmed(text);
    return !trimmed.empty() &&
           (std::iswdigit(static_cast<wint_t>(trimmed[0])) || trimmed[0] == L'-' || trimmed[0] == L'+');
}

bool EndsWith(std::wstring_view text, std::wstring_view end)
{
    return text.size() >= end.size() && QzEqualsNoCase(text.substr(text.size() - end.size()), end);
}

bool StartsWith(std::wstring_view text, std::wstring_view start)
{
    return text.size() >= start.size() && QzEqualsNoCase(text.substr(0, start.size()), start);
}

// The value as the reader hands it out (quotes stripped), and whether the
// key is there.
bool Value(CQZIniFileReader& reader, const std::wstring& section, const std::wstring& key,
           std::wstring& value)
{
    if (!reader.HasKey(section.c_str(), key.c_str()))
        return false;
    reader.GetString(section.c_str(), key.c_str(), L"", value);
    return true;
}

// The keys of a section in file order, comment lines left out.
std::vector<std::wstring> Keys(const CQZIniFileReader& reader, const std::wstring& section)
{
    std::vector<std::wstring> keys;
    const CQZIniDocument& document = reader.GetDocument();
    const std::ptrdiff_t s = document.sections.Lookup(section);
    if (s < 0)
        return keys;
    for (const auto& entry : document.sections.At(static_cast<std::size_t>(s)).value.entries.Items()) {
        if (!CQZIniDocument::IsCommentKey(entry.key))
            keys.push_back(entry.key);
    }
    return keys;
}

std::vector<std::wstring> SectionNames(const CQZIniFileReader& reader)
{
    std::vector<std::wstring> names;
    for (const auto& section : reader.GetDocument().sections.Items())
        names.push_back(section.key);
    return names;
}

// Sub-keys of a font group ("caption.name", ...) by the form they take.
const std::pair<const wchar_t*, F> kFontGroupKeys[] = {
    {L"name", F::Text},
    {L"height", F::Integer},
    {L"weight", F::Integer},
    {L"width", F::Integer},
    {L"escapement", F::Integer},
    {L"orientation", F::Integer},
    {L"charset", F::IntegerOrFlags},
    {L"precision", F::IntegerOrFlags},
    {L"clip", F::IntegerOrFlags},
    {L"quality", F::IntegerOrFlags},
    {L"family", F::IntegerOrFlags},
    {L"underline", F::IntegerOrFlags},
    {L"strikeout", F::IntegerOrFlags},
    {L"italic", F::IntegerOrFlags},
    {L"font", F::Font},
    {L"font.alternative", F::Font},
    {L"color", F::Color},
    {L"offset", F::Rect},
    {L"format", F::IntegerOrFlags},
};

// Sub-keys of an image group ("background.type", ...).
const std::pair<const wchar_t*, F> kImageGroupKeys[] = {
    {L"type", F::IntegerOrFlags},  {L"flags", F::IntegerOrFlags},
    {L"source", F::Image},         {L"inner", F::Rect},
    {L"borders", F::Rect},         {L"center", F::IntegerOrFlags},
    {L"left", F::IntegerOrFlags},  {L"top", F::IntegerOrFlags},
    {L"right", F::IntegerOrFlags}, {L"bottom", F::IntegerOrFlags},
    {L"ROP", F::IntegerOrFlags},   {L"transparency", F::Integer},
    {L"centerColor", F::Color},
};

const wchar_t* const kTiles[] = {L"left",    L"center",   L"right",      L"top",        L"bottom",
                                 L"lefttop", L"righttop", L"leftbottom", L"rightbottom"};

// The older background keys of the dialog family.
const std::pair<const wchar_t*, F> kGenericFallbackKeys[] = {
    {L"generic.Type", F::IntegerOrFlags}, {L"generic.Borders", F::Rect},  {L"generic.Tile", F::Image},
    {L"generic.TileLeft", F::Image},      {L"generic.TileTop", F::Image}, {L"generic.TileRight", F::Image},
    {L"generic.TileBottom", F::Image},
};

// Which key of a family a template key is, and the form of its value.
// Null when the family reads no such key.
const QzTemplateKeySpec* Classify(QzTemplateFamily family, const std::wstring& key, F& form)
{
    for (const QzTemplateKeySpec& spec : QzTemplateKeys(family)) {
        const std::wstring base(spec.key);
        form = spec.form;
        switch (spec.form) {
        case F::FlagWord:
            if (((spec.flagWordKeys & kFlagWordSet) && QzEqualsNoCase(key, base)) ||
                ((spec.flagWordKeys & kFlagWordAdd) && QzEqualsNoCase(key, base + L"ToAdd")) ||
                ((spec.flagWordKeys & kFlagWordRemove) && QzEqualsNoCase(key, base + L"ToRemove")))
                return &spec;
            break;
        case F::Font:
            if (QzEqualsNoCase(key, base) || QzEqualsNoCase(key, base + L".alternative"))
                return &spec;
            break;
        case F::FontGroup:
            for (const auto& [sub, subForm] : kFontGroupKeys) {
                if (QzEqualsNoCase(key, base + L"." + sub)) {
                    form = subForm;
                    return &spec;
                }
            }
            break;
        case F::ImageGroup:
        case F::GenericGroup:
        case F::BackgroundOrGeneric:
            for (const auto& [sub, subForm] : kImageGroupKeys) {
                if (QzEqualsNoCase(key, base + L"." + sub)) {
                    form = subForm;
                    return &spec;
                }
            }
            for (const wchar_t* tile : kTiles) {
                if (QzEqualsNoCase(key, base + L".tile." + tile)) {
                    form = F::Image;
                    return &spec;
                }
            }
            if (StartsWith(key, base + L".svg.") && key.size() > base.size() + 5) {
                form = F::Text;
                return &spec;
            }
            if (spec.form == F::BackgroundOrGeneric) {
                for (const auto& [fallback, subForm] : kGenericFallbackKeys) {
                    if (QzEqualsNoCase(key, fallback)) {
                        form = subForm;
                        return &spec;
                    }
                }
            }
            break;
        default:
            if (QzEqualsNoCase(key, base))
                return &spec;
            break;
        }
    }
    return nullptr;
}

bool GuardAllows(const CQZControlTemplate& record, const QzTemplateKeySpec& spec)
{
    if (spec.guard == nullptr)
        return true;
    const std::uint32_t bit = Constants().Lookup(spec.guard).value_or(0);
    const std::uint32_t word = spec.guardOnFlags ? record.GetFlags(L"flags") : record.GetOptions();
    return (word & bit) != 0;
}

bool IsIn(const std::vector<std::wstring>& list, const std::wstring& value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

std::wstring QzSkinFinding::Format() const
{
    std::wstring line = file;
    if (!section.empty())
        line += L" [" + section + L"]";
    if (!key.empty())
        line += L" " + key;
    return line + L": " + message;
}

const std::vector<std::wstring>& CQzSkinCheck::DialogControlTypes()
{
    static const std::vector<std::wstring> types = {L"WebBrowser", L"unknown"};
    return types;
}

const std::vector<std::wstring>& CQzSkinCheck::LibraryControlTypes()
{
    static const std::vector<std::wstring> types = {
        L"CQZ_UniButton",      L"CQZ_Static",       L"CQZ_ColorFrame",     L"CQZ_Edit",
        L"CQZ_ComboBox",       L"CQZ_Fader",        L"CQZ_ListBox",        L"CQZ_FarbTafelCtrl",
        L"CQZ_Knob",           L"CQZ_ListCtrl",     L"CQZ_PeakMeterCtrl",  L"CQZ_PointField",
        L"CQZ_RichEditCtrlEx", L"CQZ_ScrollBar",    L"CQZ_SpinButtonCtrl", L"CQZ_StatusBarCtrl",
        L"CQZ_TabCtrl",        L"CQZ_DateTimeCtrl", L"CQZ_ColorWheel",
    };
    return types;
}

CQzSkinCheck::CQzSkinCheck(std::wstring folder) : folder_(std::move(folder)) {}

CQzSkinCheck::~CQzSkinCheck() = default;

void CQzSkinCheck::Add(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                       const std::wstring& message)
{
    findings_.push_back({file, section, key, message});
}

std::wstring CQzSkinCheck::Shown(const std::wstring& path) const
{
    std::error_code error;
    const fs::path relative = fs::relative(Native(path), Native(folder_), error);
    if (error || relative.empty() || *relative.begin() == "..")
        return path;
    return qz::platform::WideFileName(relative.generic_string());
}

const std::vector<QzSkinFinding>& CQzSkinCheck::Run()
{
    findings_.clear();
    checkedTemplateFiles_.clear();
    if (!IsDirectory(folder_)) {
        Add(folder_, L"", L"", L"not a folder");
        return findings_;
    }
    const std::wstring dialogs = Join(folder_, L"Dialogs");
    const std::wstring definitionFolder = IsDirectory(dialogs) ? dialogs : folder_;

    std::vector<std::wstring> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Native(definitionFolder), error)) {
        const std::wstring name = qz::platform::WideFileName(entry.path().filename().string());
        if (EndsWith(name, L".ini"))
            files.push_back(Join(definitionFolder, name));
    }
    std::sort(files.begin(), files.end());
    std::size_t definitions = 0;
    for (const std::wstring& path : files) {
        CQZIniFileReader reader;
        if (!IsFile(path) || !reader.Open(path.c_str())) {
            Add(Shown(path), L"", L"", L"cannot be read");
            continue;
        }
        // Template files and general controls files lie beside the
        // definition files; only a [dialog] section makes a definition.
        if (!reader.HasSection(L"dialog"))
            continue;
        ++definitions;
        CheckDefinition(path);
    }
    if (definitions == 0)
        Add(Shown(definitionFolder), L"", L"", L"no definition files");
    return findings_;
}

void CQzSkinCheck::CheckDefinition(const std::wstring& path)
{
    const std::wstring file = Shown(path);
    const QzOSAL::QzPath where(path);
    CQZDialogDefinition definition;
    const bool loaded = definition.Load(where.GetFolder(), where.GetFileName() + where.GetExtension());

    CQZIniFileReader reader;
    if (!reader.Open(path.c_str())) {
        Add(file, L"", L"", L"cannot be read");
        return;
    }
    if (loaded) {
        CheckDialogSection(definition, reader, file, true);
        CheckRecords(definition, reader, file, true);
        CheckAlignment(definition, reader, file);
        return;
    }
    // A template file that cannot be read stops the designer; the rest of
    // the file is still read here, from a copy without the template files,
    // so that one run names every fault.
    CheckDialogSection(definition, reader, file, false);
    CQZIniFileReader copy;
    if (!copy.OpenText(L"") || !copy.Merge(reader))
        return;
    copy.WriteProfileString(L"dialog", L"controlTemplateFile", nullptr);
    copy.WriteProfileString(L"dialog", L"dialogControlTemplateFile", nullptr);
    CQZDialogDefinition partial;
    if (partial.LoadFromIni(copy)) {
        CheckRecords(partial, reader, file, false);
        CheckAlignment(partial, reader, file);
    }
}

void CQzSkinCheck::CheckDialogSection(CQZDialogDefinition& definition, CQZIniFileReader& reader,
                                      const std::wstring& file, bool templatesLoaded)
{
    const std::wstring dialog = L"dialog";
    const std::wstring folder = QzOSAL::QzPath(std::wstring(reader.GetFileName())).GetFolder();
    std::wstring value;
    for (const wchar_t* key : {L"controlTemplateFile", L"dialogControlTemplateFile"}) {
        if (!Value(reader, dialog, key, value) || Trimmed(value).empty())
            continue;
        const std::wstring path = CQZDialogDefinition::FindFile(folder, Trimmed(value), {});
        const QzOSAL::QzPath found(path);
        const auto templates = CQZControlTemplateCache::Instance().Load(
            found.GetFolder(), found.GetFileName() + found.GetExtension());
        if (templates)
            CheckTemplateFile(templates);
        else
            Add(file, dialog, key, L"template file " + Trimmed(value) + L" cannot be read");
    }
    if (Value(reader, dialog, L"generalControlsFile", value) && !Trimmed(value).empty()) {
        const std::wstring path = CQZDialogDefinition::FindFile(folder, Trimmed(value), {});
        CQZIniFileReader general;
        if (!IsFile(path) || !general.Open(path.c_str()))
            Add(file, dialog, L"generalControlsFile", L"file " + Trimmed(value) + L" cannot be read");
    }
    if (Value(reader, dialog, L"dialogIniFlags", value))
        CheckFlagText(value, file, dialog, L"dialogIniFlags");
    if (!templatesLoaded)
        return;
    const std::wstring& name = definition.GetTemplate();
    if (name.empty())
        return;
    // The dialog's own template is looked for in the dialog's file first.
    const CQZControlTemplate* found = nullptr;
    if (definition.GetDialogControlTemplateFile())
        found = definition.GetDialogControlTemplateFile()->GetTemplate(name);
    if (!found && definition.GetControlTemplateFile())
        found = definition.GetControlTemplateFile()->GetTemplate(name);
    if (!found)
        Add(file, dialog, L"template", L"template " + name + L" is in neither template file");
    else if (found->GetFamily() != QzTemplateFamily::Dialog)
        Add(file, dialog, L"template",
            L"template " + name + L" is a " + QzTemplateControlClass(found->GetFamily()) +
                L" template, not a CQZ_BeautyDialog one");
}

void CQzSkinCheck::CheckRecords(CQZDialogDefinition& definition, CQZIniFileReader& reader,
                                const std::wstring& file, bool templatesLoaded)
{
    // Records of the general controls file are judged against that file.
    std::unique_ptr<CQZIniFileReader> general;
    std::wstring generalShown;
    if (!definition.GetGeneralControlsFileName().empty()) {
        const std::wstring folder = QzOSAL::QzPath(std::wstring(reader.GetFileName())).GetFolder();
        const std::wstring path =
            CQZDialogDefinition::FindFile(folder, definition.GetGeneralControlsFileName(), {});
        general = std::make_unique<CQZIniFileReader>();
        if (!IsFile(path) || !general->Open(path.c_str()))
            general.reset();
        generalShown = Shown(path);
    }

    for (const QzDialogControlRecord& record : definition.GetRecords()) {
        CQZIniFileReader* source = &reader;
        std::wstring shown = file;
        if (record.fromGeneralControls) {
            if (!general)
                continue;
            source = general.get();
            shown = generalShown;
        }
        const std::wstring& section = record.name;
        std::wstring value;

        if (!record.complete) {
            std::vector<std::wstring> reasons;
            if (!Value(*source, section, L"create", value))
                reasons.push_back(L"no create");
            else if (value != L"create" && value != L"subclass")
                reasons.push_back(L"create is \"" + value + L"\", not create or subclass");
            if (!source->HasKey(section.c_str(), L"type"))
                reasons.push_back(L"no type");
            if (!source->HasKey(section.c_str(), L"template"))
                reasons.push_back(L"no template");
            if (record.create && !source->HasKey(section.c_str(), L"position"))
                reasons.push_back(L"no position");
            std::uint32_t style = 0;
            if (record.create && !source->HasKey(section.c_str(), L"style"))
                reasons.push_back(L"no style");
            else if (record.create && !Constants().ParseFlagText(record.styleText, style))
                reasons.push_back(L"a style without a known constant");
            std::wstring text = L"incomplete control section";
            for (std::size_t i = 0; i < reasons.size(); ++i)
                text += (i == 0 ? L" (" : L", ") + reasons[i];
            Add(shown, section, L"", reasons.empty() ? text : text + L")");
        }
        if (source->HasKey(section.c_str(), L"style"))
            CheckFlagText(record.styleText, shown, section, L"style");
        if (source->HasKey(section.c_str(), L"styleEx"))
            CheckFlagText(record.styleExText, shown, section, L"styleEx");

        const bool library = IsIn(LibraryControlTypes(), record.type);
        if (!record.type.empty() && !library && !IsIn(DialogControlTypes(), record.type))
            Add(shown, section, L"type", L"unknown control type " + record.type);
        if (!templatesLoaded || record.templateName.empty())
            continue;
        const CQZControlTemplate* found = definition.FindControlTemplate(record.templateName);
        if (!found) {
            Add(shown, section, L"template",
                L"template " + record.templateName + L" is in neither template file");
            continue;
        }
        const QzTemplateFamily family = QzTemplateFamilyFromClass(record.type);
        if (library && family != QzTemplateFamily::Unknown && found->GetFamily() != family)
            Add(shown, section, L"template",
                L"template " + record.templateName + L" is a " + QzTemplateControlClass(found->GetFamily()) +
                    L" template, not a " + record.type + L" one");
    }
}

void CQzSkinCheck::CheckAlignment(const CQZDialogDefinition& definition, CQZIniFileReader& reader,
                                  const std::wstring& file)
{
    CheckAlignmentSections(reader, file);
    // A rule finds its controls by name among the file's control sections;
    // an empty reference or the dialog's own name is the dialog.
    const auto known = [&](const std::wstring& name, bool reference) {
        const auto& records = definition.GetRecords();
        return std::any_of(records.begin(), records.end(),
                           [&](const QzDialogControlRecord& r) { return QzEqualsNoCase(r.name, name); }) ||
               (reference && (name.empty() || QzEqualsNoCase(name, definition.GetName())));
    };
    std::wstring section;
    for (const std::wstring& line : definition.GetAlignmentLines()) {
        if (line.size() > 2 && line.front() == L'[' && line.back() == L']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const std::size_t eq = line.find(L'=');
        const std::wstring key = Trimmed(line.substr(0, eq));
        std::wstring value;
        for (wchar_t c : eq == std::wstring::npos ? std::wstring() : line.substr(eq + 1)) {
            if (c != L' ' && c != L'\t')
                value.push_back(c);
        }
        std::vector<std::wstring> fields;
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = value.find(L',', start);
            fields.push_back(
                value.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
            if (comma == std::wstring::npos)
                break;
            start = comma + 1;
        }
        if (fields.size() < 11) {
            Add(file, section, key, L"ignored: " + std::to_wstring(fields.size()) + L" of 11 fields");
            continue;
        }
        if (!known(fields[0], false))
            Add(file, section, key, L"no control section " + fields[0] + L" for the rule to move");
        if (!known(fields[1], true))
            Add(file, section, key, L"no control section " + fields[1] + L" for the rule to follow");
        std::uint32_t flags[5] = {};
        for (int i = 0; i < 5; ++i) {
            CheckFlagText(fields[2 + i], file, section, key);
            flags[i] = Constants().ParseFlags(fields[2 + i]);
        }
        const auto vertical = [](std::uint32_t v) { return v == 0 || v == 4 || v == 8 || v == 32; };
        const bool bad = (flags[0] >= 3 && flags[0] != 16) || (flags[2] >= 3 && flags[2] != 16) ||
                         !vertical(flags[1]) || !vertical(flags[3]) ||
                         (flags[4] != 0 && (flags[4] & 0x780) == 0);
        if (bad)
            Add(file, section, key, L"ignored: a combination of QZGUI_ flags the layout does not take");
    }
}

void CQzSkinCheck::CheckAlignmentSections(CQZIniFileReader& reader, const std::wstring& file)
{
    // The layout reads ALIGNMENT1, ALIGNMENT2, ... up to the first number
    // that is missing, and writing back keeps only 1 to 9.
    long read = 0;
    while (reader.HasSection((L"ALIGNMENT" + std::to_wstring(read + 1)).c_str()))
        ++read;
    std::vector<wchar_t> names(64 * 1024);
    const std::uint32_t length = reader.GetSectionNames(names.data(), static_cast<std::uint32_t>(names.size()));
    for (std::size_t at = 0; at < length && names[at] != L'\0';) {
        const std::wstring name(names.data() + at);
        at += name.size() + 1;
        constexpr std::wstring_view prefix = L"ALIGNMENT";
        if (name.size() <= prefix.size() || !QzEqualsNoCase(name.substr(0, prefix.size()), std::wstring(prefix)))
            continue;
        const long number = std::wcstol(name.c_str() + prefix.size(), nullptr, 10);
        if (number == 0)
            continue;
        const bool isRead = number >= 1 && number <= read && QzEqualsNoCase(name, L"ALIGNMENT" + std::to_wstring(number));
        if (!isRead)
            Add(file, name, L"", L"ignored: the layout reads ALIGNMENT1 onwards up to the first missing number (" +
                                     std::to_wstring(read + 1) + L")");
        else if (number > 9)
            Add(file, name, L"", L"read, but dropped when the file is written back (only ALIGNMENT1 to ALIGNMENT9 are kept)");
    }
}

void CQzSkinCheck::CheckFlagText(const std::wstring& text, const std::wstring& shown,
                                 const std::wstring& section, const std::wstring& key)
{
    for (const std::wstring& name : Constants().UnknownNames(text))
        Add(shown, section, key, L"unknown constant " + name);
}

void CQzSkinCheck::CheckImage(const CQZControlTemplateFile& file, const std::wstring& name,
                              const std::wstring& shown, const std::wstring& section, const std::wstring& key)
{
    if (name.empty())
        return;
    const std::wstring path = file.ResolveImage(name);
    if (path.empty()) {
        Add(shown, section, key, L"image " + name + L" does not exist");
        return;
    }
    auto known = decoded_.find(path);
    if (known == decoded_.end()) {
        const QString qtPath = QString::fromStdString(qz::platform::NativeFileName(path));
        bool ok = false;
        if (CQZSkinImage::IsSvg(path)) {
            QSvgRenderer renderer(qtPath);
            ok = renderer.isValid() && !renderer.defaultSize().isEmpty();
        } else {
            QImageReader imageReader(qtPath);
            ok = !imageReader.read().isNull();
        }
        known = decoded_.emplace(path, ok).first;
    }
    if (!known->second)
        Add(shown, section, key, L"image " + name + L" cannot be decoded");
}

void CQzSkinCheck::CheckTemplateFile(const std::shared_ptr<CQZControlTemplateFile>& file)
{
    if (!checkedTemplateFiles_.insert(file->GetPath()).second)
        return;
    const std::wstring shown = Shown(file->GetPath());
    CQZIniFileReader reader;
    if (!reader.Open(file->GetPath().c_str())) {
        Add(shown, L"", L"", L"cannot be read");
        return;
    }
    const std::wstring general = CQZControlTemplateFile::kGeneralSection;
    if (reader.GetSection(general.c_str(), nullptr, 0) + 2 > CQZControlTemplateFile::kGeneralBufferSize)
        Add(shown, general, L"",
            L"longer than " + std::to_wstring(CQZControlTemplateFile::kGeneralBufferSize) +
                L" characters; the rest is not read");
    for (const wchar_t* key : {L"dibStandard", L"dibPressed", L"dibHilite", L"dibDisabled"}) {
        std::wstring value;
        if (Value(reader, general, key, value))
            CheckImage(*file, Trimmed(value).substr(0, CQZControlTemplateFile::kMaxImageName), shown, general,
                       key);
    }
    for (const std::wstring& section : SectionNames(reader)) {
        if (!QzEqualsNoCase(section, general))
            CheckTemplate(*file, reader, section, shown);
    }
}

void CQzSkinCheck::CheckBaseCycle(const CQZControlTemplateFile& file, const CQZControlTemplate& start,
                                  const std::wstring& shown, const std::wstring& key)
{
    // The designer gives up on a template whose bases lead back to it. A
    // cycle is named once, at the template of it that comes first in the file.
    const std::ptrdiff_t first = file.FindTemplate(start.GetName());
    std::wstring chain = start.GetName();
    std::vector<std::ptrdiff_t> seen{first};
    for (const CQZControlTemplate* at = &start; !at->GetBaseName().empty();) {
        const std::ptrdiff_t base = file.FindTemplate(at->GetBaseName());
        if (base < 0 || base < first)
            return;
        chain += L" -> " + file.GetTemplate(base)->GetName();
        if (base == first) {
            Add(shown, start.GetName(), key, L"base templates form a cycle: " + chain);
            return;
        }
        if (std::find(seen.begin(), seen.end(), base) != seen.end())
            return; // a cycle that this template only leads into
        seen.push_back(base);
        at = file.GetTemplate(base);
    }
}

void CQzSkinCheck::CheckTemplate(const CQZControlTemplateFile& file, CQZIniFileReader& reader,
                                 const std::wstring& section, const std::wstring& shown)
{
    std::wstring value;
    Value(reader, section, L"controlClass", value);
    const QzTemplateFamily family = QzTemplateFamilyFromClass(Trimmed(value));
    if (family == QzTemplateFamily::Unknown) {
        Add(shown, section, L"controlClass",
            value.empty() ? L"no control class" : L"unknown control class " + Trimmed(value));
        return;
    }
    const CQZControlTemplate* parsed = file.GetTemplate(section);
    if (!parsed)
        return;
    const std::wstring className = QzTemplateControlClass(family);
    for (const std::wstring& key : Keys(reader, section)) {
        Value(reader, section, key, value);
        if (QzEqualsNoCase(key, L"controlClass"))
            continue;
        if (QzEqualsNoCase(key, L"baseTemplate")) {
            if (!Trimmed(value).empty() && file.FindTemplate(Trimmed(value)) < 0)
                Add(shown, section, key, L"base template " + Trimmed(value) + L" does not exist");
            else
                CheckBaseCycle(file, *parsed, shown, key);
            continue;
        }
        if (QzEqualsNoCase(key, L"options") || QzEqualsNoCase(key, L"optionsToAdd") ||
            QzEqualsNoCase(key, L"optionsToRemove")) {
            CheckFlagText(value, shown, section, key);
            continue;
        }
        F form = F::Text;
        const QzTemplateKeySpec* spec = Classify(family, key, form);
        if (!spec) {
            Add(shown, section, key, L"not read by " + className + L" templates");
            continue;
        }
        if (!GuardAllows(*parsed, *spec)) {
            Add(shown, section, key,
                std::wstring(L"not read without ") + spec->guard + (spec->guardOnFlags ? L" in flags" : L""));
            continue;
        }
        switch (form) {
        case F::FlagText:
        case F::FlagWord:
            CheckFlagText(value, shown, section, key);
            break;
        case F::IntegerOrFlags:
            if (!StartsLikeNumber(value))
                CheckFlagText(value, shown, section, key);
            break;
        case F::Color:
            if (!StartsLikeNumber(value) && !file.GetNamedValue(Trimmed(value)))
                Add(shown, section, key,
                    L"colour " + Trimmed(value) + L" is no number and no name of [general]");
            break;
        case F::Image:
            CheckImage(file, Trimmed(value).substr(0, CQZControlTemplateFile::kMaxImageName), shown, section,
                       key);
            break;
        case F::SubTemplate:
            if (!Trimmed(value).empty() && file.FindTemplate(Trimmed(value)) < 0)
                Add(shown, section, key, L"template " + Trimmed(value) + L" does not exist");
            break;
        default:
            break;
        }
    }
}
