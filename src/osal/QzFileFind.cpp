#include "osal/QzFileFind.h"

#include "platform/ShellPath.h"

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
            // A "\" in a Linux name is part of the name, not a separator.
            std::wstring text = folder_.GetPath();
            while (text.size() > 1 && sp::IsPathSeparator(text.back())) {
                text.pop_back();
            }
            if (!text.empty() && !sp::IsPathSeparator(text.back())) {
                text += sp::kPathSeparator;
            }
            item_ = QzFileSystemItem(QzPath(text + record_.fileName), record_);
            return true;
        }
        found = sp::FindNextFile(search_, record_, lastError_);
    }
    ended_ = true;
    return false;
}

} // namespace QzOSAL
