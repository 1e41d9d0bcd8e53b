// qzupdate: a command-line host of QzAutoUpdate.
//
// It is built against the public header alone and loads the library with
// dlopen, exactly as any other host would. Every log line and finding is
// printed as it arrives; the exit status is 0 for result 1 and the result
// code itself otherwise, so scripts can branch on it.
//
// The one exception is `verify`: the library exports nothing but DoAction,
// so the signature check is linked into qzupdate from the platform layer.
#include <QzAutoUpdate/UpdateConfiguration2.h>

#include "platform/FileNames.h"
#include "platform/trust/Authenticode.h"
#include "platform/trust/DetachedSignature.h"

#include <algorithm>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace QzAutoUpdate;

const char* const kUsage =
    "usage: qzupdate COMMAND [options]\n"
    "commands:\n"
    "  update          action 1: the update with its dialogs when a display is present\n"
    "                  (QT_QPA_PLATFORM, DISPLAY or WAYLAND_DISPLAY set); the check-only\n"
    "                  flow without one or with --no-dialogs\n"
    "  upload          action 2: upload the CRM data file (--crm-file)\n"
    "  check           action 3: is a patch available?\n"
    "  download        action 4: download the patch into the download folder\n"
    "  action N        any action code, for experiments\n"
    "  verify FILE     check FILE's signature alone and print the reason: Authenticode\n"
    "                  in a PE file, else the detached signature FILE.p7s;\n"
    "                  exit 0 when valid, 1 otherwise (this check is built into\n"
    "                  qzupdate, as the library exports only DoAction)\n"
    "options:\n"
    "  --library PATH           library to load (default: beside qzupdate, else installed)\n"
    "  --service-url URL        patch service base URL (required for queries)\n"
    "  --program NAME           program name (default QzDemo)\n"
    "  --product NAME           product name shown in dialogs (default: program)\n"
    "  --version X.Y.Z.W        program version (default 1.0.0.0)\n"
    "  --language CODE          program language (default en-GB)\n"
    "  --platform N             1 win-x86, 2 win-x64, other: none (default 2)\n"
    "  --serial TEXT            serial number\n"
    "  --send-serial            put the serial number into the query\n"
    "  --download-folder DIR    folder for downloads (default: temporary folder)\n"
    "  --patch-file NAME        file name of the patch (default QzUpdate.exe)\n"
    "  --skin-folder DIR        skin folder of the dialogs\n"
    "  --crm-file PATH          CRM data file to upload and to show\n"
    "  --crm-redirect URL       CRM redirect URL\n"
    "  --no-dialogs             action 1 without dialogs\n"
    "  --no-threads             run the library's workers inline\n"
    "  --no-notifications       no download begin/end notifications\n"
    "  --no-install-dialog      install now without asking\n"
    "  --quiet                  no log lines and no progress: findings and result only\n"
    "A download that stopped (Ctrl-C, a dropped connection, a crash) is continued by the\n"
    "next one of the same patch, which prints \"resumed at X MiB of Y MiB\".\n"
    "Ctrl-C cancels a query or download (a second one ends qzupdate at once).\n";

std::wstring Widen(const char* text)
{
    std::wstring result;
    std::mbstate_t state{};
    const char* source = text;
    const std::size_t length = std::mbsrtowcs(nullptr, &source, 0, &state);
    if (length == static_cast<std::size_t>(-1)) {
        // Not valid in the locale: keep the bytes as Latin-1 rather than fail.
        for (const char* p = text; *p; ++p)
            result.push_back(static_cast<unsigned char>(*p));
        return result;
    }
    result.resize(length);
    source = text;
    state = {};
    std::mbsrtowcs(result.data(), &source, length, &state);
    return result;
}

