// Module-wide state: the DLL's handle, the count that decides whether it may unload, and the
// loader reference that keeps its code mapped while a window of it exists.
#pragma once

#include <windows.h>

namespace quillpost {

HINSTANCE ModuleInstance();
// Called once, from the module's entry point, before anything else of the module runs.
void SetModuleInstance(HINSTANCE instance);

// Every live object, class-factory lock, existing window and running message pump holds one count.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

// Holds the module for a scope that can pump messages (a modal loop, a window's handler, a
// browser's creation): the host's idle unload query answers "no" until the scope has ended, so
// no code of ours runs after the module may have been unloaded.
// It also counts the scope as running code of ours, which a loader reference given back waits
// for (see ReleaseModuleReference).
class ModuleHold {
public:
    ModuleHold();
    ModuleHold(const ModuleHold&) = delete;
    ModuleHold& operator=(const ModuleHold&) = delete;
    ~ModuleHold();
};

// A loader reference to this module, taken while a window whose procedure lies in it exists, so
// that a host that calls FreeLibrary itself cannot unmap the code under the window. Given back
// from a thread-pool callback that the pool frees the library after: never from our own code,
// which could not return into an unmapped image. The callback first waits until no thread runs
// in a ModuleHold scope, then a little longer: the window whose destruction gave the reference
// back is still returning through its procedure when the callback starts.
void AcquireModuleReference();
void ReleaseModuleReference();

// Full path of this module, for the type library and the registry.
HRESULT GetModulePath(wchar_t* buffer, DWORD capacity);

}  // namespace quillpost
