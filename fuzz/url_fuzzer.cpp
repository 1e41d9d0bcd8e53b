// Feeds arbitrary text to the URL value: parse, read, add, rewrite, reparse,
// copy and compare, and the escape round trip. Any crash, sanitizer report or
// broken invariant is a finding.
#include "osal/QzPath.h"
#include "osal/QzURL.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using QzOSAL::QzURL;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Bytes below 0xF0 are one character each, so the URL punctuation stays easy
// to reach; 0xF0 and above takes the next three bytes as a raw 32-bit unit,
// which also yields surrogates and values beyond Unicode.
std::wstring Decode(const std::uint8_t* data, std::size_t size)
{
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] < 0xF0 || i + 3 >= size) {
            text += static_cast<wchar_t>(data[i]);
            continue;
        }
        const std::uint32_t unit = (static_cast<std::uint32_t>(data[i] & 0x0F) << 24) |
                                   (static_cast<std::uint32_t>(data[i + 1]) << 16) |
                                   (static_cast<std::uint32_t>(data[i + 2]) << 8) | data[i + 3];
        text += static_cast<wchar_t>(data[i] == 0xFF ? unit | 0x80000000u : unit);
        i += 3;
    }
    return text;
}

void ReadEverything(const QzURL& url)
{
    const QzURL::Utf16Less less;
    std::wstring previous;
    std::wstring name;
    std::wstring value;
    int count = 0;
    for (; url.GetParam(count, name, value); ++count) {
        Check(count == 0 || less(previous, name));
        previous = name;
    }
    Check(count == url.GetParamCount());
    Check(!url.GetParam(-1, name, value));
    Check(url.GetScheme() >= QzURL::SchemeNone && url.GetScheme() <= QzURL::SchemeJavaScript);
    std::wstring host = url.GetSubDomain();
    if (!url.GetDomain().empty())
        host += L"." + url.GetDomain();
    if (!url.GetTopLevelDomain().empty())
        host += L"." + url.GetTopLevelDomain();
    Check(host == url.GetHost());
    Check(url.IsEmpty() == url.GetText().empty());
    (void)url.GetUser();
    (void)url.GetPassword();
    (void)url.GetPath();
    (void)url.GetFragment();
    (void)url.GetPort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring text = Decode(data, size);

    QzURL url(text);
    Check(url.GetText() == text);
    ReadEverything(url);
    QzURL::SchemeFromName(text);

    // A name and value taken from the text itself.
    const std::wstring name = text.substr(0, text.size() / 3);
    const std::wstring value = text.substr(text.size() / 3, 8);
    std::wstring before;
    std::wstring dummy;
    bool present = false;
    for (int i = 0; url.GetParam(i, dummy, before); ++i) {
        if (dummy == name) {
            present = true;
            break;
        }
    }
    url.AddParam(name, value);
    ReadEverything(url);
    bool found = false;
    std::wstring got;
    for (int i = 0; url.GetParam(i, dummy, got); ++i) {
        if (dummy == name) {
            found = true;
            Check(got == (present ? before : value));
        }
    }
    Check(found);

    url.SetFragment(value);
    url.SetPath(name);
    ReadEverything(url);

    // The rewritten text names its scheme first, and user information that
    // came from parsing survives the trip.
    QzURL reparsed(url.GetText());
    ReadEverything(reparsed);
    const std::wstring& rewritten = reparsed.GetText();
    Check(reparsed.GetScheme() == QzURL::SchemeFromName(rewritten.substr(0, rewritten.find(L"://"))));
    if (!url.GetUser().empty()) {
        Check(reparsed.GetUser() == url.GetUser());
        Check(reparsed.GetPassword() == url.GetPassword());
    }

    QzURL copy(url);
    Check(copy == url);
    // The C-string comparison sees the text only up to an embedded terminator.
    Check((copy == url.GetText().c_str()) == (url.GetText().find(L'\0') == std::wstring::npos));
    Check(copy.GetParamCount() == url.GetParamCount());
    copy.RemoveParam(0);
    Check(copy.GetText() == url.GetText());
    QzURL assigned;
    assigned = copy;
    Check(assigned == copy);
    assigned.Clear();
    Check(assigned.IsEmpty() && assigned.GetParamCount() == 0);

    // The escape of a segment is undone by the unescape when no '%' and no
    // terminator in the text can confuse either.
    if (text.find_first_of(std::wstring(L"%\0", 2)) == std::wstring::npos)
        Check(QzURL::Unescape(QzURL::Escape(text)) == text);

    QzURL file{QzOSAL::QzPath(text)};
    ReadEverything(file);
    Check(file.GetText().rfind(L"file://", 0) == 0);
    return 0;
}
