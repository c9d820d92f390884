// The module's handle and its lock count.
#include "base/module.h"

namespace quillpost {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_locks = 0;

}  // namespace

HINSTANCE ModuleInstance() { return g_instance; }
void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }
void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }
LONG ModuleLockCount() { return InterlockedCompareExchange(&g_locks, 0, 0); }

HRESULT GetModulePath(wchar_t* buffer, DWORD capacity)
{
    const DWORD length = GetModuleFileNameW(ModuleInstance(), buffer, capacity);
    if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (length >= capacity) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

}  // namespace quillpost
