#include "update/Unexpected.h"

#include "platform/FileNames.h"
#include "platform/WinFormat.h"

#include <exception>
#include <string>

namespace qz::update {

bool RunLoggingExceptions(QzAutoUpdate::CUpdateConfiguration2* host, const wchar_t* line,
                          const std::function<void()>& body)
{
    std::wstring what;
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        what = qz::platform::WideFileName(e.what());
    } catch (...) {
        what = L"unknown";
    }
    try {
        if (host)
            host->Log(qz::platform::FormatW(line, what.c_str()).c_str());
    } catch (...) {
    }
    return false;
}

}  // namespace qz::update
