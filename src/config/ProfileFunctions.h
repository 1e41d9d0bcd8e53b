// The Windows private-profile functions, answered by the library's own INI
// parser. Every call reads the file afresh (no cache), as Windows does for a
// file it does not map; a name without a folder is taken from the current
// directory rather than the Windows folder.
#pragma once

#include <cstdint>

/// The value of `keyName` in `appName`, or the default (null: empty; trailing
/// blanks removed) when missing. A null `appName` lists the section names,
/// a null `keyName` the keys of the section, each zero-terminated with an
/// extra zero at the end. Returns the characters copied without the
/// terminator; a value that does not fit gives size - 1, a list size - 2.
std::uint32_t GetPrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName, const wchar_t* defaultValue,
                                       wchar_t* returnedString, std::uint32_t size, const wchar_t* fileName);

/// The value of the key read as a decimal integer (leading blanks and a
/// sign allowed, reading stops at the first other character), or the
/// default when the key is missing.
std::uint32_t GetPrivateProfileIntW(const wchar_t* appName, const wchar_t* keyName, int defaultValue,
                                    const wchar_t* fileName);

/// The section names, double-zero-terminated; size - 2 when they do not fit.
std::uint32_t GetPrivateProfileSectionNamesW(wchar_t* returnedBuffer, std::uint32_t size, const wchar_t* fileName);

/// The "key=value" items of a section, double-zero-terminated; size - 2 when
/// they do not fit. Comment lines are not listed.
std::uint32_t GetPrivateProfileSectionW(const wchar_t* appName, wchar_t* returnedString, std::uint32_t size,
                                        const wchar_t* fileName);

/// Sets a key (creating section and file when missing), deletes a key (null
/// value) or a section (null key), and writes the file back in its encoding
/// (ANSI for a new file). False for a null section or file name, for a
/// section, key or value holding CR or LF (nothing is written), or when the
/// file cannot be read or written.
bool WritePrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName, const wchar_t* value,
                                const wchar_t* fileName);
