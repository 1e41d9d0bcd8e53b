#include "platform/ShellPath.h"

#include <algorithm>
#include <vector>

namespace qz::platform {

namespace {

bool IsSchemeChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'+' || c == L'-' || c == L'.';
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

std::size_t FindSeparator(const std::wstring& text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (IsPathSeparator(text[i])) {
            return i;
        }
    }
    return std::wstring::npos;
}

std::wstring WithNativeSeparators(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'\\') {
            c = kPathSeparator;
        }
    }
    return text;
}

// The root of a path for removing dot steps: everything a ".." may not climb
// above. Network roots take the server and share (a share named "." or ".."
// is a step, not a share), drives their letter and separator, other rooted
// paths their leading separators.
std::size_t RootLength(const std::wstring& path) {
    if (PathIsUNC(path)) {
        const std::size_t shareSeparator = FindSeparator(path, 2);
        if (shareSeparator == std::wstring::npos) {
            return path.size();
        }
        std::size_t shareEnd = FindSeparator(path, shareSeparator + 1);
        const bool rooted = shareEnd != std::wstring::npos;
        if (!rooted) {
            shareEnd = path.size();
        }
        const std::wstring share = path.substr(shareSeparator + 1, shareEnd - shareSeparator - 1);
        if (share == L"." || share == L"..") {
            return shareSeparator + 1;
        }
        return rooted ? shareEnd + 1 : path.size();
    }
    if (path.size() >= 2 && path[1] == L':') {
        return path.size() >= 3 && IsPathSeparator(path[2]) ? 3 : 2;
    }
    std::size_t n = 0;
    while (n < path.size() && IsPathSeparator(path[n])) {
        ++n;
    }
    return n;
}

// One pass of removing dot steps below the root.
std::wstring RemoveDotSteps(const std::wstring& path) {
    const std::size_t rootLength = RootLength(path);
    std::wstring result = WithNativeSeparators(path.substr(0, rootLength));

    std::vector<std::wstring> steps;
    std::size_t start = rootLength;
    while (start <= path.size()) {
        std::size_t end = FindSeparator(path, start);
        if (end == std::wstring::npos) {
            end = path.size();
        }
        std::wstring step = path.substr(start, end - start);
        if (step == L"..") {
            if (!steps.empty()) {
                steps.pop_back();
            }
        } else if (step != L".") {
            steps.push_back(std::move(step));
        }
        start = end + 1;
    }
    // Without a root, a leading empty step would turn a relative path into
    // an absolute one.
    std::size_t first = 0;
    if (rootLength == 0) {
        while (first < steps.size() && steps[first].empty()) {
            ++first;
        }
    }
    for (std::size_t i = first; i < steps.size(); ++i) {
        if (i > first) {
            result += kPathSeparator;
        }
        result += steps[i];
    }
    return result;
}

}  // namespace

bool PathIsURL(const std::wstring& path) {
    if (path.empty() || !IsAsciiLetter(path[0])) {
        return false;
    }
    std::size_t i = 1;
    while (i < path.size() && IsSchemeChar(path[i])) {
        ++i;
    }
    return i >= 2 && i < path.size() && path[i] == L':';
}

bool PathIsUNC(const std::wstring& path) {
    if (path.size() < 3 || !IsPathSeparator(path[0]) || !IsPathSeparator(path[1]) ||
        IsPathSeparator(path[2])) {
        return false;
    }
    // "//?/" and "//./" name the device namespaces on Windows, not servers,
    // and ".." is a step, never a server.
    const std::size_t serverEnd = std::min(FindSeparator(path, 2), path.size());
    const std::wstring server = path.substr(2, serverEnd - 2);
    return server != L"?" && server != L"." && server != L"..";
}

bool PathIsUNCServer(const std::wstring& path) {
    return PathIsUNC(path) && FindSeparator(path, 2) == std::wstring::npos;
}

bool PathIsUNCServerShare(const std::wstring& path) {
    if (!PathIsUNC(path)) {
        return false;
    }
    const std::size_t shareSeparator = FindSeparator(path, 2);
    return shareSeparator != std::wstring::npos && shareSeparator + 1 < path.size() &&
           FindSeparator(path, shareSeparator + 1) == std::wstring::npos;
}

std::size_t PathSkipRoot(const std::wstring& path) {
    if (path.empty()) {
        return std::wstring::npos;
    }
    if (PathIsUNC(path)) {
        const std::size_t shareSeparator = FindSeparator(path, 2);
        if (shareSeparator == std::wstring::npos) {
            return std::wstring::npos;
        }
        const std::size_t afterShare = FindSeparator(path, shareSeparator + 1);
        return afterShare == std::wstring::npos ? std::wstring::npos : afterShare + 1;
    }
    if (path.size() >= 3 && path[1] == L':' && IsPathSeparator(path[2])) {
        return 3;
    }
    // The file-system root of Linux.
    if (IsPathSeparator(path[0])) {
        return 1;
    }
    return std::wstring::npos;
}

std::wstring PathCanonicalize(const std::wstring& path) {
    // Removing steps can leave a new root at the front ("./C:.." gives
    // "C:.."), so repeat until nothing changes. Every pass after the first
    // that changes anything makes the text shorter.
    std::wstring result = RemoveDotSteps(path);
    for (;;) {
        std::wstring again = RemoveDotSteps(result);
        if (again == result) {
            return result;
        }
        result = std::move(again);
    }
}

namespace {

PathParts SplitFrom(const std::wstring& path, std::size_t pos) {
    PathParts parts;
    std::size_t nameStart = pos;
    for (std::size_t i = pos; i < path.size(); ++i) {
        if (IsPathSeparator(path[i])) {
            nameStart = i + 1;
        }
    }
    parts.directory = WithNativeSeparators(path.substr(pos, nameStart - pos));
    const std::size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos && dot >= nameStart) {
        parts.fileName = path.substr(nameStart, dot - nameStart);
        parts.extension = path.substr(dot);
    } else {
        parts.fileName = path.substr(nameStart);
    }
    return parts;
}

}  // namespace

PathParts SplitPath(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':') {
        PathParts parts = SplitFrom(path, 2);
        parts.drive = path.substr(0, 2);
        return parts;
    }
    return SplitFrom(path, 0);
}

PathParts SplitDirectoryAndName(const std::wstring& path) {
    return SplitFrom(path, 0);
}

}  // namespace qz::platform
