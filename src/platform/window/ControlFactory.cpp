// The standard controls as Qt widgets, with the Windows styles mapped to
// Qt's settings and the Qt signals turned into WM_COMMAND notifications.
#include "platform/RcDialogTemplate.h"
#include "platform/window/WindowManager.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <cwctype>

namespace qz::platform {

namespace {

bool SameClass(const std::wstring& a, const wchar_t* b)
{
    std::wstring lower;
    for (wchar_t c : a) {
        lower.push_back(static_cast<wchar_t>(std::towlower(c)));
    }
    return lower == b;
}

Qt::Alignment StaticAlignment(DWORD style)
{
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        return Qt::AlignHCenter | Qt::AlignTop;
    case SS_RIGHT:
        return Qt::AlignRight | Qt::AlignTop;
    default:
        return Qt::AlignLeft | Qt::AlignTop;
    }
}

QWidget* MakeStatic(WindowRecord& r, QWidget* parent)
{
    const DWORD type = r.style & SS_TYPEMASK;
    if (type >= SS_BLACKRECT && type <= SS_WHITEFRAME) {
        auto* f = new QFrame(parent);
        f->setFrameShape(type >= SS_BLACKFRAME ? QFrame::Box : QFrame::Panel);
        f->setFrameShadow(QFrame::Plain);
        return f;
    }
    if (type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT || type == SS_ETCHEDFRAME) {
        auto* f = new QFrame(parent);
        f->setFrameShape(type == SS_ETCHEDHORZ   ? QFrame::HLine
                         : type == SS_ETCHEDVERT ? QFrame::VLine
                                                 : QFrame::Box);
        f->setFrameShadow(QFrame::Sunken);
        return f;
    }
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(StaticAlignment(r.style));
    label->setWordWrap(type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
    if (r.style & SS_SUNKEN) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    if (r.style & SS_CENTERIMAGE) {
        label->setAlignment((label->alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    }
    return label;
}

QWidget* MakeButton(WindowRecord& r, QWidget* parent)
{
    const DWORD type = r.style & BS_TYPEMASK;
    switch (type) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE: {
        auto* c = new QCheckBox(parent);
        c->setTristate(type == BS_3STATE || type == BS_AUTO3STATE);
        r.kind = WindowKind::CheckBox;
        return c;
    }
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: {
        auto* b = new QRadioButton(parent);
        b->setAutoExclusive(false); // groups follow WS_GROUP, below
        r.kind = WindowKind::RadioButton;
        return b;
    }
    case BS_GROUPBOX: {
        auto* g = new QGroupBox(parent);
        // A group box only frames its neighbours; it takes no clicks.
        g->setAttribute(Qt::WA_TransparentForMouseEvents);
        r.kind = WindowKind::GroupBox;
        return g;
    }
    default: {
        auto* b = new QPushButton(parent);
        b->setAutoDefault(false); // Enter belongs to the dialog manager
        b->setDefault(type == BS_DEFPUSHBUTTON);
        r.kind = WindowKind::PushButton;
        return b;
    }
    }
}

QWidget* MakeEdit(WindowRecord& r, QWidget* parent)
{
    const bool border = (r.style & WS_BORDER) || (r.exStyle & WS_EX_CLIENTEDGE);
    if (r.style & ES_MULTILINE) {
        auto* e = new QPlainTextEdit(parent);
        e->setReadOnly(r.style & ES_READONLY);
        e->setTabChangesFocus(true);
        e->setVerticalScrollBarPolicy((r.style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn
                                                             : Qt::ScrollBarAlwaysOff);
        e->setHorizontalScrollBarPolicy((r.style & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn
                                                               : Qt::ScrollBarAlwaysOff);
        bool wrap = !(r.style & (ES_AUTOHSCROLL | WS_HSCROLL));
        e->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        if (!border) {
            e->setFrameShape(QFrame::NoFrame);
        }
        r.kind = WindowKind::MultiLineEdit;
        return e;
    }
    auto* e = new QLineEdit(parent);
    e->setReadOnly(r.style & ES_READONLY);
    e->setFrame(border);
    if (r.style & ES_PASSWORD) {
        e->setEchoMode(QLineEdit::Password);
    }
    const DWORD align = r.style & 0x3;
    e->setAlignment(align == ES_CENTER  ? Qt::AlignHCenter
                    : align == ES_RIGHT ? Qt::AlignRight
                                        : Qt::AlignLeft);
    r.kind = WindowKind::Edit;
    return e;
}

} // namespace

std::wstring StripMnemonic(const std::wstring& text)
{
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&') {
                out.push_back(L'&');
                ++i;
            }
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

wchar_t MnemonicOf(const std::wstring& text)
{
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'&') {
            if (text[i + 1] != L'&') {
                return text[i + 1];
            }
            ++i;
        }
    }
    return 0;
}

void ShowTextInWidget(WindowRecord& r)
{
    QWidget* w = r.widget;
    if (!w) {
        return;
    }
    const QString text = QString::fromStdWString(r.text);
    switch (r.kind) {
    case WindowKind::Dialog:
    case WindowKind::Host:
        w->setWindowTitle(text);
        break;
    case WindowKind::PushButton:
    case WindowKind::CheckBox:
    case WindowKind::RadioButton:
        static_cast<QAbstractButton*>(w)->setText(text);
        // The dialog manager answers the letter at once; Qt's own shortcut
        // would press the button again, later.
        static_cast<QAbstractButton*>(w)->setShortcut(QKeySequence());
        break;
    case WindowKind::GroupBox:
        static_cast<QGroupBox*>(w)->setTitle(text);
        break;
    case WindowKind::Static:
        if (auto* label = qobject_cast<QLabel*>(w)) {
            label->setText(QString::fromStdWString((r.style & SS_NOPREFIX) ? r.text : StripMnemonic(r.text)));
        }
        break;
    case WindowKind::Edit:
        static_cast<QLineEdit*>(w)->setText(text);
        break;
    case WindowKind::MultiLineEdit: {
        QString plain = text;
        plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        static_cast<QPlainTextEdit*>(w)->setPlainText(plain);
        break;
    }
    default:
        if (w->isWindow()) {
            w->setWindowTitle(text);
        }
        break;
    }
}

std::unique_ptr<WindowRecord> MakeControl(const std::wstring& className, WORD classOrdinal,
                                          const std::wstring& text, DWORD style, DWORD exStyle, int id,
                                          QWidget* parentWidget)
{
    auto r = std::make_unique<WindowRecord>();
    r->style = style | (parentWidget ? WS_CHILD : 0);
    r->exStyle = exStyle;
    r->id = id;
    r->text = text;
    QWidget* w = nullptr;
    if (classOrdinal == kClassButton || SameClass(className, L"button")) {
        w = MakeButton(*r, parentWidget);
    } else if (classOrdinal == kClassStatic || SameClass(className, L"static")) {
        r->kind = WindowKind::Static;
        w = MakeStatic(*r, parentWidget);
        if (!(style & SS_NOTIFY)) {
            w->setAttribute(Qt::WA_TransparentForMouseEvents);
        }
    } else if (classOrdinal == kClassEdit || SameClass(className, L"edit")) {
        w = MakeEdit(*r, parentWidget);
    } else if (SameClass(className, L"msctls_progress32")) {
        auto* bar = new QProgressBar(parentWidget);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setOrientation((style & PBS_VERTICAL) ? Qt::Vertical : Qt::Horizontal);
        r->kind = WindowKind::Progress;
        w = bar;
    } else {
        // Other classes (list boxes, custom controls) are plain windows that
        // their owners fill in.
        w = new QWidget(parentWidget);
        r->kind = WindowKind::Plain;
    }
    r->widget = w;
    if (!parentWidget) {
        w->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    switch (r->kind) {
    case WindowKind::Static:
    case WindowKind::GroupBox:
    case WindowKind::Progress:
        w->setFocusPolicy(Qt::NoFocus);
        break;
    default:
        w->setFocusPolicy((style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
        break;
    }
    if (style & WS_DISABLED) {
        w->setEnabled(false);
    }
    ShowTextInWidget(*r);
    return r;
}

void ConnectNotifications(HWND control)
{
    WindowRecord* r = WindowManager::Instance().Find(control);
    if (!r || !r->widget) {
        return;
    }
    auto notify = [control](UINT code) {
        WindowManager& wm = WindowManager::Instance();
        WindowRecord* c = wm.Find(control);
        if (!c || !c->parent) {
            return;
        }
        wm.Send(c->parent, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(c->id), code),
                reinterpret_cast<LPARAM>(control));
    };
    QWidget* w = r->widget;
    const DWORD type = r->style & BS_TYPEMASK;
    switch (r->kind) {
    case WindowKind::PushButton:
        QObject::connect(static_cast<QPushButton*>(w), &QPushButton::clicked,
                         [notify] { notify(BN_CLICKED); });
        break;
    case WindowKind::CheckBox: {
        auto* c = static_cast<QCheckBox*>(w);
        const bool automatic = type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE;
        auto state = std::make_shared<Qt::CheckState>(c->checkState());
        QObject::connect(c, &QCheckBox::pressed, [c, state] { *state = c->checkState(); });
        QObject::connect(c, &QCheckBox::clicked, [c, notify, automatic, state] {
            if (!automatic) {
                // Only automatic check boxes change themselves.
                c->setCheckState(*state);
            }
            notify(BN_CLICKED);
        });
        break;
    }
    case WindowKind::RadioButton: {
        auto* b = static_cast<QRadioButton*>(w);
        const bool automatic = type == BS_AUTORADIOBUTTON;
        QObject::connect(b, &QRadioButton::clicked, [b, control, notify, automatic] {
            if (automatic) {
                // Check this one and clear the others of its group: the
                // siblings from the last WS_GROUP before it to the next one.
                b->setChecked(true);
                HWND parent = GetParent(control);
                std::vector<HWND> siblings = GetChildWindows(parent);
                auto it = std::find(siblings.begin(), siblings.end(), control);
                auto first = it;
                while (first != siblings.begin() && !(GetWindowLongW(*first, GWL_STYLE) & WS_GROUP)) {
                    --first;
                }
                for (auto s = first; s != siblings.end(); ++s) {
                    if (s != first && (GetWindowLongW(*s, GWL_STYLE) & WS_GROUP)) {
                        break;
                    }
                    if (*s != control &&
                        (GetWindowLongW(*s, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
                        SendMessage(*s, BM_SETCHECK, BST_UNCHECKED, 0);
                    }
                }
            } else {
                b->setChecked(!b->isChecked());
            }
            notify(BN_CLICKED);
        });
        break;
    }
    case WindowKind::Edit:
        QObject::connect(static_cast<QLineEdit*>(w), &QLineEdit::textChanged,
                         [notify] { notify(EN_CHANGE); });
        break;
    case WindowKind::MultiLineEdit:
        QObject::connect(static_cast<QPlainTextEdit*>(w), &QPlainTextEdit::textChanged,
                         [notify] { notify(EN_CHANGE); });
        break;
    default:
        break;
    }
}

} // namespace qz::platform
