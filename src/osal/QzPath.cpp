#include "osal/QzPath.h"

#include "platform/ShellPath.h"
#include "platform/ShellFolders.h"

#include <algorithm>

namespace QzOSAL {

namespace sp = qz::platform;

namespace {

constexpr int kNoCsidl = -1;

// Special-folder number -> CSIDL of the Windows shell. kNoCsidl marks the
// numbers with a rule of their own; 9 and every number past the table name
// CSIDL 0, the desktop.
constexpr int kCsidlOfFolder[QzPath::kLastSpecialFolder + 1] = {
    26, 35, 46, 23, 22, 24, 45, kNoCsidl, 33, 0,         // 0-9
    16, 17, 6,  20, 32, 28, 13, 39,       5,  40,        // 10-19
    21, 38, 43, 37, 36, 18, 19, 47,       53, 58,        // 20-29
    54, 55, 61, 49, 5,  14, kNoCsidl, 42, 44, 56,        // 30-39
    57, 41, kNoCsidl, kNoCsidl, 34, 48, 59,              // 40-46
};

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool EndsWithSeparator(const std::wstring& text) {
    return !text.empty() && sp::IsPathSeparator(text.back());
}

bool OnlySeparators(const std::wstring& text) {
    for (wchar_t c : text) {
        if (!sp::IsPathSeparator(c)) {
            return false;
        }
    }
    return true;
}

// "/" for every separator, and from `from` on runs of separators made one
// (a network root's two leading separators stay two).
std::wstring CollapseSeparators(const std::wstring& text, std::size_t from = 0) {
    std::wstring out = text.substr(0, from);
    for (std::size_t i = from; i < text.size(); ++i) {
        if (sp::IsPathSeparator(text[i])) {
            if (out.size() == from || out.back() != sp::kPathSeparator) {
                out += sp::kPathSeparator;
            }
        } else {
            out += text[i];
        }
    }
    for (std::size_t i = 0; i < from && i < out.size(); ++i) {
        if (sp::IsPathSeparator(out[i])) {
            out[i] = sp::kPathSeparator;
        }
    }
    return out;
}

// The form two paths are compared in: no dot steps, one "/" between steps
// (a network root keeps its two leading separators), upper-case drive letter.
std::wstring ComparisonForm(const std::wstring& text, bool canonical) {
    const std::wstring plain = canonical ? text : sp::PathCanonicalize(text);
    std::wstring form = CollapseSeparators(plain, sp::PathIsUNC(plain) ? 2 : 0);
    if (form.size() >= 2 && form[1] == L':' && IsDriveLetter(form[0])) {
        if (form[0] >= L'a') {
            form[0] = static_cast<wchar_t>(form[0] - L'a' + L'A');
        }
        // A bare drive names its root, as in SetPath.
        if (form.size() == 2) {
            form += sp::kPathSeparator;
        }
    }
    return form;
}

// The folder or file a special-folder number names, folders with a trailing
// separator; empty when it cannot be resolved.
std::wstring ResolveSpecialFolder(int folder) {
    std::wstring text;
    switch (folder) {
    case QzPath::kTempFolder:
        text = sp::GetTempFolderPath();
        break;
    case QzPath::kVstPluginsFolder: {
        QzPath plugins(QzPath::kProgramFilesFolder, L"VSTPlugins/");
        return plugins.GetPath();
    }
    case QzPath::kExecutableFolder:
        text = sp::GetExecutableFolder();
        break;
    case QzPath::kExecutableFile:
        return sp::GetExecutablePath();
    default: {
        // Taken as unsigned, a negative number lies past the table.
        const auto index = static_cast<unsigned>(folder);
        const int csidl = index <= static_cast<unsigned>(QzPath::kLastSpecialFolder)
                              ? kCsidlOfFolder[index]
                              : 0;
        text = sp::GetSpecialFolderPath(csidl);
        break;
    }
    }
    if (!text.empty() && !EndsWithSeparator(text)) {
        text += sp::kPathSeparator;
    }
    return text;
}

}  // namespace

QzPath::QzPath() = default;

QzPath::QzPath(const std::wstring& text) {
    SetPath(text);
}

QzPath::QzPath(const wchar_t* text) {
    SetPath(text);
}

QzPath::QzPath(const QzPath& other) {
    Assign(other);
}

QzPath::QzPath(DriveNumber drive) {
    const int number = static_cast<int>(drive);
    if (number >= 0 && number < 26) {
        SetPath(std::wstring{static_cast<wchar_t>(L'A' + number), L':'});
    }
}

QzPath::QzPath(int folder, const std::wstring& subPath) {
    SetPath(ResolveSpecialFolder(folder));
    if (!text_.empty()) {
        AppendPath(subPath);
    }
}

QzPath::~QzPath() = default;

QzPath& QzPath::operator=(const QzPath& other) {
    if (this != &other) {
        Assign(other);
    }
    return *this;
}

QzPath& QzPath::operator=(const std::wstring& text) {
    SetPath(text);
    return *this;
}

QzPath& QzPath::operator=(const wchar_t* text) {
    SetPath(text);
    return *this;
}

void QzPath::Assign(const QzPath& other) {
    split_ = other.split_;
    drive_ = other.drive_;
    directory_ = other.directory_;
    fileName_ = other.fileName_;
    extension_ = other.extension_;
    text_ = other.text_;
}

void QzPath::SetPath(const std::wstring& text) {
    text_ = text;
    if (text_.size() == 2 && text_[1] == L':' && IsDriveLetter(text_[0])) {
        text_ += sp::kPathSeparator;
    }
    split_ = 0;
    drive_.clear();
    directory_.clear();
    fileName_.clear();
    extension_.clear();
}

void QzPath::SetPath(const wchar_t* text) {
    SetPath(text ? std::wstring(text) : std::wstring());
}

void QzPath::Split() const {
    if (split_ & kAll) {
        return;
    }
    sp::PathParts parts;
    if (sp::PathIsUNC(text_)) {
        const std::size_t skip = sp::PathSkipRoot(text_);
        if (sp::PathIsUNCServer(text_) || sp::PathIsUNCServerShare(text_) ||
            skip == std::wstring::npos) {
            // A bare root has nothing below it.
            parts.drive = CollapseSeparators(text_, 2);
        } else {
            parts = sp::SplitDirectoryAndName(CollapseSeparators(text_.substr(skip - 1)));
            parts.drive = CollapseSeparators(text_.substr(0, skip - 1), 2);
        }
    } else if (sp::PathIsURL(text_)) {
        // scheme ":" ["//" host] path ["?" query] ["#" fragment]; the query
        // and fragment belong to no component.
        const std::size_t colon = text_.find(L':');
        std::size_t pathStart = colon + 1;
        if (pathStart + 1 < text_.size() && sp::IsPathSeparator(text_[pathStart]) &&
            sp::IsPathSeparator(text_[pathStart + 1])) {
            pathStart += 2;
            while (pathStart < text_.size() && !sp::IsPathSeparator(text_[pathStart]) &&
                   text_[pathStart] != L'?' && text_[pathStart] != L'#') {
                ++pathStart;
            }
        }
        const std::size_t pathEnd = std::min(text_.find_first_of(L"?#", pathStart), text_.size());
        parts = sp::SplitDirectoryAndName(text_.substr(pathStart, pathEnd - pathStart));
        parts.drive = CollapseSeparators(text_.substr(0, pathStart), pathStart);
    } else {
        parts = sp::SplitPath(CollapseSeparators(text_));
        if (!parts.drive.empty() && parts.directory.empty()) {
            parts.directory = std::wstring(1, sp::kPathSeparator);
        }
    }
    drive_ = std::move(parts.drive);
    directory_ = std::move(parts.directory);
    fileName_ = std::move(parts.fileName);
    extension_ = std::move(parts.extension);
    split_ = kDrive | kDirectory | kFileName | kExtension | kAll;
}

const std::wstring& QzPath::GetDrive() const {
    Split();
    return drive_;
}

const std::wstring& QzPath::GetDirectory() const {
    Split();
    return directory_;
}

const std::wstring& QzPath::GetFileName() const {
    Split();
    return fileName_;
}

const std::wstring& QzPath::GetExtension() const {
    Split();
    return extension_;
}

std::wstring QzPath::GetFolder() const {
    Split();
    return drive_ + directory_;
}

void QzPath::Rebuild(const std::wstring& drive, const std::wstring& directory,
                     const std::wstring& fileName, const std::wstring& extension) {
    std::wstring text = drive + directory;
    if (!directory.empty() && !EndsWithSeparator(directory)) {
        text += sp::kPathSeparator;
    }
    text += fileName;
    if (!extension.empty() && extension[0] != L'.') {
        text += L'.';
    }
    text += extension;
    SetPath(text);
}

void QzPath::SetFileName(const std::wstring& fileName) {
    Split();
    Rebuild(drive_, directory_, fileName, extension_);
}

void QzPath::SetExtension(const std::wstring& extension) {
    Split();
    Rebuild(drive_, directory_, fileName_, extension);
}

void QzPath::SetFolder(const std::wstring& folder) {
    Split();
    std::wstring root = folder;
    if (!root.empty() && !EndsWithSeparator(root)) {
        root += sp::kPathSeparator;
    }
    Rebuild(std::wstring(), root, fileName_, extension_);
}

void QzPath::AppendPath(const std::wstring& subPath) {
    if (subPath.empty()) {
        return;
    }
    std::wstring text = text_;
    std::size_t start = 0;
    if (!text.empty()) {
        while (EndsWithSeparator(text)) {
            text.pop_back();
        }
        while (start < subPath.size() && sp::IsPathSeparator(subPath[start])) {
            ++start;
        }
        text += sp::kPathSeparator;
    }
    for (std::size_t i = start; i < subPath.size(); ++i) {
        text += sp::IsPathSeparator(subPath[i]) ? sp::kPathSeparator : subPath[i];
    }
    SetPath(text);
}

bool QzPath::IsCanonical() const {
    // A step is what lies between separators; a leading drive is no step.
    std::size_t start = text_.size() >= 2 && text_[1] == L':' ? 2 : 0;
    while (start <= text_.size()) {
        std::size_t end = start;
        while (end < text_.size() && !sp::IsPathSeparator(text_[end])) {
            ++end;
        }
        const std::size_t length = end - start;
        if ((length == 1 || length == 2) && text_.compare(start, length, L"..", length) == 0) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

void QzPath::Canonicalize() {
    SetPath(sp::PathCanonicalize(text_));
}

bool QzPath::GoToParent() {
    Split();
    if (directory_.empty() || OnlySeparators(directory_)) {
        return false;
    }
    std::wstring steps = directory_;
    if (!EndsWithSeparator(steps)) {
        steps += sp::kPathSeparator;
    }
    steps += L"..";
    std::wstring parent = sp::PathCanonicalize(steps);
    // A relative directory whose parent is the current folder keeps no text.
    if (!parent.empty() && !EndsWithSeparator(parent)) {
        parent += sp::kPathSeparator;
    }
    SetPath(drive_ + parent);
    return true;
}

bool QzPath::IsSpecialFolder() const {
    for (int folder = 0; folder <= kLastSpecialFolder; ++folder) {
        const QzPath special(folder);
        if (!special.GetPath().empty() && special == *this) {
            return true;
        }
    }
    return false;
}

bool QzPath::operator==(const QzPath& other) const {
    const bool bothCanonical = IsCanonical() && other.IsCanonical();
    return ComparisonForm(text_, bothCanonical) == ComparisonForm(other.text_, bothCanonical);
}

}  // namespace QzOSAL
