#include "platform/window/WindowManager.h"

#include "platform/window/WindowQt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimerEvent>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstring>
#include <set>

namespace qz::platform {

namespace {

std::atomic<int> g_dpiOverride{0};

HWND Encode(std::size_t index, std::uint32_t generation)
{
    auto v = (static_cast<std::uint64_t>(generation) << 32) | (static_cast<std::uint64_t>(index) + 1);
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(v));
}

QWidget* WidgetOf(HWND hwnd)
{
    WindowRecord* r = WindowManager::Instance().Find(hwnd);
    return r ? r->widget.data() : nullptr;
}

std::wstring CurrentText(const WindowRecord& r)
{
    if (r.widget && r.kind == WindowKind::Edit) {
        return static_cast<QLineEdit*>(r.widget.data())->text().toStdWString();
    }
    if (r.widget && r.kind == WindowKind::MultiLineEdit) {
        // Multi-line edits hold Windows line ends.
        std::wstring s = static_cast<QPlainTextEdit*>(r.widget.data())->toPlainText().toStdWString();
        std::wstring out;
        for (wchar_t c : s) {
            if (c == L'\n') {
                out += L"\r\n";
            } else {
                out.push_back(c);
            }
        }
        return out;
    }
    return r.text;
}

} // namespace

QEvent::Type MessageEvent::TypeId()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

WindowBridge::WindowBridge(HWND hwnd, QWidget* widget) : QObject(widget), hwnd_(hwnd)
{
    widget->installEventFilter(this);
}

bool WindowBridge::event(QEvent* e)
{
    if (e->type() == MessageEvent::TypeId()) {
        auto* m = static_cast<MessageEvent*>(e);
        // A message for a window destroyed since it was posted is dropped.
        if (WindowManager::Instance().Find(m->hwnd)) {
            WindowManager::Instance().Send(m->hwnd, m->msg, m->wParam, m->lParam);
        }
        return true;
    }
    return QObject::event(e);
}

void WindowBridge::timerEvent(QTimerEvent* e)
{
    WindowManager::Instance().TimerFired(hwnd_, e->timerId());
}

bool WindowBridge::eventFilter(QObject* watched, QEvent* e)
{
    WindowManager& wm = WindowManager::Instance();
    switch (e->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        HWND dialog = wm.DialogOf(hwnd_);
        if (!dialog) {
            break;
        }
        // The key goes where the keyboard focus is, which is not always the
        // widget that reports it (a key a child passed on to its parent).
        HWND focus = GetFocus();
        if (!focus || wm.DialogOf(focus) != dialog) {
            focus = hwnd_;
        }
        auto* k = static_cast<QKeyEvent*>(e);
        if (e->type() == QEvent::ShortcutOverride) {
            // A key the dialog manager takes is no application shortcut.
            if (wm.DialogKey(dialog, focus, *k, false)) {
                e->accept();
                return true;
            }
            break;
        }
        if (wm.DialogKey(dialog, focus, *k, true)) {
            return true;
        }
        break;
    }
    case QEvent::FocusIn:
        if (WindowRecord* r = wm.Find(hwnd_); r && watched == r->widget) {
            if (HWND dialog = wm.DialogOf(hwnd_); dialog && dialog != hwnd_) {
                wm.ShowDefaultFor(dialog, hwnd_);
            }
        }
        break;
    case QEvent::Close: {
        WindowRecord* r = wm.Find(hwnd_);
        // A host's own window closes as the host decides.
        if (r && watched == r->widget && r->widget->isWindow() && !r->destroying &&
            r->kind != WindowKind::Host) {
            // The close box: the window decides through WM_SYSCOMMAND/WM_CLOSE.
            e->ignore();
            wm.Send(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, e);
}

namespace {
// Outlives every window, so it is never deleted; it is made only when a
// window needs it, so a process that shows none never has one.
std::atomic<WindowManager*> g_manager{nullptr};
}  // namespace

WindowManager& WindowManager::Instance()
{
    static WindowManager* instance = [] {
        auto* manager = new WindowManager();
        g_manager = manager;
        return manager;
    }();
    return *instance;
}

WindowManager* WindowManager::IfExists() { return g_manager.load(); }

bool WindowManager::OnGuiThread() const
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool WindowManager::Decode(HWND hwnd, std::size_t& index) const
{
    auto v = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(hwnd));
    auto low = static_cast<std::uint32_t>(v & 0xFFFFFFFFu);
    auto gen = static_cast<std::uint32_t>(v >> 32);
    if (low == 0 || gen == 0 || low > slots_.size()) {
        return false;
    }
    index = low - 1;
    return slots_[index].generation == gen && slots_[index].record != nullptr;
}

HWND WindowManager::Register(std::unique_ptr<WindowRecord> record, HWND parent)
{
    QWidget* widget = record->widget;
    HWND hwnd = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::size_t index = 0;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            index = slots_.size();
            slots_.emplace_back();
        }
        Slot& slot = slots_[index];
        if (++slot.generation == 0) {
            slot.generation = 1;
        }
        hwnd = Encode(index, slot.generation);
        record->hwnd = hwnd;
        record->parent = parent;
        record->bridge = new WindowBridge(hwnd, widget);
        slot.record = std::move(record);
        byWidget_[widget] = hwnd;
    }
    if (WindowRecord* p = Find(parent)) {
        p->children.push_back(hwnd);
    }
    // A widget deleted from outside (its Qt parent went) takes its handle along.
    QObject::connect(widget, &QObject::destroyed, [hwnd] {
        WindowManager& wm = WindowManager::Instance();
        if (WindowRecord* r = wm.Find(hwnd)) {
            r->ownsWidget = false;
            r->widget = nullptr;
            r->bridge = nullptr;
            wm.Destroy(hwnd);
        }
    });
    return hwnd;
}

