// DllMain and the module's lock count.
#include "component/module.h"

#include "component/apartment.h"

namespace quillpost {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_locks = 0;

}  // namespace

HINSTANCE ModuleInstance() { return g_instance; }
void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }
LONG ModuleLockCount() { return InterlockedCompareExchange(&g_locks, 0, 0); }

}  // namespace quillpost

// Runs under the loader lock: remember the handle and hand per-thread window instances
// back; everything else is created on first use.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        quillpost::g_instance = instance;
        return quillpost::StartApartments() ? TRUE : FALSE;
    case DLL_THREAD_DETACH:
        quillpost::ReleaseThisApartment();
        break;
    case DLL_PROCESS_DETACH:
        // At process exit (reserved set) the process is going away: free nothing.
        if (!reserved) quillpost::StopApartments();
        break;
    default:
        break;
    }
    return TRUE;
}
