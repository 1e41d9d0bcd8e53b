#include "osal/QzFileFind.h"

namespace QzOSAL {

namespace sp = qz::platform;

QzFileFind::QzFileFind(const QzPath& folder, const std::wstring& pattern)
    : folder_(folder), pattern_(pattern), item_(QzPath(), sp::FindData{})
{
}

QzFileFind::~QzFileFind()
{
    sp::FindClose(search_);
}

bool QzFileFind::IsNameAccepted(const std::wstring& name) const
{
    return name != L"." && name != L"..";
}

bool QzFileFind::FindNext()
{
    if (ended_) {
        return false;
    }
    bool found;
    if (!started_) {
        started_ = true;
        QzPath query(folder_);
        query.AppendPath(pattern_);
        search_ = sp::FindFirstFile(query.GetPath(), record_, lastError_);
        found = search_ != nullptr;
    } else {
        found = sp::FindNextFile(search_, record_, lastError_);
    }
    while (found) {
        if (IsNameAccepted(record_.fileName)) {
            QzPath path(folder_);
            path.AppendPath(record_.fileName);
            item_ = QzFileSystemItem(path, record_);
            return true;
        }
        found = sp::FindNextFile(search_, record_, lastError_);
    }
    ended_ = true;
    return false;
}

} // namespace QzOSAL