const char* ResultMeaning(std::uint32_t result)
{
    switch (result) {
    case kResultSuccess: return "success";
    case kResultFailed: return "failed, or no patch available";
    case kResultNoConfiguration: return "no configuration, or action 0";
    case kResultUnknownAction: return "unknown action";
    case kResultInstallCancelled: return "install cancelled";
    case kResultInstallNow: return "install now";
    case kResultInstallLater: return "install later";
    case kResultNoDownloadUrl: return "the service named no download URL";
    case kResultNoCrmFile: return "no CRM data file";
    case kResultCancelledDuringDownload: return "cancelled during the download";
    case kResultTransferFailed: return "transfer failed or progress dialog cancelled";
    default: return "unknown result";
    }
}

struct Options {
    std::string library;
    std::uint32_t action = 0;
    std::map<std::string, std::wstring> texts;  // keyed by option name
    bool sendSerial = false;
    bool dialogs = true;
    bool threads = true;
    bool notifications = true;
    bool installDialog = true;
    bool quiet = false;
    int platform = 2;
};

// Answers the library from the command line and prints what it is told.
// Ctrl-C asks the library to cancel, as a host's Cancel button does; a
// second one ends the program at once.
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

class CommandLineHost : public CUpdateConfiguration2 {
public:
    explicit CommandLineHost(const Options& options) : options_(options) {}

    const wchar_t* GetCrmFilePath(bool) override { return Text("crm-file"); }
    const wchar_t* GetProgramName() override { return Text("program", L"QzDemo"); }
    const wchar_t* GetProductName() override
    {
        const wchar_t* product = Text("product");
        return product ? product : GetProgramName();
    }
    const wchar_t* GetPatchServiceUrl() override { return Text("service-url", L""); }
    const wchar_t* GetCrmRedirectUrl() override
    {
        const wchar_t* url = Text("crm-redirect");
        return url ? url : CUpdateConfiguration2::GetCrmRedirectUrl();
    }
    const wchar_t* GetProgramLanguage() override { return Text("language", L"en-GB"); }
    const wchar_t* GetProgramVersion() override { return Text("version", L"1.0.0.0"); }
    const wchar_t* GetSerialNumber() override { return Text("serial", L""); }
    bool SendSerialNumber() override { return options_.sendSerial; }
    const wchar_t* GetDownloadFolder() override { return Text("download-folder"); }
    const wchar_t* GetPatchFileName() override
    {
        const wchar_t* name = Text("patch-file");
        return name ? name : CUpdateConfiguration2::GetPatchFileName();
    }
    const wchar_t* GetSkinFolder() override { return Text("skin-folder"); }
    bool IsInteractive() override { return options_.dialogs; }
    bool UseWorkerThreads() override { return options_.threads; }
    bool UseDownloadNotifications() override { return options_.notifications; }
    bool IsInstallDialogEnabled() override { return options_.installDialog; }
    std::int32_t GetPlatform() override { return options_.platform; }
    bool IsCancelled() override { return g_interrupted != 0; }

