// Module-wide state: the DLL's handle and the count that decides whether it may unload.
#pragma once

#include <windows.h>

namespace quillpost {

HINSTANCE ModuleInstance();

// Every live object, class-factory lock and loaded window holds one count.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

}  // namespace quillpost