WindowRecord* WindowManager::Find(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t index = 0;
    if (!hwnd || !Decode(hwnd, index)) {
        return nullptr;
    }
    return slots_[index].record.get();
}

HWND WindowManager::HandleOf(const QWidget* widget)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = byWidget_.find(widget);
    return it == byWidget_.end() ? nullptr : it->second;
}

bool WindowManager::Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t index = 0;
    if (!hwnd || !Decode(hwnd, index)) {
        return false;
    }
    WindowRecord& r = *slots_[index].record;
    if (r.destroying || !r.bridge) {
        return false;
    }
    // Under the lock: the bridge cannot be deleted before the event is queued,
    // and Qt drops queued events of a deleted object.
    QCoreApplication::postEvent(r.bridge, new MessageEvent(hwnd, msg, wParam, lParam));
    return true;
}

LRESULT WindowManager::Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!OnGuiThread()) {
        return 0;
    }
    WindowRecord* r = Find(hwnd);
    if (!r) {
        return 0;
    }
    if (r->wnd) {
        return r->wnd->WindowProc(msg, wParam, lParam);
    }
    return ClassProc(hwnd, msg, wParam, lParam);
}

LRESULT WindowManager::ClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WindowRecord* r = Find(hwnd);
    if (!r) {
        return 0;
    }
    switch (msg) {
    case WM_SETTEXT: {
        const auto* text = reinterpret_cast<const wchar_t*>(lParam);
        r->text = text ? text : L"";
        ShowTextInWidget(*r);
        return TRUE;
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(CurrentText(*r).size());
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<wchar_t*>(lParam);
        if (!buffer || wParam == 0) {
            return 0;
        }
        std::wstring text = CurrentText(*r);
        std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
        std::copy_n(text.data(), n, buffer);
        buffer[n] = L'\0';
        return static_cast<LRESULT>(n);
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            Send(hwnd, WM_CLOSE, 0, 0);
        }
        return 0;
    default:
        break;
    }
    if (r->kind == WindowKind::Dialog) {
        return DialogProc(*r, msg, wParam, lParam);
    }
    if (msg == WM_CLOSE) {
        if (!(r->style & WS_CHILD)) {
            Destroy(hwnd);
        }
        return 0;
    }
    return ControlProc(*r, msg, wParam, lParam);
}

LRESULT WindowManager::DialogProc(WindowRecord& r, UINT msg, WPARAM, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE: {
        // The close box acts as the Cancel button, unless that is disabled.
        HWND cancel = GetDlgItem(r.hwnd, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel)) {
            return 0;
        }
        Send(r.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    default:
        return 0;
    }
}

