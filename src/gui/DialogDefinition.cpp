#include "gui/DialogDefinition.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <ctime>
#include <cwchar>
#include <fstream>
#include <iterator>

#include "config/QZIniFileReader.h"
#include "config/QzStringMap.h"
#include "gui/ControlTemplateCache.h"
#include "gui/DefinitionFilePool.h"
#include "gui/GuiErrorLog.h"
#include "gui/SymbolicConstants.h"
#include "osal/QzPath.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"

namespace {

bool IsFile(const std::wstring& path)
{
    struct stat info {};
    return ::stat(qz::platform::NativeFileName(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty())
        return name;
    QzOSAL::QzPath path(folder);
    path.AppendPath(name);
    return path.GetPath();
}

// A value read through a buffer of `size` characters, as the file readers
// of the dialogs always have.
std::wstring Read(CQZIniFileReader& reader, const wchar_t* section, const wchar_t* key, std::uint32_t size,
                  bool& present)
{
    present = reader.HasKey(section, key);
    std::vector<wchar_t> buffer(size, L'\0');
    const std::uint32_t length = reader.GetProfileString(section, key, L"", buffer.data(), size);
    return std::wstring(buffer.data(), std::min<std::uint32_t>(length, size));
}

std::wstring Read(CQZIniFileReader& reader, const wchar_t* section, const wchar_t* key, std::uint32_t size)
{
    bool present = false;
    return Read(reader, section, key, size, present);
}

// "ALIGNMENT" followed by a number other than 0 names an alignment section.
bool IsAlignmentSection(const std::wstring& name)
{
    static constexpr std::wstring_view kPrefix = L"ALIGNMENT";
    if (name.size() < kPrefix.size() || !QzEqualsNoCase(std::wstring_view(name).substr(0, kPrefix.size()), kPrefix))
        return false;
    return std::wcstol(name.c_str() + kPrefix.size(), nullptr, 10) != 0;
}

// Style names of a control family, for flag words that no longer match
// the text they were read from.
std::wstring_view StylePrefix(const std::wstring& type)
{
    static const std::pair<std::wstring_view, std::wstring_view> kPrefixes[] = {
        {L"CQZ_UniButton", L"BS_"},       {L"CQZ_Static", L"SS_"},          {L"CQZ_Edit", L"ES_"},
        {L"CQZ_RichEditCtrlEx", L"ES_"},  {L"CQZ_ComboBox", L"CBS_"},       {L"CQZ_ListBox", L"LBS_"},
        {L"CQZ_ListCtrl", L"LVS_"},       {L"CQZ_TabCtrl", L"TCS_"},        {L"CQZ_ScrollBar", L"SBS_"},
        {L"CQZ_SpinButtonCtrl", L"UDS_"}, {L"CQZ_StatusBarCtrl", L"SBARS_"}, {L"CQZ_DateTimeCtrl", L"DTS_"},
    };
    for (const auto& [name, prefix] : kPrefixes) {
        if (name == type)
            return prefix;
    }
    return {};
}

// Window styles share "WS_" with the extended styles whose bits overlap
// them, so the names are filtered before the table names the word.
std::wstring FormatWord(std::uint32_t value, std::wstring_view prefix, std::wstring_view familyPrefix,
                        std::wstring_view excludedPrefix)
{
    return CQZSymbolicConstants::Instance().FormatFlags(value, [&](std::wstring_view name) {
        const bool named = name.starts_with(prefix) || (!familyPrefix.empty() && name.starts_with(familyPrefix));
        return named && (excludedPrefix.empty() || !name.starts_with(excludedPrefix));
    });
}

std::wstring StyleText(const QzDialogControlRecord& record)
{
    if (!record.styleText.empty() && CQZSymbolicConstants::Instance().ParseFlags(record.styleText) == record.style)
        return record.styleText;
    return FormatWord(record.style, L"WS_", StylePrefix(record.type), L"WS_EX_");
}

std::wstring StyleExText(const QzDialogControlRecord& record)
{
    if (!record.styleExText.empty() &&
        CQZSymbolicConstants::Instance().ParseFlags(record.styleExText) == record.styleEx)
        return record.styleExText;
    return FormatWord(record.styleEx, L"WS_EX_", {}, {});
}

std::wstring FormatRect(const QzDialogRect& rect)
{
    return std::to_wstring(rect.left) + L", " + std::to_wstring(rect.top) + L", " + std::to_wstring(rect.right) +
           L", " + std::to_wstring(rect.bottom);
}

// The local time as _wasctime writes it, made fit for a file name.
std::wstring BackupTimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[64] = {};
    std::strftime(text, sizeof(text), "%a %b %e %H:%M:%S %Y", &local);
    std::wstring stamp;
    for (const char* c = text; *c != '\0'; ++c)
        stamp += (*c == ':' || *c == ' ') ? L'_' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return stamp;
}

bool StartsWithUtf16Mark(const std::wstring& path)
{
    std::ifstream in(qz::platform::NativeFileName(path), std::ios::binary);
    unsigned char mark[2] = {};
    if (!in.read(reinterpret_cast<char*>(mark), 2))
        return false;
    return (mark[0] == 0xFF && mark[1] == 0xFE) || (mark[0] == 0xFE && mark[1] == 0xFF);
}

} // namespace

