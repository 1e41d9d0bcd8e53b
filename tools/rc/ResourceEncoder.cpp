#include "rc/ResourceEncoder.h"

#include "platform/WinUser.h"

namespace qz::platform {

namespace {

class Writer {
  public:
    void U8(std::uint8_t v) { out.push_back(v); }
    void U16(std::uint16_t v)
    {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v)
    {
        U16(static_cast<std::uint16_t>(v & 0xFFFF));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void I16(std::int16_t v) { U16(static_cast<std::uint16_t>(v)); }
    // A terminated text ends at its first NUL, so anything after one could
    // never be read back.
    void Text(std::wstring_view s)
    {
        AppendUtf16(out, s.substr(0, s.find(L'\0')));
        U16(0);
    }
    // sz_Or_Ord: 0 for none, 0xFFFF plus the ordinal, or a terminated text.
    void NameOrOrdinal(const ResName& n)
    {
        if (!n.IsOrdinal()) {
            Text(n.name);
        } else if (n.ordinal == 0) {
            U16(0);
        } else {
            U16(0xFFFF);
            U16(n.ordinal);
        }
    }
    void Align4()
    {
        while (out.size() % 4 != 0) {
            out.push_back(0);
        }
    }
    std::vector<std::uint8_t> out;
};

} // namespace

void AppendUtf16(std::vector<std::uint8_t>& out, std::wstring_view text)
{
    auto put = [&out](std::uint32_t u) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>((u >> 8) & 0xFF));
    };
    for (wchar_t wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else if (c > 0x10FFFF) {
            put(0xFFFD);
        } else {
            put(c);
        }
    }
}

std::vector<std::uint8_t> EncodeDialogTemplate(const DialogTemplate& d)
{
    Writer w;
    w.U16(1);
    w.U16(0xFFFF);
    w.U32(d.helpId);
    w.U32(d.exStyle);
    w.U32(d.style);
    w.U16(static_cast<std::uint16_t>(d.items.size()));
    w.I16(d.x);
    w.I16(d.y);
    w.I16(d.cx);
    w.I16(d.cy);
    w.NameOrOrdinal(d.menu);
    w.NameOrOrdinal(d.windowClass);
    w.Text(d.caption);
    if (d.style & DS_SETFONT) {
        w.U16(d.pointSize);
        w.U16(d.weight);
        w.U8(d.italic);
        w.U8(d.charset);
        w.Text(d.typeface);
    }
    for (const DialogItemTemplate& it : d.items) {
        w.Align4();
        w.U32(it.helpId);
        w.U32(it.exStyle);
        w.U32(it.style);
        w.I16(it.x);
        w.I16(it.y);
        w.I16(it.cx);
        w.I16(it.cy);
        w.U32(it.id);
        w.NameOrOrdinal(it.windowClass);
        w.NameOrOrdinal(it.text);
        w.U16(static_cast<std::uint16_t>(it.extra.size()));
        w.out.insert(w.out.end(), it.extra.begin(), it.extra.end());
    }
    return std::move(w.out);
}

std::vector<std::uint8_t> EncodeStringBlock(const std::array<std::wstring, 16>& entries)
{
    std::vector<std::uint8_t> out;
    for (const std::wstring& s : entries) {
        std::vector<std::uint8_t> units;
        AppendUtf16(units, s);
        std::size_t len = units.size() / 2;
        out.push_back(static_cast<std::uint8_t>(len & 0xFF));
        out.push_back(static_cast<std::uint8_t>((len >> 8) & 0xFF));
        out.insert(out.end(), units.begin(), units.end());
    }
    return out;
}

} // namespace qz::platform
