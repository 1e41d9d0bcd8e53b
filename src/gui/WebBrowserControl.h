// The embedded browser of the update dialog: a read-only document view in a
// child window that shows a local file (an HTML page as rich text, anything
// else as plain text) and hands links to the user's own browser.
#pragma once

#include "platform/window/Wnd.h"

#include <cstddef>
#include <string>

class CQZ_WebBrowserControl : public qz::platform::CWnd {
  public:
    /// Documents are loaded up to this many bytes; the rest of a larger
    /// file is left out (with a note at the end) so that the dialog stays
    /// responsive.
    static constexpr std::size_t kMaxDocumentBytes = 2 * 1024 * 1024;

    CQZ_WebBrowserControl();
    ~CQZ_WebBrowserControl() override;

    /// Creates the view as child `id` of `parent`; `className` is ignored.
    /// `rect` is in the parent's client pixels. False when the parent has no
    /// window or this object has one already.
    bool Create(const wchar_t* className, const wchar_t* windowName, qz::platform::DWORD style,
                const qz::platform::RECT& rect, qz::platform::CWnd* parent, qz::platform::UINT id);

    /// Whether the browser may show dialogs of its own (it never does; the
    /// setting is kept for the caller).
    void put_Silent(bool silent);
    bool get_Silent() const;

    /// Shows the local file that `url` (a file URL) names. False, with an
    /// empty view, for a URL that names no readable local file.
    bool Navigate(const std::wstring& url);

    /// The URL of the document shown, or empty.
    std::wstring get_LocationURL() const;
};
