// The library's INI reader and writer. Queries answer as the Windows
// private-profile functions do, so callers can switch between the two;
// beyond them it follows "$include <file>" lines, keeps comments, reads and
// writes ANSI and UTF-16 files and shares file texts through a process-wide
// cache.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "config/IniDocument.h"
#include "config/IniFileText.h"

/// The attributes a Windows file is created with. Kept for the interface;
/// files on this platform are created with the process's umask.
struct QzSecurityAttributes {
    std::uint32_t nLength = sizeof(QzSecurityAttributes);
    void* lpSecurityDescriptor = nullptr;
    int bInheritHandle = 0;
};

class CQZIniFileReader {
public:
    /// A cached file text: the decoded text and the encoding it had.
    using CBuffer = CQZIniFileBuffer;

    /// Encodings GetEncoding reports and Save takes.
    static constexpr std::uint32_t kEncodingUnknown = kQzIniEncodingUnknown;
    static constexpr std::uint32_t kEncodingAnsi = kQzIniEncodingAnsi;
    static constexpr std::uint32_t kEncodingUtf16LE = kQzIniEncodingUtf16LE;
    static constexpr std::uint32_t kEncodingUtf16BE = kQzIniEncodingUtf16BE;

    /// Size of the buffer GetStringBuffered reads through.
    static constexpr std::uint32_t kStringBufferSize = 260;

    /// `securityAttributes` (may be null) is copied and used when Save
    /// creates a file.
    explicit CQZIniFileReader(const QzSecurityAttributes* securityAttributes = nullptr);
    /// Saves a modified reader to its file (errors are ignored).
    virtual ~CQZIniFileReader();
    CQZIniFileReader(const CQZIniFileReader&) = delete;
    CQZIniFileReader& operator=(const CQZIniFileReader&) = delete;

    /// Parses wide text; `length` -1 for zero-terminated. Does nothing on an
    /// open reader. The encoding becomes UTF-16LE.
    virtual bool OpenText(const wchar_t* text, int length = -1);
    /// Parses narrow text in the ANSI code page. The encoding becomes ANSI.
    virtual bool OpenAnsiText(const char* text, int length = -1);
    /// Opens and parses a file; a null name opens an empty map, a missing
    /// file opens as an empty file. Fails (reader closed) when the file
    /// cannot be read or decoded.
    virtual bool Open(const wchar_t* fileName);
    virtual bool IsOpen() const;
    virtual bool IsLoaded() const;
    /// The file name as given to Open, or null when not open.
    virtual const wchar_t* GetFileName() const;
    /// The folder of that name (empty when it has none), or null when not open.
    virtual const wchar_t* GetDirectory() const;
    /// Copies every non-empty section of `other` into this reader, replacing
    /// or appending keys. False when either is not open.
    virtual bool Merge(const CQZIniFileReader& other);
    /// Writes the maps when open and (modified or `force`). `encoding` 0
    /// keeps the reader's (UTF-16LE when none is known); `fileName` null is
    /// the opened file, a relative one lies in the opened file's folder.
    virtual bool Save(const QzSecurityAttributes* securityAttributes = nullptr, std::uint32_t encoding = 0,
                      const wchar_t* fileName = nullptr, bool force = false);
    /// 0 unknown, 1 ANSI, 2 UTF-16LE, 3 UTF-16BE.
    virtual std::uint32_t GetEncoding() const;
    /// GetProfileString through a 260-character buffer into `out`; returns
    /// the length.
    virtual std::uint32_t GetStringBuffered(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                                            std::wstring& out);
    /// The whole value (or the default, or with a null section or key the
    /// zero-separated listing); always true.
    virtual bool GetString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                           std::wstring& out);
    /// As GetPrivateProfileStringW: characters copied, with its truncation
    /// rules for values (size - 1) and lists (size - 2).
    virtual std::uint32_t GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                                           wchar_t* buffer, std::uint32_t size);
    /// The value as _wtoi reads it, or the default when missing.
    virtual int GetProfileInt(const wchar_t* section, const wchar_t* key, int defaultValue);
    /// As WritePrivateProfileStringW: null key deletes the section, null
    /// value the key; anything else sets or appends. False, with nothing
    /// changed, when the section, key or value holds CR or LF.
    virtual bool WriteProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value);
    /// Double-zero-terminated section names; with a null buffer or size 0,
    /// the buffer size needed.
    virtual std::uint32_t GetSectionNames(wchar_t* buffer, std::uint32_t size);
    /// The section's entries as "key=value" items, double-zero-terminated;
    /// with a null buffer or size 0, the buffer size needed.
    virtual std::uint32_t GetSection(const wchar_t* section, wchar_t* buffer, std::uint32_t size);
    /// Sets every "key=value" item of a double-zero-terminated list in the
    /// section (created when missing); false for an empty list, and false
    /// with nothing changed when the section or an item holds CR or LF.
    virtual bool WriteProfileSection(const wchar_t* section, const wchar_t* items);
    /// Whether surrounding double quotes are removed from values (default on).
    virtual void SetStripQuotes(bool strip);

    /// Whether the section exists.
    bool HasSection(const wchar_t* section) const;
    /// Whether the key exists in the section; with an empty key, whether the
    /// section exists and has entries.
    bool HasKey(const wchar_t* section, const wchar_t* key) const;
    /// Plain saving writes included entries inline instead of include lines.
    void SetPlainSave(bool plain);
    bool IsPlainSave() const;
    /// Whether there are changes that Save has not written.
    bool IsModified() const;
    bool GetStripQuotes() const { return stripQuotes_; }
    /// Where an entry (empty key: the section) came from: "#" + include
    /// depth + "#" + file for included items, empty for the main text.
    std::wstring GetOrigin(const wchar_t* section, const wchar_t* key) const;
    /// The parsed maps, for tools that show everything the reader holds.
    const CQZIniDocument& GetDocument() const;

    /// Empties the process-wide file cache now (`immediately`) or once the
    /// last reader using it is gone. Later opens read the files again.
    static void ClearCache(bool immediately);

private:
    struct State;
    const std::wstring* FindValue(const wchar_t* section, const wchar_t* key) const;
    std::wstring ListSectionNames() const;
    std::wstring ListKeys(const wchar_t* section) const;
    std::wstring Unquoted(const std::wstring& value) const;
    bool ParseText(std::wstring_view text, const std::wstring& fileName);

    std::unique_ptr<State> state_;
    bool stripQuotes_ = true;
};
