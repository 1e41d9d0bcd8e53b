#include "gui/BeautyDialog.h"

#include <QEvent>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "gui/ControlTemplate.h"
#include "gui/DpiState.h"
#include "gui/GuiErrorLog.h"
#include "osal/QzPath.h"
#include "platform/FileNames.h"
#include "platform/window/WindowQt.h"

using namespace qz::platform;

namespace {

constexpr std::uint32_t QZBDLG_OPT_BACKGROUNDDIB = 8;

// The virtual key of a Qt key, 0 for keys the dialog is not offered.
std::uint32_t VirtualKey(int key)
{
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9) || key == Qt::Key_Space)
        return static_cast<std::uint32_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0x70 + static_cast<std::uint32_t>(key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Tab:
        return VK_TAB;
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    default:
        return 0;
    }
}

} // namespace

struct CQZ_BeautyDialog::Look {
    QImage background;
    // Where the image goes in 96-DPI units; empty: over the whole client area.
    QzDialogRect placement;
    QPointer<QObject> events;
};

// Sits in front of the window system's own filters: keys before the dialog
// manager sees them, the background before the controls paint, and the
// layout after every size change.
class CQZ_BeautyDialog::Events : public QObject {
  public:
    Events(CQZ_BeautyDialog* dialog, QWidget* widget) : QObject(widget), dialog_(dialog), widget_(widget) {}

    bool eventFilter(QObject* watched, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::Paint:
            if (watched == widget_)
                Paint();
            break;
        case QEvent::Resize:
            if (watched == widget_)
                dialog_->ApplyLayout();
            break;
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(e);
            // A key a child did not take goes on to its parents; it was
            // offered once already.
            if (IsPropagated(watched, key))
                break;
            const bool dialogKey =
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape) &&
                (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
            if (dialog_->FilterKey(VirtualKey(key->key())))
                return true;
            if (dialogKey && (dialog_->GetDialogFlags() & QZBDLG_FLG_DONOTSWALLOWKEYS)) {
                // Straight to the control, past the dialog manager.
                watched->event(e);
                return true;
            }
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, e);
    }

  private:
    bool IsPropagated(QObject* watched, const QKeyEvent* key)
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool again = key == lastKey_ && key->timestamp() == lastTime_ && widget && lastTarget_ &&
                           widget->isAncestorOf(lastTarget_);
        lastKey_ = key;
        lastTime_ = key->timestamp();
        lastTarget_ = widget;
        return again;
    }

    void Paint()
    {
        const Look& look = *dialog_->look_;
        if (dialog_->backgroundColor_ < 0 && look.background.isNull())
            return;
        QPainter painter(widget_);
        if (dialog_->backgroundColor_ >= 0) {
            const auto color = static_cast<std::uint32_t>(dialog_->backgroundColor_);
            painter.fillRect(widget_->rect(), QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
        }
        if (!look.background.isNull()) {
            QRect target = widget_->rect();
            if (!look.placement.IsEmpty()) {
                const RECT placed = dialog_->ToDevice(look.placement);
                target = QRect(placed.left, placed.top, placed.Width(), placed.Height());
            }
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(target, look.background);
        }
    }

    CQZ_BeautyDialog* dialog_;
    QWidget* widget_;
    const QKeyEvent* lastKey_ = nullptr;
    quint64 lastTime_ = 0;
    QPointer<QWidget> lastTarget_;
};

CQZ_BeautyDialog::CQZ_BeautyDialog(std::uint32_t templateId, std::wstring definitionFile, std::uint32_t creationFlags,
                                   CWnd* parent)
    : CDialog(templateId, parent),
      definitionFile_(std::move(definitionFile)),
      creationFlags_(creationFlags),
      dialogFlags_(creationFlags),
      look_(std::make_unique<Look>())
{
}

CQZ_BeautyDialog::~CQZ_BeautyDialog()
{
    // The filter must not call into a dialog that is half gone.
    delete look_->events.data();
}

bool CQZ_BeautyDialog::AdaptsToDpi() const
{
    return CQZDpiState::IsScaling() && (dialogFlags_ & QZBDLG_FLG_NO_DPI_ADAPTION) == 0;
}

bool CQZ_BeautyDialog::WantsCloseButton() const
{
    return (dialogFlags_ & QZBDLG_FLG_CLOSE_BUTTON) != 0;
}

bool CQZ_BeautyDialog::HasBackgroundImage() const
{
    return !look_->background.isNull();
}

