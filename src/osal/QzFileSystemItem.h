// A path together with the file system's record of it: kind, attributes,
// times, size and name, as a search of the path finds them.
#pragma once

#include "osal/QzPath.h"
#include "platform/FindFile.h"

#include <string>

namespace QzOSAL {

class QzFileSystemItem {
  public:
    /// An item on `path`, with its record read at once (zero when missing).
    explicit QzFileSystemItem(const QzPath& path);
    /// An item whose record a folder search has already read.
    QzFileSystemItem(const QzPath& path, const qz::platform::FindData& record);
    QzFileSystemItem(const QzFileSystemItem& other);
    QzFileSystemItem& operator=(const QzFileSystemItem& other);
    virtual ~QzFileSystemItem();

    /// Reads the record again. A trailing separator is taken off the path
    /// first (not from a root), so a folder written as "dir/" reads "dir".
    void Refresh();

    /// The full path text.
    const std::wstring& GetFullPath() const { return path_.GetPath(); }
    const QzPath& GetPath() const { return path_; }
    /// The record; all zero when the item does not exist.
    const qz::platform::FindData& GetRecord() const { return record_; }
    /// The item kind; 0 after a refresh.
    int GetKind() const { return kind_; }

    /// Whether the file system knows the item.
    bool Exists() const { return record_.attributes != 0; }
    bool IsDirectory() const { return (record_.attributes & qz::platform::FILE_ATTRIBUTE_DIRECTORY) != 0; }
    /// Size in bytes; 0 for folders and missing items.
    std::uint64_t GetSize() const { return record_.fileSize; }

  private:
    int kind_ = 0;
    QzPath path_;
    qz::platform::FindData record_;
};

} // namespace QzOSAL
