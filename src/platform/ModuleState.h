// The module state of the library: which module's resources and settings the
// current thread works with. A host may load several modules built on this
// layer; each call into the library switches to its own state and restores
// the caller's on the way out, also when unwinding.
#pragma once

namespace qz::platform {

/// Per-module state. Resource look-ups consult the current thread's state.
struct ModuleState {
    const char* moduleName;
};

/// The state of this library.
ModuleState* AfxGetStaticModuleState();

/// The state the current thread works with; the library's own when none was set.
ModuleState* AfxGetModuleState();

/// Makes a module state current for the lifetime of the object.
class ModuleStateScope {
public:
    explicit ModuleStateScope(ModuleState* state);
    ~ModuleStateScope();
    ModuleStateScope(const ModuleStateScope&) = delete;
    ModuleStateScope& operator=(const ModuleStateScope&) = delete;

private:
    ModuleState* previous_;
};

}  // namespace qz::platform

#define AFX_MANAGE_STATE(state) ::qz::platform::ModuleStateScope qzModuleStateScope_(state)
