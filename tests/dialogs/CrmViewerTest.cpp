// The CRM viewer shows the host's data file line by line, whatever the file
// holds, with the default skin and without one.
#include "BaseDlgTestSupport.h"

#include "dialogs/CRMViewer.h"
#include "dialogs/res/resource.h"
#include "platform/window/WindowQt.h"
#include "support/RecordingHost.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include <filesystem>

using namespace qz::platform;
using qz::test::RecordingHost;

namespace {

struct Shown {
    std::wstring text;     // the edit's window text
    QString displayed;     // what the text box draws
    std::intptr_t result = 0;
};

class CrmViewerTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(qz::test::RequireDialogGui());
        if (GetParam()) {
            host.texts["GetSkinFolder"] = QZ_SKIN_DIR L"/";
        } else {
            const std::wstring keep = qz::test::WriteTempFile("no-skin/.keep", "");
            host.texts["GetSkinFolder"] = std::filesystem::path(keep).parent_path().wstring() + L"/";
        }
    }

    // Opens the viewer on `file` (null: the host names none) and closes it
    // with its button.
    Shown View(const wchar_t* file, QzAutoUpdate::CUpdateConfiguration2* configuration = nullptr)
    {
        host.crmFiles[0] = file;
        CCRMViewer viewer(configuration ? configuration : &host, nullptr);
        Shown shown;
        shown.result = qz::test::RunModal(viewer, [&](CDialog& d) {
            shown.text = d.GetDlgItemText(IDC_EDIT_CRM);
            auto* box = qobject_cast<QPlainTextEdit*>(WidgetFromHandle(GetDlgItem(d.m_hWnd, IDC_EDIT_CRM)));
            EXPECT_NE(box, nullptr);
            shown.displayed = box ? box->toPlainText() : QString();
            qz::test::ClickItem(d.m_hWnd, IDOK);
        });
        return shown;
    }

    RecordingHost host;
};

TEST_P(CrmViewerTest, AnyFileIsShownLineByLine)
{
    const std::wstring crlf = qz::test::WriteTempFile("crlf.txt", "first line\r\nsecond line\r\n\r\nlast");
    Shown shown = View(crlf.c_str());
    EXPECT_EQ(shown.result, IDOK);
    EXPECT_EQ(shown.text, L"first line\r\nsecond line\r\n\r\nlast");
    EXPECT_EQ(shown.displayed, QStringLiteral("first line\nsecond line\n\nlast"));
    EXPECT_EQ(host.ArgumentsOf("GetCrmFilePath").size(), 1u);

    // Written on Linux: LF line ends and UTF-8.
    const std::wstring lf = qz::test::WriteTempFile("lf.txt", "a=1\nb=M\xC3\xBCller \xE6\x9D\xB1\n");
    EXPECT_EQ(View(lf.c_str()).text, L"a=1\r\nb=M\u00FCller \u6771\r\n");

    std::string longLine;
    for (int i = 0; i < 600; ++i)
        longLine += static_cast<char>('0' + i % 10);
    const std::wstring longFile = qz::test::WriteTempFile("long.txt", longLine + "\r\nnext\r\n");
    shown = View(longFile.c_str());
    EXPECT_EQ(shown.text, std::wstring(longLine.begin(), longLine.end()) + L"\r\nnext\r\n");
    EXPECT_EQ(shown.displayed.section(QLatin1Char('\n'), 0, 0).size(), 600);

    // Binary, empty and missing files are shown safely.
    std::string binary("head\0\0\x01\x02tail\r\x1Bz", 15);
    for (int i = 0; i < 256; ++i)
        binary += static_cast<char>(i);
    const std::wstring binaryFile = qz::test::WriteTempFile("blob.bin", binary);
    shown = View(binaryFile.c_str());
    EXPECT_EQ(shown.result, IDOK);
    EXPECT_EQ(shown.text.find(L'\0'), std::wstring::npos);
    EXPECT_EQ(CCRMViewer::ReadCrmText(binaryFile).rfind(L"head\xFFFD\xFFFD\xFFFD\xFFFDtail\r\xFFFDz", 0), 0u);
    // Nothing after the zero bytes is lost.
    EXPECT_TRUE(shown.displayed.startsWith(QStringLiteral("head")));
    EXPECT_TRUE(shown.displayed.contains(QStringLiteral("tail")));

    const std::wstring empty = qz::test::WriteTempFile("empty.txt", "");
    EXPECT_EQ(View(empty.c_str()).text, L"");
    EXPECT_EQ(View(L"/nonexistent/qz/crm.txt").text, L"");
    shown = View(nullptr);
    EXPECT_EQ(shown.text, L"");
    EXPECT_EQ(shown.result, IDOK);

    // Without a configuration the box stays empty and Escape closes with 2.
    CCRMViewer bare(nullptr, nullptr);
    EXPECT_TRUE(bare.GetCrmFile().GetPath().empty());
    std::wstring text = L"unset";
    EXPECT_EQ(qz::test::RunModal(bare,
                                 [&](CDialog& d) {
                                     text = d.GetDlgItemText(IDC_EDIT_CRM);
                                     qz::test::TypeKey(Qt::Key_Escape);
                                 }),
              IDCANCEL);
    EXPECT_EQ(text, L"");
}

INSTANTIATE_TEST_SUITE_P(Skins, CrmViewerTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "DefaultSkin" : "NoSkin";
                         });

} // namespace
