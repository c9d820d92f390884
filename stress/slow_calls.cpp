#include "slow_calls.h"

#include <exdisp.h>
#include <intrin.h>
#include <oleidl.h>
#include <wrl/client.h>

#include <cstring>
#include <type_traits>

namespace quillpost::stress {
namespace {

// Whether the calling thread holds the loader's lock, as it does inside a module's entry point:
// the lock of the process environment block's LoaderLock field (offset 0xA0 in a 32-bit process).
bool HoldsLoaderLock()
{
#if defined(__GNUC__)
    const BYTE* peb = nullptr;
    asm("movl %%fs:0x30, %0" : "=r"(peb));  // GCC's __readfsdword reads as an out-of-bounds array
#else
    const auto* peb = reinterpret_cast<const BYTE*>(__readfsdword(0x30));
#endif
    const auto* lock = *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(peb + 0xA0);
    return lock && lock->OwningThread == ULongToHandle(GetCurrentThreadId());
}

DWORD EndingSlot()
{
    static const DWORD slot = TlsAlloc();
    return slot;
}

bool ThreadIsEnding() { return EndingSlot() != TLS_OUT_OF_INDEXES && TlsGetValue(EndingSlot()) != nullptr; }

// When a stand-in is late: on every call, or only on the calls at the edge it stands for, where
// the function is called everywhere else too.
struct Always {
    template <typename... Arguments>
    static bool Now(Arguments...) { return true; }
};
struct InThreadDetach {
    template <typename... Arguments>
    static bool Now(Arguments...) { return ThreadIsEnding() && HoldsLoaderLock(); }
};
struct GivenNoSite {
    static bool Now(IOleObject*, IOleClientSite* site) { return site == nullptr; }
};

// The stand-in of one call: the real call, then the delay, then its result.
template <SlowCall Which, typename Function, typename When = Always>
struct Late;

template <SlowCall Which, typename Result, typename... Arguments, typename When>
struct Late<Which, Result(WINAPI*)(Arguments...), When> {
    static inline Result(WINAPI* real)(Arguments...) = nullptr;
    static inline DWORD delay = 0;
    static inline LONG fired = 0;
    static inline DelayReport report = nullptr;
    static inline const char* name = nullptr;

    static Result WINAPI Call(Arguments... arguments)
    {
        const bool late = When::Now(arguments...);
        if constexpr (std::is_void_v<Result>) {
            real(arguments...);
            if (late) Delay();
        } else {
            Result result = real(arguments...);
            if (late) Delay();
            return result;
        }
    }

    static void Delay()
    {
        if (delay == 0) return;
        InterlockedIncrement(&fired);
        if (report) report(name);
        Sleep(delay);
    }

    static void Arm(const SlowCallRow& row, DWORD milliseconds, DelayReport reportTo, DWORD** delayOf,
                    LONG** firedOf)
    {
        name = row.function;
        report = reportTo;
        delay = milliseconds;
        InterlockedExchange(&fired, 0);
        *delayOf = &delay;
        *firedOf = &fired;
    }