    void SetPatchVersion(const wchar_t* version) override { Finding("patch version", version); }
    void SetPatchDescription(const wchar_t* text) override { Finding("patch description", text); }
    void SetPatchDescriptionFile(const wchar_t* path) override { Finding("description page", path); }
    void SetPatchSize(std::uint64_t bytes) override
    {
        std::lock_guard lock(mutex_);
        total_ = bytes;
        EndProgressLine();
        std::printf("patch size: %llu bytes\n", static_cast<unsigned long long>(bytes));
        std::fflush(stdout);
    }
    void AddFile(const wchar_t* path, InstallerKind kind) override
    {
        std::lock_guard lock(mutex_);
        EndProgressLine();
        std::printf("file: %ls (installer kind %u)\n", path ? path : L"(null)", kind);
        std::fflush(stdout);
    }
    void SetSendCrmData(bool send) override { Finding("send CRM data", send ? L"yes" : L"no"); }
    void SetShowAgain(bool again) override { Finding("show again", again ? L"yes" : L"no"); }
    void OnDownloadBegin() override
    {
        std::lock_guard lock(mutex_);
        started_ = std::chrono::steady_clock::now();
        std::printf("download started\n");
        std::fflush(stdout);
    }
    void OnDownloadEnd() override
    {
        std::lock_guard lock(mutex_);
        EndProgressLine();
        std::printf("download ended\n");
        std::fflush(stdout);
    }
    void OnProgress(std::int32_t received) override
    {
        if (options_.quiet)
            return;
        std::lock_guard lock(mutex_);
        if (!started_)
            started_ = std::chrono::steady_clock::now();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - *started_).count();
        const double rate = seconds > 0 ? received / seconds / (1024.0 * 1024.0) : 0.0;
        const bool tty = isatty(STDOUT_FILENO) != 0;
        if (total_ > 0) {
            const double fraction = std::min(1.0, static_cast<double>(received) / total_);
            const int filled = static_cast<int>(fraction * 30);
            std::printf("%s[%-30s] %3d%% %d of %llu bytes, %.1f MiB/s%s", tty ? "\r" : "",
                        std::string(filled, '#').c_str(), static_cast<int>(fraction * 100), received,
                        static_cast<unsigned long long>(total_), rate, tty ? "" : "\n");
        } else {
            std::printf("%s%d bytes, %.1f MiB/s%s", tty ? "\r" : "", received, rate, tty ? "" : "\n");
        }
        progressOpen_ = tty;
        std::fflush(stdout);
    }
    void Log(const wchar_t* line) override
    {
        std::lock_guard lock(mutex_);
        EndProgressLine();
        unsigned long long at = 0, total = 0;
        if (line && std::swscanf(line, L"CTavorHttpTransfer::ReceiveToFile(): resumed at %llu of %llu bytes.", &at,
                                 &total) == 2) {
            std::printf("resumed at %s of %s\n", Mebibytes(at, total).c_str(), Mebibytes(total, total).c_str());
            std::fflush(stdout);
        }
        if (!options_.quiet)
            std::fprintf(stderr, "log: %ls\n", line ? line : L"(null)");
    }

private:
    // Whole MiB for a large file, tenths for a small one; never rounded up,
    // so a resume never claims bytes that are not on disk.
    static std::string Mebibytes(unsigned long long bytes, unsigned long long scale)
    {
        const unsigned long long tenths = bytes * 10 / (1024 * 1024);
        char text[48];
        if (scale >= 100ull * 1024 * 1024)
            std::snprintf(text, sizeof text, "%llu MiB", tenths / 10);
        else
            std::snprintf(text, sizeof text, "%llu.%llu MiB", tenths / 10, tenths % 10);
        return text;
    }
    const wchar_t* Text(const char* key, const wchar_t* byDefault = nullptr)
    {
        const auto it = options_.texts.find(key);
        return it != options_.texts.end() ? it->second.c_str() : byDefault;
    }
    void Finding(const char* what, const wchar_t* value)
    {
        std::lock_guard lock(mutex_);
        EndProgressLine();
        std::printf("%s: %ls\n", what, value ? value : L"(null)");
        std::fflush(stdout);
    }
    void EndProgressLine()
    {
        if (progressOpen_)
            std::printf("\n");
        progressOpen_ = false;
    }

    const Options& options_;
    std::mutex mutex_;
    std::uint64_t total_ = 0;
    bool progressOpen_ = false;
    std::optional<std::chrono::steady_clock::time_point> started_;
};

// The dialogs need a display, or a Qt platform named outright (offscreen).
bool HasDisplay()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

std::string DefaultLibrary(const char* argv0)
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(argv0);
    dir = dir.substr(0, dir.rfind('/') + 1);
    // Beside the program in a build tree, in the library folder when installed.
    const std::string installed = QZ_BINDIR_TO_LIBDIR;
    for (const std::string& path : {dir + QZ_LIBRARY_SONAME,
                                    (installed.starts_with('/') ? installed : dir + installed) + QZ_LIBRARY_SONAME}) {
        if (access(path.c_str(), R_OK) == 0)
            return path;
    }
    return QZ_LIBRARY_SONAME;
}

