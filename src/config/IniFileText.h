// Reading and writing INI files as bytes, and the byte-order-mark rules that
// turn those bytes into wide text and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// The encodings a reader knows (its GetEncoding values).
enum : std::uint32_t {
    kQzIniEncodingUnknown = 0,
    kQzIniEncodingAnsi = 1,     // "ANSI": UTF-8, other bytes kept as they are (optionally EF BB BF)
    kQzIniEncodingUtf16LE = 2,  // FF FE
    kQzIniEncodingUtf16BE = 3,  // FE FF
};

/// The decoded text of a file and the encoding it was found in.
/// ANSI text holds bytes that are not UTF-8 as U+DC80..U+DCFF, whatever
/// language is chosen, so a save writes them back as they were.
struct CQZIniFileBuffer {
    std::wstring text;
    std::uint32_t encoding = kQzIniEncodingUnknown;
    bool utf8Mark = false;  // ANSI text that started with EF BB BF
};

class CQZIniFileText {
public:
    /// How long a file that another writer holds locked is retried, in
    /// milliseconds, once every millisecond, before reading or writing fails.
    static constexpr int kDefaultLockWaitMs = 2000;

    /// The name an INI file is known by in the cache: absolute, "\" written
    /// as "/", "." and ".." steps removed. Relative names are taken from the
    /// current directory.
    static std::wstring FullName(const std::wstring& name);

    /// The name as the file system takes it: "\" becomes "/", UTF-8 bytes.
    static std::string NativeName(const std::wstring& name);

    /// Whether a file (or folder) of that name exists.
    static bool Exists(const std::wstring& name);

    /// Reads a whole regular file (folders, FIFOs and devices fail). A file that another process or descriptor holds
    /// under an exclusive lock (flock, or an fcntl write lock), or whose open
    /// fails with EBUSY or EAGAIN, is retried until `lockWaitMs` has passed.
    static bool ReadBytes(const std::wstring& name, std::string& bytes, int lockWaitMs = kDefaultLockWaitMs);

    /// Replaces a file's content, creating it when missing, under an
    /// exclusive lock taken with the same retry rule.
    static bool WriteBytes(const std::wstring& name, std::string_view bytes, int lockWaitMs = kDefaultLockWaitMs);

    /// Decodes file bytes: FF FE starts UTF-16LE, FE FF UTF-16BE (an odd last
    /// byte is taken with a zero byte beside it; lone surrogates are kept),
    /// anything else is ANSI text (after EF BB BF, which is noted). Empty
    /// bytes give an empty text; non-empty bytes that decode to nothing (a
    /// lone UTF-16 byte-order mark) fail.
    static bool Decode(std::string_view bytes, CQZIniFileBuffer& out);

    /// Encodes text for a file, the inverse of Decode: UTF-16LE and UTF-16BE
    /// with their byte-order marks, ANSI as UTF-8 with U+DC80..U+DCFF
    /// written as the bytes they carry (after EF BB BF with `utf8Mark`).
    /// An empty text gives no bytes at all, in every encoding.
    static std::string Encode(std::wstring_view text, std::uint32_t encoding, bool utf8Mark = false);
};
