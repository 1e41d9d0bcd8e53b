// AskYesNo through the window system: a message box on the GUI thread, the
// answer No without one elsewhere.
#include "WindowTestSupport.h"
#include "platform/UserQuestion.h"
#include "platform/window/GuiQuestions.h"

#include <thread>

namespace qz::platform::test {
namespace {

class GuiQuestionsTest : public WindowTest {
  protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        InstallGuiQuestions();
        SetMessageBoxResponder([this](const std::wstring& text, const std::wstring&, UINT type) {
            ++boxes;
            lastText = text;
            lastType = type;
            return answer;
        });
    }
    void TearDown() override
    {
        SetMessageBoxResponder({});
        SetYesNoHandler({});
        WindowTest::TearDown();
    }

    int answer = IDNO;
    int boxes = 0;
    std::wstring lastText;
    UINT lastType = 0;
};

TEST_F(GuiQuestionsTest, GuiThreadShowsAYesNoBoxAndGetsTheUsersAnswer)
{
    answer = IDYES;
    EXPECT_TRUE(AskYesNo(L"Replace /tmp/patch.exe?"));
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(lastText, L"Replace /tmp/patch.exe?");
    EXPECT_EQ(lastType, MB_YESNO | MB_ICONQUESTION);

    answer = IDNO;
    EXPECT_FALSE(AskYesNo(L"Replace again?"));
    EXPECT_EQ(boxes, 2);

    // A box closed without an answer is not a Yes.
    answer = IDCANCEL;
    EXPECT_FALSE(AskYesNo(L"Closed?"));
    EXPECT_EQ(boxes, 3);

    // While a dialog runs, the box comes up over it and answers the same way.
    RecordingDialog dlg(IDD_TEST_DIALOG);
    bool asked = false;
    dlg.onInit = [&](RecordingDialog& d) {
        WhenIdle([&] {
            answer = IDYES;
            asked = AskYesNo(L"Inside the dialog?");
            d.EndDialog(IDOK);
        });
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(asked);
    EXPECT_EQ(boxes, 4);
}

TEST_F(GuiQuestionsTest, OtherThreadsGetNoWithoutABox)
{
    answer = IDYES;
    bool result = true;
    std::thread worker([&] { result = AskYesNo(L"From a worker?"); });
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(boxes, 0);
}

} // namespace
} // namespace qz::platform::test
