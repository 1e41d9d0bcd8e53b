// printf-style formatting with Windows format strings.
//
// The library's format strings are written for the Windows C runtime, where
// the meaning of %s depends on the width of the format and "l" on an integer
// is 32 bits. FormatW and FormatA take such formats as they stand and give
// the text Windows would give. Each conversion is translated and formatted
// through glibc's swprintf/snprintf with its own argument:
//
//   Windows spec            wide format (FormatW)     narrow format (FormatA)
//   %s                      wchar_t*                  char*
//   %S                      char*                     wchar_t*
//   %hs, %hS                char*                     char*
//   %ls, %lS, %ws, %wS      wchar_t*                  wchar_t*
//   %c                      wchar_t (passed as int)   char (passed as int)
//   %C                      char (passed as int)      wchar_t (passed as int)
//   %hc, %hC                char                      char
//   %lc, %lC, %wc, %wC      wchar_t                   wchar_t
//   %I64d %I64u %I64x ...   64-bit (long long)        64-bit (long long)
//   %I32d ...               32-bit (int)              32-bit (int)
//   %Id %Iu %Ix ...         pointer-sized (size_t)    pointer-sized (size_t)
//   %ld %lu %lx %lX %lo     32-bit: the "l" is dropped, callers pass 32 bits
//   %lld %llu ...           64-bit                    64-bit
//   %hd %hhd %zd %jd %td    as in C                   as in C
//   %e %f %g %a (any case)  double ("l" ignored, "L" long double)
//   %p                      pointer
//   %%                      a percent sign
//   %n                      the argument is consumed, nothing is stored
//
// Flags (- + space # 0), width, precision and "*" for either are kept.
// Narrow string arguments of a wide format (and wide arguments of a narrow
// format) are converted through the ANSI code page. A precision limits the
// units read from a string argument of the format's own width; for a narrow
// argument of a wide format it limits the bytes read; for a wide argument of
// a narrow format the bytes written, never cutting a character. A null string argument prints "(null)"
// as the Windows runtime does. An unknown conversion letter is copied to the
// output as written. The result grows to whatever length it needs.
#pragma once

#include <cstdarg>
#include <string>

namespace qz::platform {

/// Formats `format` (a Windows wide format) with the following arguments.
std::wstring FormatW(const wchar_t* format, ...);

/// FormatW with the arguments in a va_list; `args` is consumed.
std::wstring FormatWV(const wchar_t* format, va_list args);

/// Formats `format` (a Windows narrow format) with the following arguments.
std::string FormatA(const char* format, ...);

/// FormatA with the arguments in a va_list; `args` is consumed.
std::string FormatAV(const char* format, va_list args);

}  // namespace qz::platform
