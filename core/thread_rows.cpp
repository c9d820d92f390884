// The rows of the threads in the module's scopes. A thread takes a row on its first scope and
// gives it up when it ends (DLL_THREAD_DETACH), so that rows serve the threads alive now: under
// Wine identifiers are not reused, and a process that starts threads for years must not run out.
#include "core/thread_rows.h"

#include <utility>

#include "core/locks.h"

namespace quillpost::thread_rows {

ThreadRow g_rows[kThreadRows] = {};

namespace {

// The system's wait on an address (Windows 8 and later; Wine), looked up when first needed, never
// under the loader lock. Where it is missing, a callback polls.
using WaitOnAddressCall = BOOL(WINAPI*)(volatile void*, void*, SIZE_T, DWORD);
using WakeByAddressCall = void(WINAPI*)(void*);
WaitOnAddressCall g_waitOnAddress = nullptr;
WakeByAddressCall g_wakeByAddressAll = nullptr;
LONG g_waitLookedUp = 0;

void LookUpWaitOnAddress()
{
    if (InterlockedCompareExchange(&g_waitLookedUp, 1, 0) != 0) return;
    const HMODULE kernelBase = GetModuleHandleW(L"kernelbase.dll");
    if (!kernelBase) return;
    const auto wait = reinterpret_cast<WaitOnAddressCall>(reinterpret_cast<void*>(GetProcAddress(kernelBase, "WaitOnAddress")));
    const auto wake =
        reinterpret_cast<WakeByAddressCall>(reinterpret_cast<void*>(GetProcAddress(kernelBase, "WakeByAddressAll")));
    if (!wait || !wake) return;
    InterlockedExchangePointer(reinterpret_cast<void**>(&g_wakeByAddressAll), reinterpret_cast<void*>(wake));
    InterlockedExchangePointer(reinterpret_cast<void**>(&g_waitOnAddress), reinterpret_cast<void*>(wait));
}

// What a callback does with the giver's handle: waits for its end, suspends it and reads its
// context. GetThreadContext asks for THREAD_QUERY_INFORMATION too under WOW64, where a 32-bit host
// runs on 64-bit Windows.
constexpr DWORD kGiverRights =
    SYNCHRONIZE | THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION | THREAD_QUERY_LIMITED_INFORMATION;

void CloseGiver(ThreadRow& row)
{
    if (HANDLE giver = std::exchange(row.giver, nullptr)) CloseHandle(giver);
}

}  // namespace

ThreadRow* RowOf(DWORD threadId)
{
    for (ThreadRow& row : g_rows) {
        if (static_cast<DWORD>(row.id) == threadId) return &row;
    }
    return nullptr;
}

ThreadRow* ThisThreadsRow()
{
    const DWORD self = GetCurrentThreadId();
    if (ThreadRow* row = RowOf(self)) return row;
    for (ThreadRow& row : g_rows) {
        if (InterlockedCompareExchange(&row.id, static_cast<LONG>(self), 0) == 0) return &row;
    }
    return nullptr;
}

void ReleaseThisThreadsRow()
{
    ThreadRow* row = RowOf(GetCurrentThreadId());
    if (!row || Read(row->depth) != 0) return;
    SrwExclusive locked(row->lock);
    if (Read(row->pending) != 0) return;
    CloseGiver(*row);
    // A callback that took this thread's references stops reading the row's depth once it sees
    // the tenure move: whoever takes the row next is a stranger to it.
    InterlockedIncrement(&row->tenure);
    InterlockedExchange(&row->id, 0);
}

bool CountGivenBack(ThreadRow& row)
{
    SrwExclusive locked(row.lock);
    // A giver still running with this row's identifier is this thread; one that has ended gave
    // its references back before it ended, and this thread's look covers them too.
    if (!row.giver || WaitForSingleObject(row.giver, 0) == WAIT_OBJECT_0) {
        CloseGiver(row);
        HANDLE self = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self,
                             kGiverRights,
                             FALSE, 0))
            return false;
        row.giver = self;
    }
    InterlockedIncrement(&row.pending);
    return true;
}

LONG ClaimWaiting(ThreadRow& row, bool forPool)
{
    SrwExclusive locked(row.lock);
    const LONG seen = Read(row.pending);
    if (seen == 0 || (seen & kHandedToPool)) return 0;
    InterlockedExchange(&row.pending, forPool ? seen | kHandedToPool : 0);
    if (!forPool) CloseGiver(row);
    return seen;
}

LONG TakeForCallback(ThreadRow& row, HANDLE* giver, LONG* tenure)
{
    SrwExclusive locked(row.lock);
    *giver = std::exchange(row.giver, nullptr);
    *tenure = Read(row.tenure);
    return InterlockedExchange(&row.pending, 0) & ~kHandedToPool;
}

bool InScopes(const ThreadRow& row, LONG tenure)
{
    const bool inScopes = Read(row.depth) != 0 || Read(row.leaving) != 0;
    // Read after the depth: a stranger's depth can only be seen once the tenure has moved.
    return inScopes && Read(row.tenure) == tenure;
}

void LeaveLastScope(ThreadRow& row)
{
    // The wake is a call out of the image that returns into it: the mark covers it, from before
    // the depth reaches 0 until after the call has returned.
    InterlockedExchange(&row.leaving, 1);
    InterlockedDecrement(&row.depth);
    // The wake is set before any callback counts itself a waiter.
    if (Read(row.waiters) != 0 && g_wakeByAddressAll) g_wakeByAddressAll(&row.depth);
    InterlockedExchange(&row.leaving, 0);
}

void WaitForDepthChange(ThreadRow& row, LONG seen)
{
    LookUpWaitOnAddress();
    InterlockedIncrement(&row.waiters);
    if (g_waitOnAddress)
        g_waitOnAddress(&row.depth, &seen, sizeof(seen), INFINITE);
    else
        Sleep(1);
    InterlockedDecrement(&row.waiters);
}

}  // namespace quillpost::thread_rows
