#include "preview/DialogPreview.h"

#include "dialogs/CRMViewer.h"
#include "dialogs/DlgInstall.h"
#include "dialogs/DlgProgress.h"
#include "dialogs/DlgUpdate.h"
#include "dialogs/Languages.h"
#include "dialogs/UpdateSteps.h"
#include "dialogs/res/resource.h"
#include "gui/DpiState.h"
#include "gui/WindowGrab.h"
#include "osal/QzPath.h"
#include "platform/FileNames.h"
#include "platform/RcResourceTable.h"
#include "platform/window/WindowSystem.h"

#include <QzAutoUpdate/UpdateConfiguration2.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include <unistd.h>

using namespace qz::platform;

namespace {

namespace fs = std::filesystem;

// Drives the preview from inside the dialog's modal loop.
constexpr UINT kPreviewStep = WM_APP + 0x2A1;
// Turns of the message queue between the last step and the picture, so that
// what the last handler posted (a repaint, a resize) is done.
constexpr int kSettleTurns = 2;
constexpr int kEndPreview = 0x7E5;
constexpr int kProgressPercent = 40;

// What the CRM viewer shows: the kind of file a host hands over.
const char kSampleCrmData[] = "[Product]\n"
                              "Name=QzDemo\n"
                              "Version=1.4.2.0\n"
                              "Edition=Standard\n"
                              "Serial=QZD-0000-0000-0000\n"
                              "\n"
                              "[System]\n"
                              "OperatingSystem=Linux 6.1 x86_64\n"
                              "Memory=16384 MB\n"
                              "Display=1920x1080\n"
                              "\n"
                              "[Usage]\n"
                              "FirstStart=2026-01-12\n"
                              "Sessions=214\n"
                              "LastUpdateCheck=2026-11-30\n";

// The description page a patch query writes beside its result.
const char kSampleDescription[] = "<html><head><meta charset=\"utf-8\"></head><body>\n"
                                  "<h3>QzDemo 1.5</h3>\n"
                                  "<ul>\n"
                                  "<li>Projects open faster.</li>\n"
                                  "<li>Printing keeps the page margins.</li>\n"
                                  "<li>Several crashes on start-up are fixed.</li>\n"
                                  "</ul>\n"
                                  "</body></html>\n";

// The host a preview stands in for: a product with the CRM option shown,
// texts in the chosen language, the chosen skin and no threads.
class CPreviewConfiguration : public QzAutoUpdate::CUpdateConfiguration2 {
  public:
    CPreviewConfiguration(std::wstring language, std::wstring skinFolder, std::wstring crmFile,
                          std::wstring productName)
        : language_(std::move(language)), skinFolder_(std::move(skinFolder)), crmFile_(std::move(crmFile)),
          productName_(std::move(productName))
    {
    }

    bool IsCrmOptionVisible() override { return true; }
    bool GetSendCrmDefault() override { return true; }
    bool IsDontShowAgainVisible() override { return true; }
    bool UseWorkerThreads() override { return false; }
    const wchar_t* GetSkinFolder() override { return skinFolder_.empty() ? nullptr : skinFolder_.c_str(); }
    const wchar_t* GetCrmFilePath(bool) override { return crmFile_.c_str(); }
    const wchar_t* GetProgramName() override { return productName_.c_str(); }
    const wchar_t* GetProductName() override { return productName_.c_str(); }
    const wchar_t* GetPatchServiceUrl() override { return L""; }
    const wchar_t* GetProgramLanguage() override { return language_.c_str(); }
    const wchar_t* GetProgramVersion() override { return L"1.4.2.0"; }
    const wchar_t* GetSerialNumber() override { return L""; }
    void AddFile(const wchar_t*, QzAutoUpdate::InstallerKind) override {}
    void Log(const wchar_t*) override {}

  private:
    std::wstring language_;
    std::wstring skinFolder_;
    std::wstring crmFile_;
    std::wstring productName_;
};

// One step of the walk into a state: a message for the dialog's own handlers.
struct Step {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// The workflow behind a preview: no step runs, the walk posts what a step
// would answer; the patch has the preview's size and description page.
class CPreviewSteps : public IUpdateSteps {
  public:
    explicit CPreviewSteps(QzOSAL::QzPath description) : description_(std::move(description)) {}

    void StartPatchCheck(CWnd*) override {}
    void StartCrmUpload(CWnd*) override {}
    void StartDownload(CWnd*) override {}
    void StartFileCheck(CWnd*) override {}
    void Cancel() override {}
    void CancelWithResult(std::uint32_t) override {}
    bool IsRunCancelled() const override { return false; }
    std::int64_t PatchFileSize() const override { return CDialogPreview::kPreviewPatchSize; }
    QzOSAL::QzPath DescriptionFile() const override { return description_; }

