// What a host gets when it implements only the eight operations without default.
#include "support/RecordingHost.h"

#include <gtest/gtest.h>


namespace {

class MinimalHost : public QzAutoUpdate::CUpdateConfiguration2 {
public:
    const wchar_t* GetCrmFilePath(bool) override { return nullptr; }
    const wchar_t* GetProgramName() override { return L"Minimal"; }
    const wchar_t* GetPatchServiceUrl() override { return L"http://127.0.0.1/"; }
    const wchar_t* GetProgramLanguage() override { return L"de-DE"; }
    const wchar_t* GetProgramVersion() override { return L"2.0"; }
    const wchar_t* GetSerialNumber() override { return L"S"; }
    void AddFile(const wchar_t*, QzAutoUpdate::InstallerKind) override {}
    void Log(const wchar_t*) override {}
};

TEST(HostDefaults, EveryDefaultOfTheInterface)
{
    MinimalHost host;
    QzAutoUpdate::CUpdateConfiguration2& c = host;
    EXPECT_TRUE(c.IsCrmOptionVisible());
    EXPECT_TRUE(c.GetSendCrmDefault());
    EXPECT_TRUE(c.UseDownloadNotifications());
    EXPECT_TRUE(c.IsInteractive());
    EXPECT_TRUE(c.IsInstallDialogEnabled());
    EXPECT_EQ(c.GetSkinFolder(), nullptr);
    EXPECT_EQ(c.GetDownloadFolder(), nullptr);
    EXPECT_STREQ(c.GetPatchFileName(), L"QzUpdate.exe");
    EXPECT_STREQ(c.GetProductName(), L"Minimal");
    EXPECT_NE(std::wstring(c.GetCrmRedirectUrl()).find(L"/redirects/crm/crm.php3"), std::wstring::npos);
    EXPECT_EQ(std::wstring(c.GetCrmRedirectUrl()).rfind(L"http://", 0), 0u);
    EXPECT_FALSE(c.SendSerialNumber());
    EXPECT_FALSE(c.IsCancelled());
    EXPECT_TRUE(c.UseWorkerThreads());
    EXPECT_EQ(c.GetParentWindow(), nullptr);
    EXPECT_TRUE(c.IsDontShowAgainVisible());
    EXPECT_EQ(c.GetPlatform(), 2);
}

}  // namespace
