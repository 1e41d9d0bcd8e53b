// The GUI library's own error log. Loading problems (a missing base template,
// a file that cannot be read) are reported here, never to the host's log.
#pragma once

#include <functional>
#include <string>

class CQZGuiErrorLog {
  public:
    /// The file the reports are appended to, inside the log folder.
    static constexpr const wchar_t* kFileName = L"QZGUI-Log_Release.txt";

    /// Reports one error. The release configuration writes nothing unless
    /// file logging was switched on; an observer always sees the text.
    static void Report(const std::wstring& text);

    /// Switches appending "time: ERROR in QZGUILib: text" lines to
    /// kFileName in `folder` on or off (off by default).
    static void SetFileLogging(bool enabled, const std::wstring& folder = std::wstring());

    /// Lets tests and diagnostic hosts see every report; an empty function
    /// removes the observer.
    static void SetObserver(std::function<void(const std::wstring&)> observer);
};
