// The library's only export.
#include "platform/ModuleState.h"
#include "update/Actions.h"

extern "C" __attribute__((visibility("default"))) std::uint32_t DoAction(
    QzAutoUpdate::CUpdateConfiguration2* configuration, std::uint32_t action)
{
    AFX_MANAGE_STATE(qz::platform::AfxGetStaticModuleState());
    return qz::update::DispatchAction(configuration, action);
}
