// rcrender: renders a dialog template of a resource script as the window
// system builds it, without a display, and writes a PNG.
//
//   rcrender --rc FILE.rc --template ID [--lang N] [--dpi N] -o OUT.png
//
// The template is looked up with the Windows language search (default
// language 2057); --dpi sets the screen resolution (default 96).
#include "platform/FileNames.h"
#include "platform/window/RenderTemplate.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

using namespace qz::platform;

namespace {

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
    const std::optional<std::string> text = qz::platform::ReadWholeFile(rcFile);
    if (!text) {
        std::cerr << rcFile << ": error: cannot read file\n";
        return 1;
    }

    std::string error;
    RenderedDialog rendered;
    if (!RenderDialogTemplate(*text, rcFile, static_cast<UINT>(templateId), static_cast<LANGID>(lang),
                              static_cast<int>(dpi), output, error, &rendered)) {
        std::cerr << error << "\n";
        return 1;
    }
    std::cout << output << ": " << rendered.width << "x" << rendered.height << " at " << dpi << " DPI\n";
    return 0;
}

// The application lives until exit, so fontconfig's caches stay allocated.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
