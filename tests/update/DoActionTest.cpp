// The export as a host meets it: the library is loaded with dlopen and
// DoAction looked up by its plain name.
#include "support/RecordingHost.h"

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
    void TearDown() override
    {
        if (library_)
            dlclose(library_);
    }

    void* library_ = nullptr;
    DoActionFunction doAction_ = nullptr;
};

TEST_F(DoActionTest, MissingConfigurationActionZeroAndUnknownActions)
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
}

TEST_F(DoActionTest, InternalSymbolsStayHidden)
{
    // A host can reach nothing but the export, not even the dispatcher.
    EXPECT_EQ(dlsym(library_, "_ZN2qz6update14DispatchActionEPN12QzAutoUpdate21CUpdateConfiguration2Ej"),
              nullptr);
    EXPECT_EQ(dlsym(library_, "_ZN2qz8platform9AfxGetAppEv"), nullptr);
}

}  // namespace
