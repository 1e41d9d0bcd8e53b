// A host outside the library's tree: compiled against the installed header
// alone, it loads the installed library and asks for an unknown action.
#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <cstdio>
#include <dlfcn.h>

namespace {
class Host : public QzAutoUpdate::CUpdateConfiguration2 {
public:
    const wchar_t* GetCrmFilePath(bool) override { return nullptr; }
    const wchar_t* GetProgramName() override { return L"Consumer"; }
    const wchar_t* GetPatchServiceUrl() override { return L"http://127.0.0.1:1/"; }
    const wchar_t* GetProgramLanguage() override { return L"en-GB"; }
    const wchar_t* GetProgramVersion() override { return L"1.0.0.0"; }
    const wchar_t* GetSerialNumber() override { return L""; }
    void AddFile(const wchar_t*, QzAutoUpdate::InstallerKind) override {}
    void Log(const wchar_t*) override {}
};
}  // namespace

int main()
{
    void* library = dlopen(QZ_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }
    auto doAction = reinterpret_cast<QzAutoUpdate::DoActionFunction>(
        dlsym(library, QzAutoUpdate::kDoActionSymbol));
    Host host;
    const unsigned result = doAction ? doAction(&host, 99) : 0;
    std::printf("DoAction(99) = %u\n", result);
    dlclose(library);
    return result == QzAutoUpdate::kResultUnknownAction ? 0 : 1;
}
