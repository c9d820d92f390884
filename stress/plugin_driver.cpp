#include "plugin_driver.h"

#include <algorithm>

#include "scenario.h"

namespace quillpost::stress {
namespace {

thread_local std::string t_lastException;

VARIANT Long(long value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Text(const wchar_t* text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
}

VARIANT NoObject()
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = nullptr;
    return v;
}

template <typename T>
VARIANT ByRef(VARTYPE type, T* target)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | type;
    v.byref = target;
    return v;
}

struct EnumState {
    HMODULE module;
    DWORD thread;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectPluginWindow(HWND window, LPARAM state)
{
    auto& s = *reinterpret_cast<EnumState*>(state);
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (s.thread && thread != s.thread) return TRUE;
    if (reinterpret_cast<HMODULE>(GetClassLongPtrW(window, GCLP_HMODULE)) == s.module) s.found.push_back(window);
    return TRUE;
}

}  // namespace

ComPtr<IDispatch> CreatePlugin(HRESULT* hr)
{
    ComPtr<IDispatch> plugin;
    CLSID clsid{};
    *hr = CLSIDFromProgID(kPluginProgId, &clsid);
    if (SUCCEEDED(*hr)) *hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin));
    return plugin;
}

HRESULT CallByName(IDispatch* plugin, const wchar_t* name, std::vector<VARIANT> args)
{
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = plugin->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(hr)) {
        std::reverse(args.begin(), args.end());  // DISPPARAMS holds them last to first
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        UINT argError = 0;
        hr = plugin->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &exception,
                            &argError);
        VariantClear(&result);
        t_lastException.clear();
        for (const wchar_t* c = exception.bstrDescription; c && *c; ++c) t_lastException += *c < 128 ? char(*c) : '?';
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    for (VARIANT& arg : args) {
        if (!(arg.vt & VT_BYREF)) VariantClear(&arg);
    }
    return hr;
}

std::string LastExceptionText() { return t_lastException; }

HRESULT CallInitialize(IDispatch* plugin)
{
    return CallByName(plugin, L"Initialize", {Long(6), Text(L"stress@quillpost.example"), NoObject()});
}

HRESULT CallParseCommand(IDispatch* plugin)
{
    BSTR result = nullptr;
    const HRESULT hr = CallByName(plugin, L"ParseCommand",
                                  {Text(L"/xquillpost"), Text(L""), NoObject(), ByRef(VT_BSTR, &result)});
    SysFreeString(result);
    return hr;
}

HRESULT CallConfigure(IDispatch* plugin) { return CallByName(plugin, L"Configure", {}); }

HRESULT CallGetPublishInfo(IDispatch* plugin)
{
    BSTR name = nullptr;
    LONG commands = 0, tags = 0;
    const HRESULT hr = CallByName(plugin, L"GetPublishInfo",
                                  {ByRef(VT_BSTR, &name), ByRef(VT_I4, &commands), ByRef(VT_I4, &tags)});
    SysFreeString(name);
    return hr;
}

std::vector<HWND> PluginWindows(bool thisThreadOnly)
{
    EnumState state{GetModuleHandleW(kPluginModule), thisThreadOnly ? GetCurrentThreadId() : 0, {}};
    if (!state.module) return {};
    EnumWindows(CollectPluginWindow, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

bool CloseByUser(const std::vector<HWND>& windows, DWORD timeoutMilliseconds)
{
    for (HWND window : windows) PostMessageW(window, WM_CLOSE, 0, 0);
    return PumpUntil(
        [&] { return std::none_of(windows.begin(), windows.end(), [](HWND w) { return IsWindow(w); }); },
        timeoutMilliseconds);
}

ResourceCounts CountWhenSettled(long threadsBefore)
{
    const ULONGLONG started = GetTickCount64();
    const bool settled = PumpUntil([&] { return CountThreads() <= threadsBefore; }, 10000);
    PumpMessages(100);
    Say("figure threads %s in %llu ms", settled ? "settled" : "still running", GetTickCount64() - started);
    return CountResources();
}

bool FreePluginAndWait()
{
    return PumpUntil(
        [] {
            CoFreeUnusedLibrariesEx(0, 0);
            return GetModuleHandleW(kPluginModule) == nullptr;
        },
        2000);
}

}  // namespace quillpost::stress
