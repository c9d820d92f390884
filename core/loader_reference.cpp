// Loader references, and how they go back without unmapping code that a thread still runs.
//
// When a loader reference is given back, it may be the last one: the library is then unmapped as
// soon as it is freed, and a thread still executing the module's code would return into nothing.
// Which thread can be executing it at that moment, without a reference that keeps it mapped?
//  - Every entry point that foreign code calls while only our references keep the module (window
//    procedures, the objects lent to controls and to COM) runs its whole body inside a RunningScope
//    scope, taken first; and a reference is only ever given back inside such a scope, by the
//    window or object whose end it is. Other threads running our code do so for a window or
//    object that still holds its own reference, or for the host, which holds its own.
//  - So the one thread to wait for is the one that gave the reference back: until it has left
//    its outermost scope (its outer scopes may belong to the very window that is gone), and then
//    until it has left the image. After its last scope ends it runs only straight-line code of
//    the image (destructors of plain values, epilogues) before it returns to code outside, with
//    one call out of the image: the wake of a callback waiting for that end, made under a mark in
//    its row that is raised before its depth reaches 0 and lowered after the wake has returned.
//    So once, read while it is suspended, its depth is 0, the mark is down and its instruction
//    pointer lies outside the image, it has left for good.
// The pool callback below waits for exactly that, and only then lets the pool free the library,
// after the callback itself has returned. It knows the thread by a handle taken when the
// reference was given back, never by its identifier, which another thread may have by then. Its
// wait is woken by the thread's last scope (WaitOnAddress), not by a timer. Where the thread is not
// seen outside the image (or cannot be suspended or read: an ending thread refuses) for ten
// thousand looks, it keeps the references: a module left mapped until the process ends is safe, one
// unmapped under running code is not. One callback serves all that a thread gives back in one
// scope (a viewer's end gives back six).
//
// One asker spares the look: COM, asking the unload query before it frees the reference it took
// when it loaded us. Its reference outlives the answer, so none of ours can be the last; and a
// thread that asks from outside every scope of ours has left the scopes it gave references back
// in, and the image after them. So the query gives back that thread's references that no callback
// has been handed yet. And while COM holds its reference, references given back wait for its
// query, which comes before the module can go: a host that ends COM on a viewer's thread, as one
// does on its way out, starts no pool thread and stops no thread. Once the query has answered,
// COM may let go whatever the answer (Windows' CoUninitialize frees every library its apartment
// loaded, asking only as a courtesy), so from then on references go to the pool again.
#include <utility>

#include "core/module.h"
#include "core/raii.h"
#include "core/thread_rows.h"

namespace quillpost {
namespace {

using thread_rows::Read;
using thread_rows::ThreadRow;

// COM loaded the module (it asked for a class object) and has not asked the unload query since:
// it holds a reference of its own, which it frees only after asking.
LONG g_comHoldsModule = 0;

// While another thread is suspended, the process's exit must not end the thread that will resume
// it. Wine's exit takes the PEB lock before it ends the other threads (seen in its source), and so,
// by outside descriptions of its exit path, does Windows' (Microsoft documents none of this). Should
// an exit not take it, Windows still ends every other thread of the process, a suspended one
// included, so nothing is left hanging there either.
class ExitBarrier {
public:
    ExitBarrier()
    {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        acquire_ = reinterpret_cast<PebLockCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlAcquirePebLock")));
        release_ = reinterpret_cast<PebLockCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlReleasePebLock")));
        if (Held()) acquire_();
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

enum class Look { kOutside, kNotYet };

// Where the giver is, read while it is stopped: outside when it has ended, or when it is stopped
// outside the image and, in the row it held when it gave the references back, in no scope and
// not leaving one (the wake its last scope calls is outside the image, and returns into it). One
// that cannot be stopped or read is not known to be outside yet: a thread that is ending refuses
// to be suspended until it has ended, and is looked at again.
Look LookAt(HANDLE thread, const ThreadRow& row, LONG tenure)
{
    if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) return Look::kOutside;
    ExitBarrier noExitMeanwhile;
    if (SuspendThread(thread) == static_cast<DWORD>(-1))
        return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 ? Look::kOutside : Look::kNotYet;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    // Suspension is asynchronous; reading the context waits until the thread has stopped, so the
    // row is read after it.
    const bool read = GetThreadContext(thread, &context) != FALSE;
    const bool inScopes = thread_rows::InScopes(row, tenure);
    ResumeThread(thread);
    return read && !inScopes && !IsInsideImage(context.Eip) ? Look::kOutside : Look::kNotYet;
}

// A pool callback's wait for a thread to leave its scopes: a few yields first, as most end while
// a window finishes its end; then the pool is told that the callback may run long (a modal loop
// of ours may be running), so that the host's own work gets another thread, and the callback
// sleeps until the thread's last scope wakes it. Once the thread has given its row up (the row's
// tenure moved), its depth is no longer there to read: it has left its scopes for good.
class DepthWait {
public:
    DepthWait(PTP_CALLBACK_INSTANCE callback, ThreadRow& row) : callback_(callback), row_(row) {}

