#include "platform/FindFile.h"

#include "platform/FileNames.h"

#include <cerrno>
#include <memory>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace qz::platform {

// Either a listing of a folder filtered by a pattern, or the one file a
// pattern without wildcards names.
struct FindHandle {
    FindHandle() = default;
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle()
    {
        if (folder != nullptr)
            closedir(folder);
    }

    DIR* folder = nullptr;
    std::string folderName; // Native name of the folder being listed.
    std::wstring pattern;
};

namespace {

// FILETIME ticks between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

std::uint64_t FileTime(const statx_timestamp& t)
{
    if (t.tv_sec < 0) {
        return 0;
    }
    return kUnixEpochTicks + static_cast<std::uint64_t>(t.tv_sec) * 10000000ULL + t.tv_nsec / 100;
}

bool HasWildcard(const std::wstring& text)
{
    return text.find_first_of(L"*?") != std::wstring::npos;
}

std::uint32_t ErrorOf(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// Attributes: a folder is DIRECTORY; no write permission for the owner is
// READONLY; a dot name is HIDDEN; a symbolic link is a REPARSE_POINT (and
// the rest describes its target); NORMAL when nothing else applies.
// Fills `data` from the entry `name` of the folder `dirFd` (AT_FDCWD for a
// path). A broken link still gives a record, that of the link itself.
bool Describe(int dirFd, const std::string& native, const std::wstring& name, FindData& data, int& error)
{
    struct statx self {};
    if (statx(dirFd, native.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &self) != 0) {
        error = errno;
        return false;
    }
    const bool link = S_ISLNK(self.stx_mode);
    struct statx target = self;
    if (link && statx(dirFd, native.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &target) != 0) {
        target = self;
    }
    data = FindData{};
    const bool folder = S_ISDIR(target.stx_mode);
    if (folder) {
        data.attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    if ((target.stx_mode & S_IWUSR) == 0) {
        data.attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (name.size() > 1 && name[0] == L'.' && name != L"..") {
        data.attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    if (link) {
        data.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    if (data.attributes == 0) {
        data.attributes = FILE_ATTRIBUTE_NORMAL;
    }
    data.lastWriteTime = FileTime(target.stx_mtime);
    data.lastAccessTime = FileTime(target.stx_atime);
    data.creationTime =
        (target.stx_mask & STATX_BTIME) != 0 ? FileTime(target.stx_btime) : data.lastWriteTime;
    data.fileSize = folder ? 0 : target.stx_size;
    data.fileName = name;
    return true;
}

// Steps the listing to the next entry that matches; false at its end.
bool NextMatch(FindHandle& search, FindData& data, std::uint32_t& error)
{
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(search.folder);
        if (entry == nullptr) {
            error = errno == 0 ? ERROR_NO_MORE_FILES : ErrorOf(errno);
            return false;
        }
        const std::wstring name = WideFileName(entry->d_name);
        if (!MatchesFindPattern(search.pattern, name)) {
            continue;
        }
        int statError = 0;
        // An entry removed while the folder is listed is skipped.
        if (Describe(dirfd(search.folder), entry->d_name, name, data, statError)) {
            error = 0;
            return true;
        }
    }
}

bool MatchFrom(const std::wstring& pattern, const std::wstring& name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::wstring::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            starAt = p++;
            starName = n;
        } else if (starAt != std::wstring::npos) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace

bool MatchesFindPattern(const std::wstring& pattern, const std::wstring& name)
{
    if (MatchFrom(pattern, name)) {
        return true;
    }
    // The old rule that "*.*" means every name, dotted or not.
    const bool dotStar = pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, L".*") == 0;
    return dotStar && name.find(L'.') == std::wstring::npos &&
           MatchFrom(pattern.substr(0, pattern.size() - 2), name);
}

HFIND FindFirstFile(const std::wstring& pattern, FindData& data, std::uint32_t& error)
{
    data = FindData{};
    const std::size_t slash = pattern.rfind(L'/');
    const std::wstring lastStep = slash == std::wstring::npos ? pattern : pattern.substr(slash + 1);
    if (pattern.empty() || lastStep.empty()) {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    auto search = std::make_unique<FindHandle>();
    if (!HasWildcard(lastStep)) {
        int statError = 0;
        if (!Describe(AT_FDCWD, NativeFileName(pattern), lastStep, data, statError)) {
            error = ErrorOf(statError);
            return nullptr;
        }
        error = 0;
        return search.release();
    }
    std::wstring folder = L".";
    if (slash != std::wstring::npos) {
        folder = slash == 0 ? L"/" : pattern.substr(0, slash);
    }
    search->folderName = NativeFileName(folder);
    search->pattern = lastStep;
    search->folder = opendir(search->folderName.c_str());
    if (search->folder == nullptr) {
        error = errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorOf(errno);
        return nullptr;
    }
    if (!NextMatch(*search, data, error)) {
        if (error == ERROR_NO_MORE_FILES) {
            error = ERROR_FILE_NOT_FOUND;
        }
        return nullptr;
    }
    return search.release();
}

bool FindNextFile(HFIND search, FindData& data, std::uint32_t& error)
{
    if (search == nullptr) {
        error = ERROR_NO_MORE_FILES;
        return false;
    }
    if (search->folder == nullptr) {
        // A search for one named file has nothing more.
        error = ERROR_NO_MORE_FILES;
        return false;
    }
    return NextMatch(*search, data, error);
}

void FindClose(HFIND search)
{
    delete search;
}

} // namespace qz::platform
