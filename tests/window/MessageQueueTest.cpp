// Posted messages: order per thread, nothing lost, nothing delivered to a
// window that is gone, stale handles detected.
#include "WindowTestSupport.h"

#include <QCoreApplication>

#include <array>
#include <thread>

namespace qz::platform::test {
namespace {

using MessageQueueTest = WindowTest;

constexpr UINT WM_ITEM = WM_APP + 1;
constexpr UINT WM_SENDER_DONE = WM_APP + 2;
constexpr UINT WM_LATE = WM_APP + 3;
constexpr int kThreads = 4;
constexpr int kPerThread = 10000;

class QueueDialog : public CDialog {
  public:
    QueueDialog() : CDialog(IDD_PLAIN_DIALOG) {}

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        const HWND self = m_hWnd;
        for (int t = 0; t < kThreads; ++t) {
            senders.emplace_back([this, self, t] {
                for (int i = 0; i < kPerThread; ++i) {
                    if (!qz::platform::PostMessage(self, WM_ITEM, static_cast<WPARAM>(t), i)) {
                        ++postFailures[t];
                    }
                }
                qz::platform::PostMessage(self, WM_SENDER_DONE, static_cast<WPARAM>(t), kPerThread);
            });
        }
        return TRUE;
    }

    LRESULT OnItem(WPARAM thread, LPARAM seq)
    {
        if (seq != next[thread]) {
            ++outOfOrder;
        }
        next[thread] = seq + 1;
        ++received;
        return 0;
    }

    LRESULT OnSenderDone(WPARAM, LPARAM)
    {
        if (++doneSenders == kThreads) {
            EndDialog(IDOK);
        }
        return 0;
    }

    LRESULT OnLate(WPARAM, LPARAM)
    {
        ++lateMessages;
        return 0;
    }

    std::vector<std::thread> senders;
    std::array<LPARAM, kThreads> next{};
    std::array<int, kThreads> postFailures{};
    int received = 0;
    int outOfOrder = 0;
    int doneSenders = 0;
    int lateMessages = 0;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(QueueDialog, CDialog)
ON_MESSAGE(WM_ITEM, OnItem)
ON_MESSAGE(WM_SENDER_DONE, OnSenderDone)
ON_MESSAGE(WM_LATE, OnLate)
END_MESSAGE_MAP()

TEST_F(MessageQueueTest, FourThreadsPostInOrderAndNothingIsLost)
{
    QueueDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    for (std::thread& t : dlg.senders) {
        t.join();
    }
    EXPECT_EQ(dlg.received, kThreads * kPerThread);
    EXPECT_EQ(dlg.outOfOrder, 0);
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(dlg.postFailures[t], 0);
        EXPECT_EQ(dlg.next[t], kPerThread);
    }
}

TEST_F(MessageQueueTest, MessagesToAClosedWindowDoNothing)
{
    class Closing : public QueueDialog {
      public:
        BOOL OnInitDialog() override
        {
            CDialog::OnInitDialog();
            // Queued behind the end of the dialog: must never be handled.
            handle = m_hWnd;
            EXPECT_TRUE(qz::platform::PostMessage(m_hWnd, WM_LATE, 0, 0));
            EndDialog(IDCANCEL);
            return TRUE;
        }
        HWND handle = nullptr;
    };
    Closing dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.lateMessages, 0);
    EXPECT_FALSE(IsWindow(dlg.handle));
    EXPECT_FALSE(PostMessage(dlg.handle, WM_LATE, 0, 0));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(dlg.lateMessages, 0);
}

TEST_F(MessageQueueTest, StaleHandlesAreDetectedAfterTheSlotIsReused)
{
    HWND first = CreateWindowExW(0, L"Static", L"one", WS_VISIBLE, 0, 0, 10, 10, nullptr, 0);
    ASSERT_TRUE(IsWindow(first));
    EXPECT_TRUE(PostMessage(first, WM_NULL, 0, 0));
    EXPECT_TRUE(DestroyWindow(first));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(PostMessage(first, WM_NULL, 0, 0));
    EXPECT_FALSE(DestroyWindow(first));

    HWND second = CreateWindowExW(0, L"Static", L"two", WS_VISIBLE, 0, 0, 10, 10, nullptr, 0);
    ASSERT_TRUE(IsWindow(second));
    EXPECT_NE(first, second);
    // The old handle does not reach the new window in its old slot.
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(SetWindowTextW(first, L"hijacked"));
    EXPECT_EQ(GetWindowTextW(first), L"");
    EXPECT_EQ(GetWindowTextW(second), L"two");
    EXPECT_EQ(SendMessage(first, WM_GETTEXTLENGTH), 0);

    // SendMessage belongs to the window's thread; elsewhere it does nothing.
    LRESULT fromWorker = -1;
    std::thread worker([&] { fromWorker = SendMessage(second, WM_GETTEXTLENGTH); });
    worker.join();
    EXPECT_EQ(fromWorker, 0);
    EXPECT_EQ(SendMessage(second, WM_GETTEXTLENGTH), 3);
    DestroyWindow(second);
}

} // namespace
} // namespace qz::platform::test
