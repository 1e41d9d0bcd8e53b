// What a folder holds, for tests that check what a run left on disk.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace qz::test {

/// The names in `folder`, sorted.
inline std::vector<std::string> FolderNames(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace qz::test
