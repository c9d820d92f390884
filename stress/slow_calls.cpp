#include "slow_calls.h"

#include <cstring>
#include <type_traits>

namespace quillpost::stress {
namespace {

// The stand-in of one call: the real call, then the delay, then its result.
template <SlowCall Which, typename Function>
struct Late;

template <SlowCall Which, typename Result, typename... Arguments>
struct Late<Which, Result(WINAPI*)(Arguments...)> {
    static inline Result(WINAPI* real)(Arguments...) = nullptr;
    static inline DWORD delay = 0;
    static inline LONG fired = 0;

    static Result WINAPI Call(Arguments... arguments)
    {
        if constexpr (std::is_void_v<Result>) {
            real(arguments...);
            Delay();
        } else {
            Result result = real(arguments...);
            Delay();
            return result;
        }
    }

    static void Delay()
    {
        if (delay == 0) return;
        InterlockedIncrement(&fired);
        Sleep(delay);
    }

    static void Arm(DWORD milliseconds, DWORD** delayOf, LONG** firedOf)
    {
        delay = milliseconds;
        InterlockedExchange(&fired, 0);
        *delayOf = &delay;
        *firedOf = &fired;
    }
};

using WakeLate = Late<SlowCall::Wake, void(WINAPI*)(void*)>;
using DestroyLate = Late<SlowCall::WindowDestruction, BOOL(WINAPI*)(HWND)>;

constexpr SlowCallRow kRows[] = {
    {SlowCall::Wake, "WakeByAddressAll"},
    {SlowCall::WindowDestruction, "DestroyWindow"},
};

// The module's look-ups, while a looked-up call is slow.
FARPROC(WINAPI* g_realLookUp)(HMODULE, LPCSTR) = nullptr;

FARPROC WINAPI LookUpLate(HMODULE module, LPCSTR name)
{
    const FARPROC found = g_realLookUp(module, name);
    const bool byName = reinterpret_cast<ULONG_PTR>(name) > 0xFFFF;
    if (!found || !byName || std::strcmp(name, "WakeByAddressAll") != 0) return found;
    WakeLate::real = reinterpret_cast<decltype(WakeLate::real)>(reinterpret_cast<void*>(found));
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&WakeLate::Call));
}

}  // namespace

std::span<const SlowCallRow> SlowCalls() { return kRows; }

SlowCallPatch::SlowCallPatch(HMODULE module, SlowCall call, DWORD delayMilliseconds)
{
    switch (call) {
    case SlowCall::Wake:
        WakeLate::Arm(delayMilliseconds, &delay_, &fired_);
        patch_ = std::make_unique<ImportPatch>(module, "GetProcAddress", reinterpret_cast<void*>(&LookUpLate));
        g_realLookUp = reinterpret_cast<decltype(g_realLookUp)>(patch_->Original());
        break;
    case SlowCall::WindowDestruction:
        DestroyLate::Arm(delayMilliseconds, &delay_, &fired_);
        patch_ = std::make_unique<ImportPatch>(module, "DestroyWindow", reinterpret_cast<void*>(&DestroyLate::Call));
        DestroyLate::real = reinterpret_cast<decltype(DestroyLate::real)>(patch_->Original());
        break;
    }
}

// The stand-ins stay where the module may have kept them (a looked-up call): they call the real
// function without delay from here on.
SlowCallPatch::~SlowCallPatch() { *delay_ = 0; }

long SlowCallPatch::Fired() const { return InterlockedCompareExchange(fired_, 0, 0); }

}  // namespace quillpost::stress