LRESULT WindowManager::ControlProc(WindowRecord& r, UINT msg, WPARAM wParam, LPARAM lParam)
{
    QWidget* w = r.widget;
    if (!w) {
        return 0;
    }
    switch (r.kind) {
    case WindowKind::CheckBox:
    case WindowKind::RadioButton:
    case WindowKind::PushButton: {
        auto* b = static_cast<QAbstractButton*>(w);
        auto* check = r.kind == WindowKind::CheckBox ? static_cast<QCheckBox*>(w) : nullptr;
        switch (msg) {
        case BM_GETCHECK:
            if (check) {
                return check->checkState() == Qt::Checked            ? BST_CHECKED
                       : check->checkState() == Qt::PartiallyChecked ? BST_INDETERMINATE
                                                                     : BST_UNCHECKED;
            }
            return b->isCheckable() && b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
        case BM_SETCHECK:
            if (check) {
                check->setCheckState(wParam == BST_CHECKED         ? Qt::Checked
                                     : wParam == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                                   : Qt::Unchecked);
            } else if (b->isCheckable()) {
                b->setChecked(wParam == BST_CHECKED);
            }
            return 0;
        case BM_GETSTATE:
            return (b->isDown() ? 0x4 : 0) | (b->hasFocus() ? 0x8 : 0) |
                   static_cast<LRESULT>(ControlProc(r, BM_GETCHECK, 0, 0));
        case BM_SETSTATE:
            b->setDown(wParam != 0);
            return 0;
        case BM_CLICK:
            b->click();
            return 0;
        case BM_SETSTYLE:
            if (r.kind == WindowKind::PushButton) {
                r.style = (r.style & ~BS_TYPEMASK) | (static_cast<DWORD>(wParam) & BS_TYPEMASK);
                static_cast<QPushButton*>(w)->setDefault((r.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
            }
            return 0;
        default:
            return 0;
        }
    }
    case WindowKind::Progress: {
        auto* bar = static_cast<QProgressBar*>(w);
        auto apply = [&] {
            r.pbPos = std::clamp(r.pbPos, std::min(r.pbMin, r.pbMax), std::max(r.pbMin, r.pbMax));
            bar->setRange(std::min(r.pbMin, r.pbMax), std::max(r.pbMin, r.pbMax));
            bar->setValue(r.pbPos);
        };
        switch (msg) {
        case PBM_SETRANGE: {
            LRESULT old = MAKELPARAM(static_cast<unsigned>(r.pbMin), static_cast<unsigned>(r.pbMax));
            r.pbMin = LOWORD(static_cast<std::uintptr_t>(lParam));
            r.pbMax = HIWORD(static_cast<std::uintptr_t>(lParam));
            apply();
            return old;
        }
        case PBM_SETRANGE32: {
            LRESULT old = MAKELPARAM(static_cast<unsigned>(r.pbMin), static_cast<unsigned>(r.pbMax));
            r.pbMin = static_cast<int>(wParam);
            r.pbMax = static_cast<int>(lParam);
            apply();
            return old;
        }
        case PBM_GETRANGE:
            return wParam ? r.pbMin : r.pbMax;
        case PBM_SETPOS: {
            int old = r.pbPos;
            r.pbPos = static_cast<int>(wParam);
            apply();
            return old;
        }
        case PBM_DELTAPOS: {
            int old = r.pbPos;
            r.pbPos += static_cast<int>(wParam);
            apply();
            return old;
        }
        case PBM_GETPOS:
            return r.pbPos;
        case PBM_SETSTEP: {
            int old = r.pbStep;
            r.pbStep = static_cast<int>(wParam);
            return old;
        }
        case PBM_STEPIT: {
            int old = r.pbPos;
            r.pbPos += r.pbStep;
            // Past the end the bar starts over, as the common control does.
            if (r.pbPos > std::max(r.pbMin, r.pbMax)) {
                r.pbPos = std::min(r.pbMin, r.pbMax) + (r.pbPos - std::max(r.pbMin, r.pbMax));
            }
            apply();
            return old;
        }
        default:
            return 0;
        }
    }
    case WindowKind::Edit:
    case WindowKind::MultiLineEdit:
        if (msg == EM_SETREADONLY) {
            if (r.kind == WindowKind::Edit) {
                static_cast<QLineEdit*>(w)->setReadOnly(wParam != 0);
            } else {
                static_cast<QPlainTextEdit*>(w)->setReadOnly(wParam != 0);
            }
            r.style = wParam ? (r.style | ES_READONLY) : (r.style & ~ES_READONLY);
            return TRUE;
        }
        if (msg == EM_SETSEL && r.kind == WindowKind::Edit) {
            auto* e = static_cast<QLineEdit*>(w);
            int start = static_cast<int>(wParam);
            int end = static_cast<int>(lParam);
            if (start < 0) {
                e->deselect();
            } else {
                int len = static_cast<int>(e->text().size());
                end = end < 0 ? len : std::min(end, len);
                e->setSelection(start, end - start);
            }
            return 0;
        }
        if (msg == EM_GETLINECOUNT && r.kind == WindowKind::MultiLineEdit) {
            return static_cast<QPlainTextEdit*>(w)->blockCount();
        }
        return 0;
    default:
        return 0;
    }
}

void WindowManager::DestroyTree(HWND hwnd, std::vector<std::unique_ptr<WindowRecord>>& removed)
{
    WindowRecord* r = Find(hwnd);
    if (!r || r->destroying) {
        return;
    }
    r->destroying = true;
    // Parents hear WM_DESTROY before their children, WM_NCDESTROY after them.
    Send(hwnd, WM_DESTROY, 0, 0);
    r = Find(hwnd);
    std::vector<HWND> children = r->children;
    for (HWND child : children) {
        DestroyTree(child, removed);
    }
    Send(hwnd, WM_NCDESTROY, 0, 0);
    r = Find(hwnd);
    if (r->bridge) {
        for (auto& [id, qtId] : r->timers) {
            r->bridge->killTimer(qtId);
        }
    }
    r->timers.clear();
    if (r->dialog && r->dialog->loop) {
        r->dialog->loop->exit(0); // a modal loop ends with its window
        r->dialog->loop = nullptr;
    }
    std::unique_ptr<WindowRecord> record;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::size_t index = 0;
        Decode(hwnd, index);
        record = std::move(slots_[index].record);
        free_.push_back(index);
        for (auto it = byWidget_.begin(); it != byWidget_.end();) {
            it = it->second == hwnd ? byWidget_.erase(it) : std::next(it);
        }
    }
    if (WindowRecord* p = Find(record->parent)) {
        std::erase(p->children, hwnd);
    }
    if (CWnd* w = record->wnd) {
        record->wnd = nullptr;
        w->m_hWnd = nullptr;
        w->PostNcDestroy();
    }
    if (record->permanent) {
        record->permanent->m_hWnd = nullptr;
    }
    removed.push_back(std::move(record));
}

bool WindowManager::Destroy(HWND hwnd)
{
    WindowRecord* top = Find(hwnd);
    if (!top || top->destroying) {
        return false;
    }
    std::vector<std::unique_ptr<WindowRecord>> removed;
    DestroyTree(hwnd, removed);
    // Widgets go after the current event is over: the caller may be one of
    // their own signal handlers. Children go with their parent widget.
    for (auto& record : removed) {
        QWidget* w = record->widget;
        if (!w) {
            continue;
        }
        if (!record->ownsWidget) {
            if (record->bridge) {
                w->removeEventFilter(record->bridge);
                record->bridge->deleteLater();
            }
            continue;
        }
        bool parentGoes = std::any_of(removed.begin(), removed.end(), [&](const auto& other) {
            return other.get() != record.get() && other->widget && other->ownsWidget &&
                   other->widget->isAncestorOf(w);
        });
        if (!parentGoes) {
            w->hide();
            w->deleteLater();
        }
    }
    return true;
}

HWND WindowManager::DialogOf(HWND hwnd)
{
    for (WindowRecord* r = Find(hwnd); r; r = Find(r->parent)) {
        if (r->kind == WindowKind::Dialog) {
            return r->hwnd;
        }
    }
    return nullptr;
}

namespace {

bool TakesCharacters(const WindowRecord* r)
{
    return r && (r->kind == WindowKind::Edit || r->kind == WindowKind::MultiLineEdit ||
                 r->kind == WindowKind::Plain || r->kind == WindowKind::Host);
}

bool CanTakeFocus(HWND hwnd)
{
    const long style = GetWindowLongW(hwnd, GWL_STYLE);
    return (style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

// The character a key types for mnemonics (Alt+letter or the plain
// letter), folded for comparison; 0 for other keys.
QChar MnemonicKey(const QKeyEvent& key, bool& withAlt)
{
    const Qt::KeyboardModifiers mods = key.modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    withAlt = mods == Qt::AltModifier;
    if (mods != Qt::NoModifier && !withAlt) {
        return {};
    }
    QChar c;
    if (key.key() > 0 && key.key() < 0xFFFF && QChar(key.key()).isLetterOrNumber()) {
        c = QChar(key.key());
    } else if (key.text().size() == 1 && key.text()[0].isLetterOrNumber()) {
        c = key.text()[0];
    }
    return c.toCaseFolded();
}

} // namespace

bool WindowManager::DialogKey(HWND dialog, HWND focus, const QKeyEvent& key, bool perform)
{
    const int qtKey = key.key();
    WindowRecord* f = Find(focus);
    const bool plain = (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && qtKey == Qt::Key_Escape) {
        if (perform) {
            HWND cancel = GetDlgItem(dialog, IDCANCEL);
            Send(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        }
        return true;
    }
    if (plain && (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter)) {
        if (f && f->kind == WindowKind::MultiLineEdit && (f->style & ES_WANTRETURN)) {
            return false;
        }
        if (!perform) {
            return true;
        }
        int id = 0;
        HWND button = nullptr;
        if (f && f->kind == WindowKind::PushButton && f->hwnd != dialog) {
            id = f->id;
            button = focus;
        } else {
            id = GetDefID(dialog);
            button = GetDlgItem(dialog, id);
        }
        if (button && !IsWindowEnabled(button)) {
            return true; // a disabled default button ignores Enter
        }
        Send(dialog, WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED),
             reinterpret_cast<LPARAM>(button));
        return true;
    }

    // Mnemonics: Alt with the letter, or the letter alone where the focus
    // takes no characters.
    bool withAlt = false;
    const QChar typed = MnemonicKey(key, withAlt);
    if (typed.isNull() || (!withAlt && f && f->hwnd != dialog && TakesCharacters(f))) {
        return false;
    }
    WindowRecord* d = Find(dialog);
    if (!d) {
        return false;
    }
    const std::vector<HWND> items = d->children;
    const auto focusAt = std::find(items.begin(), items.end(), focus);
    const std::size_t start = focusAt == items.end() ? 0 : static_cast<std::size_t>(focusAt - items.begin()) + 1;
    for (std::size_t n = 0; n < items.size(); ++n) {
        const std::size_t at = (start + n) % items.size();
        WindowRecord* c = Find(items[at]);
        if (!c || !c->widget || !IsWindowVisible(c->hwnd) || !IsWindowEnabled(c->hwnd)) {
            continue;
        }
        const bool labelled = c->kind == WindowKind::PushButton || c->kind == WindowKind::CheckBox ||
                              c->kind == WindowKind::RadioButton || c->kind == WindowKind::GroupBox ||
                              (c->kind == WindowKind::Static && !(c->style & SS_NOPREFIX));
        const wchar_t m = labelled ? MnemonicOf(c->text) : 0;
        if (m == 0 || QChar(static_cast<char16_t>(m)).toCaseFolded() != typed) {
            continue;
        }
        if (!perform) {
            return true;
        }
        const HWND item = c->hwnd;
        switch (c->kind) {
        case WindowKind::PushButton:
            SendMessage(item, BM_CLICK, 0, 0);
            break;
        case WindowKind::CheckBox:
        case WindowKind::RadioButton:
            qz::platform::SetFocus(item);
            SendMessage(item, BM_CLICK, 0, 0);
            break;
        default:
            // A label's letter leads to the control after it.
            for (std::size_t k = 1; k < items.size(); ++k) {
                const HWND next = items[(at + k) % items.size()];
                if (CanTakeFocus(next)) {
                    qz::platform::SetFocus(next);
                    break;
                }
            }
            break;
        }
        return true;
    }
    return false;
}

void WindowManager::ShowDefaultFor(HWND dialog, HWND focus)
{
    WindowRecord* d = Find(dialog);
    WindowRecord* f = Find(focus);
    if (!d || !d->dialog) {
        return;
    }
    const bool onButton = f && f->kind == WindowKind::PushButton && f->parent == dialog;
    const int defId = GetDefID(dialog);
    const std::vector<HWND> items = d->children;
    for (HWND child : items) {
        WindowRecord* c = Find(child);
        if (!c || c->kind != WindowKind::PushButton) {
            continue;
        }
        const bool drawnDefault = onButton ? child == focus : c->id == defId;
        if (((c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) != drawnDefault) {
            SendMessage(child, BM_SETSTYLE, drawnDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        }
    }
}

void WindowManager::TimerFired(HWND hwnd, int qtTimerId)
{
    WindowRecord* r = Find(hwnd);
    if (!r) {
        return;
    }
    for (const auto& [id, qtId] : r->timers) {
        if (qtId == qtTimerId) {
            Send(hwnd, WM_TIMER, id, 0);
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// The public functions.

bool EnsureGuiApplication()
{
    if (QCoreApplication* app = QCoreApplication::instance()) {
        return qobject_cast<QApplication*>(app) != nullptr;
    }
    // Without a platform chosen and without a display, Qt would abort.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return false;
    }
    // The dialogs scale themselves by the screen's DPI, as DPI-aware Windows
    // programs do; Qt must not scale them a second time.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING")) {
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    }
    static int argc = 1;
    static char name[] = "QzAutoUpdate";
    static char* argv[] = {name, nullptr};
    // Qt sets every locale category from the environment; the host's choice
    // of, say, LC_NUMERIC "C" must survive its first dialog.
    const char* current = std::setlocale(LC_ALL, nullptr);
    const std::string hostLocale = current ? current : "C";
    static QApplication* app = new QApplication(argc, argv); // kept for the process
    std::setlocale(LC_ALL, hostLocale.c_str());
    return app != nullptr;
}

bool IsWindow(HWND hwnd)
{
    return WindowManager::Instance().Find(hwnd) != nullptr;
}

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return WindowManager::Instance().Post(hwnd, msg, wParam, lParam);
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return WindowManager::Instance().Send(hwnd, msg, wParam, lParam);
}

void DispatchPendingMessages()
{
    if (!WindowManager::Instance().OnGuiThread()) {
        return;
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool DestroyWindow(HWND hwnd)
{
    if (!WindowManager::Instance().OnGuiThread()) {
        return false;
    }
    return WindowManager::Instance().Destroy(hwnd);
}

namespace {

// A mirrored window (WS_EX_LAYOUTRTL) measures its children's x from its
// right edge, as Windows does: code keeps thinking left to right and only
// the widgets' places are flipped. The width to flip against, else -1.
int MirrorWidth(const QWidget* window)
{
    if (!window) {
        return -1;
    }
    WindowManager& wm = WindowManager::Instance();
    const WindowRecord* r = wm.Find(wm.HandleOf(window));
    return r && (r->exStyle & WS_EX_LAYOUTRTL) ? window->width() : -1;
}

int MirrorX(const QWidget* window, int x)
{
    const int width = MirrorWidth(window);
    return width < 0 ? x : width - x;
}

}  // namespace

HWND CreateWindowExW(DWORD exStyle, const std::wstring& className, const std::wstring& text, DWORD style,
                     int x, int y, int cx, int cy, HWND parent, int id)
{
    if (!EnsureGuiApplication()) {
        return nullptr;
    }
    QWidget* parentWidget = nullptr;
    if (parent) {
        parentWidget = WidgetOf(parent);
        if (!parentWidget) {
            return nullptr;
        }
    }
    auto record = MakeControl(className, 0, text, style, exStyle, id, parentWidget);
    if (const int mirror = MirrorWidth(parentWidget); mirror >= 0) {
        x = mirror - x - std::max(cx, 0);
    }
    record->widget->setGeometry(x, y, std::max(cx, 0), std::max(cy, 0));
    QWidget* w = record->widget;
    const bool defaultButton = record->kind == WindowKind::PushButton && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    HWND hwnd = WindowManager::Instance().Register(std::move(record), parentWidget ? parent : nullptr);
    if (WindowRecord* p = WindowManager::Instance().Find(parent);
        defaultButton && p && p->dialog && p->dialog->defId == 0) {
        p->dialog->defId = id;
    }
    ConnectNotifications(hwnd);
    w->setVisible((style & WS_VISIBLE) != 0);
    return hwnd;
}

bool ShowWindow(HWND hwnd, int cmdShow)
{
    QWidget* w = WidgetOf(hwnd);
    if (!w) {
        return false;
    }
    bool wasVisible = !w->isHidden();
    switch (cmdShow) {
    case SW_HIDE:
        w->hide();
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        w->showMinimized();
        break;
    case SW_SHOWMAXIMIZED:
        w->showMaximized();
        break;
    case SW_RESTORE:
        w->showNormal();
        break;
    default:
        w->show();
        break;
    }
    return wasVisible;
}

bool IsWindowVisible(HWND hwnd)
{
    QWidget* w = WidgetOf(hwnd);
    return w && w->isVisible();
}

bool EnableWindow(HWND hwnd, bool enable)
{
    QWidget* w = WidgetOf(hwnd);
    if (!w) {
        return false;
    }
    bool wasDisabled = !IsWindowEnabled(hwnd);
    w->setEnabled(enable);
    if (wasDisabled == enable) {
        SendMessage(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
    }
    return wasDisabled;
}

bool IsWindowEnabled(HWND hwnd)
{
    QWidget* w = WidgetOf(hwnd);
    if (!w) {
        return false;
    }
    // The window's own state, not its parent's, as WS_DISABLED.
    return w->parentWidget() && !w->isWindow() ? w->isEnabledTo(w->parentWidget()) : w->isEnabled();
}

bool SetForegroundWindow(HWND hwnd)
{
    QWidget* w = WidgetOf(hwnd);
    if (!w) {
        return false;
    }
    w->window()->activateWindow();
    return true;
}

bool BringWindowToTop(HWND hwnd)
{
    QWidget* w = WidgetOf(hwnd);
    if (!w) {
        return false;
    }
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

HWND SetFocus(HWND hwnd)
{
    HWND previous = GetFocus();
    if (QWidget* w = WidgetOf(hwnd)) {
        w->setFocus(Qt::OtherFocusReason);
        // Qt says FocusIn only in the active window; the look changes anyway.
        WindowManager& wm = WindowManager::Instance();
        if (HWND dialog = wm.DialogOf(hwnd); dialog && dialog != hwnd) {
            wm.ShowDefaultFor(dialog, hwnd);
        }
    }
    return previous;
}

HWND GetFocus()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return nullptr;
    }
    QWidget* f = QApplication::focusWidget();
    if (!f) {
        QWidget* top = QApplication::activeModalWidget();
        if (!top) {
            top = QApplication::activeWindow();
        }
        f = top ? top->focusWidget() : nullptr;
    }
    for (; f; f = f->parentWidget()) {
        if (HWND h = WindowManager::Instance().HandleOf(f)) {
            return h;
        }
    }
    return nullptr;
}

bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    WindowManager& wm = WindowManager::Instance();
    WindowRecord* r = wm.Find(hwnd);
    if (!r || !r->widget) {
        return false;
    }
    QWidget* w = r->widget;
    if (!(flags & SWP_NOZORDER)) {
        WindowRecord* p = wm.Find(r->parent);
        std::vector<HWND>* siblings = p ? &p->children : nullptr;
        auto moveInList = [&](std::ptrdiff_t pos) {
            if (!siblings) {
                return;
            }
            std::erase(*siblings, hwnd);
            pos = std::clamp<std::ptrdiff_t>(pos, 0, static_cast<std::ptrdiff_t>(siblings->size()));
            siblings->insert(siblings->begin() + pos, hwnd);
        };
        if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
            if (w->isWindow() && insertAfter != HWND_TOP) {
                bool visible = w->isVisible();
                w->setWindowFlag(Qt::WindowStaysOnTopHint, insertAfter == HWND_TOPMOST);
                if (visible) {
                    w->show();
                }
            }
            moveInList(0);
            w->raise();
        } else if (insertAfter == HWND_BOTTOM) {
            moveInList(siblings ? static_cast<std::ptrdiff_t>(siblings->size()) : 0);
            w->lower();
        } else if (WindowRecord* a = wm.Find(insertAfter);
                   a && a->widget && a->parent == r->parent && insertAfter != hwnd) {
            if (siblings) {
                std::erase(*siblings, hwnd);
                auto it = std::find(siblings->begin(), siblings->end(), insertAfter);
                siblings->insert(it == siblings->end() ? it : it + 1, hwnd);
            }
            w->stackUnder(a->widget);
        }
    }
    const int mirror = w->isWindow() ? -1 : MirrorWidth(w->parentWidget());
    const int logicalX = (flags & SWP_NOMOVE) ? mirror - w->x() - w->width() : x;
    const int oldWidth = w->width();
    if (!(flags & SWP_NOMOVE)) {
        w->move(mirror >= 0 ? mirror - x - ((flags & SWP_NOSIZE) ? w->width() : std::max(cx, 0)) : x, y);
        SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<unsigned>(x), static_cast<unsigned>(y)));
    }
    if (!(flags & SWP_NOSIZE)) {
        int width = std::max(cx, 0);
        int height = std::max(cy, 0);
        if (w->isWindow()) {
            // Windows sizes include the frame; Qt sizes the client area.
            width = std::max(0, width - (w->frameGeometry().width() - w->width()));
            height = std::max(0, height - (w->frameGeometry().height() - w->height()));
            if (w->minimumSize() == w->maximumSize()) {
                w->setFixedSize(width, height);
            }
        }
        w->resize(width, height);
        if (mirror >= 0) {
            w->move(mirror - logicalX - w->width(), w->y());
        }
        // The children of a mirrored window keep their distance from its
        // right edge.
        if (const int grown = w->width() - oldWidth; grown != 0 && (r->exStyle & WS_EX_LAYOUTRTL)) {
            for (HWND child : r->children) {
                if (QWidget* c = WidgetOf(child); c && !c->isWindow()) {
                    c->move(c->x() + grown, c->y());
                }
            }
        }
        SendMessage(hwnd, WM_SIZE, 0,
                    MAKELPARAM(static_cast<unsigned>(w->width()), static_cast<unsigned>(w->height())));
    }
    if (flags & SWP_SHOWWINDOW) {
        w->show();
    } else if (flags & SWP_HIDEWINDOW) {
        w->hide();
    }
    return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int cx, int cy, bool repaint)
{
    bool ok = SetWindowPos(hwnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
    if (ok && repaint) {
        InvalidateRect(hwnd, nullptr, true);
    }
    return ok;
}

bool GetWindowRect(HWND hwnd, RECT* rect)
{
    QWidget* w = WidgetOf(hwnd);
    if (!w || !rect) {
        return false;
    }
    QRect g = w->isWindow() ? w->frameGeometry() : QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
    *rect = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    return true;
}

bool GetClientRect(HWND hwnd, RECT* rect)
{
    QWidget* w = WidgetOf(hwnd);
    if (!w || !rect) {
        return false;
    }
    *rect = RECT{0, 0, w->width(), w->height()};
    return true;
}

bool ScreenToClient(HWND hwnd, POINT* point)
{
    QWidget* w = WidgetOf(hwnd);
    if (!w || !point) {
        return false;
    }
    QPoint p = w->mapFromGlobal(QPoint(point->x, point->y));
    *point = POINT{MirrorX(w, p.x()), p.y()};
    return true;
}

bool ClientToScreen(HWND hwnd, POINT* point)
{
    QWidget* w = WidgetOf(hwnd);
    if (!w || !point) {
        return false;
    }
    QPoint p = w->mapToGlobal(QPoint(MirrorX(w, point->x), point->y));
    *point = POINT{p.x(), p.y()};
    return true;
}

bool MapWindowRect(HWND from, HWND to, RECT* rect)
{
    if (!rect) {
        return false;
    }
    POINT a{rect->left, rect->top};
    POINT b{rect->right, rect->bottom};
    if (from && (!ClientToScreen(from, &a) || !ClientToScreen(from, &b))) {
        return false;
    }
    if (to && (!ScreenToClient(to, &a) || !ScreenToClient(to, &b))) {
        return false;
    }
    // Through a mirrored window the corners trade sides.
    *rect = RECT{std::min(a.x, b.x), a.y, std::max(a.x, b.x), b.y};
    return true;
}

bool SetWindowTextW(HWND hwnd, const std::wstring& text)
{
    if (!IsWindow(hwnd)) {
        return false;
    }
    return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

std::wstring GetWindowTextW(HWND hwnd)
{
    if (!IsWindow(hwnd)) {
        return {};
    }
    auto length = static_cast<std::size_t>(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0));
    std::wstring buffer(length + 1, L'\0');
    auto copied = static_cast<std::size_t>(
        SendMessage(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data())));
    buffer.resize(std::min(copied, length));
    return buffer;
}

HWND GetParent(HWND hwnd)
{
    WindowRecord* r = WindowManager::Instance().Find(hwnd);
    if (!r) {
        return nullptr;
    }
    return r->parent ? r->parent : r->owner;
}

HWND GetWindow(HWND hwnd, UINT relation)
{
    WindowManager& wm = WindowManager::Instance();
    WindowRecord* r = wm.Find(hwnd);
    if (!r) {
        return nullptr;
    }
    if (relation == GW_CHILD) {
        return r->children.empty() ? nullptr : r->children.front();
    }
    if (relation == GW_OWNER) {
        return r->owner;
    }
    WindowRecord* p = wm.Find(r->parent);
    if (!p) {
        return relation == GW_HWNDFIRST || relation == GW_HWNDLAST ? hwnd : nullptr;
    }
    const std::vector<HWND>& s = p->children;
    auto it = std::find(s.begin(), s.end(), hwnd);
    switch (relation) {
    case GW_HWNDFIRST:
        return s.front();
    case GW_HWNDLAST:
        return s.back();
    case GW_HWNDNEXT:
        return it == s.end() || it + 1 == s.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV:
        return it == s.begin() || it == s.end() ? nullptr : *(it - 1);
    default:
        return nullptr;
    }
}

std::vector<HWND> GetChildWindows(HWND hwnd)
{
    WindowRecord* r = WindowManager::Instance().Find(hwnd);
    return r ? r->children : std::vector<HWND>{};
}

bool EnumChildWindows(HWND hwnd, const std::function<bool(HWND)>& fn)
{
    for (HWND child : GetChildWindows(hwnd)) {
        if (!IsWindow(child)) {
            continue;
        }
        if (!fn(child) || !EnumChildWindows(child, fn)) {
            return false;
        }
    }
    return true;
}

HWND GetDlgItem(HWND dialog, int id)
{
    WindowManager& wm = WindowManager::Instance();
    WindowRecord* r = wm.Find(dialog);
    if (!r) {
        return nullptr;
    }
    for (HWND child : r->children) {
        WindowRecord* c = wm.Find(child);
        if (c && c->id == id) {
            return child;
        }
    }
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd)
{
    WindowRecord* r = WindowManager::Instance().Find(hwnd);
    return r ? r->id : 0;
}

bool SetDlgItemTextW(HWND dialog, int id, const std::wstring& text)
{
    return SetWindowTextW(GetDlgItem(dialog, id), text);
}

std::wstring GetDlgItemTextW(HWND dialog, int id)
{
    return GetWindowTextW(GetDlgItem(dialog, id));
}

bool CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        return false;
    }
    SendMessage(item, BM_SETCHECK, check, 0);
    return true;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? static_cast<UINT>(SendMessage(item, BM_GETCHECK, 0, 0)) : 0;
}

long GetWindowLongW(HWND hwnd, int index)
{
    WindowRecord* r = WindowManager::Instance().Find(hwnd);
    if (!r) {
        return 0;
    }
    switch (index) {
    case GWL_STYLE: {
        DWORD style = r->style & ~(WS_VISIBLE | WS_DISABLED);
        if (r->widget && !r->widget->isHidden()) {
            style |= WS_VISIBLE;
        }
        if (!IsWindowEnabled(hwnd)) {
            style |= WS_DISABLED;
        }
        return static_cast<long>(style);
    }
    case GWL_EXSTYLE:
        return static_cast<long>(r->exStyle);
    case GWL_ID:
        return r->id;
    default:
        return 0;
    }
}

long SetWindowLongW(HWND hwnd, int index, long value)
{
    WindowRecord* r = WindowManager::Instance().Find(hwnd);
    if (!r) {
        return 0;
    }
    long old = GetWindowLongW(hwnd, index);
    if (index == GWL_STYLE) {
        r->style = static_cast<DWORD>(value);
        if (r->widget) {
            r->widget->setVisible((r->style & WS_VISIBLE) != 0);
            r->widget->setEnabled((r->style & WS_DISABLED) == 0);
        }
    } else if (index == GWL_EXSTYLE) {
        r->exStyle = static_cast<DWORD>(value);
    } else if (index == GWL_ID) {
        r->id = static_cast<int>(value);
    }
    return old;
}

bool InvalidateRect(HWND hwnd, const RECT* rect, bool)
{
    QWidget* w = WidgetOf(hwnd);
    if (!w) {
        return false;
    }
    if (rect) {
        w->update(QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top));
    } else {
        w->update();
    }
    return true;
}