void CQZ_BeautyDialog::ApplyDialogTemplate(const CQZControlTemplate* dialogTemplate)
{
    look_->background = QImage();
    look_->placement = {};
    backgroundColor_ = -1;
    if (!dialogTemplate)
        return;
    if (dialogTemplate->GetFamily() != QzTemplateFamily::Dialog) {
        CQZGuiErrorLog::Report(L"CQZ_BeautyDialog: template " + dialogTemplate->GetName() +
                               L" is no dialog template");
        return;
    }
    if (const std::uint32_t* flags = dialogTemplate->FindFlags(L"flags"))
        dialogFlags_ = *flags;
    if (const QzColorRef* color = dialogTemplate->FindColor(L"backgroundColor"))
        backgroundColor_ = static_cast<long long>(*color & 0xFFFFFFU);
    if (dialogTemplate->GetOptions() & QZBDLG_OPT_BACKGROUNDDIB) {
        const QzTemplateImage* image = dialogTemplate->FindImage(L"backgroundDialogDib");
        if (!image || image->path.empty()) {
            CQZGuiErrorLog::Report(L"CQZ_BeautyDialog: no background image for " + dialogTemplate->GetName());
        } else {
            look_->background = QImage(QString::fromStdString(NativeFileName(image->path)));
            if (look_->background.isNull())
                CQZGuiErrorLog::Report(L"CQZ_BeautyDialog: cannot read the background image " + image->path);
        }
        if (const RECT* placement = dialogTemplate->FindRect(L"backgroundplacement"))
            look_->placement = QzDialogRect{placement->left, placement->top, placement->right, placement->bottom};
    }
    if (m_hWnd && (dialogFlags_ & QZBDLG_FLG_APPWINDOW))
        SetWindowLongW(m_hWnd, GWL_EXSTYLE, GetWindowLongW(m_hWnd, GWL_EXSTYLE) | static_cast<long>(WS_EX_APPWINDOW));
    Invalidate();
}

BOOL CQZ_BeautyDialog::OnInitDialog()
{
    const BOOL result = CDialog::OnInitDialog();
    // A dialog that names its definition file as a path loads it itself;
    // the update dialogs have loaded theirs from the skin folder by now.
    if (GetLoadedWindowHandle() != m_hWnd && !definitionFile_.empty()) {
        const QzOSAL::QzPath file(definitionFile_);
        Load(file.GetFolder(), file.GetFileName() + file.GetExtension(), this);
    }
    if (dialogFlags_ & QZBDLG_FLG_APPWINDOW)
        SetWindowLongW(m_hWnd, GWL_EXSTYLE, GetWindowLongW(m_hWnd, GWL_EXSTYLE) | static_cast<long>(WS_EX_APPWINDOW));
    // QZBDLG_FLG_MEASUREPOPUPITEMS concerns menus, which these dialogs do not have.
    if (QWidget* widget = WidgetFromHandle(m_hWnd)) {
        delete look_->events.data();
        auto* events = new Events(this, widget);
        look_->events = events;
        widget->installEventFilter(events);
        for (QWidget* child : widget->findChildren<QWidget*>())
            child->installEventFilter(events);
    }
    return result;
}

bool CQZ_BeautyDialog::FilterKey(std::uint32_t virtualKey)
{
    if ((dialogFlags_ & QZBDLG_FLG_HANDLE_KEYS) && virtualKey != 0 && HandleKey(virtualKey))
        return true;
    return virtualKey == VK_ESCAPE && (dialogFlags_ & QZBDLG_FLG_DO_NOT_CLOSE_ON_ESCAPE) != 0;
}

bool CQZ_BeautyDialog::HandleKey(std::uint32_t)
{
    return false;
}

void CQZ_BeautyDialog::OnCancel()
{
    if (dialogFlags_ & QZBDLG_FLG_DO_NOT_CLOSE_ON_ESCAPE)
        return;
    CDialog::OnCancel();
}

bool CQZ_BeautyDialog::ReportError(std::uint32_t code, std::uint32_t flags, const std::wstring& text1,
                                   const std::wstring& text2)
{
    if (code != 0)
        return true;
    const std::wstring text = text1 + text2;
    CQZGuiErrorLog::Report(text);
    if (flags & 1U)
        MessageBoxW(m_hWnd, text, GetWindowText(), MB_OK | MB_ICONERROR);
    if (flags & 2U)
        EndDialog(2);
    return false;
}

LRESULT CQZ_BeautyDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SIZE: {
        const LRESULT result = CDialog::WindowProc(msg, wParam, lParam);
        ApplyLayout();
        return result;
    }
    case WM_KEYDOWN:
        if (FilterKey(static_cast<std::uint32_t>(wParam)))
            return 0;
        break;
    case WM_COMMAND:
        if (GetCloseButtonId() != 0 && LOWORD(wParam) == GetCloseButtonId() && HIWORD(wParam) == BN_CLICKED) {
            SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
            return 0;
        }
        break;
    default:
        break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