std::wstring CQZDialogDefinition::FindFile(const std::wstring& folder, const std::wstring& fileName,
                                           const std::vector<std::wstring>& searchFolders)
{
    const std::wstring joined = Join(folder, fileName);
    if (IsFile(joined))
        return joined;
    for (const std::wstring& searchFolder : searchFolders) {
        const std::wstring candidate = Join(searchFolder, fileName);
        if (IsFile(candidate))
            return candidate;
    }
    return joined;
}

QzDialogRect CQZDialogDefinition::ParsePosition(const std::wstring& text)
{
    std::wstring blanks = text;
    std::replace(blanks.begin(), blanks.end(), L',', L' ');
    long values[4] = {};
    const wchar_t* cursor = blanks.c_str();
    for (long& value : values) {
        wchar_t* end = nullptr;
        value = std::clamp(std::wcstol(cursor, &end, 10), static_cast<long>(INT_MIN), static_cast<long>(INT_MAX));
        cursor = end;
    }
    return QzDialogRect{static_cast<int>(values[0]), static_cast<int>(values[1]), static_cast<int>(values[2]),
                        static_cast<int>(values[3])};
}

void CQZDialogDefinition::Reset()
{
    name_.clear();
    text_.clear();
    template_.clear();
    position_ = {};
    controlTemplateFile_.clear();
    dialogControlTemplateFile_.clear();
    generalControlsFile_.clear();
    generalControlsPath_.clear();
    dialogIniFlagsText_.clear();
    dialogIniFlags_ = 0;
    controlTemplates_.reset();
    dialogControlTemplates_.reset();
    records_.clear();
    alignmentLines_.clear();
}

bool CQZDialogDefinition::Load(const std::wstring& folder, const std::wstring& fileName)
{
    if (fileName.empty())
        return false;
    path_ = FindFile(folder, fileName, searchFolders_);
    const std::shared_ptr<CQZIniFileReader> reader = OpenPooled(path_);
    if (!reader) {
        CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner: cannot open " + path_);
        path_.clear();
        Reset();
        return false;
    }
    const CQZDefinitionFilePool::ScopedLock locked(path_);
    if (LoadFromIni(*reader))
        return true;
    // A half-read file must not be written back.
    path_.clear();
    return false;
}

std::shared_ptr<CQZIniFileReader> CQZDialogDefinition::OpenPooled(const std::wstring& path)
{
    // The reader opens a missing file as an empty one; a definition must exist.
    if (!IsFile(path))
        return nullptr;
    return CQZDefinitionFilePool::Instance().Acquire(path);
}

bool CQZDialogDefinition::LoadTemplates(const std::wstring& folder)
{
    const auto load = [&](const std::wstring& fileName, std::shared_ptr<CQZControlTemplateFile>& file) {
        if (fileName.empty())
            return true;
        const std::wstring path = FindFile(folder, fileName, searchFolders_);
        const QzOSAL::QzPath found(path);
        file = CQZControlTemplateCache::Instance().Load(found.GetFolder(), found.GetFileName() + found.GetExtension(),
                                                        searchFolders_);
        if (!file)
            CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner: cannot load the template file " + path);
        return file != nullptr;
    };
    const bool controls = load(controlTemplateFile_, controlTemplates_);
    const bool dialog = load(dialogControlTemplateFile_, dialogControlTemplates_);
    return controls && dialog;
}

