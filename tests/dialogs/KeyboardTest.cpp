// The keyboard in every dialog of the product: each row is a dialog in a
// state, the keys a user types there, and how the dialog ends.
#include "BaseDlgTestSupport.h"

#include "dialogs/CRMViewer.h"
#include "dialogs/DlgInstall.h"
#include "dialogs/DlgProgress.h"
#include "dialogs/DlgUpdate.h"
#include "dialogs/res/resource.h"
#include "support/RecordingHost.h"
#include "support/ScriptedSteps.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

using namespace qz::platform;

namespace {

enum class Dlg { Update, Progress, Install, Viewer, Box };
enum class State { Shown, Waiting, PatchAvailable, NoPatch, Downloading, CheckFailed };

// How a dialog that is still open after the keys stands.
constexpr std::intptr_t kOpen = 100;
constexpr std::intptr_t kOpenWorking = 101; // the progress dialog runs a step again

struct Key {
    int code;
    Qt::KeyboardModifiers modifiers;
    char16_t letter;
};
const Key kEnter{Qt::Key_Return, Qt::NoModifier, 0};
const Key kEscape{Qt::Key_Escape, Qt::NoModifier, 0};
Key Alt(char16_t letter)
{
    return {QChar(letter).toUpper().unicode(), Qt::AltModifier, letter};
}
Key Letter(char16_t letter)
{
    return {QChar(letter).toUpper().unicode(), Qt::NoModifier, letter};
}

struct Row {
    Dlg dialog;
    State state;
    std::vector<Key> keys;
    std::intptr_t expected;
    const wchar_t* language = L"en_GB";
    UINT boxType = 0;
    bool dontShowAgain = false;
};

void Type(const Key& key)
{
    ASSERT_TRUE(qz::test::TypeKey(key.code, key.modifiers, key.letter ? QString(QChar(key.letter)) : QString()));
}

std::intptr_t RunDialog(const Row& row, qz::test::RecordingHost& host, bool& dontShowAgain)
{
    // The steps do nothing; the test sends what they would answer.
    qz::test::ScriptedSteps steps;
    std::unique_ptr<CBaseDlg> dialog;
    switch (row.dialog) {
    case Dlg::Update:
        dialog = std::make_unique<CDlgUpdate>(&host, steps, nullptr);
        break;
    case Dlg::Progress:
        dialog = std::make_unique<CDlgProgress>(&host, steps, nullptr);
        break;
    case Dlg::Install:
        dialog = std::make_unique<CDlgInstall>(&host, nullptr);
        break;
    default:
        dialog = std::make_unique<CCRMViewer>(&host, nullptr);
        break;
    }
    const std::intptr_t result = qz::test::RunModal(*dialog, [&](CDialog& d) {
        // The messages the workflow would send on the way to the state.
        switch (row.state) {
        case State::PatchAvailable:
        case State::NoPatch:
            d.SendMessage(WM_UPDATE_QUERY_DONE, row.state == State::PatchAvailable ? 1 : 0);
            break;
        case State::CheckFailed:
            d.SendMessage(WM_UPDATE_CRM_DONE);
            d.SendMessage(WM_UPDATE_DOWNLOAD_DONE, 0, 1);
            d.SendMessage(WM_UPDATE_CHECK_DONE, 0);
            break;
        case State::Downloading:
            d.SendMessage(WM_UPDATE_CRM_DONE);
            break;
        default:
            break;
        }
        for (const Key& key : row.keys) {
            if (IsWindowVisible(d.m_hWnd))
                Type(key);
        }
        if (IsWindowVisible(d.m_hWnd)) {
            auto* progress = dynamic_cast<CDlgProgress*>(&d);
            d.EndDialog(progress && progress->IsWorking() ? kOpenWorking : kOpen);
        }
    });
    if (auto* update = dynamic_cast<CDlgUpdate*>(dialog.get()))
        dontShowAgain = update->IsDontShowAgain();
    return result;
}

std::intptr_t RunBox(const Row& row)
{
    bool open = false;
    std::function<void()> act = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(0, QCoreApplication::instance(), act);
            return;
        }
        for (const Key& key : row.keys) {
            if (box->isVisible())
                Type(key);
        }
        open = box->isVisible();
        if (open)
            box->done(0);
    };
    QTimer::singleShot(0, QCoreApplication::instance(), act);
    const int answer = MessageBoxW(nullptr, L"Replace the downloaded file?", L"Keys", row.boxType);
    return open ? kOpen : answer;
}

const char* Name(Dlg dialog)
{
    static const char* const names[] = {"update", "progress", "install", "viewer", "box"};
    return names[static_cast<int>(dialog)];
}

