// qzskin ini FILE [--save OUT [--encoding ansi|utf16le|utf16be] [--plain]]
// qzskin render --rc FILE.rc --template ID [--lang CODE] [--dpi N] [--ini DEFINITION.ini] -o OUT.png
// qzskin render --dialog update|progress|install|crm --state STATE [--lang CODE] [--dpi N] [--skin FOLDER]
//               -o OUT.png
// qzskin check FOLDER
//
// Without --save, prints what the INI reader sees in FILE as JSON: the
// encoding, header lines, sections in order with their entries (keys in the
// spelling of their first occurrence, comment lines as comment entries) and
// the origin of everything read from an included file. With --save, writes
// the file back through the reader's Save.
//
// render builds a dialog template of a resource script offscreen, as the
// library would show it, and writes a PNG. --lang takes a language ID or a
// code such as de-DE (default en-GB), --dpi the screen resolution (default 96).
// With --ini the dialog is skinned by that definition file first.
//
// render --dialog runs one of the library's own update dialogs, in the
// library's own language resources, into STATE (update: waiting, available,
// whatsnew, nopatch; progress: crm, downloading, checkfailed; install:
// question; crm: viewer) and writes what the user would see. The skin is
// FOLDER (the one holding Dialogs/), by default the one beside qzskin, else
// the installed one. An unknown dialog, state or language gives exit status 1.
//
// check reads the skin in FOLDER (its definition files in FOLDER/Dialogs, or
// in FOLDER itself) as the dialog designer does and prints one line for
// everything that would not apply; the exit status is 0 only for a clean
// skin. Besides the library's control types, a control section may name the
// types the update dialogs make in their own hooks: "WebBrowser" (the update
// dialog's description pane) and "unknown" (an object the dialog looks up).
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QLoggingCategory>
#include <QString>

#include "SkinCheck.h"
#include "SkinnedRender.h"
#include "config/IniFileText.h"
#include "config/QZIniFileReader.h"
#include "dialogs/Languages.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"
#include "platform/Utf8.h"
#include "preview/DialogPreview.h"
#include "render/RenderTemplate.h"

namespace {

int Usage()
{
    std::fputs("usage: qzskin ini FILE [--save OUT [--encoding ansi|utf16le|utf16be] [--plain]]\n"
               "       qzskin render --rc FILE.rc --template ID [--lang CODE] [--dpi N] [--ini DEFINITION.ini]\n"
               "                     -o OUT.png\n"
               "       qzskin render --dialog update|progress|install|crm --state STATE [--lang CODE] [--dpi N]\n"
               "                     [--skin FOLDER] -o OUT.png\n"
               "       qzskin check FOLDER\n",
               stderr);
    return 2;
}

std::wstring Wide(const char* text)
{
    return qz::platform::MultiByteToWide(qz::platform::CP_UTF8, text).value_or(std::wstring());
}

std::string Json(const std::wstring& text)
{
    std::string out = "\"";
    for (wchar_t wc : text) {
        const auto c = static_cast<char32_t>(wc);
        switch (c) {
        case U'"': out += "\\\""; break;
        case U'\\': out += "\\\\"; break;
        case U'\n': out += "\\n"; break;
        case U'\r': out += "\\r"; break;
        case U'\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                qz::platform::AppendUtf8(out, c);
            }
        }
    }
    return out + "\"";
}

const char* EncodingName(std::uint32_t encoding)
{
    switch (encoding) {
    case CQZIniFileReader::kEncodingAnsi: return "ansi";
    case CQZIniFileReader::kEncodingUtf16LE: return "utf16le";
    case CQZIniFileReader::kEncodingUtf16BE: return "utf16be";
    default: return "unknown";
    }
}

void PrintOrigin(std::string& out, const CQZIniDocument& doc, std::uint32_t origin)
{
    const std::wstring text = doc.OriginText(origin);
    if (!text.empty())
        out += ", \"origin\": " + Json(text);
}