bool CQZDialogDefinition::LoadFromIni(CQZIniFileReader& reader)
{
    Reset();
    path_ = reader.GetFileName() != nullptr ? reader.GetFileName() : L"";
    const wchar_t* section = L"dialog";
    const std::uint32_t size = kDialogValueBufferSize;
    controlTemplateFile_ = Read(reader, section, L"controlTemplateFile", size);
    dialogControlTemplateFile_ = Read(reader, section, L"dialogControlTemplateFile", size);
    name_ = Read(reader, section, L"name", size);
    text_ = Read(reader, section, L"text", size);
    template_ = Read(reader, section, L"template", size);
    position_ = ParsePosition(Read(reader, section, L"position", size));
    generalControlsFile_ = Read(reader, section, L"generalControlsFile", size);
    dialogIniFlagsText_ = Read(reader, section, L"dialogIniFlags", size);
    dialogIniFlags_ = CQZSymbolicConstants::Instance().ParseFlags(dialogIniFlagsText_);
    OnDialogSectionRead();

    const std::wstring folder = QzOSAL::QzPath(path_).GetFolder();
    if (!LoadTemplates(folder))
        return false;
    OnTemplateFilesLoaded();

    if (!generalControlsFile_.empty()) {
        const bool glass = glassFrame_ && (dialogIniFlags_ & QZBDD_FLAG_IGNORE_VISTA_GLASS_FRAME) == 0;
        const std::wstring generalPath =
            FindFile(folder, glass ? std::wstring(kGlassGeneralControlsFile) : generalControlsFile_, searchFolders_);
        if (const std::shared_ptr<CQZIniFileReader> general = OpenPooled(generalPath)) {
            generalControlsPath_ = generalPath;
            ReadControlSections(*general, true);
        } else
            CQZGuiErrorLog::Report(L"CQZ_BeautyDialogDesigner: cannot open " + generalPath);
    }
    ReadControlSections(reader, false);
    ReadAlignmentLines(reader);
    return true;
}

void CQZDialogDefinition::ReadControlSections(CQZIniFileReader& reader, bool fromGeneralControls)
{
    std::vector<wchar_t> names(kSectionNamesBufferSize, L'\0');
    reader.GetSectionNames(names.data(), kSectionNamesBufferSize);
    names.back() = L'\0';
    const CQZSymbolicConstants& constants = CQZSymbolicConstants::Instance();
    const std::uint32_t size = kControlValueBufferSize;
    for (const wchar_t* cursor = names.data(); *cursor != L'\0'; cursor += std::wcslen(cursor) + 1) {
        const std::wstring name(cursor);
        if (QzEqualsNoCase(name, L"dialog") || IsAlignmentSection(name))
            continue;
        const wchar_t* section = name.c_str();
        QzDialogControlRecord record;
        record.name = name;
        record.fromGeneralControls = fromGeneralControls;
        bool present = false;

        const std::wstring create = Read(reader, section, L"create", size);
        if (create == L"create")
            record.create = true;
        else if (create != L"subclass")
            record.complete = false;

        record.type = Read(reader, section, L"type", size, present);
        record.complete = record.complete && present;

        record.position = ParsePosition(Read(reader, section, L"position", size, present));
        if (!present && record.create)
            record.complete = false;

        record.templateName = Read(reader, section, L"template", size, present);
        record.complete = record.complete && present;

        record.styleText = Read(reader, section, L"style", size, present);
        const bool styleKnown = constants.ParseFlagText(record.styleText, record.style);
        if ((!present || !styleKnown) && record.create)
            record.complete = false;

        record.styleExText = Read(reader, section, L"styleEx", size);
        record.styleEx = constants.ParseFlags(record.styleExText);
        record.text = Read(reader, section, L"text", size);

        if (!AcceptRecord(record.name, record.type))
            continue;
        records_.push_back(std::move(record));
        ReadRecord(records_.back(), reader);
    }
}

void CQZDialogDefinition::ReadAlignmentLines(CQZIniFileReader& reader)
{
    for (int number = 1; number <= kMaxKeptAlignmentSection; ++number) {
        const std::wstring section = L"ALIGNMENT" + std::to_wstring(number);
        if (!reader.HasSection(section.c_str()))
            break;
        alignmentLines_.push_back(L"[" + section + L"]");
        const std::uint32_t needed = reader.GetSection(section.c_str(), nullptr, 0);
        std::vector<wchar_t> items(static_cast<std::size_t>(needed) + 2, L'\0');
        reader.GetSection(section.c_str(), items.data(), static_cast<std::uint32_t>(items.size()));
        for (const wchar_t* cursor = items.data(); *cursor != L'\0'; cursor += std::wcslen(cursor) + 1)
            alignmentLines_.emplace_back(cursor);
    }
}

bool CQZDialogDefinition::AcceptRecord(const std::wstring&, const std::wstring&)
{
    return true;
}

