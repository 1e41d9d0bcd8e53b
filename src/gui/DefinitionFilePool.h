// The process-wide pool of open definition-file readers: every dialog that
// loads the same file (full path, compared without regard to case) parses it
// once. Readers not used for a while are closed when the pool grows beyond
// its limit.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CQZIniFileReader;

class CQZDefinitionFilePool {
  public:
    /// Readers kept open unless SetLimit says otherwise: the four update
    /// dialogs, their general controls files and room for a host's own.
    static constexpr std::size_t kDefaultLimit = 32;

    /// The pool every dialog of the process uses.
    static CQZDefinitionFilePool& Instance();

    /// The open reader of `path`, opened and parsed on first use; opened
    /// again when the file changed on disk since. Null when the file does
    /// not exist or cannot be read. Marks the reader as just used.
    std::shared_ptr<CQZIniFileReader> Acquire(const std::wstring& path);

    /// A locked reader is never closed by eviction; locks nest.
    void Lock(const std::wstring& path);
    void Unlock(const std::wstring& path);
    /// Closes the reader of `path`, so that the next Acquire reads the file
    /// again (after the file was written).
    void Drop(const std::wstring& path);
    /// Closes every reader.
    void Clear();

    /// When more readers than `limit` are open, the least recently used
    /// unlocked ones are closed until 80 % of it remain.
    void SetLimit(std::size_t limit);
    std::size_t GetLimit() const;
    std::size_t GetSize() const;
    /// Whether a reader of `path` is open now.
    bool Contains(const std::wstring& path) const;

    /// Holds a reader locked for one scope.
    class ScopedLock {
      public:
        explicit ScopedLock(std::wstring path);
        ~ScopedLock();
        ScopedLock(const ScopedLock&) = delete;
        ScopedLock& operator=(const ScopedLock&) = delete;

      private:
        std::wstring path_;
    };

  private:
    struct Entry {
        std::wstring path;
        std::shared_ptr<CQZIniFileReader> reader;
        std::chrono::steady_clock::time_point lastUse;
        int locks = 0;
        // What the file looked like when it was read.
        std::int64_t modified = 0;
        std::int64_t size = -1;
    };

    CQZDefinitionFilePool() = default;
    Entry* Find(const std::wstring& path);
    const Entry* Find(const std::wstring& path) const;
    void Evict();

    mutable std::mutex lock_;
    std::vector<Entry> entries_;
    std::size_t limit_ = kDefaultLimit;
};
