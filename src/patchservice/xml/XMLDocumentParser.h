// The parsing step shared by the XML reader and writer: one process-wide set-up
// of the parser library, then a document from bytes with the first error kept
// for the caller's report. Internal to the XML classes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct _xmlDoc;

namespace common::general::io {

/// Parses whole documents into trees owned by shared pointers.
class XMLDocumentParser {
public:
    /// How a text is read; each maps to a fixed set of parser options.
    enum class Profile {
        /// Unicode text handed over by a caller: read as UTF-8 whatever the
        /// declaration says; white space kept.
        Text,
        /// Bytes of a file: the document names its encoding; white space kept.
        File,
        /// Bytes of a file, white space between elements dropped.
        FileIgnoringBlanks,
    };

    /// What went wrong first in a document that could not be read.
    struct Error {
        std::string reason;
        int code = 0;
        long line = 0;
        long column = 0;
    };

    enum class Status { Parsed, NoParser, Malformed };

    /// Silences the parser library's generic error channel (stderr by
    /// default) on this thread for the lifetime of the object; some faults,
    /// such as an unknown XPath function or exhausted memory, are reported
    /// there besides the structured error the caller sees.
    class QuietScope {
    public:
        QuietScope();
        ~QuietScope();
        QuietScope(const QuietScope&) = delete;
        QuietScope& operator=(const QuietScope&) = delete;

    private:
        void* previousContext_;
        void (*previousHandler_)(void*, const char*, ...);
    };

    /// Sets the parser library up for the process (once, from any thread).
    /// False when the library found at run time cannot serve this build.
    static bool InitializeLibrary();

    /// Parses `bytes`. Never loads external resources, never validates and
    /// never substitutes entities. On Malformed `error` tells why; NoParser
    /// means no parser could be made (out of memory).
    static Status Parse(std::string_view bytes, Profile profile, std::shared_ptr<_xmlDoc>& document,
                        Error& error);

    /// Reads the whole file `fileName` (a path in the system's narrow form).
    static bool ReadFile(const std::string& fileName, std::string& bytes);

    /// The parse-error report: reason, code, line, position in the line and
    /// the text of the faulty line of `source`.
    static std::string Report(const Error& error, std::string_view source);
};

}  // namespace common::general::io
