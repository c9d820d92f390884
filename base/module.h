// Module-wide state: the DLL's handle and the count that decides whether it may unload.
#pragma once

#include <windows.h>

namespace quillpost {

HINSTANCE ModuleInstance();
// Called once, from the module's entry point, before anything else of the module runs.
void SetModuleInstance(HINSTANCE instance);

// Every live object, class-factory lock and loaded window holds one count.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

// Full path of this module, for the type library and the registry.
HRESULT GetModulePath(wchar_t* buffer, DWORD capacity);

}  // namespace quillpost