    static void** Real() { return reinterpret_cast<void**>(&real); }
};

using WakeLate = Late<SlowCall::Wake, void(WINAPI*)(void*)>;
using SubmitLate = Late<SlowCall::PoolSubmit, BOOL(WINAPI*)(PTP_SIMPLE_CALLBACK, void*, PTP_CALLBACK_ENVIRON)>;
using UnlockLate = Late<SlowCall::ThreadDetach, void(WINAPI*)(PSRWLOCK), InThreadDetach>;
using DestroyLate = Late<SlowCall::WindowDestruction, BOOL(WINAPI*)(HWND)>;
using UnhookLate = Late<SlowCall::HookRemoval, BOOL(WINAPI*)(HHOOK)>;
using RevokeLate = Late<SlowCall::ComWatchRevoke, HRESULT(WINAPI*)(ULARGE_INTEGER)>;
using SiteLate = Late<SlowCall::BrowserSiteRelease, HRESULT(WINAPI*)(IOleObject*, IOleClientSite*), GivenNoSite>;

// In the order of SlowCall.
constexpr SlowCallRow kRows[] = {
    {SlowCall::Wake, "WakeByAddressAll", "slow-wake"},
    {SlowCall::PoolSubmit, "TrySubmitThreadpoolCallback", "slow-pool-submit"},
    {SlowCall::ThreadDetach, "ReleaseSRWLockExclusive", "slow-thread-detach"},
    {SlowCall::WindowDestruction, "DestroyWindow", "slow-window-destruction"},
    {SlowCall::HookRemoval, "UnhookWindowsHookEx", "slow-unhook"},
    {SlowCall::ComWatchRevoke, "CoRevokeInitializeSpy", "slow-com-watch-revoke"},
    {SlowCall::BrowserSiteRelease, "IOleObject::SetClientSite", "slow-browser-site-release"},
};

constexpr bool InOrderOfSlowCall()
{
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        if (static_cast<std::size_t>(kRows[i].call) != i) return false;
    }
    return true;
}
static_assert(InOrderOfSlowCall());

struct Armed {
    std::unique_ptr<ImportPatch> patches[kPatchesOfACall];
    DWORD* delay = nullptr;
    LONG* fired = nullptr;
};

struct Slowing {
    HMODULE module;
    DWORD delay;
    DelayReport report;
};

template <typename LateCall>
Armed ThroughImport(const Slowing& slowing, SlowCall call)
{
    Armed armed;
    const SlowCallRow& row = kRows[static_cast<int>(call)];
    LateCall::Arm(row, slowing.delay, slowing.report, &armed.delay, &armed.fired);
    armed.patches[0] = std::make_unique<ImportPatch>(slowing.module, row.function,
                                                     reinterpret_cast<void*>(&LateCall::Call), LateCall::Real());
    return armed;
}

// The wake is called only when a pool callback already waits for the giver's last scope, which a
// callback that its pool started late never does. So while the wake is slow, the module's hand-over
// to the pool returns only once a callback's wait on the address has begun (or after a bound that
// no pool takes to start a thread): the giver stays inside its scope meanwhile, and the end of its
// last scope then always calls the wake.
constexpr DWORD kLongestPoolStart = 5000;

HANDLE CallbackWaits()
{
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL(WINAPI* g_realWait)(volatile void*, void*, SIZE_T, DWORD) = nullptr;

BOOL WINAPI WaitNoted(volatile void* address, void* compare, SIZE_T size, DWORD milliseconds)
{
    SetEvent(CallbackWaits());
    return g_realWait(address, compare, size, milliseconds);
}

BOOL(WINAPI* g_realSubmit)(PTP_SIMPLE_CALLBACK, void*, PTP_CALLBACK_ENVIRON) = nullptr;

BOOL WINAPI SubmitUntilWaited(PTP_SIMPLE_CALLBACK callback, void* context, PTP_CALLBACK_ENVIRON environment)
{
    ResetEvent(CallbackWaits());
    const BOOL submitted = g_realSubmit(callback, context, environment);
    if (submitted && WakeLate::delay) WaitForSingleObject(CallbackWaits(), kLongestPoolStart);
    return submitted;
}

// The module's look-ups, while the wake is slow: the wake and the wait are handed out as stand-ins.
FARPROC(WINAPI* g_realLookUp)(HMODULE, LPCSTR) = nullptr;

template <typename Function>
FARPROC Instead(FARPROC found, Function& real, Function standIn)
{
    real = reinterpret_cast<Function>(reinterpret_cast<void*>(found));
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(standIn));
}

FARPROC WINAPI LookUpLate(HMODULE module, LPCSTR name)
{
    const FARPROC found = g_realLookUp(module, name);
    if (!found || reinterpret_cast<ULONG_PTR>(name) <= 0xFFFF) return found;  // by ordinal
    if (std::strcmp(name, "WakeByAddressAll") == 0) return Instead(found, WakeLate::real, &WakeLate::Call);
    if (std::strcmp(name, "WaitOnAddress") == 0) return Instead(found, g_realWait, &WaitNoted);
    return found;
}

Armed LookedUp(const Slowing& slowing)
{
    Armed armed;
    WakeLate::Arm(kRows[static_cast<int>(SlowCall::Wake)], slowing.delay, slowing.report, &armed.delay,
                  &armed.fired);
    armed.patches[0] = std::make_unique<ImportPatch>(slowing.module, "GetProcAddress",
                                                     reinterpret_cast<void*>(&LookUpLate),
                                                     reinterpret_cast<void**>(&g_realLookUp));
    armed.patches[1] = std::make_unique<ImportPatch>(slowing.module, "TrySubmitThreadpoolCallback",
                                                     reinterpret_cast<void*>(&SubmitUntilWaited),
                                                     reinterpret_cast<void**>(&g_realSubmit));
    return armed;
}

// The control's methods are one table for all its objects: one made here shows where it lies.
Armed InBrowserMethods(const Slowing& slowing)
{
    Armed armed;
    SiteLate::Arm(kRows[static_cast<int>(SlowCall::BrowserSiteRelease)], slowing.delay, slowing.report,
                  &armed.delay, &armed.fired);
    Microsoft::WRL::ComPtr<IOleObject> control;
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control))))
        return armed;
    constexpr int kSetClientSite = 3;  // after IUnknown's three
    void** methods = *reinterpret_cast<void***>(control.Get());
    armed.patches[0] = std::make_unique<ImportPatch>(&methods[kSetClientSite],
                                                     reinterpret_cast<void*>(&SiteLate::Call), SiteLate::Real());
    return armed;
}