  private:
    QzOSAL::QzPath description_;
};

// The steps of a walk, taken one per turn of the dialog's message queue.
class Walk {
  public:
    Walk(std::vector<Step> steps, std::function<void(CBaseDlg&)> finish)
        : steps_(std::move(steps)), finish_(std::move(finish))
    {
    }

    void Next(CBaseDlg& dialog)
    {
        if (next_ < steps_.size()) {
            const Step& step = steps_[next_++];
            dialog.PostMessage(step.message, step.wParam, step.lParam);
            // Posted behind the step's message and whatever its handler posts.
            dialog.PostMessage(kPreviewStep);
            return;
        }
        if (settled_ < kSettleTurns) {
            ++settled_;
            dialog.PostMessage(kPreviewStep);
            return;
        }
        finished_ = true;
        finish_(dialog);
        dialog.EndDialog(kEndPreview);
    }

    bool IsFinished() const { return finished_; }

  private:
    std::vector<Step> steps_;
    std::function<void(CBaseDlg&)> finish_;
    std::size_t next_ = 0;
    int settled_ = 0;
    bool finished_ = false;
};

// A dialog that, once initialised, hands its message queue to a walk.
template <class Dialog> class CPreviewOf : public Dialog {
  public:
    template <class... Args>
    explicit CPreviewOf(Walk& walk, Args&&... args) : Dialog(std::forward<Args>(args)...), walk_(walk)
    {
    }

    BOOL OnInitDialog() override
    {
        const BOOL result = Dialog::OnInitDialog();
        this->PostMessage(kPreviewStep);
        return result;
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == kPreviewStep) {
            walk_.Next(*this);
            return 0;
        }
        return Dialog::WindowProc(msg, wParam, lParam);
    }