bool EndDialog(HWND dialog, int result)
{
    WindowRecord* r = WindowManager::Instance().Find(dialog);
    if (!r || !r->dialog) {
        return false;
    }
    DialogState& d = *r->dialog;
    if (d.ended) {
        return true; // the first code stays
    }
    d.ended = true;
    d.result = result;
    if (r->widget) {
        r->widget->hide();
    }
    if (d.loop) {
        d.loop->exit(0);
    }
    return true;
}

int GetDefID(HWND dialog)
{
    WindowRecord* r = WindowManager::Instance().Find(dialog);
    if (!r || !r->dialog) {
        return 0;
    }
    // The style bits cannot tell: the focused push button carries them too.
    return r->dialog->defId ? r->dialog->defId : IDOK;
}

bool SetDefID(HWND dialog, int id)
{
    WindowManager& wm = WindowManager::Instance();
    WindowRecord* r = wm.Find(dialog);
    if (!r || !r->dialog) {
        return false;
    }
    r->dialog->defId = id;
    // A push button with the focus keeps looking like the default.
    wm.ShowDefaultFor(dialog, GetFocus());
    return true;
}

POINT GetDialogBaseUnits(HWND dialog)
{
    WindowRecord* r = WindowManager::Instance().Find(dialog);
    if (!r || !r->dialog) {
        return POINT{8, 16};
    }
    return r->dialog->baseUnits;
}

