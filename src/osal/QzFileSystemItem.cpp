#include "osal/QzFileSystemItem.h"

#include "platform/ShellPath.h"

namespace QzOSAL {

namespace sp = qz::platform;

QzFileSystemItem::QzFileSystemItem(const QzPath& path) : path_(path)
{
    Refresh();
}

QzFileSystemItem::QzFileSystemItem(const QzPath& path, const sp::FindData& record)
    : path_(path), record_(record)
{
}

QzFileSystemItem::QzFileSystemItem(const QzFileSystemItem& other)
    : kind_(other.kind_), path_(other.path_), record_(other.record_)
{
}

QzFileSystemItem& QzFileSystemItem::operator=(const QzFileSystemItem& other)
{
    kind_ = other.kind_;
    path_ = other.path_;
    record_ = other.record_;
    return *this;
}

QzFileSystemItem::~QzFileSystemItem() = default;

void QzFileSystemItem::Refresh()
{
    kind_ = 0;
    record_ = sp::FindData{};
    std::wstring text = path_.GetPath();
    if (text.empty()) {
        return;
    }
    // A root keeps its separator: without it "C:/" or "//server/share/"
    // would name something else.
    if (sp::IsPathSeparator(text.back()) && sp::PathSkipRoot(text) != text.size()) {
        text.pop_back();
        path_.SetPath(text);
    }
    // Only one separator comes off; a path that still ends with one is not
    // a name a search can find, and its record stays zero.
    if (sp::IsPathSeparator(text.back())) {
        return;
    }
    std::uint32_t error = 0;
    sp::FindData record;
    sp::HFIND search = sp::FindFirstFile(text, record, error);
    if (search != nullptr) {
        record_ = record;
        sp::FindClose(search);
    }
}

} // namespace QzOSAL