using Arming = Armed (*)(const Slowing&);

// In the order of SlowCall, as kRows.
constexpr Arming kArmings[] = {
    LookedUp,
    [](const Slowing& s) { return ThroughImport<SubmitLate>(s, SlowCall::PoolSubmit); },
    [](const Slowing& s) { return ThroughImport<UnlockLate>(s, SlowCall::ThreadDetach); },
    [](const Slowing& s) { return ThroughImport<DestroyLate>(s, SlowCall::WindowDestruction); },
    [](const Slowing& s) { return ThroughImport<UnhookLate>(s, SlowCall::HookRemoval); },
    [](const Slowing& s) { return ThroughImport<RevokeLate>(s, SlowCall::ComWatchRevoke); },
    InBrowserMethods,
};
static_assert(std::size(kArmings) == std::size(kRows));

}  // namespace

std::span<const SlowCallRow> SlowCalls() { return kRows; }

void NoteThreadEnding()
{
    if (EndingSlot() != TLS_OUT_OF_INDEXES) TlsSetValue(EndingSlot(), reinterpret_cast<void*>(1));
}

SlowCallPatch::SlowCallPatch(HMODULE module, SlowCall call, DWORD delayMilliseconds, DelayReport report)
{
    Armed armed = kArmings[static_cast<int>(call)]({module, delayMilliseconds, report});
    for (int i = 0; i < kPatchesOfACall; ++i) patches_[i] = std::move(armed.patches[i]);
    delay_ = armed.delay;
    fired_ = armed.fired;
}

// The stand-ins stay where the module may have kept them (a looked-up call): they call the real
// function without delay from here on.
SlowCallPatch::~SlowCallPatch() { *delay_ = 0; }

bool SlowCallPatch::Ready() const
{
    for (const auto& patch : patches_) {
        if (patch && patch->Slots() == 0) return false;
    }
    return patches_[0] != nullptr;
}

long SlowCallPatch::Fired() const { return InterlockedCompareExchange(fired_, 0, 0); }

}  // namespace quillpost::stress
