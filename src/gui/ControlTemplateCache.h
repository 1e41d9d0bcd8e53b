// The process-wide cache of control-template files: every dialog that names
// the same file (folder and name compared without regard to case) shares one
// parsed copy.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gui/ControlTemplateFile.h"

/// One cached file with the folder and name it was asked for under.
struct CQZControlTemplateCacheEntry {
    std::wstring folder;
    std::wstring fileName;
    std::shared_ptr<CQZControlTemplateFile> file;
};

class CQZControlTemplateCache {
  public:
    /// The cache every dialog of the process uses.
    static CQZControlTemplateCache& Instance();

    /// The cached file, or the file read now and cached; null when it
    /// cannot be read (failures are not cached, so a file that appears
    /// later is found).
    std::shared_ptr<CQZControlTemplateFile> Load(const std::wstring& folder, const std::wstring& fileName,
                                                 const std::vector<std::wstring>& searchFolders = {});

    /// Number of cached files.
    std::size_t GetEntryCount() const;
    /// Forgets every file; files still in use stay alive with their users.
    void Clear();

  private:
    CQZControlTemplateCache() = default;

    mutable std::mutex lock_;
    std::vector<CQZControlTemplateCacheEntry> entries_;
};
