// The module's handle, its lock count and the loader references its windows and lent objects hold.
//
// When a loader reference is given back, it may be the last one: the library is then unmapped as
// soon as it is freed, and a thread still executing the module's code would return into nothing.
// Which thread can be executing it at that moment, without a reference that keeps it mapped?
//  - Every entry point that foreign code calls while only our references keep the module (window
//    procedures, the objects lent to controls and to COM) runs its whole body inside a ModuleHold
//    scope, taken first; and a reference is only ever given back inside such a scope, by the
//    window or object whose end it is. Other threads running our code do so for a window or
//    object that still holds its own reference, or for the host, which holds its own.
//  - So the one thread to wait for is the one that gave the reference back: until it has left
//    its outermost scope (its outer scopes may belong to the very window that is gone), and then
//    until it has left the image. After its last scope ends it runs only straight-line code of
//    the image (destructors of plain values, epilogues) and calls nothing before it returns to
//    code outside, so once its instruction pointer, read while it is suspended, lies outside the
//    image, it has left for good.
// The pool callback below waits for exactly that, and only then lets the pool free the library,
// after the callback itself has returned. One callback serves all that a thread gives back in one
// scope (a viewer's end gives back five).
//
// One asker spares the look: COM, asking the unload query before it frees the reference it took
// when it loaded us. Its reference outlives the answer, so none of ours can be the last; and a
// thread that asks from outside every scope of ours has left the scopes it gave references back
// in, and the image after them. So the query gives back that thread's references that no callback
// has been handed yet. And while COM holds its reference, nothing is lost by leaving references
// given back to its query, which comes before the module can go: they are handed to the pool only
// when the query agrees to an unload. So a host that ends COM on a viewer's thread, as one does
// on its way out, starts no pool thread and stops no thread: COM's own free unloads the module on
// the host's thread, before the host goes on to its exit.
#include "base/module.h"

#include <tlhelp32.h>

#include "base/raii.h"

namespace quillpost {
namespace {

HINSTANCE g_instance = nullptr;
DWORD_PTR g_imageStart = 0, g_imageEnd = 0;
LONG g_locks = 0;

// The process's exit takes the PEB lock before it ends the other threads (Windows and Wine alike).
// Holding it while another thread is suspended means that an exit cannot end this thread before
// it has resumed the other one, which would then stay suspended in the middle of its exit.
class ExitBarrier {
public:
    ExitBarrier()
    {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        acquire_ = reinterpret_cast<PebLockCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlAcquirePebLock")));
        release_ = reinterpret_cast<PebLockCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlReleasePebLock")));
        if (acquire_ && release_) acquire_();
    }
    ExitBarrier(const ExitBarrier&) = delete;
    ExitBarrier& operator=(const ExitBarrier&) = delete;
    ~ExitBarrier()
    {
        if (Held()) release_();
    }
    bool Held() const { return acquire_ && release_; }

private:
    using PebLockCall = void(WINAPI*)();
    PebLockCall acquire_ = nullptr, release_ = nullptr;
};

// The thread, stopped for the reading, executes no instruction of the image. A thread that has
// ended is outside.
bool ThreadIsOutsideImage(DWORD threadId)
{
    UniqueHandle thread(OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | SYNCHRONIZE, FALSE, threadId));
    if (!thread) return GetLastError() == ERROR_INVALID_PARAMETER;
    // An ended thread whose object someone still holds can be neither stopped nor read.
    if (WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0) return true;
    ExitBarrier noExitMeanwhile;
    if (!noExitMeanwhile.Held()) return false;
    if (SuspendThread(thread.Get()) == static_cast<DWORD>(-1))
        return WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    const bool read = GetThreadContext(thread.Get(), &context) != FALSE;
    ResumeThread(thread.Get());
    return read && (context.Eip < g_imageStart || context.Eip >= g_imageEnd);
}

// Each thread that ever entered a scope, with how deep in scopes it is now. A thread takes a row
// once, for good (a row given up when its thread ended could race a new thread given the same
// identifier). Should more threads than fit run our code, a reference given back by one without
// a row waits until no thread is in a scope and every thread of the process is outside the image.
struct ThreadRow {
    LONG id;
    LONG depth;
    LONG pending;  // loader references it gave back that no callback has taken yet, and the mark below
};
// In a row's pending count: the references counted are a pool callback's, which may not have
// started yet; only that callback takes them.
constexpr LONG kHandedToPool = 0x40000000;
constexpr int kThreadRows = 128;
ThreadRow g_threads[kThreadRows] = {};
LONG g_scopesWithoutRow = 0;
// COM loaded the module (it asked for a class object) and has not been told yet that it may free
// it: it holds a reference of its own, which it frees only after the unload query agreed.
LONG g_comHoldsModule = 0;

ThreadRow* RowOf(DWORD threadId)
{
    for (ThreadRow& row : g_threads) {
        if (static_cast<DWORD>(row.id) == threadId) return &row;
    }
    return nullptr;
}

ThreadRow* ThisThreadsRow()
{
    const DWORD self = GetCurrentThreadId();
    if (ThreadRow* row = RowOf(self)) return row;
    for (ThreadRow& row : g_threads) {
        if (InterlockedCompareExchange(&row.id, static_cast<LONG>(self), 0) == 0) return &row;
    }
    return nullptr;
}

bool EveryOtherThreadOutsideImage()
{
    const HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (taken == INVALID_HANDLE_VALUE) return false;
    UniqueHandle snapshot(taken);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    const DWORD process = GetCurrentProcessId(), self = GetCurrentThreadId();
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID != process || entry.th32ThreadID == self) continue;
        if (!ThreadIsOutsideImage(entry.th32ThreadID)) return false;
    }
    return true;
}

