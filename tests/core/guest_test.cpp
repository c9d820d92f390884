#include "core/guest_test.h"

#include <intrin.h>

#include "support/dispatch.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

DWORD WINAPI RunBody(void* body)
{
    (*static_cast<const std::function<void()>*>(body))();
    return 0;
}

}  // namespace

ComPtr<IDispatch> CreateByProgId()
{
    CLSID clsid{};
    ComPtr<IDispatch> sample;
    if (SUCCEEDED(CLSIDFromProgID(kProgId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample));
    return sample;
}

GetClassObject LoadByHand(HMODULE* module)
{
    *module = LoadLibraryW(L"Quillpost.dll");
    if (!*module) return nullptr;
    return reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(*module, "DllGetClassObject")));
}

bool OpenBothThrough(GetClassObject getClassObject, HWND* viewer, HWND* about)
{
    ComPtr<IClassFactory> factory;
    ComPtr<IDispatch> sample;
    if (SUCCEEDED(getClassObject(CLSID_Sample, IID_PPV_ARGS(&factory))))
        factory->CreateInstance(nullptr, IID_PPV_ARGS(&sample));
    return sample && OpenBothWindows(sample.Get(), viewer, about);
}

bool OpenBothWindows(IDispatch* sample, HWND* viewer, HWND* about)
{
    Variant version(6L), email(L"guest@quillpost.example"), messenger(static_cast<IDispatch*>(nullptr));
    const bool shown = SUCCEEDED(Call(sample, L"Initialize", {&version, &email, &messenger}).hr) &&
                       SUCCEEDED(Call(sample, L"Configure", {}).hr);
    *viewer = ThisThreadsWindow(L"Form1");
    *about = ThisThreadsWindow(L"About");
    return shown && *viewer && *about;
}

HWND ThisThreadsWindow(const wchar_t* caption)
{
    for (HWND window : FindTopLevelWindows(caption)) {
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) return window;
    }
    return nullptr;
}

bool HoldsLoaderLock()
{
    // The process environment block's LoaderLock field (offset 0xA0 in a 32-bit process).
    const auto* peb = reinterpret_cast<const BYTE*>(__readfsdword(0x30));
    const auto* lock = *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(peb + 0xA0);
    return lock && lock->OwningThread == ULongToHandle(GetCurrentThreadId());
}

HRESULT CanUnloadNowOfLoadedModule()
{
    HMODULE plugin = GetModuleHandleW(L"Quillpost.dll");
    if (!plugin) return E_FAIL;
    using Query = HRESULT(STDAPICALLTYPE*)();
    auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(plugin, "DllCanUnloadNow")));
    return query ? query() : E_FAIL;
}

HANDLE StartThread(std::function<void()>* body) { return CreateThread(nullptr, 0, RunBody, body, 0, nullptr); }

bool RunOnThread(const std::function<void()>& body, DWORD timeoutMilliseconds)
{
    HANDLE thread = CreateThread(nullptr, 0, RunBody, const_cast<std::function<void()>*>(&body), 0, nullptr);
    if (!thread) return false;
    const bool ended = WaitPumping(thread, timeoutMilliseconds);
    CloseHandle(thread);
    return ended;
}

std::function<void()> ComThatLetsGo(HANDLE opened, HANDLE freed, HRESULT* answer)
{
    return [=] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ComPtr<IDispatch> sample = CreateByProgId();
        const HMODULE module = GetModuleHandleW(L"Quillpost.dll");
        sample.Reset();
        WaitForSingleObject(opened, INFINITE);
        CoFreeUnusedLibrariesEx(0, 0);  // COM asks
        *answer = CanUnloadNowOfLoadedModule();
        if (module) FreeLibrary(module);
        SetEvent(freed);
        Sleep(INFINITE);
    };
}

bool WaitUntilModuleIsGone(DWORD timeoutMilliseconds)
{
    // The windows' loader reference is given back from a pool thread a moment after they close.
    return PumpUntil([] { return GetModuleHandleW(L"Quillpost.dll") == nullptr; }, timeoutMilliseconds);
}

}  // namespace quillpost::testing
