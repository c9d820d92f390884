#include "support/module.h"

namespace quillpost::testing {

std::wstring PluginModule::Path() const
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(module_, path, ARRAYSIZE(path));
    return path;
}

HRESULT PluginModule::CanUnloadNow() const
{
    return Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow")();
}

HRESULT PluginModule::GetClassObject(REFCLSID clsid, REFIID riid, void** out) const
{
    return Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(clsid, riid, out);
}

HRESULT PluginModule::RegisterServer() const
{
    return Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer")();
}

HRESULT PluginModule::UnregisterServer() const
{
    return Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer")();
}

HRESULT PluginModule::Install(BOOL install, const wchar_t* commandLine) const
{
    return Export<HRESULT(STDAPICALLTYPE*)(BOOL, PCWSTR)>("DllInstall")(install, commandLine);
}

DWORD RunProgram(const std::wstring& commandLine)
{
    std::wstring mutableLine = commandLine;
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return static_cast<DWORD>(-1);
    WaitForSingleObject(process.hProcess, 60000);
    DWORD exitCode = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

}  // namespace quillpost::testing
