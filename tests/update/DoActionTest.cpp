// The export as a host meets it: the library is loaded with dlopen and
// DoAction looked up by its plain name.
#include "support/RecordingHost.h"

#include <algorithm>
#include <stdexcept>

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

using namespace QzAutoUpdate;
using qz::test::RecordingHost;

class DoActionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_ = dlopen(QZ_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        doAction_ = reinterpret_cast<DoActionFunction>(dlsym(library_, kDoActionSymbol));
        ASSERT_NE(doAction_, nullptr);
    }
    // Unloading after each test also checks that a library which showed no
    // window leaves nothing behind.
    void TearDown() override
    {
        if (library_)
            dlclose(library_);
    }

    void* library_ = nullptr;
    DoActionFunction doAction_ = nullptr;
};

TEST_F(DoActionTest, MissingConfigurationActionZeroUnknownActionsAndHiddenSymbols)
{
    EXPECT_EQ(doAction_(nullptr, kActionUpdate), kResultNoConfiguration);
    EXPECT_EQ(doAction_(nullptr, 0), kResultNoConfiguration);
    EXPECT_EQ(doAction_(nullptr, 77), kResultNoConfiguration);

    RecordingHost host;
    EXPECT_EQ(doAction_(&host, 0), kResultNoConfiguration);
    for (std::uint32_t action : {5u, 6u, 255u, 0xFFFFFFFFu})
        EXPECT_EQ(doAction_(&host, action), kResultUnknownAction) << action;
    // Neither rule may touch the host.
    EXPECT_TRUE(host.Calls().empty());

    // A host can reach nothing but the export, not even the dispatcher.
    EXPECT_EQ(dlsym(library_, "_ZN2qz6update14DispatchActionEPN12QzAutoUpdate21CUpdateConfiguration2Ej"),
              nullptr);
    EXPECT_EQ(dlsym(library_, "_ZN2qz8platform9AfxGetAppEv"), nullptr);
}

// A host whose answers throw: the exception ends the action with a failure
// and a log line, and never reaches the host through the export.
class ThrowingHost : public RecordingHost {
  public:
    const wchar_t* GetPatchServiceUrl() override { throw std::runtime_error("the host's own fault"); }
};

TEST_F(DoActionTest, NothingButAResultCodeLeavesTheExport)
{
    for (const std::uint32_t action : {kActionCheck, kActionDownload}) {
        ThrowingHost host;
        std::uint32_t result = 0;
        EXPECT_NO_THROW(result = doAction_(&host, action)) << action;
        EXPECT_EQ(result, kResultFailed) << action;
        ASSERT_FALSE(host.LogLines().empty());
        EXPECT_EQ(host.LogLines().back(), L"DoAction(): action " + std::to_wstring(action) +
                                              L" ended by an unexpected error (the host's own fault).");
    }
    // On a worker, the check fails and the check-only flow reports nothing found.
    for (const bool threads : {true, false}) {
        ThrowingHost host;
        host.bools["IsInteractive"] = false;
        host.bools["UseWorkerThreads"] = threads;
        EXPECT_EQ(doAction_(&host, kActionUpdate), kResultSuccess);
        EXPECT_EQ(host.ArgumentsOf("SetPatchVersion"), std::vector<std::wstring>{L"0.0.0.0"});
        const auto lines = host.LogLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            L"CUpdater::RunWorker(): the step ended by an unexpected error (the host's own fault)."),
                  lines.end());
    }
}

}  // namespace