bool MapDialogRect(HWND dialog, RECT* rect)
{
    WindowRecord* r = WindowManager::Instance().Find(dialog);
    if (!r || !r->dialog || !rect) {
        return false;
    }
    POINT b = r->dialog->baseUnits;
    *rect = RECT{MulDiv(rect->left, b.x, 4), MulDiv(rect->top, b.y, 8), MulDiv(rect->right, b.x, 4),
                 MulDiv(rect->bottom, b.y, 8)};
    return true;
}

int GetWrappedTextHeight(HWND hwnd, int width)
{
    QWidget* widget = WidgetOf(hwnd);
    const std::wstring text = GetWindowTextW(hwnd);
    if (!widget || text.empty()) {
        return 0;
    }
    const QFontMetrics metrics(widget->font());
    return metrics
        .boundingRect(QRect(0, 0, std::max(1, width), 1 << 20), Qt::TextWordWrap | Qt::TextHideMnemonic,
                      QString::fromStdWString(text))
        .height();
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs)
{
    WindowManager& wm = WindowManager::Instance();
    WindowRecord* r = wm.Find(hwnd);
    if (!r || !r->bridge || !wm.OnGuiThread()) {
        return 0;
    }
    auto it = r->timers.find(id);
    if (it != r->timers.end()) {
        r->bridge->killTimer(it->second);
        r->timers.erase(it);
    }
    // Windows raises intervals below 10 ms to 10 ms.
    int qtId = r->bridge->startTimer(static_cast<int>(std::clamp<UINT>(elapseMs, 10, 0x7FFFFFFF)));
    if (qtId == 0) {
        return 0;
    }
    r->timers[id] = qtId;
    return id;
}

