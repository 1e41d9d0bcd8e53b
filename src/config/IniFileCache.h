// The process-wide cache of INI file texts: each file is read and decoded
// once, then every reader that opens it parses the cached text.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "config/IniFileText.h"

class CQZIniFileCache {
public:
    /// A reader starts using the cache.
    static void AddRef();
    /// A reader stops using it; the last one out clears the cache when it was
    /// marked for clearing.
    static void Release();
    /// Asks for the cache to be emptied once no reader uses it any more
    /// (at once when none does).
    static void MarkForClearing();
    /// Empties the cache now; texts already handed out stay valid.
    static void Clear();
    /// Forgets one file, so that the next request reads it again.
    static void Drop(const std::wstring& fullName);

    /// The text of the file with that full name (see CQZIniFileText::FullName),
    /// read and decoded on first use. Null when the file cannot be read or
    /// decoded; such failures are not cached.
    static std::shared_ptr<const CQZIniFileBuffer> Get(const std::wstring& fullName);

    /// Number of cached files and of readers using the cache.
    static std::size_t Count();
    static long Users();
};
