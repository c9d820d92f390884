// Helpers for tests of the plug-in as a guest in the host's process: windows opened on threads
// of their own, and what the loader and COM see of the module.
#pragma once

#include <windows.h>

#include <functional>

#include "support/com_test.h"

namespace quillpost::testing {

// Creates Sample by its ProgID through COM, which then loads the module; nullptr on failure.
Microsoft::WRL::ComPtr<IDispatch> CreateByProgId();

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// The module as the host loads it itself, so that its FreeLibrary can be the last reference, and
// its class-object export; nullptr when either is missing.
GetClassObject LoadByHand(HMODULE* module);

// Makes Sample through the export and opens both its windows; the object is gone again after.
bool OpenBothThrough(GetClassObject getClassObject, HWND* viewer, HWND* about);

// Opens the viewer (Initialize) and the About window (Configure) through `sample`, from the
// calling thread; false when either does not appear.
bool OpenBothWindows(IDispatch* sample, HWND* viewer, HWND* about);

// The calling thread's one top-level window with this caption, or nullptr.
HWND ThisThreadsWindow(const wchar_t* caption);

// Whether the calling thread holds the loader lock, as it does inside DllMain.
bool HoldsLoaderLock();

// The loaded module's answer to the unload query, asked without taking a reference; E_FAIL when
// the module is not loaded.
HRESULT CanUnloadNowOfLoadedModule();

// Starts `body` on a new thread; the caller keeps `body` alive and waits for the handle.
HANDLE StartThread(std::function<void()>* body);

// Runs `body` on a new thread and waits for it while pumping; false if it did not end in time.
bool RunOnThread(const std::function<void()>& body, DWORD timeoutMilliseconds = 60000);

// The body of a thread that lets COM go as Windows' CoUninitialize does: it loads the module
// through COM, and once `opened` is set lets COM ask the unload query, notes the module's answer
// in `*answer` and gives COM's reference back whatever it was; then sets `freed`. The thread never
// ends: this process's COM keeps a record of a module that is gone, so its test needs a program
// of its own.
std::function<void()> ComThatLetsGo(HANDLE opened, HANDLE freed, HRESULT* answer);

// Waits, pumping, until Quillpost.dll is no longer mapped into the process.
bool WaitUntilModuleIsGone(DWORD timeoutMilliseconds = 5000);

}  // namespace quillpost::testing
