#include "support/CommaLocale.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace qz::test {

namespace {

constexpr const char* kName = "de_DE.UTF-8";

// Made once per process and removed at its exit; empty when localedef
// could not make it.
struct LocaleFolder {
    std::string path;
    LocaleFolder()
    {
        std::string dir = (std::filesystem::temp_directory_path() / "qz-locale-XXXXXX").string();
        if (mkdtemp(dir.data()) == nullptr)
            return;
        const std::string command = "localedef -i de_DE -f UTF-8 '" + dir + "/" + kName + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0 && std::filesystem::is_directory(dir + "/" + kName))
            path = dir;
        else
            std::filesystem::remove_all(dir);
    }
    ~LocaleFolder()
    {
        if (!path.empty())
            std::filesystem::remove_all(path);
    }
};

}  // namespace

const std::string& ScopedCommaLocale::Folder()
{
    static const LocaleFolder made;
    return made.path;
}

ScopedCommaLocale::ScopedCommaLocale()
{
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    previousNumeric_ = numeric ? numeric : "C";
    if (Folder().empty()) {
        error_ = "localedef cannot make de_DE.UTF-8 (tools/deps.sh test installs the locales package)";
        return;
    }
    // LOCPATH only while the locale loads: glibc's newlocale leaks its copy
    // of the variable when it answers with the C locale.
    const char* path = std::getenv("LOCPATH");
    const std::optional<std::string> previousPath = path ? std::optional<std::string>(path) : std::nullopt;
    setenv("LOCPATH", Folder().c_str(), 1);
    const bool loaded = std::setlocale(LC_NUMERIC, kName) != nullptr;
    if (previousPath)
        setenv("LOCPATH", previousPath->c_str(), 1);
    else
        unsetenv("LOCPATH");
    if (!loaded || std::string(localeconv()->decimal_point) != ",")
        error_ = "LC_NUMERIC de_DE.UTF-8 has no decimal comma";
}

ScopedCommaLocale::~ScopedCommaLocale() { std::setlocale(LC_NUMERIC, previousNumeric_.c_str()); }

}  // namespace qz::test
