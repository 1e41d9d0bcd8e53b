#include "gui/GuiErrorLog.h"

#include <cstdio>
#include <ctime>
#include <mutex>

#include "osal/QzPath.h"
#include "platform/FileNames.h"
#include "platform/WinFormat.h"

namespace {

struct LogState {
    std::mutex lock;
    bool fileLogging = false;
    std::wstring folder;
    std::function<void(const std::wstring&)> observer;
};

LogState& State()
{
    static LogState* state = new LogState;
    return *state;
}

} // namespace

void CQZGuiErrorLog::Report(const std::wstring& text)
{
    LogState& state = State();
    std::function<void(const std::wstring&)> observer;
    bool toFile = false;
    std::wstring folder;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        observer = state.observer;
        toFile = state.fileLogging;
        folder = state.folder;
    }
    if (observer)
        observer(text);
    if (!toFile)
        return;
    QzOSAL::QzPath path(folder);
    path.AppendPath(kFileName);
    // Opened per report, as a crash must not lose the lines before it.
    std::FILE* file = std::fopen(qz::platform::NativeFileName(path.GetPath()).c_str(), "a+");
    if (file == nullptr)
        return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::wstring line = qz::platform::FormatW(L"%02d:%02d:%02d: ERROR in QZGUILib: %s\n", local.tm_hour,
                                                    local.tm_min, local.tm_sec, text.c_str());
    std::fputs(qz::platform::NativeFileName(line).c_str(), file);
    std::fclose(file);
}

void CQZGuiErrorLog::SetFileLogging(bool enabled, const std::wstring& folder)
{
    LogState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.fileLogging = enabled;
    state.folder = folder;
}

void CQZGuiErrorLog::SetObserver(std::function<void(const std::wstring&)> observer)
{
    LogState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.observer = std::move(observer);
}