std::string Describe(const CQZIniFileReader& reader)
{
    const CQZIniDocument& doc = reader.GetDocument();
    std::string out = "{\n  \"file\": " + Json(reader.GetFileName()) + ",\n";
    out += "  \"encoding\": \"" + std::string(EncodingName(reader.GetEncoding())) + "\",\n";
    out += "  \"header\": [";
    for (std::size_t i = 0; i < doc.header.size(); ++i) {
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"text\": " + Json(doc.header[i].text);
        PrintOrigin(out, doc, doc.header[i].origin);
        out += "}";
    }
    out += doc.header.empty() ? "],\n" : "\n  ],\n";
    out += "  \"sections\": [";
    const auto& sections = doc.sections.Items();
    for (std::size_t s = 0; s < sections.size(); ++s) {
        out += s == 0 ? "\n" : ",\n";
        out += "    {\"name\": " + Json(sections[s].key);
        PrintOrigin(out, doc, sections[s].value.origin);
        out += ", \"entries\": [";
        const auto& entries = sections[s].value.entries.Items();
        for (std::size_t e = 0; e < entries.size(); ++e) {
            out += e == 0 ? "\n" : ",\n";
            const bool comment = CQZIniDocument::IsCommentKey(entries[e].key);
            out += "      {\"key\": " + Json(entries[e].key) + ", \"value\": " + Json(entries[e].value.text);
            if (comment)
                out += ", \"comment\": true";
            PrintOrigin(out, doc, entries[e].value.origin);
            out += "}";
        }
        out += entries.empty() ? "]}" : "\n    ]}";
    }
    out += sections.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        qz::platform::AppendUtf8(out, static_cast<char32_t>(c));
    return out;
}

// A number (decimal or 0x...) below 0x10000, or a language code as the
// dialogs take it ("pt-PT", "fr_CA", "D"). 0 when neither.
std::uint16_t ParseLanguage(const std::string& text)
{
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 0);
    if (!text.empty() && end && *end == '\0')
        return n > 0 && n <= 0xFFFF ? static_cast<std::uint16_t>(n) : 0;
    return qz::dialogs::LanguageIdFromTag(Wide(text.c_str()));
}

int RenderPreview(int argc, char** argv)
{
    std::string dialog;
    std::string state;
    std::string language = "en-GB";
    std::string skin;
    std::string output;
    long dpi = 96;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (option == "--dialog") {
            dialog = value;
        } else if (option == "--state") {
            state = value;
        } else if (option == "--lang") {
            language = value;
        } else if (option == "--skin") {
            skin = value;
        } else if (option == "-o") {
            output = value;
        } else if (option == "--dpi") {
            char* end = nullptr;
            dpi = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || !end || *end != '\0' || dpi <= 0 || dpi > 0xFFFF)
                return Usage();
        } else {
            return Usage();
        }
    }
    if (dialog.empty() || state.empty() || output.empty())
        return Usage();

    // Previews show what any screen would: always offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CDialogPreview preview(Wide(dialog.c_str()), Wide(state.c_str()), Wide(language.c_str()), static_cast<int>(dpi));
    if (!skin.empty())
        preview.SetSkinFolder(qz::platform::WideFileName(std::filesystem::absolute(skin).string()));
    std::wstring error;
    const std::wstring out = qz::platform::WideFileName(output);
    if (!preview.Render(out, error)) {
        std::fprintf(stderr, "qzskin: %s\n", Utf8(error).c_str());
        return 1;
    }
    std::printf("%s: %s dialog, state %s, %s, %ld DPI, %dx%d\n", output.c_str(), dialog.c_str(), state.c_str(),
                language.c_str(), dpi, preview.GetWidth(), preview.GetHeight());
    return 0;
}

