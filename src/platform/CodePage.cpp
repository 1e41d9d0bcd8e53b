#include "platform/CodePage.h"

#include "platform/Utf8.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace qz::platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;
constexpr char kDefaultChar = '?';

std::atomic<std::uint32_t> g_ansiOverride{0};

bool IsScalarValue(std::uint32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF); }

// How a code page is converted: by hand for the Unicode forms and the 7-bit
// page (exact, fast, and with Windows' replacement rules), by iconv otherwise.
enum class Codec { Unknown, Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, SevenBit, Iconv };

struct Resolved {
    Codec codec = Codec::Unknown;
    std::string iconvName;  // for Codec::Iconv
    bool is1252 = false;    // Windows keeps the five undefined bytes of 1252
};

bool IconvKnows(const std::string& name)
{
    iconv_t cd = iconv_open(name.c_str(), "WCHAR_T");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

std::vector<std::string> CandidateNames(std::uint32_t codePage)
{
    switch (codePage) {
    case 1: return {"CP437"};
    case 2: return {"MACINTOSH"};
    case 874: return {"CP874", "IBM874"};
    case 936: return {"CP936", "GBK"};
    case 950: return {"CP950", "BIG5"};
    case 10000: return {"MACINTOSH"};
    case 20127: return {"ASCII"};
    case 20866: return {"KOI8-R"};
    case 21866: return {"KOI8-U"};
    case 20932: return {"EUC-JP"};
    case 51932: return {"EUC-JP"};
    case 51949: return {"EUC-KR"};
    case 52936: return {"HZ"};
    case 54936: return {"GB18030"};
    case 65000: return {"UTF-7"};
    default: break;
    }
    if (codePage >= 28591 && codePage <= 28606)
        return {"ISO-8859-" + std::to_string(codePage - 28590)};
    return {"CP" + std::to_string(codePage)};
}

Resolved ResolveIconv(std::uint32_t codePage)
{
    static std::mutex mutex;
    static std::unordered_map<std::uint32_t, std::string> names;  // "" = unknown
    std::lock_guard<std::mutex> lock(mutex);
    auto it = names.find(codePage);
    if (it == names.end()) {
        std::string found;
        for (const std::string& name : CandidateNames(codePage)) {
            if (IconvKnows(name)) {
                found = name;
                break;
            }
        }
        it = names.emplace(codePage, found).first;
    }
    Resolved r;
    if (!it->second.empty()) {
        r.codec = Codec::Iconv;
        r.iconvName = it->second;
        r.is1252 = codePage == 1252;
    }
    return r;
}

// The locale's character set, read without touching the process locale.
const std::string& LocaleCodeset()
{
    static const std::string codeset = [] {
        std::string name;
        locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
        if (loc != static_cast<locale_t>(0)) {
            const char* cs = nl_langinfo_l(CODESET, loc);
            if (cs)
                name = cs;
            freelocale(loc);
        }
        return name;
    }();
    return codeset;
}

bool IsAsciiOrUtf8Name(const std::string& name)
{
    return name.empty() || name == "ANSI_X3.4-1968" || name == "ASCII" || name == "UTF-8" ||
           name == "utf8" || name == "UTF8";
}

Resolved Resolve(std::uint32_t codePage)
{
    if (codePage == CP_ACP || codePage == CP_THREAD_ACP) {
        const std::uint32_t override = g_ansiOverride.load(std::memory_order_relaxed);
        if (override != 0 && override != CP_THREAD_ACP)
            return Resolve(override);
        static const Resolved locale = [] {
            const std::string& codeset = LocaleCodeset();
            Resolved r;
            if (IsAsciiOrUtf8Name(codeset) || !IconvKnows(codeset)) {
                r.codec = Codec::Utf8;
            } else {
                r.codec = Codec::Iconv;
                r.iconvName = codeset;
                r.is1252 = codeset == "CP1252";
            }
            return r;
        }();
        return locale;
    }
    Resolved r;
    switch (codePage) {
    case CP_UTF8: r.codec = Codec::Utf8; return r;
    case 1200: r.codec = Codec::Utf16LE; return r;
    case 1201: r.codec = Codec::Utf16BE; return r;
    case 12000: r.codec = Codec::Utf32LE; return r;
    case 12001: r.codec = Codec::Utf32BE; return r;
    case CP_QZ7BIT: r.codec = Codec::SevenBit; return r;
    default: return ResolveIconv(codePage);
    }
}

// iconv descriptors are not thread-safe and costly to open, so each thread
// keeps a few of its own.
class IconvCache {
public:
    ~IconvCache()
    {
        for (Entry& e : entries_)
            iconv_close(e.cd);
    }

    iconv_t Get(const std::string& to, const std::string& from)
    {
        for (Entry& e : entries_) {
            if (e.to == to && e.from == from) {
                iconv(e.cd, nullptr, nullptr, nullptr, nullptr);
                return e.cd;
            }
        }
        iconv_t cd = iconv_open(to.c_str(), from.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1))
            return cd;
        if (entries_.size() >= kMaxEntries) {
            iconv_close(entries_.front().cd);
            entries_.erase(entries_.begin());
        }
        entries_.push_back({to, from, cd});
        return cd;
    }

private:
    static constexpr std::size_t kMaxEntries = 16;
    struct Entry {
        std::string to;
        std::string from;
        iconv_t cd;
    };
    std::vector<Entry> entries_;
};

