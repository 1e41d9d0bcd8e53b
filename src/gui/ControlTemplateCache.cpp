#include "gui/ControlTemplateCache.h"

#include "config/QzStringMap.h"

namespace {

// "skin/" and "skin" name the same folder.
std::wstring_view WithoutTrailingSeparators(std::wstring_view folder)
{
    while (folder.size() > 1 && (folder.back() == L'/' || folder.back() == L'\\'))
        folder.remove_suffix(1);
    return folder;
}

} // namespace

CQZControlTemplateCache& CQZControlTemplateCache::Instance()
{
    static CQZControlTemplateCache* cache = new CQZControlTemplateCache;
    return *cache;
}

std::shared_ptr<CQZControlTemplateFile>
CQZControlTemplateCache::Load(const std::wstring& folder, const std::wstring& fileName,
                              const std::vector<std::wstring>& searchFolders)
{
    // One lock over lookup and reading: two dialogs asking for the same
    // file at once must not read it twice.
    std::lock_guard<std::mutex> guard(lock_);
    for (const CQZControlTemplateCacheEntry& entry : entries_) {
        if (QzEqualsNoCase(WithoutTrailingSeparators(entry.folder), WithoutTrailingSeparators(folder)) &&
            QzEqualsNoCase(entry.fileName, fileName))
            return entry.file;
    }
    std::shared_ptr<CQZControlTemplateFile> file =
        CQZControlTemplateFile::Load(folder, fileName, searchFolders);
    if (file)
        entries_.push_back(CQZControlTemplateCacheEntry{folder, fileName, file});
    return file;
}

std::size_t CQZControlTemplateCache::GetEntryCount() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return entries_.size();
}

void CQZControlTemplateCache::Clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    entries_.clear();
}
