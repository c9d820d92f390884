// The viewer's way to the same first view, as the host takes it: create the plug-in by its
// ProgID and call Initialize by name. Prints how long that took from main and the memory that
// loading the plug-in, its type library (the first name looked up) and showing the viewer (the
// call itself) committed.
//
// With --trace it also loads the DLL by itself first and watches the viewer's windows through
// hooks, to split the time into module load, class factory, type library and the viewer's steps.
#include <windows.h>
#include <oleauto.h>

#include <cstring>

#include "bench/first_view_trace.h"
#include "bench/probe.h"

namespace {

// A function that only --trace calls, found when it is called: this program imports what the
// minimal browser host imports and no more, since each library a program imports adds to the
// time its process takes to reach main.
template <typename Function>
Function TraceOnly(const wchar_t* library, const char* name)
{
    HMODULE module = GetModuleHandleW(library);  // loaded already, by user32
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The DLL that the registry names for the class.
bool ServerPath(REFCLSID clsid, wchar_t (&path)[MAX_PATH * 2])
{
    wchar_t key[64] = L"CLSID\\";
    StringFromGUID2(clsid, key + 6, 40);
    lstrcatW(key, L"\\InprocServer32");
    DWORD size = sizeof(path);
    const auto getValue = TraceOnly<decltype(&RegGetValueW)>(L"advapi32.dll", "RegGetValueW");
    return getValue &&
           getValue(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, path, &size) == ERROR_SUCCESS;
}

HRESULT InvokeInitialize(IDispatch* plugin, DISPID id)
{
    VARIANT args[3];  // right to left: the messenger, the address, the version
    args[0].vt = VT_DISPATCH;
    args[0].pdispVal = nullptr;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = SysAllocString(L"user@example.com");
    args[2].vt = VT_I4;
    args[2].lVal = 6;
    DISPPARAMS params{args, nullptr, 3, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = plugin->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                      nullptr, nullptr);
    SysFreeString(args[1].bstrVal);
    VariantClear(&result);
    return hr;
}

// The skin's pixel bytes as the picture area holds them.
long long SkinSectionBytes(HWND picture)
{
    auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    DIBSECTION section{};
    const auto getObject = TraceOnly<decltype(&GetObjectW)>(L"gdi32.dll", "GetObjectW");
    if (!bitmap || !getObject || getObject(bitmap, sizeof(section), &section) != sizeof(section)) return 0;
    return section.dsBmih.biSizeImage;
}

}  // namespace

int main(int argc, char** argv)
{
    using bench::Ticks;
    const long long start = Ticks();
    const bool trace = argc > 1 && std::strcmp(argv[1], "--trace") == 0;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    const long long comReady = Ticks();
    const long long memoryStart = bench::CommittedPrivateBytes();
    const long long walked = Ticks();

    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(bench::kPluginProgId, &clsid))) return 2;
    wchar_t path[MAX_PATH * 2] = {};
    if (trace && !ServerPath(clsid, path)) return 3;
    const long long found = Ticks();
    const HMODULE loadedFirst = trace ? LoadLibraryW(path) : nullptr;
    if (trace && !loadedFirst) return 3;
    const long long loaded = Ticks();
    IDispatch* plugin = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&plugin))))
        return 4;
    const long long created = Ticks();
    if (loadedFirst) FreeLibrary(loadedFirst);  // COM holds the module now, as it does untraced
    const long long memoryLoaded = bench::CommittedPrivateBytes();
    const long long walkedAgain = Ticks();

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Initialize")};
    DISPID initialize = 0;
    if (FAILED(plugin->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &initialize))) return 5;
    const long long named = Ticks();
    const long long memoryNamed = bench::CommittedPrivateBytes();
    bench::FirstViewTrace steps;
    if (trace && !bench::StartTrace(&steps)) return 6;
    const long long invoking = Ticks();
    if (FAILED(InvokeInitialize(plugin, initialize))) return 7;
    const long long end = Ticks();
    bench::StopTrace();
    const long long memoryShown = bench::CommittedPrivateBytes();

    // Time spent measuring rather than doing the job: memory walks and setting the hooks.
    const long long probe =
        (walked - comReady) + (walkedAgain - created) + (invoking - named) + steps.walkBeforeSkin + steps.walkAfterSkin;
    {  // printed, as a line of its own, before the teardown below is timed
        bench::Report report;
        report.Add("start", start)
            .Add("end", end)
            .Add("probe", probe)
            .Add("memory_load", memoryLoaded - memoryStart)
            .Add("memory_names", memoryNamed - memoryLoaded)
            .Add("memory_show", memoryShown - memoryNamed);
        if (trace) {
            // Each step ends where the next begins, less the hooks' memory walks between them.
            report.Add("com", comReady - start)
                .Add("progid", found - walked)
                .Add("module", loaded - found)
                .Add("factory", created - loaded)
                .Add("typelib", named - walkedAgain)
                .Add("window", steps.skinStarted - invoking - steps.walkBeforeSkin)
                .Add("skin", steps.skinDone - steps.skinStarted)
                .Add("browser", steps.headingCreated - steps.skinDone - steps.walkAfterSkin)
                .Add("label", steps.loadHeadingDone - steps.headingCreated)
                .Add("navigate", steps.shown - steps.loadHeadingDone)
                .Add("show", steps.emailHeadingSet - steps.shown)
                .Add("heading", end - steps.emailHeadingSet)
                .Add("memory_skin", steps.memoryAfterSkin - steps.memoryBeforeSkin)
                .Add("skin_section", SkinSectionBytes(steps.picture));
        }
    }
    // As a host leaves: its object goes, and its apartment's end takes the viewer with it.
    const long long leaving = Ticks();
    plugin->Release();
    const long long released = Ticks();
    CoUninitialize();
    const long long left = Ticks();
    const bool unloaded = GetModuleHandleW(L"Quillpost.dll") == nullptr;
    bench::Report().Add("release", released - leaving).Add("uninitialize", left - released).Add("left", left).Add(
        "unloaded", unloaded);
    return 0;
}