LONG Read(const LONG& value) { return InterlockedCompareExchange(const_cast<LONG*>(&value), 0, 0); }

// Gives back all but one of `count` references, the one that the caller's code still needs.
void FreeAllButOne(LONG count)
{
    for (LONG extra = 1; extra < count; ++extra) FreeLibrary(g_instance);
}

// The address lies in COM's own library, which holds the module while it asks about it.
bool IsComsCode(const void* address)
{
    HMODULE owner = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &owner))
        return false;
    return owner == GetModuleHandleW(L"combase.dll") || owner == GetModuleHandleW(L"ole32.dll");
}

// The pool callback's wait, for facts of the rule above rather than for an amount of time. A wait
// that goes on (a modal loop of ours is running) tells the pool, so that the host's own work gets
// another thread meanwhile; most end within a few polls, while a window finishes its end, and the
// pool is then spared a thread that every loaded library (the browser's many) is told about.
class Wait {
public:
    explicit Wait(PTP_CALLBACK_INSTANCE callback) : callback_(callback) {}

    void Poll()
    {
        if (++polls_ == kPollsOfAShortWait) CallbackMayRunLong(callback_);
        Sleep(1);
    }

private:
    static constexpr int kPollsOfAShortWait = 32;
    PTP_CALLBACK_INSTANCE callback_;
    int polls_ = 0;
};

// Gives back the references a thread with a row gave back, from the first one on: those its scope
// gives back meanwhile (a window's end takes the window's, its browser's site's and frame's at
// once) join the one callback instead of costing one each.
void CALLBACK GiveBackThreadsReferences(PTP_CALLBACK_INSTANCE callback, void* context)
{
    ThreadRow& row = *static_cast<ThreadRow*>(context);
    const DWORD thread = static_cast<DWORD>(Read(row.id));
    // A pool thread that gave them back while running the host's work can run this callback
    // itself: then it has left, and stopping it to look would stop it for good.
    const bool self = thread == GetCurrentThreadId();
    Wait wait(callback);
    while (!self && Read(row.depth) != 0) wait.Poll();
    // What the thread gives back from here on goes to a callback of its own. The look below comes
    // after this, so that it also covers a scope the thread entered again meanwhile.
    const LONG taken = InterlockedExchange(&row.pending, 0) & ~kHandedToPool;
    while (!self && !(Read(row.depth) == 0 && ThreadIsOutsideImage(thread))) wait.Poll();
    FreeAllButOne(taken);
    if (taken > 0) FreeLibraryWhenCallbackReturns(callback, g_instance);
}

// Claims the row's waiting references, unless none wait or a callback has them: for a pool
// callback (the count stays, marked), or to give them back at once (the count goes to zero).
// Returns how many were claimed.
LONG ClaimWaiting(ThreadRow& row, bool forPool)
{
    for (LONG seen = Read(row.pending); seen != 0 && !(seen & kHandedToPool);) {
        const LONG previous = InterlockedCompareExchange(&row.pending, forPool ? seen | kHandedToPool : 0, seen);
        if (previous == seen) return seen;
        seen = previous;
    }
    return 0;
}

