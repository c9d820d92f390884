// quillpost-host: loads a plug-in of the messenger contract and plays the host for it.
//
//   quillpost-host [--plugin PROGID|{CLSID}|PATH.dll] [--class PROGID|{CLSID}] [--email ADDRESS]
//                  [--typelib] [--session LINE...]
//
// Given a DLL's path, it uses the plug-in unregistered: the class (default TallowPlugin6.Sample)
// is found through the activation context of the DLL's own manifest, active for the session.
// Without --session it reads lines from standard input (see session.h) while keeping the
// plug-in's windows live; with it, it runs the given lines and exits.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/activation_context.h"
#include "host/console_input.h"
#include "host/plugin_client.h"
#include "host/session.h"
#include "host/type_library_printer.h"

using Microsoft::WRL::ComPtr;
using namespace quillpost::host;

namespace {

struct Options {
    std::wstring plugin = L"TallowPlugin6.Sample";
    std::wstring className = L"TallowPlugin6.Sample";  // in a DLL given by its path
    std::wstring email = L"user@quillpost.example";
    bool printTypeLibrary = false;
    bool scripted = false;
    std::vector<std::wstring> session;
};

bool ParseOptions(int argc, wchar_t** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--plugin" && i + 1 < argc) {
            options->plugin = argv[++i];
        } else if (arg == L"--class" && i + 1 < argc) {
            options->className = argv[++i];
        } else if (arg == L"--email" && i + 1 < argc) {
            options->email = argv[++i];
        } else if (arg == L"--typelib") {
            options->printTypeLibrary = true;
        } else if (arg == L"--session") {
            options->scripted = true;
            options->session.assign(argv + i + 1, argv + argc);
            return true;
        } else {
            return false;
        }
    }
    return true;
}

HRESULT PrintTypeLibraryOf(IDispatch* plugin)
{
    ComPtr<ITypeInfo> info;
    ComPtr<ITypeLib> library;
    UINT index = 0;
    if (HRESULT hr = plugin->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info); FAILED(hr)) return hr;
    if (HRESULT hr = info->GetContainingTypeLib(&library, &index); FAILED(hr)) return hr;
    return PrintTypeLibrary(library.Get(), stdout);
}

void PrintPublished(PluginClient& client)
{
    std::wstring name;
    long count = 0;
    if (HRESULT hr = client.GetPublishInfo(&name, &count); FAILED(hr)) {
        std::wprintf(L"GetPublishInfo failed: 0x%08lX\n", static_cast<unsigned long>(hr));
        return;
    }
    std::wprintf(L"Plug-in \"%ls\" publishes %ld command(s):\n", name.c_str(), count);
    for (long index = 1; index <= count; ++index) {
        PublishedCommandInfo command;
        if (FAILED(client.GetPublishCommandInfo(index, &command))) continue;
        std::wprintf(L"  %ld  \"%ls\"  /%ls\n", index, command.name.c_str(), command.value.c_str());
    }
}

void RunInteractive(Session& session)
{
    Session::PrintHelp();
    ConsoleInput input;
    std::wprintf(L"> ");
    std::fflush(stdout);
    while (auto line = input.NextLine()) {
        if (!session.Run(*line)) break;
        std::wprintf(L"> ");
        std::fflush(stdout);
    }
}

// The module that implements the object: its vtable lies in it. The handle holds a reference.
HMODULE AcquirePluginModule(IDispatch* plugin)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, *reinterpret_cast<LPCWSTR*>(plugin), &module);
    return module;
}

// Asks the plug-in's module whether it could be unloaded now, then lets COM free it.
void ReportUnload(HMODULE module)
{
    if (!module) return;
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    const HRESULT answer = canUnload ? canUnload() : E_NOTIMPL;
    std::wprintf(L"DllCanUnloadNow = %ls\n",
                 answer == S_OK ? L"S_OK: the module agreed to unload"
                                : L"S_FALSE: the module stays loaded (a window of it is still open)");
    FreeLibrary(module);
    CoFreeUnusedLibrariesEx(0, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fwprintf(stderr, L"usage: quillpost-host [--plugin PROGID|{CLSID}|PATH.dll] [--class PROGID|{CLSID}] "
                              L"[--email ADDRESS] [--typelib] [--session LINE...]\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int exitCode = 0;
    {
        ActivationContext unregistered;
        if (IsDllPath(options.plugin)) {
            if (HRESULT hr = unregistered.Activate(options.plugin); FAILED(hr)) {
                std::wprintf(L"no activation context from %ls: 0x%08lX\n", options.plugin.c_str(),
                             static_cast<unsigned long>(hr));
                CoUninitialize();
                return 1;
            }
            std::wprintf(L"Using %ls unregistered, through its manifest\n", unregistered.Path().c_str());
            options.plugin = options.className;
        }
        PluginClient client;
        if (HRESULT hr = client.Create(options.plugin); FAILED(hr)) {
            std::wprintf(L"cannot create %ls: 0x%08lX\n", options.plugin.c_str(), static_cast<unsigned long>(hr));
            CoUninitialize();
            return 1;
        }
        if (options.printTypeLibrary) PrintTypeLibraryOf(client.Object());
        bool accepted = false;
        HRESULT hr = client.Initialize(6, options.email, &accepted);
        std::wprintf(L"Initialize(\"%ls\") = %ls (0x%08lX)\n", options.email.c_str(), accepted ? L"True" : L"False",
                     static_cast<unsigned long>(hr));
        PrintPublished(client);
        std::fflush(stdout);

        Session session(client);
        if (options.scripted) {
            for (const std::wstring& line : options.session)
                if (!session.Run(line)) break;
        } else {
            RunInteractive(session);
        }
        client.Uninitialize();
        HMODULE module = AcquirePluginModule(client.Object());
        client.Release();
        ReportUnload(module);
        exitCode = FAILED(hr) ? 1 : 0;
    }
    CoUninitialize();
    return exitCode;
}
