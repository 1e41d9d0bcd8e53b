#include "gui/ControlTemplateFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <QString>

#include "config/QZIniFileReader.h"
#include "gui/ControlTemplateBuilder.h"
#include "gui/DefinitionFilePool.h"
#include "gui/GuiErrorLog.h"
#include "osal/QzPath.h"
#include "platform/FileNames.h"

namespace {

bool IsReadableFile(const std::wstring& path)
{
    const std::string native = qz::platform::NativeFileName(path);
    struct stat info {};
    return ::stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(native.c_str(), R_OK) == 0;
}

bool IsAbsolute(std::wstring_view name)
{
    return (!name.empty() && (name[0] == L'/' || name[0] == L'\\')) ||
           (name.size() >= 2 && name[1] == L':' && std::iswalpha(static_cast<wint_t>(name[0])));
}

std::wstring Join(const std::wstring& folder, std::wstring_view name)
{
    QzOSAL::QzPath path(folder);
    path.AppendPath(std::wstring(name));
    return path.GetPath();
}

} // namespace

CQZControlTemplateFile::~CQZControlTemplateFile() = default;

std::shared_ptr<CQZControlTemplateFile>
CQZControlTemplateFile::Load(const std::wstring& folder, const std::wstring& fileName,
                             const std::vector<std::wstring>& searchFolders)
{
    if (fileName.empty())
        return nullptr;
    const std::wstring path = folder.empty() ? fileName : Join(folder, fileName);
    // The reader opens a missing file as an empty one; a template file must exist.
    if (!IsReadableFile(path)) {
        CQZGuiErrorLog::Report(L"CQZControlTemplateFile: cannot read " + path);
        return nullptr;
    }
    // Shared with the dialogs' definition files: a file named by several
    // dialogs, or used as both, is parsed once.
    const std::shared_ptr<CQZIniFileReader> reader = CQZDefinitionFilePool::Instance().Acquire(path);
    if (!reader) {
        CQZGuiErrorLog::Report(L"CQZControlTemplateFile: cannot parse " + path);
        return nullptr;
    }
    const CQZDefinitionFilePool::ScopedLock inUse(path);
    std::shared_ptr<CQZControlTemplateFile> file(new CQZControlTemplateFile);
    file->path_ = path;
    file->folder_ = QzOSAL::QzPath(path).GetFolder();
    file->searchFolders_ = searchFolders;
    CQZControlTemplateBuilder(*file, *reader).Build();
    return file;
}

std::ptrdiff_t CQZControlTemplateFile::FindTemplate(std::wstring_view name) const
{
    const std::ptrdiff_t pos = index_.Lookup(name);
    return pos < 0 ? -1 : static_cast<std::ptrdiff_t>(index_.At(static_cast<std::size_t>(pos)).value);
}

const CQZControlTemplate* CQZControlTemplateFile::GetTemplate(std::ptrdiff_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= templates_.size())
        return nullptr;
    return &templates_[static_cast<std::size_t>(index)];
}

const CQZControlTemplate* CQZControlTemplateFile::GetTemplate(std::wstring_view name) const
{
    return GetTemplate(FindTemplate(name));
}

std::optional<std::wstring> CQZControlTemplateFile::GetNamedValue(std::wstring_view name) const
{
    const std::ptrdiff_t pos = namedValues_.Lookup(name);
    if (pos < 0)
        return std::nullopt;
    return namedValues_.At(static_cast<std::size_t>(pos)).value;
}

std::wstring CQZControlTemplateFile::ResolveImage(std::wstring_view imageName) const
{
    if (imageName.empty())
        return std::wstring();
    {
        std::lock_guard<std::mutex> guard(imageLock_);
        const std::ptrdiff_t pos = imageTable_.Lookup(imageName);
        if (pos >= 0)
            return imageTable_.At(static_cast<std::size_t>(pos)).value;
    }
    // Any other name is a file: beside the template file, then in the skin
    // search folders. Found files join the table under their name.
    std::wstring found;
    if (IsAbsolute(imageName)) {
        if (IsReadableFile(std::wstring(imageName)))
            found = imageName;
    } else {
        std::wstring candidate = Join(folder_, imageName);
        if (IsReadableFile(candidate)) {
            found = candidate;
        } else {
            for (const std::wstring& folder : searchFolders_) {
                candidate = Join(folder, imageName);
                if (IsReadableFile(candidate)) {
                    found = candidate;
                    break;
                }
            }
        }
    }
    if (!found.empty()) {
        std::lock_guard<std::mutex> guard(imageLock_);
        imageTable_.Set(imageName, found);
    }
    return found;
}

std::shared_ptr<const QImage> CQZControlTemplateFile::GetImage(std::wstring_view imageName) const
{
    const std::wstring path = ResolveImage(imageName);
    if (path.empty())
        return nullptr;
    std::lock_guard<std::mutex> guard(imageLock_);
    const auto it = pixels_.find(path);
    if (it != pixels_.end())
        return it->second;
    auto image = std::make_shared<QImage>(QString::fromStdString(qz::platform::NativeFileName(path)));
    std::shared_ptr<const QImage> result;
    if (!image->isNull())
        result = std::move(image);
    else
        CQZGuiErrorLog::Report(L"CQZControlTemplateFile: cannot decode image " + path);
    pixels_[path] = result;
    return result;
}
