#include "update/CurrentConfiguration.h"

#include <atomic>

namespace qz::update {
namespace {
std::atomic<QzAutoUpdate::CUpdateConfiguration2*> current{nullptr};
}

QzAutoUpdate::CUpdateConfiguration2* GetCurrentConfiguration()
{
    return current.load();
}

void SetCurrentConfiguration(QzAutoUpdate::CUpdateConfiguration2* configuration)
{
    current.store(configuration);
}

}  // namespace qz::update