void CQZDialogDefinition::ReadRecord(QzDialogControlRecord&, CQZIniFileReader&) {}

const CQZControlTemplate* CQZDialogDefinition::FindControlTemplate(const std::wstring& name) const
{
    if (controlTemplates_) {
        if (const CQZControlTemplate* found = controlTemplates_->GetTemplate(name))
            return found;
    }
    return dialogControlTemplates_ ? dialogControlTemplates_->GetTemplate(name) : nullptr;
}

std::wstring CQZDialogDefinition::FormatText() const
{
    std::wstring out;
    out += L"########################################################\n";
    out += L"# generated by CQZ_BeautyDialogDesigner, do not modify #\n";
    out += L"########################################################\n\n";
    out += L"# dialog related information \n\n";
    out += L"[dialog]\n\n";
    out += L"name\t\t\t\t\t\t= " + name_ + L"\n";
    out += L"text\t\t\t\t\t\t= " + text_ + L"\n";
    out += L"template\t\t\t\t\t= " + template_ + L"\n";
    out += L"position\t\t\t\t\t= " + FormatRect(GetSavedDialogPosition()) + L"\n";
    out += L"controlTemplateFile\t\t\t= " + controlTemplateFile_ + L"\n";
    if (!dialogControlTemplateFile_.empty())
        out += L"dialogControlTemplateFile\t= " + dialogControlTemplateFile_ + L"\n\n";
    if (!generalControlsFile_.empty())
        out += L"generalControlsFile\t\t\t= " + generalControlsFile_ + L"\n\n";
    if (!dialogIniFlagsText_.empty())
        out += L"dialogIniFlags\t\t\t\t= " + dialogIniFlagsText_ + L"\n\n";
    out += L"# control information \n";
    for (const QzDialogControlRecord& record : records_) {
        if (record.fromGeneralControls || !record.created)
            continue;
        out += L"\n[" + record.name + L"]\n\n";
        out += L"type            =             " + GetSavedControlType(record) + L"\n";
        out += L"template        =             " + record.templateName + L"\n";
        out += L"text            =             " + record.text + L"\n";
        out += L"style           =             " + StyleText(record) + L"\n";
        out += L"styleEx         =             " + StyleExText(record) + L"\n";
        out += L"position        =             " + FormatRect(GetSavedControlPosition(record)) + L"\n";
        out += record.create ? L"create          =             create\n" : L"create          =             subclass\n";
    }
    if (!alignmentLines_.empty()) {
        out += L"\n################################################\n";
        out += L"#\n";
        out += L"#                  Alignment infos\n";
        out += L"#\n";
        out += L"################################################\n";
        for (const std::wstring& line : alignmentLines_)
            out += line + L"\n";
    }
    return out;
}

bool CQZDialogDefinition::Save(std::wstring& path, std::wstring& backupPath)
{
    // Only what a pooled reader holds is known well enough to be rewritten.
    if (path_.empty() || !CQZDefinitionFilePool::Instance().Contains(path_))
        return false;
    path = path_;
    const QzOSAL::QzPath file(path_);
    QzOSAL::QzPath backup(path_);
    backup.SetFileName(file.GetFileName() + L"_" + BackupTimeStamp());
    backupPath = backup.GetPath();
    const std::string native = qz::platform::NativeFileName(path_);
    const std::string nativeBackup = qz::platform::NativeFileName(backupPath);
    bool wide = false;
    if (std::rename(native.c_str(), nativeBackup.c_str()) == 0)
        wide = StartsWithUtf16Mark(backupPath);
    else
        backupPath.clear();

    const std::wstring text = FormatText();
    std::string bytes;
    if (wide) {
        // UTF-16LE with its mark, as a "ccs=UNICODE" stream writes it.
        bytes = "\xFF\xFE";
        for (const wchar_t c : text) {
            const auto put = [&](std::uint16_t unit) {
                bytes += static_cast<char>(unit & 0xFF);
                bytes += static_cast<char>(unit >> 8);
            };
            const auto code = static_cast<std::uint32_t>(c);
            if (code > 0xFFFF) {
                put(static_cast<std::uint16_t>(0xD800 + ((code - 0x10000) >> 10)));
                put(static_cast<std::uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
            } else {
                put(static_cast<std::uint16_t>(code));
            }
        }
    } else {
        bytes = qz::platform::AnsiBytesFromWide(text);
    }
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return false;
    out.close();
    // Later loads must read the new text, not the pooled or cached old one.
    CQZDefinitionFilePool::Instance().Drop(path_);
    return static_cast<bool>(out);
}
