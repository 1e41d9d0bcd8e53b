// Random wide text through every path operation: nothing may crash, and the
// dot-step rules must agree with each other.
#include "osal/QzPath.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Bytes are Latin-1 characters, so separators, dots and colons are common;
// 0xff followed by three bytes makes any other character, up to U+10FFFF.
std::wstring ToWide(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xff && i + 3 < size) {
            const std::uint32_t c = (std::uint32_t{data[i + 1]} << 16) |
                                    (std::uint32_t{data[i + 2]} << 8) | data[i + 3];
            text += static_cast<wchar_t>(c % 0x110000);
            i += 3;
        } else {
            text += static_cast<wchar_t>(data[i]);
        }
    }
    return text;
}

std::wstring Native(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    return text;
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring input = ToWide(data, size);
    // A line break divides the path from a second one to append and compare.
    const std::size_t cut = input.find(L'\n');
    const std::wstring first = input.substr(0, cut);
    const std::wstring second = cut == std::wstring::npos ? std::wstring() : input.substr(cut + 1);

    QzOSAL::QzPath path(first);
    const QzOSAL::QzPath other(second);
    Check(path.GetFolder() == path.GetDrive() + path.GetDirectory());
    (void)path.GetFileName();
    (void)path.GetExtension();

    QzOSAL::QzPath canonical(path);
    canonical.Canonicalize();
    Check(canonical.IsCanonical());
    QzOSAL::QzPath again(canonical);
    again.Canonicalize();
    Check(again.GetPath() == canonical.GetPath());
    if (path.IsCanonical()) {
        Check(canonical.GetPath() == Native(path.GetPath()));
    }
    Check(canonical == path && path == canonical);
    Check(path == path);
    Check((path == other) == (other == path));

    QzOSAL::QzPath parent(path);
    if (parent.GoToParent()) {
        Check(parent.GetFileName().empty() && parent.GetExtension().empty());
    } else {
        Check(parent.GetPath() == path.GetPath());
    }

    QzOSAL::QzPath joined(path);
    joined.AppendPath(second);
    if (second.empty()) {
        Check(joined.GetPath() == path.GetPath());
    }
    (void)joined.GetDirectory();
    return 0;
}