thread_local IconvCache t_iconv;

constexpr unsigned char k1252Undefined[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};

bool Is1252Undefined(std::uint32_t c)
{
    for (unsigned char b : k1252Undefined)
        if (c == b)
            return true;
    return false;
}

// ---- UTF-8 -------------------------------------------------------------

// Invalid input is replaced one maximal ill-formed subpart at a time, the
// replacement practice Windows follows.
std::optional<std::wstring> DecodeUtf8(std::string_view in, bool strict)
{
    std::wstring out;
    out.reserve(in.size());
    const auto* s = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(static_cast<wchar_t>(b));
            ++i;
            continue;
        }
        std::size_t need = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        std::uint32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0)
                lo = 0xA0;
            else if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F;
        } else {
            if (strict)
                return std::nullopt;
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        std::size_t k = 1;
        bool ok = true;
        for (; k <= need; ++k) {
            if (i + k >= n) {
                ok = false;
                break;
            }
            const unsigned char c = s[i + k];
            const unsigned char l = k == 1 ? lo : 0x80;
            const unsigned char h = k == 1 ? hi : 0xBF;
            if (c < l || c > h) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok) {
            if (strict)
                return std::nullopt;
            out.push_back(kReplacement);
            i += k;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += need + 1;
    }
    return out;
}