void HandToPool(ThreadRow& row)
{
    if (ClaimWaiting(row, true) == 0) return;
    // Without a pool thread they wait for the next query: a module kept loaded is safe, one
    // unmapped under our feet is not.
    if (!TrySubmitThreadpoolCallback(GiveBackThreadsReferences, &row, nullptr))
        InterlockedAnd(&row.pending, ~kHandedToPool);
}

// Gives back one reference of a thread without a row: then every thread must have left.
void CALLBACK GiveBackLoaderReference(PTP_CALLBACK_INSTANCE callback, void*)
{
    Wait wait(callback);
    while (!(Read(g_scopesWithoutRow) == 0 && EveryOtherThreadOutsideImage())) wait.Poll();
    FreeLibraryWhenCallbackReturns(callback, g_instance);
}

}  // namespace

HINSTANCE ModuleInstance() { return g_instance; }

void SetModuleInstance(HINSTANCE instance)
{
    g_instance = instance;
    // The mapped image's extent, from its own headers (memory only: this runs under the loader lock).
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(instance);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(instance) + dos->e_lfanew);
    g_imageStart = reinterpret_cast<DWORD_PTR>(instance);
    g_imageEnd = g_imageStart + nt->OptionalHeader.SizeOfImage;
}

LONG ModuleLockCount() { return Read(g_locks); }

ModuleLock::ModuleLock() { InterlockedIncrement(&g_locks); }
ModuleLock::ModuleLock(const ModuleLock&) { InterlockedIncrement(&g_locks); }
ModuleLock::~ModuleLock() { InterlockedDecrement(&g_locks); }

ModuleHold::ModuleHold() : depth_(&g_scopesWithoutRow)
{
    if (ThreadRow* row = ThisThreadsRow()) depth_ = &row->depth;
    InterlockedIncrement(depth_);
}

ModuleHold::~ModuleHold() { InterlockedDecrement(depth_); }

void LoaderReference::Take()
{
    if (held_ || !g_instance) return;
    HMODULE self = nullptr;
    held_ = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&g_instance), &self);
}

void LoaderReference::Reset()
{
    if (!std::exchange(held_, false)) return;
    // Without a pool thread the reference stays: a module kept loaded is safe, one unmapped under
    // our feet is not.
    ThreadRow* row = RowOf(GetCurrentThreadId());
    if (!row) {
        TrySubmitThreadpoolCallback(GiveBackLoaderReference, nullptr, nullptr);
        return;
    }
    InterlockedIncrement(&row->pending);
    // Read after the count, as the agreeing query clears it before it reads the counts: one of the
    // two hands them over.
    if (Read(g_comHoldsModule) == 0) HandToPool(*row);
}

void NoteClassObjectAsked(const void* askedFrom)
{
    if (IsComsCode(askedFrom)) InterlockedExchange(&g_comHoldsModule, 1);
}

void GiveBackReferencesOnComsQuery(const void* askedFrom)
{
    if (!IsComsCode(askedFrom)) return;
    ThreadRow* row = RowOf(GetCurrentThreadId());
    if (!row || Read(row->depth) != 0) return;
    // Those handed to a callback already stay its own: it may have started.
    for (LONG count = ClaimWaiting(*row, false); count > 0; --count) FreeLibrary(g_instance);
}

void HandReferencesOverOnUnload(const void* askedFrom)
{
    if (IsComsCode(askedFrom)) InterlockedExchange(&g_comHoldsModule, 0);
    for (ThreadRow& row : g_threads) HandToPool(row);
}

void BoundedLocks::Add()
{
    InterlockedIncrement(&count_);
    InterlockedIncrement(&g_locks);
}

bool BoundedLocks::Remove()
{
    for (LONG current = Read(count_); current > 0;) {
        const LONG seen = InterlockedCompareExchange(&count_, current - 1, current);
        if (seen == current) {
            InterlockedDecrement(&g_locks);
            return true;
        }
        current = seen;
    }
    return false;
}

HRESULT GetModulePath(wchar_t* buffer, DWORD capacity)
{
    const DWORD length = GetModuleFileNameW(ModuleInstance(), buffer, capacity);
    if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (length >= capacity) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

}  // namespace quillpost
