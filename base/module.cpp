// The module's handle, its lock count and the loader references its windows and lent objects hold.
//
// When a loader reference is given back, it may be the last one: the library is then unmapped as
// soon as it is freed, and a thread still executing the module's code would return into nothing.
// Which threads can be executing it at that moment, without the host's own reference?
//  - Threads inside a ModuleHold scope: every entry point that foreign code calls while only our
//    references keep the module (window procedures, the objects lent to controls and to COM) runs
//    its whole body inside one, taken first. Their count must be zero.
//  - Threads that have just left such a scope: after a scope ends, its thread runs only
//    straight-line code of the image (destructors of plain values, epilogues) until it returns
//    to the caller outside the image, calling nothing. Such a thread has left for good once its
//    instruction pointer, read while the thread is suspended, lies outside the image.
// Nothing else can enter: every reason for foreign code to call in is itself a reference, and
// the host calls exports and objects only while it keeps its own. So the pool callback below
// waits for no scope and then, thread by thread, for no instruction pointer in the image, and
// only then lets the pool free the library, after the callback itself has returned.
#include "base/module.h"

#include <tlhelp32.h>

#include "base/locks.h"
#include "base/raii.h"

namespace quillpost {
namespace {

HINSTANCE g_instance = nullptr;
DWORD_PTR g_imageStart = 0, g_imageEnd = 0;
LONG g_locks = 0;
LONG g_runningScopes = 0;  // ModuleHold scopes on any thread
LONG g_scopesEntered = 0;  // changes whenever a scope begins
SRWLOCK g_givingBack = SRWLOCK_INIT;

// The thread, stopped for the reading, executes no instruction of the image. A thread that has
// ended is outside.
bool ThreadIsOutsideImage(DWORD threadId)
{
    UniqueHandle thread(OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | SYNCHRONIZE, FALSE, threadId));
    if (!thread) return GetLastError() == ERROR_INVALID_PARAMETER;
    // An ended thread whose object someone still holds can be neither stopped nor read.
    if (WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0) return true;
    if (SuspendThread(thread.Get()) == static_cast<DWORD>(-1))
        return WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    const bool read = GetThreadContext(thread.Get(), &context) != FALSE;
    ResumeThread(thread.Get());
    return read && (context.Eip < g_imageStart || context.Eip >= g_imageEnd);
}

// Threads that have ever entered a scope: the only ones that can be leaving one. A thread notes
// itself once, for good (a note cleared when its thread ended could race a new thread given the
// same identifier). Should more threads than fit run our code, every thread of the process is
// looked at instead, which costs a snapshot of the system's threads.
constexpr int kNotedThreads = 128;
LONG g_notedThreads[kNotedThreads] = {};
LONG g_tooManyThreads = 0;

void NoteThisThread()
{
    const auto self = static_cast<LONG>(GetCurrentThreadId());
    LONG* free = nullptr;
    for (LONG& noted : g_notedThreads) {
        const LONG id = noted;
        if (id == self) return;
        if (id == 0 && !free) free = &noted;
    }
    while (free && InterlockedCompareExchange(free, self, 0) != 0) {
        free = nullptr;
        for (LONG& noted : g_notedThreads) {
            if (noted == 0) {
                free = &noted;
                break;
            }
        }
    }
    if (!free) InterlockedExchange(&g_tooManyThreads, 1);
}

bool NotedThreadsOutsideImage()
{
    const auto self = static_cast<LONG>(GetCurrentThreadId());
    for (const LONG& noted : g_notedThreads) {
        const LONG id = noted;
        if (id == 0 || id == self) continue;
        if (!ThreadIsOutsideImage(static_cast<DWORD>(id))) return false;
    }
    return true;
}

bool EveryThreadOutsideImage()
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

bool NoOtherThreadInImage()
{
    return InterlockedCompareExchange(&g_tooManyThreads, 0, 0) ? EveryThreadOutsideImage()
                                                                : NotedThreadsOutsideImage();
}

LONG Read(const LONG& value) { return InterlockedCompareExchange(const_cast<LONG*>(&value), 0, 0); }

// g_scopesEntered when every thread was last seen outside the image (under g_givingBack).
LONG g_clearAt = -1;

// Polls the two conditions of the rule above: it waits for facts, not for an amount of time.
void WaitUntilNoThreadRunsOurCode()
{
    for (;; Sleep(1)) {
        if (Read(g_runningScopes) != 0) continue;
        const LONG entered = Read(g_scopesEntered);
        // No scope has begun since then: no thread can have come back in, and none is stopped
        // again. References given back together (a closed window's, its hook's, its browser
        // site's and frame's) so stop the host's threads once: every stop is a moment in which a
        // host that exits its process meanwhile can lose the thread that would resume them.
        if (entered == g_clearAt) return;
        if (!NoOtherThreadInImage()) continue;
        // A scope begun during the reading may have been left again behind it.
        if (Read(g_runningScopes) == 0 && Read(g_scopesEntered) == entered) {
            g_clearAt = entered;
            return;
        }
    }
}

// Runs on a pool thread with the reference still held; the pool drops it after we returned.
void CALLBACK GiveBackLoaderReference(PTP_CALLBACK_INSTANCE callback, void*)
{
    // This pool thread may wait as long as a modal loop of ours runs; the host's threads never do.
    CallbackMayRunLong(callback);
    SrwExclusive oneAtATime(g_givingBack);  // the others wait outside the image, holding theirs
    WaitUntilNoThreadRunsOurCode();
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

ModuleHold::ModuleHold()
{
    NoteThisThread();
    InterlockedIncrement(&g_scopesEntered);
    InterlockedIncrement(&g_runningScopes);
}

ModuleHold::~ModuleHold() { InterlockedDecrement(&g_runningScopes); }

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
    TrySubmitThreadpoolCallback(GiveBackLoaderReference, nullptr, nullptr);
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
