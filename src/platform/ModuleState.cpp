#include "platform/ModuleState.h"

namespace qz::platform {
namespace {
ModuleState g_libraryState{"libQzAutoUpdate.so"};
thread_local ModuleState* t_current = nullptr;
}  // namespace

ModuleState* AfxGetStaticModuleState() { return &g_libraryState; }

ModuleState* AfxGetModuleState() { return t_current ? t_current : &g_libraryState; }

ModuleStateScope::ModuleStateScope(ModuleState* state) : previous_(t_current) { t_current = state; }

ModuleStateScope::~ModuleStateScope() { t_current = previous_; }

}  // namespace qz::platform