bool KillTimer(HWND hwnd, UINT_PTR id)
{
    WindowRecord* r = WindowManager::Instance().Find(hwnd);
    if (!r || !r->bridge) {
        return false;
    }
    auto it = r->timers.find(id);
    if (it == r->timers.end()) {
        return false;
    }
    r->bridge->killTimer(it->second);
    r->timers.erase(it);
    return true;
}

namespace {

struct DeviceContext {
    HWND hwnd = nullptr;
};

std::mutex g_dcMutex;
std::set<const void*> g_dcs;

HDC NewDC(HWND hwnd)
{
    auto* dc = new DeviceContext{hwnd};
    std::lock_guard<std::mutex> lock(g_dcMutex);
    g_dcs.insert(dc);
    return reinterpret_cast<HDC>(dc);
}

bool FreeDC(HDC dc)
{
    {
        std::lock_guard<std::mutex> lock(g_dcMutex);
        if (!g_dcs.erase(dc)) {
            return false;
        }
    }
    delete reinterpret_cast<DeviceContext*>(dc);
    return true;
}

} // namespace

HDC CreateDCW(const wchar_t* driver)
{
    if (!driver || std::wstring(driver) != L"DISPLAY") {
        return nullptr;
    }
    if (g_dpiOverride.load() == 0 && !EnsureGuiApplication()) {
        return nullptr;
    }
    return NewDC(nullptr);
}

