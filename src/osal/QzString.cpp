#include "osal/QzString.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <string_view>

namespace QzOSAL {
namespace {

const char kEmptyNarrow[] = "";
const wchar_t kEmptyWide[] = L"";

// Owned zero-terminated copy of `text`; empty text is no text.
template <typename Char>
std::unique_ptr<Char[]> Own(std::basic_string_view<Char> text)
{
    if (text.empty())
        return nullptr;
    std::unique_ptr<Char[]> out(new (std::nothrow) Char[text.size() + 1]);
    if (!out)
        return nullptr;
    std::memcpy(out.get(), text.data(), text.size() * sizeof(Char));
    out[text.size()] = 0;
    return out;
}

std::unique_ptr<wchar_t[]> NarrowToWide(const char* text, std::uint32_t codePage)
{
    if (!text || !*text)
        return nullptr;
    try {
        const auto wide = qz::platform::MultiByteToWide(codePage, text);
        return wide ? Own<wchar_t>(*wide) : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<char[]> WideToNarrow(const wchar_t* text, std::uint32_t codePage)
{
    if (!text || !*text)
        return nullptr;
    try {
        const auto narrow = qz::platform::WideToMultiByte(codePage, text);
        return narrow ? Own<char>(*narrow) : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<char[]> NarrowToNarrow(const char* text, std::uint32_t from, std::uint32_t to)
{
    if (!text || !*text)
        return nullptr;
    if (from == to)
        return Own<char>(text);
    const std::unique_ptr<wchar_t[]> wide = NarrowToWide(text, from);
    return WideToNarrow(wide.get(), to);
}

// The write buffer: `length` units (0: the current length) filled from the
// current text and zero-padded, plus a terminator.
template <typename Char>
std::unique_ptr<Char[]> MakeWriteBuffer(const Char* current, std::size_t currentLength,
                                        std::size_t length)
{
    if (length == 0)
        length = currentLength;
    if (length >= SIZE_MAX / sizeof(Char))
        return nullptr;
    std::unique_ptr<Char[]> buffer(new (std::nothrow) Char[length + 1]());
    if (buffer && current)
        std::memcpy(buffer.get(), current, std::min(length, currentLength) * sizeof(Char));
    return buffer;
}

}  // namespace

QzBaseString::~QzBaseString() = default;

// ---- QzAString ----------------------------------------------------------

QzAString::QzAString(std::uint32_t codePage, std::uint32_t sourceCodePage)
    : codePage_(codePage), sourceCodePage_(sourceCodePage)
{
}

QzAString::QzAString(const wchar_t* text, std::uint32_t codePage)
    : text_(WideToNarrow(text, codePage)), codePage_(codePage), sourceCodePage_(codePage)
{
}

QzAString::QzAString(const std::wstring& text, std::uint32_t codePage)
    : QzAString(text.c_str(), codePage)
{
}

QzAString::QzAString(const char* text, std::uint32_t codePage, std::uint32_t sourceCodePage)
    : text_(NarrowToNarrow(text, sourceCodePage, codePage)),
      codePage_(codePage),
      sourceCodePage_(sourceCodePage)
{
}

QzAString::QzAString(const std::string& text, std::uint32_t codePage,
                     std::uint32_t sourceCodePage)
    : QzAString(text.c_str(), codePage, sourceCodePage)
{
}

QzAString::QzAString(const QzAString* other, std::uint32_t codePage)
    : text_(other ? NarrowToNarrow(other->text_.get(), other->codePage_, codePage) : nullptr),
      codePage_(codePage),
      sourceCodePage_(codePage)
{
}

QzAString::QzAString(const QzAString& other)
    : QzBaseString(other),
      text_(other.text_ ? Own<char>(other.text_.get()) : nullptr),
      codePage_(other.codePage_),
      sourceCodePage_(other.sourceCodePage_)
{
}

QzAString& QzAString::operator=(const QzAString& other)
{
    if (this != &other) {
        text_ = other.text_ ? Own<char>(other.text_.get()) : nullptr;
        codePage_ = other.codePage_;
        sourceCodePage_ = other.sourceCodePage_;
        writeBuffer_.reset();
    }
    return *this;
}

QzAString::~QzAString() = default;

QzAString& QzAString::operator=(const wchar_t* text)
{
    text_ = WideToNarrow(text, codePage_);
    return *this;
}

QzAString& QzAString::operator=(const std::wstring& text) { return *this = text.c_str(); }

QzAString& QzAString::operator=(const char* text)
{
    text_ = NarrowToNarrow(text, sourceCodePage_, codePage_);
    return *this;
}

QzAString& QzAString::operator=(const std::string& text) { return *this = text.c_str(); }

const char* QzAString::GetString() const { return text_ ? text_.get() : kEmptyNarrow; }

std::size_t QzAString::GetLength() const { return text_ ? std::strlen(text_.get()) : 0; }

char* QzAString::GetBuffer(std::size_t length)
{
    if (!writeBuffer_)
        writeBuffer_ = MakeWriteBuffer<char>(text_.get(), GetLength(), length);
    return writeBuffer_.get();
}

void QzAString::ReleaseBuffer()
{
    if (!writeBuffer_)
        return;
    text_ = NarrowToNarrow(writeBuffer_.get(), sourceCodePage_, codePage_);
    writeBuffer_.reset();
}

bool QzAString::LooksLikeUtf8() const
{
    if (!text_)
        return false;
    const auto* s = reinterpret_cast<const unsigned char*>(text_.get());
    for (std::size_t i = 0; s[i] && s[i + 1]; ++i) {
        if (s[i] >= 0xC0 && (s[i + 1] & 0xC0) == 0x80)
            return true;
    }
    return false;
}

// ---- QzWString ----------------------------------------------------------

QzWString::QzWString() : codePage_(0) {}

QzWString::QzWString(const wchar_t* text)
    : text_(text ? Own<wchar_t>(text) : nullptr), codePage_(0)
{
}

QzWString::QzWString(const std::wstring& text) : QzWString(text.c_str()) {}

QzWString::QzWString(const char* text, std::uint32_t codePage)
    : text_(NarrowToWide(text, codePage)), codePage_(codePage)
{
}

QzWString::QzWString(const std::string& text, std::uint32_t codePage)
    : QzWString(text.c_str(), codePage)
{
}

QzWString::QzWString(const QzAString* text)
    : text_(text ? NarrowToWide(text->GetString(), text->GetCodePage()) : nullptr),
      codePage_(text ? text->GetCodePage() : 0)
{
}

QzWString::QzWString(const QzWString& other)
    : QzBaseString(other),
      text_(other.text_ ? Own<wchar_t>(other.text_.get()) : nullptr),
      codePage_(other.codePage_)
{
}

QzWString& QzWString::operator=(const QzWString& other)
{
    if (this != &other) {
        text_ = other.text_ ? Own<wchar_t>(other.text_.get()) : nullptr;
        codePage_ = other.codePage_;
        writeBuffer_.reset();
    }
    return *this;
}

QzWString::~QzWString() = default;

QzWString& QzWString::operator=(const wchar_t* text)
{
    text_ = text ? Own<wchar_t>(text) : nullptr;
    return *this;
}

QzWString& QzWString::operator=(const std::wstring& text) { return *this = text.c_str(); }

QzWString& QzWString::operator=(const char* text)
{
    text_ = NarrowToWide(text, codePage_);
    return *this;
}

QzWString& QzWString::operator=(const std::string& text) { return *this = text.c_str(); }

const wchar_t* QzWString::GetString() const { return text_ ? text_.get() : kEmptyWide; }

std::size_t QzWString::GetLength() const { return text_ ? std::wcslen(text_.get()) : 0; }

wchar_t* QzWString::GetBuffer(std::size_t length)
{
    if (!writeBuffer_)
        writeBuffer_ = MakeWriteBuffer<wchar_t>(text_.get(), GetLength(), length);
    return writeBuffer_.get();
}

void QzWString::ReleaseBuffer()
{
    if (!writeBuffer_)
        return;
    text_ = Own<wchar_t>(writeBuffer_.get());
    writeBuffer_.reset();
}

}  // namespace QzOSAL
