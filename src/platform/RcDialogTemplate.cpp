#include "platform/RcDialogTemplate.h"

namespace qz::platform {

namespace {

constexpr std::uint32_t kDsSetFont = 0x40;

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

class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> d) : data(d) {}
    bool U8(std::uint8_t& v)
    {
        if (pos + 1 > data.size()) {
            return false;
        }
        v = data[pos++];
        return true;
    }
    bool U16(std::uint16_t& v)
    {
        if (pos + 2 > data.size()) {
            return false;
        }
        v = static_cast<std::uint16_t>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        return true;
    }
    bool U32(std::uint32_t& v)
    {
        std::uint16_t lo = 0;
        std::uint16_t hi = 0;
        if (!U16(lo) || !U16(hi)) {
            return false;
        }
        v = lo | (static_cast<std::uint32_t>(hi) << 16);
        return true;
    }
    bool I16(std::int16_t& v)
    {
        std::uint16_t u = 0;
        if (!U16(u)) {
            return false;
        }
        v = static_cast<std::int16_t>(u);
        return true;
    }
    bool Text(std::wstring& s)
    {
        std::size_t start = pos;
        std::uint16_t c = 0;
        do {
            if (!U16(c)) {
                return false;
            }
        } while (c != 0);
        s = DecodeUtf16(data.subspan(start, pos - 2 - start));
        return true;
    }
    bool NameOrOrdinal(ResName& n)
    {
        std::uint16_t first = 0;
        if (!U16(first)) {
            return false;
        }
        if (first == 0) {
            n = ResName{};
            return true;
        }
        if (first == 0xFFFF) {
            std::uint16_t ord = 0;
            if (!U16(ord)) {
                return false;
            }
            n = ResName::Ordinal(ord);
            return true;
        }
        pos -= 2;
        std::wstring s;
        if (!Text(s)) {
            return false;
        }
        n = ResName::Named(std::move(s));
        return true;
    }
    bool Align4()
    {
        while (pos % 4 != 0) {
            if (pos >= data.size()) {
                // Trailing padding may be cut off after the last item.
                return true;
            }
            ++pos;
        }
        return true;
    }
    std::span<const std::uint8_t> data;
    std::size_t pos = 0;
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

std::wstring DecodeUtf16(std::span<const std::uint8_t> data)
{
    std::wstring s;
    std::size_t n = data.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t u = data[2 * i] | (data[2 * i + 1] << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            std::uint32_t l = data[2 * i + 2] | (data[2 * i + 3] << 8);
            if (l >= 0xDC00 && l <= 0xDFFF) {
                s.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (l - 0xDC00)));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        s.push_back(static_cast<wchar_t>(u));
    }
    return s;
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
    if (d.style & kDsSetFont) {
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

std::optional<DialogTemplate> DecodeDialogTemplate(std::span<const std::uint8_t> data)
{
    Reader r(data);
    DialogTemplate d;
    std::uint16_t version = 0;
    std::uint16_t signature = 0;
    if (!r.U16(version) || !r.U16(signature)) {
        return std::nullopt;
    }
    const bool extended = version == 1 && signature == 0xFFFF;
    std::uint16_t count = 0;
    if (extended) {
        if (!r.U32(d.helpId) || !r.U32(d.exStyle) || !r.U32(d.style)) {
            return std::nullopt;
        }
    } else {
        // DLGTEMPLATE: style, then extended style.
        r.pos = 0;
        if (!r.U32(d.style) || !r.U32(d.exStyle)) {
            return std::nullopt;
        }
    }
    if (!r.U16(count) || !r.I16(d.x) || !r.I16(d.y) || !r.I16(d.cx) || !r.I16(d.cy) ||
        !r.NameOrOrdinal(d.menu) || !r.NameOrOrdinal(d.windowClass) || !r.Text(d.caption)) {
        return std::nullopt;
    }
    if (d.style & kDsSetFont) {
        if (!r.U16(d.pointSize)) {
            return std::nullopt;
        }
        if (extended && (!r.U16(d.weight) || !r.U8(d.italic) || !r.U8(d.charset))) {
            return std::nullopt;
        }
        if (!r.Text(d.typeface)) {
            return std::nullopt;
        }
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        DialogItemTemplate it;
        r.Align4();
        if (extended) {
            if (!r.U32(it.helpId) || !r.U32(it.exStyle) || !r.U32(it.style)) {
                return std::nullopt;
            }
        } else if (!r.U32(it.style) || !r.U32(it.exStyle)) {
            return std::nullopt;
        }
        if (!r.I16(it.x) || !r.I16(it.y) || !r.I16(it.cx) || !r.I16(it.cy)) {
            return std::nullopt;
        }
        if (extended) {
            if (!r.U32(it.id)) {
                return std::nullopt;
            }
        } else {
            std::uint16_t id16 = 0;
            if (!r.U16(id16)) {
                return std::nullopt;
            }
            it.id = id16;
        }
        std::uint16_t extraSize = 0;
        if (!r.NameOrOrdinal(it.windowClass) || !r.NameOrOrdinal(it.text) || !r.U16(extraSize)) {
            return std::nullopt;
        }
        if (r.pos + extraSize > data.size()) {
            return std::nullopt;
        }
        it.extra.assign(data.begin() + static_cast<std::ptrdiff_t>(r.pos),
                        data.begin() + static_cast<std::ptrdiff_t>(r.pos + extraSize));
        r.pos += extraSize;
        d.items.push_back(std::move(it));
    }
    return d;
}

} // namespace qz::platform