std::optional<std::string> EncodeUtf8(std::wstring_view in, bool strict)
{
    std::string out;
    out.reserve(in.size());
    for (wchar_t wc : in) {
        std::uint32_t c = static_cast<std::uint32_t>(wc);
        if (!IsScalarValue(c)) {
            if (strict)
                return std::nullopt;
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// ---- UTF-16 / UTF-32 as bytes -------------------------------------------

std::optional<std::wstring> DecodeUtf16Bytes(std::string_view in, bool bigEndian, bool strict)
{
    std::u16string units;
    units.reserve(in.size() / 2);
    const auto* s = reinterpret_cast<const unsigned char*>(in.data());
    for (std::size_t i = 0; i + 1 < in.size(); i += 2) {
        const unsigned a = s[i], b = s[i + 1];
        units.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    const bool oddTail = in.size() % 2 != 0;
    if (strict) {
        if (oddTail)
            return std::nullopt;
        for (std::size_t i = 0; i < units.size(); ++i) {
            const char16_t u = units[i];
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                units[i + 1] <= 0xDFFF) {
                ++i;
            } else if (u >= 0xD800 && u <= 0xDFFF) {
                return std::nullopt;
            }
        }
    }
    std::wstring out = Utf16ToWide(units);
    if (oddTail)
        out.push_back(kReplacement);
    return out;
}

std::optional<std::string> EncodeUtf16Bytes(std::wstring_view in, bool bigEndian, bool strict)
{
    if (strict) {
        for (wchar_t wc : in)
            if (!IsScalarValue(static_cast<std::uint32_t>(wc)))
                return std::nullopt;
    }
    const std::u16string units = WideToUtf16(in);
    std::string out;
    out.reserve(units.size() * 2);
    for (char16_t u : units) {
        const char hiByte = static_cast<char>(u >> 8), loByte = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? hiByte : loByte);
        out.push_back(bigEndian ? loByte : hiByte);
    }
    return out;
}

std::optional<std::wstring> DecodeUtf32Bytes(std::string_view in, bool bigEndian, bool strict)
{
    std::wstring out;
    out.reserve(in.size() / 4 + 1);
    const auto* s = reinterpret_cast<const unsigned char*>(in.data());
    std::size_t i = 0;
    for (; i + 3 < in.size(); i += 4) {
        const std::uint32_t c =
            bigEndian ? (std::uint32_t{s[i]} << 24) | (std::uint32_t{s[i + 1]} << 16) |
                            (std::uint32_t{s[i + 2]} << 8) | s[i + 3]
                      : (std::uint32_t{s[i + 3]} << 24) | (std::uint32_t{s[i + 2]} << 16) |
                            (std::uint32_t{s[i + 1]} << 8) | s[i];
        if (!IsScalarValue(c)) {
            if (strict)
                return std::nullopt;
            out.push_back(kReplacement);
        } else {
            out.push_back(static_cast<wchar_t>(c));
        }
    }
    if (i < in.size()) {
        if (strict)
            return std::nullopt;
        out.push_back(kReplacement);
    }
    return out;
}

std::optional<std::string> EncodeUtf32Bytes(std::wstring_view in, bool bigEndian, bool strict)
{
    std::string out;
    out.reserve(in.size() * 4);
    for (wchar_t wc : in) {
        std::uint32_t c = static_cast<std::uint32_t>(wc);
        if (!IsScalarValue(c)) {
            if (strict)
                return std::nullopt;
            c = kReplacement;
        }
        for (int k = 0; k < 4; ++k) {
            const int shift = bigEndian ? 24 - 8 * k : 8 * k;
            out.push_back(static_cast<char>((c >> shift) & 0xFF));
        }
    }
    return out;
}

// ---- iconv -------------------------------------------------------------

std::optional<std::wstring> DecodeIconv(const Resolved& r, std::string_view in, bool strict)
{
    iconv_t cd = t_iconv.Get("WCHAR_T", r.iconvName);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::wstring out(in.size() + 16, L'\0');
    std::size_t used = 0;  // wide characters written
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = reinterpret_cast<char*>(out.data() + used);
        std::size_t dstLeft = (out.size() - used) * sizeof(wchar_t);
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        const int err = errno;
        used = static_cast<std::size_t>(reinterpret_cast<wchar_t*>(dst) - out.data());
        if (rc != static_cast<std::size_t>(-1))
            break;
        if (err == E2BIG) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        // EILSEQ or EINVAL: one undecodable byte.
        const unsigned char bad = static_cast<unsigned char>(*src);
        wchar_t repl = kReplacement;
        if (r.is1252 && Is1252Undefined(bad)) {
            repl = static_cast<wchar_t>(bad);
        } else if (strict) {
            return std::nullopt;
        }
        if (used == out.size())
            out.resize(out.size() * 2 + 16);
        out[used++] = repl;
        ++src;
        --srcLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
}

std::optional<std::string> EncodeIconv(const Resolved& r, std::wstring_view in, bool strict,
                                       bool* usedDefaultChar)
{
    iconv_t cd = t_iconv.Get(r.iconvName, "WCHAR_T");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    const bool unicodeTarget = r.iconvName.rfind("UTF", 0) == 0;
    std::wstring clean;
    if (unicodeTarget) {
        // Invalid code points cannot travel through iconv; Unicode targets
        // carry U+FFFD in their place as Windows does.
        clean.assign(in);
        for (wchar_t& wc : clean) {
            if (!IsScalarValue(static_cast<std::uint32_t>(wc))) {
                if (strict)
                    return std::nullopt;
                wc = kReplacement;
            }
        }
        in = clean;
    }
    std::string out(in.size() * 2 + 16, '\0');
    std::size_t used = 0;
    // Writes the bytes that return a stateful encoding to its initial state.
    auto flush = [&] {
        while (true) {
            char* dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            const std::size_t rc = iconv(cd, nullptr, nullptr, &dst, &dstLeft);
            used = static_cast<std::size_t>(dst - out.data());
            if (rc != static_cast<std::size_t>(-1))
                return;
            out.resize(out.size() * 2 + 16);
        }
    };
    char* src = reinterpret_cast<char*>(const_cast<wchar_t*>(in.data()));
    std::size_t srcLeft = in.size() * sizeof(wchar_t);
    while (srcLeft > 0) {
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        const int err = errno;
        used = static_cast<std::size_t>(dst - out.data());
        if (rc != static_cast<std::size_t>(-1))
            break;
        if (err == E2BIG) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        // EILSEQ: a character the code page cannot hold.
        wchar_t bad;
        std::memcpy(&bad, src, sizeof bad);
        char repl = kDefaultChar;
        if (r.is1252 && Is1252Undefined(static_cast<std::uint32_t>(bad))) {
            repl = static_cast<char>(bad);
        } else {
            if (strict)
                return std::nullopt;
            if (usedDefaultChar)
                *usedDefaultChar = true;
        }
        flush();
        if (used == out.size())
            out.resize(out.size() * 2 + 16);
        out[used++] = repl;
        src += sizeof(wchar_t);
        srcLeft -= sizeof(wchar_t);
    }
    flush();
    out.resize(used);
    return out;
}

}  // namespace

std::optional<std::wstring> MultiByteToWide(std::uint32_t codePage, std::string_view text,
                                            std::uint32_t flags)
{
    const Resolved r = Resolve(codePage);
    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    switch (r.codec) {
    case Codec::Unknown: return std::nullopt;
    case Codec::Utf8: return DecodeUtf8(text, strict);
    case Codec::Utf16LE: return DecodeUtf16Bytes(text, false, strict);
    case Codec::Utf16BE: return DecodeUtf16Bytes(text, true, strict);
    case Codec::Utf32LE: return DecodeUtf32Bytes(text, false, strict);
    case Codec::Utf32BE: return DecodeUtf32Bytes(text, true, strict);
    case Codec::SevenBit: {
        std::wstring out(text.size(), L'\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            const unsigned char b = static_cast<unsigned char>(text[i]);
            out[i] = b < 0x80 ? static_cast<wchar_t>(b) : L'?';
        }
        return out;
    }
    case Codec::Iconv:
        if (text.empty())
            return std::wstring();
        return DecodeIconv(r, text, strict);
    }
    return std::nullopt;
}

std::optional<std::string> WideToMultiByte(std::uint32_t codePage, std::wstring_view text,
                                           std::uint32_t flags, bool* usedDefaultChar)
{
    if (usedDefaultChar)
        *usedDefaultChar = false;
    const Resolved r = Resolve(codePage);
    const bool strict = (flags & WC_ERR_INVALID_CHARS) != 0;
    switch (r.codec) {
    case Codec::Unknown: return std::nullopt;
    case Codec::Utf8: return EncodeUtf8(text, strict);
    case Codec::Utf16LE: return EncodeUtf16Bytes(text, false, strict);
    case Codec::Utf16BE: return EncodeUtf16Bytes(text, true, strict);
    case Codec::Utf32LE: return EncodeUtf32Bytes(text, false, strict);
    case Codec::Utf32BE: return EncodeUtf32Bytes(text, true, strict);
    case Codec::SevenBit: {
        std::string out(text.size(), '\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            const std::uint32_t c = static_cast<std::uint32_t>(text[i]);
            if (c < 0x80) {
                out[i] = static_cast<char>(c);
            } else {
                if (strict)
                    return std::nullopt;
                out[i] = kDefaultChar;
                if (usedDefaultChar)
                    *usedDefaultChar = true;
            }
        }
        return out;
    }
    case Codec::Iconv:
        if (text.empty())
            return std::string();
        return EncodeIconv(r, text, strict, usedDefaultChar);
    }
    return std::nullopt;
}

bool IsValidCodePage(std::uint32_t codePage) { return Resolve(codePage).codec != Codec::Unknown; }

std::uint32_t GetAnsiCodePage()
{
    const std::uint32_t override = g_ansiOverride.load(std::memory_order_relaxed);
    if (override != 0)
        return override;
    const std::string& codeset = LocaleCodeset();
    if (IsAsciiOrUtf8Name(codeset))
        return CP_UTF8;
    static const std::unordered_map<std::string, std::uint32_t> known = {
        {"CP1250", 1250}, {"CP1251", 1251},      {"CP1252", 1252}, {"CP1253", 1253},
        {"CP1254", 1254}, {"CP1255", 1255},      {"CP1256", 1256}, {"CP1257", 1257},
        {"CP1258", 1258}, {"ISO-8859-1", 28591}, {"ISO-8859-2", 28592},
        {"ISO-8859-3", 28593}, {"ISO-8859-4", 28594}, {"ISO-8859-5", 28595},
        {"ISO-8859-6", 28596}, {"ISO-8859-7", 28597}, {"ISO-8859-8", 28598},
        {"ISO-8859-9", 28599}, {"ISO-8859-13", 28603}, {"ISO-8859-15", 28605},
        {"KOI8-R", 20866}, {"KOI8-U", 21866},    {"EUC-JP", 20932}, {"EUC-KR", 51949},
        {"GB2312", 936},  {"GBK", 936},          {"GB18030", 54936}, {"BIG5", 950},
        {"SHIFT_JIS", 932}, {"TIS-620", 874},    {"CP932", 932},    {"CP936", 936},
        {"CP949", 949},   {"CP950", 950},
    };
    const auto it = known.find(codeset);
    return it != known.end() ? it->second : CP_UTF8;
}

void SetAnsiCodePage(std::uint32_t codePage)
{
    g_ansiOverride.store(codePage == CP_THREAD_ACP ? 0 : codePage, std::memory_order_relaxed);
}

std::string CodePageToIconvName(std::uint32_t codePage)
{
    const Resolved r = Resolve(codePage);
    switch (r.codec) {
    case Codec::Utf8: return "UTF-8";
    case Codec::Utf16LE: return "UTF-16LE";
    case Codec::Utf16BE: return "UTF-16BE";
    case Codec::Utf32LE: return "UTF-32LE";
    case Codec::Utf32BE: return "UTF-32BE";
    case Codec::Iconv: return r.iconvName;
    case Codec::Unknown:
    case Codec::SevenBit: break;
    }
    return std::string();
}

std::wstring WideFromAnsiBytes(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8At(bytes, at, c);
        if (length == 0) {
            out.push_back(static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(bytes[at])));
            ++at;
        } else {
            out.push_back(static_cast<wchar_t>(c));
            at += length;
        }
    }
    return out;
}