HDC GetDC(HWND hwnd)
{
    if (hwnd && !IsWindow(hwnd)) {
        return nullptr;
    }
    return NewDC(hwnd);
}

int ReleaseDC(HWND, HDC dc)
{
    return FreeDC(dc) ? 1 : 0;
}

bool DeleteDC(HDC dc)
{
    return FreeDC(dc);
}

namespace {

const char kWidgetDpi[] = "qzDialogDpi";

} // namespace

void SetWidgetDpi(QWidget* window, int dpi)
{
    if (window) {
        window->setProperty(kWidgetDpi, dpi > 0 ? QVariant(dpi) : QVariant());
    }
}

int ScreenDpiFor(const QWidget* widget)
{
    // A dialog built for a DPI keeps it, so its fonts, images and positions
    // agree whatever the screen says.
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (const int dpi = w->property(kWidgetDpi).toInt(); dpi > 0) {
            return dpi;
        }
        if (w->isWindow()) {
            break;
        }
    }
    if (int o = g_dpiOverride.load()) {
        return o;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return 96;
    }
    QScreen* screen = widget ? widget->screen() : nullptr;
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen ? qRound(screen->logicalDotsPerInchY()) : 96;
}

int GetDeviceCaps(HDC dc, int index)
{
    const DeviceContext* context = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_dcMutex);
        if (!g_dcs.count(dc)) {
            return 0;
        }
        context = reinterpret_cast<const DeviceContext*>(dc);
    }
    if (index != LOGPIXELSX && index != LOGPIXELSY) {
        return 0;
    }
    return ScreenDpiFor(context->hwnd ? WidgetOf(context->hwnd) : nullptr);
}

