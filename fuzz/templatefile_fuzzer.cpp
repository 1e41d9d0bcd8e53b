// Control-template files in: the "general" section, families, base chains
// (missing, cyclic, self-naming), option words and every value form. The
// file must load or be refused without harm, and every template it holds
// must be found again under its name.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/QZIniFileReader.h"
#include "gui/ControlTemplateFile.h"
#include "gui/GuiErrorLog.h"
#include "platform/FileNames.h"

namespace {

const std::string& Folder();

void RemoveFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
}

const std::string& Folder()
{
    // Never destroyed, so the exit handler can still read it.
    static const std::string* folder = [] {
        char pattern[] = "/tmp/qz_templatefile_fuzz_XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made)
            std::abort();
        auto* name = new std::string(made);
        std::atexit(RemoveFolder);
        return name;
    }();
    return *folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CQZGuiErrorLog::SetObserver([](const std::wstring&) {});
    {
        std::ofstream out(Folder() + "/Templates.ini", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // Every run writes the same file; the text cache must not answer the last one.
    CQZIniFileReader::ClearCache(true);
    const auto file = CQZControlTemplateFile::Load(qz::platform::WideFileName(Folder()), L"Templates.ini");
    if (!file)
        return 0;
    for (std::size_t i = 0; i < file->GetTemplateCount(); ++i) {
        const CQZControlTemplate* found = file->GetTemplate(static_cast<std::ptrdiff_t>(i));
        if (!found)
            std::abort();
        const std::ptrdiff_t index = file->FindTemplate(found->GetName());
        if (index < 0 || file->GetTemplate(index)->GetName().size() != found->GetName().size())
            std::abort();
        if (!found->GetBaseName().empty())
            (void)file->GetTemplate(found->GetBaseName());
        (void)found->GetValueCount();
        (void)found->GetText(L"closeButtonTemplate");
    }
    (void)file->GetNamedValue(L"backgroundColor");
    (void)file->ResolveImage(L"dibStandard");
    return 0;
}
