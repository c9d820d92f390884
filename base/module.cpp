// The module's handle, its lock count and the loader references its windows hold.
#include "base/module.h"

namespace quillpost {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_locks = 0;
LONG g_runningScopes = 0;  // ModuleHold scopes on any thread

// Long enough for a thread that has just left its last scope to return out of our image.
constexpr DWORD kReturnGraceMs = 50;

// Runs on a pool thread with the reference still held; the pool drops it after we returned.
void CALLBACK GiveBackModuleReference(PTP_CALLBACK_INSTANCE callback, void*)
{
    // This pool thread may wait as long as a modal loop of ours runs; the host's threads never do.
    CallbackMayRunLong(callback);
    while (InterlockedCompareExchange(&g_runningScopes, 0, 0) != 0) Sleep(1);
    Sleep(kReturnGraceMs);
    FreeLibraryWhenCallbackReturns(callback, ModuleInstance());
}

}  // namespace

HINSTANCE ModuleInstance() { return g_instance; }
void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }
void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }
LONG ModuleLockCount() { return InterlockedCompareExchange(&g_locks, 0, 0); }

ModuleHold::ModuleHold()
{
    LockModule();
    InterlockedIncrement(&g_runningScopes);
}

ModuleHold::~ModuleHold()
{
    InterlockedDecrement(&g_runningScopes);
    UnlockModule();
}

void AcquireModuleReference()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&g_instance), &self);
}

void ReleaseModuleReference()
{
    // Without a pool thread the reference stays: a module kept loaded is safe, one unmapped under
    // our feet is not.
    TrySubmitThreadpoolCallback(GiveBackModuleReference, nullptr, nullptr);
}

HRESULT GetModulePath(wchar_t* buffer, DWORD capacity)
{
    const DWORD length = GetModuleFileNameW(ModuleInstance(), buffer, capacity);
    if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (length >= capacity) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

}  // namespace quillpost