void SetDisplayDpiOverride(int dpi)
{
    g_dpiOverride.store(dpi > 0 ? dpi : 0);
}

HWND HandleFromHostWindow(void* qwidget)
{
    return HandleFromWidget(static_cast<QWidget*>(qwidget), true);
}

HWND HandleFromWidget(QWidget* widget, bool attachHost)
{
    if (!widget) {
        return nullptr;
    }
    WindowManager& wm = WindowManager::Instance();
    if (HWND h = wm.HandleOf(widget)) {
        return h;
    }
    if (!attachHost) {
        return nullptr;
    }
    auto record = std::make_unique<WindowRecord>();
    record->widget = widget;
    record->kind = WindowKind::Host;
    record->ownsWidget = false;
    record->style = widget->isWindow() ? WS_POPUP : WS_CHILD;
    return wm.Register(std::move(record), nullptr);
}

QWidget* WidgetFromHandle(HWND hwnd)
{
    return WidgetOf(hwnd);
}

HWND AdoptWidget(QWidget* widget, HWND parent, int id, DWORD style, DWORD exStyle)
{
    WindowManager& wm = WindowManager::Instance();
    if (!widget || wm.HandleOf(widget) || (parent && !wm.Find(parent))) {
        return nullptr;
    }
    if (parent) {
        widget->setParent(wm.Find(parent)->widget);
    }
    auto record = std::make_unique<WindowRecord>();
    record->widget = widget;
    record->kind = WindowKind::Plain;
    record->style = style | (parent ? WS_CHILD : 0);
    record->exStyle = exStyle;
    record->id = id;
    return wm.Register(std::move(record), parent);
}

} // namespace qz::platform