int Render(int argc, char** argv)
{
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dialog") == 0)
            return RenderPreview(argc, argv);
    }
    std::string rcFile;
    std::string output;
    std::string definition;
    long templateId = -1;
    std::uint16_t language = qz::platform::kFallbackLanguage;
    long dpi = 96;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        char* end = nullptr;
        if (option == "--rc") {
            rcFile = value;
        } else if (option == "-o") {
            output = value;
        } else if (option == "--ini") {
            definition = value;
        } else if (option == "--lang") {
            language = ParseLanguage(value);
            if (language == 0)
                return Usage();
        } else if (option == "--template" || option == "--dpi") {
            const long n = std::strtol(value.c_str(), &end, 0);
            if (value.empty() || !end || *end != '\0' || n <= 0 || n > 0xFFFF)
                return Usage();
            (option == "--template" ? templateId : dpi) = n;
        } else {
            return Usage();
        }
    }
    if (rcFile.empty() || output.empty() || templateId < 0)
        return Usage();
    const std::optional<std::string> text = qz::platform::ReadWholeFile(rcFile);
    if (!text) {
        std::fprintf(stderr, "qzskin: cannot read %s\n", rcFile.c_str());
        return 1;
    }

    std::string error;
    qz::platform::RenderedDialog rendered;
    const bool ok =
        definition.empty()
            ? qz::platform::RenderDialogTemplate(*text, rcFile, static_cast<qz::platform::UINT>(templateId), language,
                                                 static_cast<int>(dpi), output, error, &rendered)
            : RenderSkinnedDialog(*text, rcFile, static_cast<qz::platform::UINT>(templateId), language,
                                  static_cast<int>(dpi), qz::platform::WideFileName(definition), output, error,
                                  &rendered);
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %dx%d at %ld DPI, language %u, dialog base units %ldx%ld\n", output.c_str(),
                rendered.width, rendered.height, dpi, static_cast<unsigned>(language),
                static_cast<long>(rendered.baseUnits.x), static_cast<long>(rendered.baseUnits.y));
    return 0;
}

int Check(int argc, char** argv)
{
    if (argc != 3)
        return Usage();
    // Every fault is reported once, in the check's own words.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false"));
    CQzSkinCheck check(qz::platform::WideFileName(argv[2]));
    const std::vector<QzSkinFinding>& findings = check.Run();
    for (const QzSkinFinding& finding : findings)
        std::printf("%s\n", Utf8(finding.Format()).c_str());
    return findings.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "render") == 0)
        return Render(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "check") == 0)
        return Check(argc, argv);
    if (argc < 3 || std::strcmp(argv[1], "ini") != 0)
        return Usage();
    const std::wstring file = Wide(argv[2]);
    const char* saveTo = nullptr;
    std::uint32_t encoding = 0;
    bool plain = false;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--save") == 0 && i + 1 < argc) {
            saveTo = argv[++i];
        } else if (std::strcmp(argv[i], "--encoding") == 0 && i + 1 < argc) {
            const char* name = argv[++i];
            if (std::strcmp(name, "ansi") == 0)
                encoding = CQZIniFileReader::kEncodingAnsi;
            else if (std::strcmp(name, "utf16le") == 0)
                encoding = CQZIniFileReader::kEncodingUtf16LE;
            else if (std::strcmp(name, "utf16be") == 0)
                encoding = CQZIniFileReader::kEncodingUtf16BE;
            else
                return Usage();
        } else if (std::strcmp(argv[i], "--plain") == 0) {
            plain = true;
        } else {
            return Usage();
        }
    }
    if (saveTo == nullptr && (encoding != 0 || plain))
        return Usage();

    CQZIniFileReader reader;
    if (!CQZIniFileText::Exists(file) || !reader.Open(file.c_str())) {
        std::fprintf(stderr, "qzskin: cannot read %s\n", argv[2]);
        return 1;
    }
    if (saveTo == nullptr) {
        const std::string json = Describe(reader);
        std::fwrite(json.data(), 1, json.size(), stdout);
        return 0;
    }
    reader.SetPlainSave(plain);
    // The output is named from the current folder, not from the input's.
    const std::wstring out = CQZIniFileText::FullName(Wide(saveTo));
    if (!reader.Save(nullptr, encoding, out.c_str(), true)) {
        std::fprintf(stderr, "qzskin: cannot write %s\n", saveTo);
        return 1;
    }
    return 0;
}

// A rendering keeps its application until exit, so fontconfig's caches stay
// allocated; they are not leaks of ours.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
