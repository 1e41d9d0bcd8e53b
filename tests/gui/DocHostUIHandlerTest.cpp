// The document-host handler answers the embedded browser's questions.
#include "gui/DocHostUIHandler.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A handler that counts its notifications and its destruction.
class CountingHandler : public CQZDocHostUIHandler {
  public:
    explicit CountingHandler(int* destroyed = nullptr) : destroyed_(destroyed) {}
    ~CountingHandler() override
    {
        if (destroyed_) {
            ++*destroyed_;
        }
    }
    using CQZDocHostUIHandler::SetContextMenuMode;
    using CQZDocHostUIHandler::SetOptionKeyPath;
    int notifications = 0;
    qz::com::DWORD lastMenu = 99;

  protected:
    qz::com::HRESULT OnContextMenu(qz::com::DWORD menuId, std::int32_t, std::int32_t, qz::com::IDispatch*,
                                   std::int16_t* handled) override
    {
        ++notifications;
        lastMenu = menuId;
        EXPECT_EQ(*handled, 0);
        return qz::com::S_OK;
    }

  private:
    int* destroyed_;
};

TEST(DocHostUIHandlerTest, InterfacesAndReferenceCount)
{
    using namespace qz::com;
    int destroyed = 0;
    auto* handler = new CountingHandler(&destroyed);
    void* out = nullptr;
    EXPECT_EQ(handler->QueryInterface(IID_IDocHostUIHandler, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDocHostUIHandler*>(handler));
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, &out), S_OK);
    const IID other = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    out = handler;
    EXPECT_EQ(handler->QueryInterface(other, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(handler->AddRef(), 3u);
    EXPECT_EQ(handler->Release(), 2u);
    EXPECT_EQ(handler->Release(), 1u);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(handler->Release(), 0u);
    EXPECT_EQ(destroyed, 1);
}

TEST(DocHostUIHandlerTest, ContextMenuPolicy)
{
    using namespace qz::com;
    CountingHandler handler;
    POINT at{5, 7};
    // Mode 2, the initial one: only a text selection gets the browser's menu.
    EXPECT_EQ(handler.ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, nullptr), S_OK);
    EXPECT_EQ(handler.notifications, 0);
    EXPECT_EQ(handler.ShowContextMenu(CONTEXT_MENU_TEXTSELECT, &at, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(handler.notifications, 1);
    EXPECT_EQ(handler.lastMenu, CONTEXT_MENU_TEXTSELECT);

    handler.SetContextMenuMode(0);
    EXPECT_EQ(handler.ShowContextMenu(CONTEXT_MENU_TEXTSELECT, &at, nullptr, nullptr), S_OK);
    handler.SetContextMenuMode(1);
    EXPECT_EQ(handler.ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(handler.notifications, 1);
    handler.SetContextMenuMode(3);
    EXPECT_EQ(handler.ShowContextMenu(CONTEXT_MENU_DEFAULT, nullptr, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(handler.notifications, 2);
    handler.SetContextMenuMode(17);
    EXPECT_EQ(handler.ShowContextMenu(CONTEXT_MENU_TEXTSELECT, &at, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(handler.notifications, 2);
}

TEST(DocHostUIHandlerTest, HostFlagsAndOptionKey)
{
    using namespace qz::com;
    CountingHandler handler;
    OLECHAR css[] = L"css";
    DOCHOSTUIINFO info{0, 0xFFFF, 0xFFFF, css, nullptr};
    handler.SetHostFlags(0x04);
    EXPECT_EQ(handler.GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, 0x04u);
    EXPECT_EQ(info.pchHostCss, css);

    EXPECT_EQ(handler.GetOptionKeyPath(nullptr, 0), E_INVALIDARG);
    OLECHAR* key = css;
    EXPECT_EQ(handler.GetOptionKeyPath(&key, 0), E_NOTIMPL);
    EXPECT_EQ(key, nullptr);
    handler.SetOptionKeyPath(L"Software\\Qz\\Browser");
    ASSERT_EQ(handler.GetOptionKeyPath(&key, 0), S_OK);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(std::wstring(key), L"Software\\Qz\\Browser");
    TaskMemFree(key);
}

} // namespace
