// The plug-in's DLL loaded into the test process, for calls to its exports.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

namespace quillpost::testing {

class PluginModule {
public:
    PluginModule() : module_(LoadLibraryW(L"Quillpost.dll")) {}
    ~PluginModule()
    {
        if (module_) FreeLibrary(module_);
    }
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    HMODULE Handle() const { return module_; }
    std::wstring Path() const;

    HRESULT CanUnloadNow() const;
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** out) const;
    HRESULT RegisterServer() const;
    HRESULT UnregisterServer() const;
    HRESULT Install(BOOL install, const wchar_t* commandLine) const;

private:
    template <typename Function>
    Function Export(const char* name) const
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HMODULE module_;
};

// Runs a program of the system (e.g. regsvr32) to its end; returns its exit code.
DWORD RunProgram(const std::wstring& commandLine);

}  // namespace quillpost::testing