TEST(KeyboardTest, EveryDialogAnswersEnterEscapeAndItsLetters)
{
    ASSERT_TRUE(qz::test::RequireDialogGui());
    const Row rows[] = {
        // The default button is the highlighted one in every state.
        {Dlg::Update, State::PatchAvailable, {kEnter}, 0},
        {Dlg::Update, State::PatchAvailable, {kEscape}, 1},
        {Dlg::Update, State::PatchAvailable, {Alt(u'l')}, 1},
        {Dlg::Update, State::PatchAvailable, {Alt(u'p')}, 0},
        {Dlg::Update, State::PatchAvailable, {Letter(u'l')}, 1},
        {Dlg::Update, State::PatchAvailable, {Alt(u'd'), kEnter}, 0, L"en_GB", 0, true},
        {Dlg::Update, State::PatchAvailable, {Alt(u's')}, 1, L"de_DE"}, // "&Später aktualisieren"
        {Dlg::Update, State::Waiting, {kEnter}, 1},
        {Dlg::Update, State::NoPatch, {kEnter}, 1},
        {Dlg::Update, State::NoPatch, {Alt(u'c')}, 1},
        // Cancelling a download waits for the step; a second Cancel ends it.
        {Dlg::Progress, State::Downloading, {kEscape}, kOpen},
        {Dlg::Progress, State::Downloading, {kEscape, kEscape}, 2},
        // After a failed check "Yes" is highlighted: Enter downloads again.
        {Dlg::Progress, State::CheckFailed, {kEnter}, kOpenWorking},
        {Dlg::Progress, State::CheckFailed, {Alt(u'y')}, kOpenWorking},
        {Dlg::Progress, State::CheckFailed, {Alt(u'n')}, 2},
        {Dlg::Progress, State::CheckFailed, {kEscape}, 2},
        {Dlg::Install, State::Shown, {kEnter}, 8},
        {Dlg::Install, State::Shown, {kEscape}, 7},
        {Dlg::Install, State::Shown, {Alt(u'i')}, 9},
        {Dlg::Install, State::Shown, {Letter(u'i')}, 9},
        {Dlg::Install, State::Shown, {Alt(u'u')}, 8},
        {Dlg::Install, State::Shown, {Alt(u'c')}, 7},
        {Dlg::Install, State::Shown, {kEnter}, 8, L"ja_JP"},
        {Dlg::Install, State::Shown, {Alt(u'i')}, 9, L"ja_JP"}, // "...(&I)"
        {Dlg::Install, State::Shown, {Alt(u'b')}, 9, L"de_DE"},
        {Dlg::Install, State::Shown, {Alt(u'у')}, 9, L"ru_RU"}, // Cyrillic "&Установить ..."
        {Dlg::Viewer, State::Shown, {kEnter}, 1},
        {Dlg::Viewer, State::Shown, {kEscape}, 2},
        {Dlg::Viewer, State::Shown, {Alt(u'c')}, 1},
        // Message boxes: the MB_DEFBUTTONn button has the focus; Escape
        // answers Cancel, or OK when that is the only button.
        {Dlg::Box, State::Shown, {kEnter}, IDYES, L"en_GB", MB_YESNO},
        {Dlg::Box, State::Shown, {kEnter}, IDNO, L"en_GB", MB_YESNO | MB_DEFBUTTON2},
        {Dlg::Box, State::Shown, {kEscape}, kOpen, L"en_GB", MB_YESNO},
        {Dlg::Box, State::Shown, {kEscape}, IDOK, L"en_GB", MB_OK},
        {Dlg::Box, State::Shown, {kEscape}, IDCANCEL, L"en_GB", MB_OKCANCEL},
        {Dlg::Box, State::Shown, {kEnter}, IDCANCEL, L"en_GB", MB_OKCANCEL | MB_DEFBUTTON2},
    };
    for (const Row& row : rows) {
        qz::test::RecordingHost host;
        host.programLanguage = row.language;
        host.texts["GetSkinFolder"] = QZ_SKIN_DIR L"/";
        host.bools["IsDontShowAgainVisible"] = true;
        qz::test::ScopedCurrentConfiguration current(&host);
        SCOPED_TRACE(std::string(Name(row.dialog)) + " state " + std::to_string(static_cast<int>(row.state)) +
                     " key " + std::to_string(row.keys.front().code) + " language " +
                     QString::fromWCharArray(row.language).toStdString());
        bool dontShowAgain = false;
        const std::intptr_t result = row.dialog == Dlg::Box ? RunBox(row) : RunDialog(row, host, dontShowAgain);
        EXPECT_EQ(result, row.expected);
        EXPECT_EQ(dontShowAgain, row.dontShowAgain);
    }
}

} // namespace
