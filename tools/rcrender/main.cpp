// rcrender: renders a dialog template of a resource script as the window
// system builds it, without a display, and writes a PNG.
//
//   rcrender --rc FILE.rc --template ID [--lang N] [--dpi N] -o OUT.png
//
// The template is looked up with the Windows language search (default
// language 2057); --dpi sets the screen resolution (default 96).
#include "platform/RcParser.h"
#include "platform/window/Dialog.h"
#include "platform/window/WindowQt.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;
using namespace qz::platform;

namespace {

std::optional<std::string> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int Usage()
{
    std::cerr << "usage: rcrender --rc FILE.rc --template ID [--lang N] [--dpi N] -o OUT.png\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string rcFile;
    std::string output;
    long templateId = -1;
    long lang = kFallbackLanguage;
    long dpi = 96;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) {
            return Usage();
        }
        std::string v = argv[++i];
        char* end = nullptr;
        if (a == "--rc") {
            rcFile = v;
        } else if (a == "-o") {
            output = v;
        } else if (a == "--template" || a == "--lang" || a == "--dpi") {
            long n = std::strtol(v.c_str(), &end, 0);
            if (!end || *end != '\0' || n < 0 || n > 0xFFFF) {
                return Usage();
            }
            (a == "--template" ? templateId : a == "--lang" ? lang : dpi) = n;
        } else {
            return Usage();
        }
    }
    if (rcFile.empty() || output.empty() || templateId < 0 || dpi == 0) {
        return Usage();
    }
    std::optional<std::string> text = ReadFile(rcFile);
    if (!text) {
        std::cerr << rcFile << ": error: cannot read file\n";
        return 1;
    }
    RcParseResult parsed =
        ParseRc(*text, rcFile,
                [](const std::string& name, bool angled, const std::string& from, std::string& resolved) {
                    if (angled) {
                        return std::optional<std::string>();
                    }
                    fs::path p = fs::path(from).parent_path() / name;
                    resolved = p.string();
                    return ReadFile(p);
                });
    if (parsed.error) {
        std::cerr << parsed.error->ToString() << "\n";
        return 1;
    }
    ResourceTable table;
    for (const RcResource& r : parsed.resources) {
        table.Add({r.type, r.id, r.language, r.data});
    }
    const ResourceView* res =
        table.Find(ResName::Ordinal(RT_DIALOG), ResName::Ordinal(static_cast<std::uint16_t>(templateId)),
                   static_cast<LANGID>(lang));
    if (!res) {
        std::cerr << rcFile << ": error: no dialog template " << templateId << "\n";
        return 1;
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    SetDisplayDpiOverride(static_cast<int>(dpi));
    if (!EnsureGuiApplication()) {
        std::cerr << "rcrender: error: no GUI available\n";
        return 1;
    }
    CDialog dialog;
    if (!dialog.InitModalIndirect(res->data) || !dialog.Create()) {
        std::cerr << rcFile << ": error: template " << templateId << " cannot be built\n";
        return 1;
    }
    QWidget* widget = WidgetFromHandle(dialog.m_hWnd);
    widget->show();
    QApplication::processEvents();
    QPixmap pixmap = widget->grab();
    if (!pixmap.save(QString::fromStdString(output), "PNG")) {
        std::cerr << output << ": error: cannot write PNG\n";
        return 1;
    }
    std::cout << output << ": " << pixmap.width() << "x" << pixmap.height() << " at " << dpi << " DPI\n";
    return 0;
}

// The application lives until exit, so fontconfig's caches stay allocated.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
