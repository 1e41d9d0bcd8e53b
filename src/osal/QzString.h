// Owning strings that carry text across a code-page boundary: QzAString holds
// narrow text in a stated Windows code page, QzWString wide text made from
// narrow text of a stated code page.
//
// Code pages are Windows numbers (0 the ANSI code page, 65001 UTF-8, 65002
// the library's 7-bit page: bytes and code units below 0x80 pass, everything
// else becomes '?'). A conversion that fails leaves no text; no text reads as
// the empty string and has length 0. Conversions stop at the first zero
// character of their input.
//
// Wide text is wchar_t: UTF-32 on Linux, so lengths of wide text count
// characters where Windows counts UTF-16 code units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace QzOSAL {

/// The common base of the two string classes.
class QzBaseString {
public:
    virtual ~QzBaseString();
    /// Length of the text in code units (bytes or wide characters), 0 for no text.
    virtual std::size_t GetLength() const = 0;

protected:
    QzBaseString() = default;
    QzBaseString(const QzBaseString&) = default;
    QzBaseString& operator=(const QzBaseString&) = default;
};

/// Narrow text held in `codePage`. Narrow text handed in (assignment,
/// GetBuffer) is taken to be in the source code page and converted.
class QzAString : public QzBaseString {
public:
    /// Empty text held in `codePage`; narrow input is taken as `sourceCodePage`.
    /// (Pass code page 0 as 0u or CP_ACP: a bare literal 0 is ambiguous.)
    QzAString(std::uint32_t codePage, std::uint32_t sourceCodePage);
    /// `text` converted into `codePage`; both code pages are set to it.
    QzAString(const wchar_t* text, std::uint32_t codePage);
    QzAString(const std::wstring& text, std::uint32_t codePage);
    /// `text` converted from `sourceCodePage` into `codePage` (a byte copy when equal).
    QzAString(const char* text, std::uint32_t codePage, std::uint32_t sourceCodePage);
    QzAString(const std::string& text, std::uint32_t codePage, std::uint32_t sourceCodePage);
    /// The text of `other` converted from its code page into `codePage`; both
    /// code pages are set to it. A null `other` gives no text.
    QzAString(const QzAString* other, std::uint32_t codePage);
    /// Copies the text and both code pages; a pending write buffer is not copied.
    QzAString(const QzAString& other);
    /// Copies the text and both code pages; drops this object's pending write buffer.
    QzAString& operator=(const QzAString& other);
    ~QzAString() override;

    /// Replaces the text by `text` converted into the code page.
    QzAString& operator=(const wchar_t* text);
    QzAString& operator=(const std::wstring& text);
    /// Replaces the text by `text` converted from the source code page.
    QzAString& operator=(const char* text);
    QzAString& operator=(const std::string& text);

    /// The text, never null (a static empty string when there is none).
    const char* GetString() const;
    /// Length in bytes, without the terminator.
    std::size_t GetLength() const override;
    /// True when the object holds no text (empty and no text are alike to callers).
    bool IsEmpty() const { return GetLength() == 0; }
    /// The code page the text is held in.
    std::uint32_t GetCodePage() const { return codePage_; }
    /// The code page narrow input is taken to be in.
    std::uint32_t GetSourceCodePage() const { return sourceCodePage_; }

    /// A writable buffer of `length` + 1 bytes (0: the current length) holding
    /// the current text, cut or zero-padded, and a terminator. While a buffer
    /// is pending the same buffer is returned, whatever `length`. The caller
    /// writes text in the source code page. Null when the buffer cannot be allocated.
    char* GetBuffer(std::size_t length);
    /// Makes the pending buffer's text, converted from the source code page,
    /// the new text and frees the buffer; without a pending buffer nothing happens.
    void ReleaseBuffer();

    /// True when a byte 0xC0-0xFF is directly followed by a byte 0x80-0xBF,
    /// a cheap sign of UTF-8 text; false for no text.
    bool LooksLikeUtf8() const;

private:
    std::unique_ptr<char[]> text_;
    std::uint32_t codePage_;
    std::uint32_t sourceCodePage_;
    std::unique_ptr<char[]> writeBuffer_;
};

/// Wide text, made from wide text or from narrow text in `codePage`.
class QzWString : public QzBaseString {
public:
    /// No text, code page 0.
    QzWString();
    /// A copy of `text`; code page 0.
    explicit QzWString(const wchar_t* text);
    explicit QzWString(const std::wstring& text);
    /// `text` converted from `codePage`; the code page is kept for later assignments.
    QzWString(const char* text, std::uint32_t codePage);
    QzWString(const std::string& text, std::uint32_t codePage);
    /// The text of `text` converted from its code page, which is kept. A null
    /// pointer gives no text (and code page 0).
    explicit QzWString(const QzAString* text);
    /// Copies the text and the code page; a pending write buffer is not copied.
    QzWString(const QzWString& other);
    /// Copies the text and the code page; drops this object's pending write buffer.
    QzWString& operator=(const QzWString& other);
    ~QzWString() override;

    /// Replaces the text by a copy of `text`.
    QzWString& operator=(const wchar_t* text);
    QzWString& operator=(const std::wstring& text);
    /// Replaces the text by `text` converted from the object's code page.
    QzWString& operator=(const char* text);
    QzWString& operator=(const std::string& text);

    /// The text, never null (a static empty string when there is none).
    const wchar_t* GetString() const;
    /// Length in wide characters, without the terminator.
    std::size_t GetLength() const override;
    /// True when the object holds no text.
    bool IsEmpty() const { return GetLength() == 0; }
    /// The code page narrow input is taken to be in.
    std::uint32_t GetCodePage() const { return codePage_; }

    /// As QzAString::GetBuffer, in wide characters; the caller writes wide text.
    wchar_t* GetBuffer(std::size_t length);
    /// Makes the pending buffer's text the new text and frees the buffer.
    void ReleaseBuffer();

private:
    std::unique_ptr<wchar_t[]> text_;
    std::uint32_t codePage_;
    std::unique_ptr<wchar_t[]> writeBuffer_;
};

}  // namespace QzOSAL
