#include "platform/RcDialogTemplate.h"

namespace qz::platform {

namespace {

constexpr std::uint32_t kDsSetFont = 0x40;

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