std::string AnsiBytesFromWide(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const wchar_t wc : text) {
        const auto c = static_cast<char32_t>(wc);
        if (c >= 0xDC80 && c <= 0xDCFF)
            out.push_back(static_cast<char>(c - 0xDC00));
        else if (c >= 0xD800 && c <= 0xDFFF)
            AppendUtf8(out, 0xFFFD); // UTF-8 holds no lone surrogate
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::wstring AnsiDisplayText(std::wstring_view text)
{
    const auto escaped = [](wchar_t c) { return c >= 0xDC80 && c <= 0xDCFF; };
    if (std::find_if(text.begin(), text.end(), escaped) == text.end())
        return std::wstring(text);
    // Whole lines, not runs of bad bytes: the trail bytes of a double-byte
    // page may be ASCII, so a run would cut characters in two.
    std::wstring out;
    out.reserve(text.size());
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring_view::npos)
            end = text.size();
        const std::wstring_view line = text.substr(start, end - start);
        if (std::find_if(line.begin(), line.end(), escaped) == line.end())
            out += line;
        else
            out += MultiByteToWide(CP_ACP, AnsiBytesFromWide(line)).value_or(std::wstring());
        if (end == text.size())
            break;
        out += L'\n';
        start = end + 1;
    }
    return out;
}

std::wstring Utf16ToWide(std::u16string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const std::uint32_t c = 0x10000 + ((std::uint32_t{u} - 0xD800) << 10) +
                                    (std::uint32_t{text[i + 1]} - 0xDC00);
            out.push_back(static_cast<wchar_t>(c));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out.push_back(kReplacement);
        } else {
            out.push_back(static_cast<wchar_t>(u));
        }
    }
    return out;
}

std::u16string WideToUtf16(std::wstring_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        std::uint32_t c = static_cast<std::uint32_t>(wc);
        if (!IsScalarValue(c))
            c = kReplacement;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

}  // namespace qz::platform
