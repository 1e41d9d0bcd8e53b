// Turns parsed INI maps back into text, in the layout the reader saves.
#pragma once

#include <string>

#include "config/IniDocument.h"

class CQZIniWriter {
public:
    /// The text of `document`: header lines, a blank line after them, then
    /// every section that has entries ("[name]", its entries, a blank line).
    /// Lines end with CR LF. With `preserveIncludes`, everything read from an
    /// included file is written as one "$include <name>" line per include of
    /// the main text instead, the includes in their original order; an entry
    /// of the main text that a later include line would overwrite on reading
    /// is written after all of them. With `quoteValues` (the reader strips quotes),
    /// a value that would not read back as it is (surrounded by quotes, or
    /// with blanks at either end) is written inside an extra pair of quotes.
    static std::wstring Format(const CQZIniDocument& document, bool preserveIncludes, bool quoteValues);
};
