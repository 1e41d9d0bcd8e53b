// Enumeration of a folder's entries that match a pattern ("*" and "?"),
// one QzFileSystemItem at a time.
#pragma once

#include "osal/QzFileSystemItem.h"
#include "osal/QzPath.h"
#include "platform/FindFile.h"

#include <cstdint>
#include <string>

namespace QzOSAL {

class QzFileFind {
  public:
    /// A search of `folder` for names matching `pattern`; nothing is read
    /// before the first FindNext.
    QzFileFind(const QzPath& folder, const std::wstring& pattern = L"*");
    virtual ~QzFileFind();
    QzFileFind(const QzFileFind&) = delete;
    QzFileFind& operator=(const QzFileFind&) = delete;

    /// Moves to the next entry that passes the name filter; false when the
    /// enumeration has ended (GetLastError says why).
    bool FindNext();
    /// The current entry; an item on the empty path before the first one.
    const QzFileSystemItem& GetItem() const { return item_; }
    /// The error that ended the enumeration: ERROR_NO_MORE_FILES at the end,
    /// ERROR_FILE_NOT_FOUND when nothing matched, ERROR_PATH_NOT_FOUND for a
    /// missing folder; 0 while it runs.
    std::uint32_t GetLastError() const { return lastError_; }

  protected:
    /// The name filter: every matching name except "." and "..", which name
    /// the folder itself and its parent rather than its contents.
    virtual bool IsNameAccepted(const std::wstring& name) const;

  private:
    QzPath folder_;
    std::wstring pattern_;
    qz::platform::HFIND search_ = nullptr;
    qz::platform::FindData record_;
    bool started_ = false;
    bool ended_ = false;
    std::uint32_t lastError_ = 0;
    QzFileSystemItem item_;
};

} // namespace QzOSAL