  private:
    Walk& walk_;
};

std::uint16_t TemplateIdOf(const std::wstring& dialog)
{
    if (dialog == L"update")
        return IDD_UPDATE;
    if (dialog == L"progress")
        return IDD_PROGRESS;
    if (dialog == L"install")
        return IDD_INSTALL;
    return IDD_CRM_VIEWER;
}

// The language of the library's dialogs that a code such as "ja-JP" asks
// for: that very language, else another country's variant of it ("es-ES"
// finds the traditional-sort Spanish); 0 when the library has none.
qz::dialogs::LANGID ResourceLanguage(const std::wstring& code, std::uint16_t templateId)
{
    const qz::dialogs::LANGID id = qz::dialogs::LanguageIdFromTag(code);
    if (id == 0)
        return 0;
    const ResName type = ResName::Ordinal(RT_DIALOG);
    const ResName name = ResName::Ordinal(templateId);
    if (ModuleResources().FindExact(type, name, id))
        return id;
    for (const ResourceView& resource : ModuleResources().Entries()) {
        if (resource.type == type && resource.id == name &&
            PRIMARYLANGID(resource.language) == PRIMARYLANGID(id))
            return resource.language;
    }
    return 0;
}

// Files the dialogs read during a preview, removed with it.
class ScratchFolder {
  public:
    ScratchFolder()
    {
        static std::atomic<unsigned> counter{0};
        path_ = fs::temp_directory_path() /
                ("qz_preview_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(path_);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::wstring Write(const char* name, const std::string& bytes) const
    {
        const fs::path file = path_ / name;
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        return WideFileName(file.string());
    }

  private:
    fs::path path_;
};

// The process-wide settings a preview changes, put back however it ends.
class PreviewSettings {
  public:
    PreviewSettings(QzAutoUpdate::CUpdateConfiguration2* configuration, int dpi)
        : scaling_(CQZDpiState::IsScaling()), dpiX_(CQZDpiState::GetDpiX()),
          dpiY_(CQZDpiState::GetDpiY()), language_(qz::dialogs::GetLanguageState().code)
    {
        SetDisplayDpiOverride(dpi);
        qz::dialogs::SetConfigurationSource([configuration] { return configuration; });
    }
    ~PreviewSettings()
    {
        qz::dialogs::SetConfigurationSource({});
        if (!language_.empty())
            qz::dialogs::SetLanguage(language_);
        SetDisplayDpiOverride(0);
        CQZDpiState::Set(scaling_, dpiX_, dpiY_);
    }
    PreviewSettings(const PreviewSettings&) = delete;
    PreviewSettings& operator=(const PreviewSettings&) = delete;

  private:
    bool scaling_;
    int dpiX_;
    int dpiY_;
    std::wstring language_;
};

} // namespace

std::vector<std::wstring> CDialogPreview::Dialogs()
{
    return {L"update", L"progress", L"install", L"crm"};
}

std::vector<std::wstring> CDialogPreview::States(const std::wstring& dialog)
{
    if (dialog == L"update")
        return {L"waiting", L"available", L"whatsnew", L"nopatch"};
    if (dialog == L"progress")
        return {L"crm", L"downloading", L"checkfailed"};
    if (dialog == L"install")
        return {L"question"};
    if (dialog == L"crm")
        return {L"viewer"};
    return {};
}

CDialogPreview::CDialogPreview(std::wstring dialog, std::wstring state, std::wstring language, int dpi)
    : dialog_(std::move(dialog)), state_(std::move(state)), language_(std::move(language)), dpi_(dpi)
{
}

CDialogPreview::~CDialogPreview() = default;

bool CDialogPreview::Render(const std::wstring& pngPath, std::wstring& error)
{
    width_ = 0;
    height_ = 0;
    const std::vector<std::wstring> states = States(dialog_);
    if (states.empty()) {
        error = L"unknown dialog \"" + dialog_ + L"\"";
        return false;
    }
    if (std::find(states.begin(), states.end(), state_) == states.end()) {
        // Say which states there are: a user cannot guess them.
        error = L"the " + dialog_ + L" dialog has no state \"" + state_ + L"\"; its states:";
        for (const std::wstring& known : states)
            error += L" " + known;
        return false;
    }
    if (dpi_ < 48 || dpi_ > 960) {
        error = L"a resolution of " + std::to_wstring(dpi_) + L" DPI is out of range";
        return false;
    }
    const qz::dialogs::LANGID language = ResourceLanguage(language_, TemplateIdOf(dialog_));
    if (language == 0) {
        error = L"no dialogs in language \"" + language_ + L"\"";
        return false;
    }
    if (!EnsureGuiApplication()) {
        error = L"no GUI available";
        return false;
    }

    ScratchFolder scratch;
    const std::wstring crmFile = scratch.Write("crm.txt", kSampleCrmData);
    std::wstring skinFolder = skinFolder_;
    if (!skinFolder.empty() && skinFolder.back() != L'/')
        skinFolder += L'/';
    CPreviewConfiguration configuration(qz::dialogs::LanguageCodeFromId(language), skinFolder, crmFile,
                                        productName_);
    PreviewSettings settings(&configuration, dpi_);

    CPreviewSteps updateSteps(QzOSAL::QzPath(scratch.Write("result.html", kSampleDescription)));
    std::vector<Step> steps;
    if (state_ == L"available" || state_ == L"whatsnew")
        steps.push_back({WM_UPDATE_QUERY_DONE, 1, 0});
    if (state_ == L"nopatch")
        steps.push_back({WM_UPDATE_QUERY_DONE, 0, 0});
    if (state_ == L"whatsnew")
        steps.push_back({WM_COMMAND, IDC_BTN_WHATS_NEW, 0});
    if (state_ == L"downloading" || state_ == L"checkfailed")
        steps.push_back({WM_UPDATE_CRM_DONE, 0, 0});
    if (state_ == L"downloading")
        steps.push_back({WM_UPDATE_PROGRESS, static_cast<WPARAM>(kPreviewPatchSize * kProgressPercent / 100), 0});
    if (state_ == L"checkfailed") {
        steps.push_back({WM_UPDATE_DOWNLOAD_DONE, 0, 1});
        steps.push_back({WM_UPDATE_CHECK_DONE, 0, 0});
    }

    bool written = true;
    Walk walk(std::move(steps), [&](CBaseDlg& dialog) {
        if (inspector_)
            inspector_(dialog);
        const CQZWindowGrab grab(dialog.m_hWnd);
        width_ = grab.Width();
        height_ = grab.Height();
        written = grab.IsValid() && (pngPath.empty() || grab.SavePng(pngPath));
    });

    std::intptr_t result = -1;
    if (dialog_ == L"update") {
        CPreviewOf<CDlgUpdate> dialog(walk, &configuration, updateSteps, nullptr);
        result = dialog.DoModal();
    } else if (dialog_ == L"progress") {
        CPreviewOf<CDlgProgress> dialog(walk, &configuration, updateSteps, nullptr);
        result = dialog.DoModal();
    } else if (dialog_ == L"install") {
        CPreviewOf<CDlgInstall> dialog(walk, &configuration, nullptr);
        result = dialog.DoModal();
    } else {
        CPreviewOf<CCRMViewer> dialog(walk, &configuration, nullptr);
        result = dialog.DoModal();
    }

    if (result == -1) {
        error = L"the " + dialog_ + L" dialog cannot be shown";
        return false;
    }
    if (!walk.IsFinished()) {
        error = L"the " + dialog_ + L" dialog closed before it reached the state \"" + state_ + L"\"";
        return false;
    }
    if (!written) {
        error = pngPath + L": cannot write the picture";
        return false;
    }
    return true;
}
