#include "config/IniFileCache.h"

#include <mutex>
#include <unordered_map>

namespace {

struct Cache {
    std::mutex lock;
    std::unordered_map<std::wstring, std::shared_ptr<const CQZIniFileBuffer>> files;
    long users = 0;
    bool clearMarked = false;
};

// Created on first use and never destroyed, so readers that live in static
// objects may still release it during exit.
Cache& TheCache()
{
    static Cache* cache = new Cache;
    return *cache;
}

}  // namespace

void CQZIniFileCache::AddRef()
{
    Cache& c = TheCache();
    std::lock_guard<std::mutex> guard(c.lock);
    ++c.users;
}

void CQZIniFileCache::Release()
{
    Cache& c = TheCache();
    std::lock_guard<std::mutex> guard(c.lock);
    if (c.users > 0)
        --c.users;
    if (c.users == 0 && c.clearMarked) {
        c.files.clear();
        c.clearMarked = false;
    }
}

void CQZIniFileCache::MarkForClearing()
{
    Cache& c = TheCache();
    std::lock_guard<std::mutex> guard(c.lock);
    if (c.users == 0) {
        c.files.clear();
        c.clearMarked = false;
    } else {
        c.clearMarked = true;
    }
}

void CQZIniFileCache::Clear()
{
    Cache& c = TheCache();
    std::lock_guard<std::mutex> guard(c.lock);
    c.files.clear();
    c.clearMarked = false;
}

void CQZIniFileCache::Drop(const std::wstring& fullName)
{
    Cache& c = TheCache();
    std::lock_guard<std::mutex> guard(c.lock);
    c.files.erase(fullName);
}

std::shared_ptr<const CQZIniFileBuffer> CQZIniFileCache::Get(const std::wstring& fullName)
{
    Cache& c = TheCache();
    {
        std::lock_guard<std::mutex> guard(c.lock);
        auto it = c.files.find(fullName);
        if (it != c.files.end())
            return it->second;
    }
    // Read outside the lock: a slow or locked file must not hold up readers
    // of other files.
    std::string bytes;
    auto buffer = std::make_shared<CQZIniFileBuffer>();
    if (!CQZIniFileText::ReadBytes(fullName, bytes) || !CQZIniFileText::Decode(bytes, *buffer))
        return nullptr;
    std::lock_guard<std::mutex> guard(c.lock);
    // Another thread may have read it meanwhile; the first text stays.
    return c.files.emplace(fullName, std::move(buffer)).first->second;
}

std::size_t CQZIniFileCache::Count()
{
    Cache& c = TheCache();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.files.size();
}

long CQZIniFileCache::Users()
{
    Cache& c = TheCache();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.users;
}
