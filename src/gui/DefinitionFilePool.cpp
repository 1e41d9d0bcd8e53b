#include "gui/DefinitionFilePool.h"

#include <sys/stat.h>

#include <algorithm>

#include "config/IniFileCache.h"
#include "config/IniFileText.h"
#include "config/QZIniFileReader.h"
#include "config/QzStringMap.h"
#include "platform/FileNames.h"

namespace {

// Modification time in nanoseconds and size; false when the file is gone.
bool FileStamp(const std::wstring& path, std::int64_t& modified, std::int64_t& size)
{
    struct stat info {};
    if (::stat(qz::platform::NativeFileName(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    size = static_cast<std::int64_t>(info.st_size);
    return true;
}

} // namespace

CQZDefinitionFilePool& CQZDefinitionFilePool::Instance()
{
    static CQZDefinitionFilePool* pool = new CQZDefinitionFilePool;
    return *pool;
}

CQZDefinitionFilePool::Entry* CQZDefinitionFilePool::Find(const std::wstring& path)
{
    for (Entry& entry : entries_) {
        if (QzEqualsNoCase(entry.path, path))
            return &entry;
    }
    return nullptr;
}

const CQZDefinitionFilePool::Entry* CQZDefinitionFilePool::Find(const std::wstring& path) const
{
    return const_cast<CQZDefinitionFilePool*>(this)->Find(path);
}

std::shared_ptr<CQZIniFileReader> CQZDefinitionFilePool::Acquire(const std::wstring& path)
{
    std::int64_t modified = 0;
    std::int64_t size = -1;
    if (path.empty() || !FileStamp(path, modified, size))
        return nullptr;

    std::lock_guard<std::mutex> guard(lock_);
    Entry* entry = Find(path);
    if (entry && entry->modified == modified && entry->size == size) {
        entry->lastUse = std::chrono::steady_clock::now();
        return entry->reader;
    }
    // New, or changed behind the pool's back: the text cache would hand out
    // the old text, so it forgets the file too.
    CQZIniFileCache::Drop(CQZIniFileText::FullName(path));
    auto reader = std::make_shared<CQZIniFileReader>();
    if (!reader->Open(path.c_str()))
        return nullptr;
    if (entry) {
        entry->reader = reader;
        entry->modified = modified;
        entry->size = size;
        entry->lastUse = std::chrono::steady_clock::now();
        return reader;
    }
    entries_.push_back(Entry{path, reader, std::chrono::steady_clock::now(), 0, modified, size});
    Evict();
    return reader;
}

void CQZDefinitionFilePool::Evict()
{
    if (entries_.size() <= limit_)
        return;
    const std::size_t target = limit_ * 8 / 10;
    while (entries_.size() > target) {
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->locks == 0 && (oldest == entries_.end() || it->lastUse < oldest->lastUse))
                oldest = it;
        }
        if (oldest == entries_.end())
            return; // everything left is in use
        entries_.erase(oldest);
    }
}

void CQZDefinitionFilePool::Lock(const std::wstring& path)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (Entry* entry = Find(path))
        ++entry->locks;
}

void CQZDefinitionFilePool::Unlock(const std::wstring& path)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (Entry* entry = Find(path); entry && entry->locks > 0)
        --entry->locks;
    Evict();
}

void CQZDefinitionFilePool::Drop(const std::wstring& path)
{
    std::shared_ptr<CQZIniFileReader> closing;
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Entry& entry) { return QzEqualsNoCase(entry.path, path); });
        if (it != entries_.end()) {
            closing = std::move(it->reader);
            entries_.erase(it);
        }
    }
    CQZIniFileCache::Drop(CQZIniFileText::FullName(path));
}

void CQZDefinitionFilePool::Clear()
{
    std::vector<Entry> closing;
    {
        std::lock_guard<std::mutex> guard(lock_);
        closing.swap(entries_);
    }
}

void CQZDefinitionFilePool::SetLimit(std::size_t limit)
{
    std::lock_guard<std::mutex> guard(lock_);
    limit_ = std::max<std::size_t>(limit, 1);
    Evict();
}

std::size_t CQZDefinitionFilePool::GetLimit() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return limit_;
}

std::size_t CQZDefinitionFilePool::GetSize() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return entries_.size();
}

bool CQZDefinitionFilePool::Contains(const std::wstring& path) const
{
    std::lock_guard<std::mutex> guard(lock_);
    return Find(path) != nullptr;
}

CQZDefinitionFilePool::ScopedLock::ScopedLock(std::wstring path) : path_(std::move(path))
{
    Instance().Lock(path_);
}

CQZDefinitionFilePool::ScopedLock::~ScopedLock()
{
    Instance().Unlock(path_);
}