    void UntilOutsideScopes(LONG tenure)
    {
        for (LONG depth = Read(row_.depth); depth != 0 && Read(row_.tenure) == tenure; depth = Read(row_.depth)) {
            if (yields_ < kYieldsOfAShortWait) {
                ++yields_;
                SwitchToThread();
                continue;
            }
            if (!runsLong_) CallbackMayRunLong(callback_);
            runsLong_ = true;
            thread_rows::WaitForDepthChange(row_, depth);
        }
    }

private:
    static constexpr int kYieldsOfAShortWait = 64;
    PTP_CALLBACK_INSTANCE callback_;
    ThreadRow& row_;
    int yields_ = 0;
    bool runsLong_ = false;
};

// Whether the thread has left every scope and the image after them, for good. Not seen outside,
// it runs the last lines of a scope, the wake of its last one, our entry point's thread-detach
// work while it ends (which holds the loader's lock, so the library cannot go meanwhile), or its
// own end: it is given a few yields, then waited for with its handle, which its end signals at
// once. After ten thousand looks the answer is no.
bool HasLeft(ThreadRow& row, LONG tenure, HANDLE thread, DepthWait& wait)
{
    constexpr int kYieldingLooks = 64, kLooks = 10000;
    for (int look = 0; look < kLooks; ++look) {
        wait.UntilOutsideScopes(tenure);
        // Entered again meanwhile: then its new scope must end first.
        if (LookAt(thread, row, tenure) == Look::kOutside) return true;
        if (look < kYieldingLooks)
            SwitchToThread();
        else
            WaitForSingleObject(thread, 1);
    }
    return false;
}

// Gives back the references a thread with a row gave back, from the first one on: those its scope
// gives back meanwhile (a window's end takes the window's, its browser's site's and frame's at
// once) join the one callback instead of costing one each.
void CALLBACK GiveBackThreadsReferences(PTP_CALLBACK_INSTANCE callback, void* context)
{
    ThreadRow& row = *static_cast<ThreadRow*>(context);
    DepthWait wait(callback, row);
    // A pool thread that gave them back while running the host's work can run this callback
    // itself: then it has left, and stopping it to look would stop it for good.
    const bool self = static_cast<DWORD>(Read(row.id)) == GetCurrentThreadId();
    if (!self) wait.UntilOutsideScopes(Read(row.tenure));
    // What the thread gives back from here on goes to a callback of its own.
    HANDLE taken = nullptr;
    LONG tenure = 0;
    const LONG count = thread_rows::TakeForCallback(row, &taken, &tenure);
    UniqueHandle giver(taken);
    if (count == 0 || !giver) return;
    if (!self && !HasLeft(row, tenure, giver.Get(), wait)) return;  // kept: see the rule above
    for (LONG extra = 1; extra < count; ++extra) FreeLibrary(ModuleInstance());
    FreeLibraryWhenCallbackReturns(callback, ModuleInstance());
}

void HandToPool(ThreadRow& row)
{
    if (thread_rows::ClaimWaiting(row, true) == 0) return;
    // Without a pool thread they wait for the next query: a module kept loaded is safe, one
    // unmapped under our feet is not.
    if (!TrySubmitThreadpoolCallback(GiveBackThreadsReferences, &row, nullptr))
        InterlockedAnd(&row.pending, ~thread_rows::kHandedToPool);
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

}  // namespace

void LoaderReference::Take()
{
    if (held_ || !ModuleInstance()) return;
    HMODULE self = nullptr;
    held_ = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&g_comHoldsModule), &self);
}

void LoaderReference::Reset()
{
    if (!std::exchange(held_, false)) return;
    // A thread without a row (more than fit run our code at once) or without a handle to itself
    // leaves its reference to the loader's keeping: a module kept loaded is safe, one unmapped
    // under our feet is not.
    ThreadRow* row = thread_rows::RowOf(GetCurrentThreadId());
    if (!row || !thread_rows::CountGivenBack(*row)) return;
    // Read after the count, as the query that lets COM go clears it before it reads the counts:
    // one of the two hands them over.
    if (Read(g_comHoldsModule) == 0) HandToPool(*row);
}

void NoteClassObjectAsked(const void* askedFrom)
{
    if (IsComsCode(askedFrom)) InterlockedExchange(&g_comHoldsModule, 1);
}

void GiveBackReferencesOnComsQuery(const void* askedFrom)
{
    if (!IsComsCode(askedFrom)) return;
    ThreadRow* row = thread_rows::RowOf(GetCurrentThreadId());
    if (!row || Read(row->depth) != 0) return;
    // Those handed to a callback already stay its own: it may have started.
    for (LONG count = thread_rows::ClaimWaiting(*row, false); count > 0; --count) FreeLibrary(ModuleInstance());
}

void HandReferencesOverOnUnload(const void* askedFrom)
{
    if (IsComsCode(askedFrom)) InterlockedExchange(&g_comHoldsModule, 0);
    for (ThreadRow& row : thread_rows::g_rows) HandToPool(row);
}

void LetComGoWhateverTheAnswer(const void* askedFrom)
{
    if (IsComsCode(askedFrom)) HandReferencesOverOnUnload(askedFrom);
}

}  // namespace quillpost