std::optional<Options> Parse(int argc, char** argv)
{
    if (argc < 2)
        return std::nullopt;
    Options options;
    int i = 1;
    const std::string command = argv[i++];
    static const std::map<std::string, std::uint32_t> commands = {
        {"update", kActionUpdate}, {"upload", kActionCrmUpload},
        {"check", kActionCheck}, {"download", kActionDownload}};
    if (command == "action" && i < argc) {
        options.action = static_cast<std::uint32_t>(std::strtoul(argv[i++], nullptr, 10));
    } else if (const auto it = commands.find(command); it != commands.end()) {
        options.action = it->second;
    } else {
        return std::nullopt;
    }
    static const std::vector<std::string> valued = {
        "service-url", "program", "product", "version", "language", "serial",
        "download-folder", "patch-file", "skin-folder", "crm-file", "crm-redirect"};
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0)
            return std::nullopt;
        const std::string name = arg.substr(2);
        const bool hasValue = i + 1 < argc;
        if (name == "library" && hasValue) {
            options.library = argv[++i];
        } else if (name == "platform" && hasValue) {
            options.platform = std::atoi(argv[++i]);
        } else if (std::find(valued.begin(), valued.end(), name) != valued.end() && hasValue) {
            options.texts[name] = Widen(argv[++i]);
        } else if (name == "send-serial") {
            options.sendSerial = true;
        } else if (name == "no-dialogs") {
            options.dialogs = false;
        } else if (name == "no-threads") {
            options.threads = false;
        } else if (name == "no-notifications") {
            options.notifications = false;
        } else if (name == "no-install-dialog") {
            options.installDialog = false;
        } else if (name == "quiet") {
            options.quiet = true;
        } else {
            return std::nullopt;
        }
    }
    if (options.library.empty())
        options.library = DefaultLibrary(argv[0]);
    if (options.action == kActionUpdate && options.dialogs && !HasDisplay()) {
        options.dialogs = false;
        if (!options.quiet)
            std::fputs("qzupdate: no display; the update check runs without dialogs\n", stderr);
    }
    return options;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    if (argc >= 2 && std::strcmp(argv[1], "verify") == 0) {
        if (argc != 3) {
            std::fputs(kUsage, stderr);
            return 64;
        }
        // The name's bytes go to the file system unchanged, whatever the locale.
        const std::wstring file = qz::platform::WideFileName(argv[2]);
        const auto source = qz::platform::FileByteSource::Open(qz::platform::NativePath(file));
        const qz::platform::AuthenticodeVerdict verdict =
            source ? qz::platform::CheckPatchSignature(*source, qz::platform::DetachedSignaturePath(file))
                   : qz::platform::AuthenticodeVerdict{false, "cannot open the file"};
        std::printf("signature: %s: %s\n", verdict.valid ? "valid" : "not valid", verdict.reason.c_str());
        return verdict.valid ? 0 : 1;
    }
    const std::optional<Options> options = Parse(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return 64;
    }
    void* library = dlopen(options->library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "qzupdate: cannot load %s: %s\n", options->library.c_str(), dlerror());
        return 65;
    }
    auto doAction = reinterpret_cast<DoActionFunction>(dlsym(library, kDoActionSymbol));
    if (!doAction) {
        std::fprintf(stderr, "qzupdate: %s has no %s\n", options->library.c_str(), kDoActionSymbol);
        dlclose(library);
        return 65;
    }
    std::signal(SIGINT, OnInterrupt);
    std::uint32_t result = 0;
    {
        CommandLineHost host(*options);
        result = doAction(&host, options->action);
    }
    std::printf("result: %u (%s)\n", result, ResultMeaning(result));
    dlclose(library);
    return result == kResultSuccess ? 0 : static_cast<int>(result);
}
