// Parser for resource scripts in Windows RC syntax: dialog templates
// (DIALOG, DIALOGEX and their controls), string tables, LANGUAGE, and the
// preprocessor lines such scripts use (#include, #define, #if/#ifdef,
// #pragma code_page). Text in, compiled resources out: the parser does no
// I/O; included files come through a resolver the caller supplies. Its parts
// are the lexer (RcLexer), the preprocessor (RcPreprocessor) and the grammar
// (RcGrammar.cpp), which writes what it reads with ResourceEncoder.
#pragma once

#include "platform/RcDialogTemplate.h"
#include "platform/RcResourceTable.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qz::platform {

/// A script or included file larger than this is refused, so a caller need
/// read no more than one byte past it.
constexpr std::size_t kMaxRcScriptBytes = std::size_t{16} << 20;

/// One compiled resource, owning its bytes (dialog templates in the
/// DLGTEMPLATEEX layout, string tables as blocks of 16 entries).
struct RcResource {
    ResName type;
    ResName id;
    LANGID language = 0;
    std::vector<std::uint8_t> data;
};

/// Where and why parsing stopped.
struct RcError {
    std::string file;
    int line = 0;
    std::string reason;
    /// "file:line: error: reason", the form compilers print.
    std::string ToString() const;
};

/// Returns the text of an included file, or nothing when it cannot be found.
/// `angled` tells <name> from "name"; `resolvedName` receives the name to
/// report in errors and dependency lists.
using RcIncludeResolver = std::function<std::optional<std::string>(
    const std::string& name, bool angled, const std::string& includingFile, std::string& resolvedName)>;

/// What a parse produced. On error, `resources` holds nothing.
struct RcParseResult {
    std::vector<RcResource> resources;
    std::optional<RcError> error;
    /// Every file read through the resolver, for build dependencies.
    std::vector<std::string> includedFiles;
};

/// Parses a resource script (UTF-8; a byte-order mark is skipped). Resources
/// without a LANGUAGE statement get 1033, as the Windows resource compiler
/// gives them by default. The window-system constants (WS_*, DS_*, BS_*,
/// SS_*, ES_*, PBS_*, IDOK..., LANG_*, SUBLANG_*) are predefined, so the
/// system headers a script includes with <...> may be absent.
RcParseResult ParseRc(std::string_view text, const std::string& fileName,
                      const RcIncludeResolver& resolver = {});

} // namespace qz::platform
