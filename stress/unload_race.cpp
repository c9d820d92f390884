// A busy host whose unload query races its apartments: the DLL stays mapped (this process holds
// it), one thread asks the unload query in a loop, and `width` apartments create Sample through
// CoCreateInstance, look names up, call it and release it, for `count` seconds. Every answer is
// checked; a crash or a hang is counted by the parent.
#include <process.h>

#include <memory>
#include <vector>

#include "plugin_driver.h"
#include "scenario.h"

namespace quillpost::stress {
namespace {

using UnloadQuery = HRESULT(STDAPICALLTYPE*)();

struct RaceState {
    unsigned seed = 0;
    ULONGLONG endAt = 0;
    volatile LONG stop = 0;
    volatile LONG rounds = 0;
    volatile LONG wrongAnswers = 0;
    volatile LONG failedCreations = 0;
    long long unloadYes = 0;  // the query answered S_OK; written by the query's thread alone
    long long queries = 0;
    UnloadQuery query = nullptr;
};

bool Ended(const RaceState& state) { return state.stop || GetTickCount64() >= state.endAt; }

// GetIDsOfNames for a method and one of its parameters, and (with `call`) GetPublishInfo's answers.
bool OneRoundAnswersRight(IDispatch* plugin, bool call)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"parsecommand"), const_cast<LPOLESTR>(L"sResult")};
    DISPID ids[2] = {};
    if (plugin->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids) != S_OK) return false;
    if (ids[0] != 0x60030005 || ids[1] != 3) return false;
    if (!call) return true;
    BSTR name = SysAllocString(L"before");
    LONG commands = 0, tags = 7;
    VARIANT args[3];
    V_VT(&args[2]) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&args[2]) = &name;
    V_VT(&args[1]) = VT_BYREF | VT_I4;
    V_I4REF(&args[1]) = &commands;
    V_VT(&args[0]) = VT_BYREF | VT_I4;
    V_I4REF(&args[0]) = &tags;
    DISPPARAMS params{args, nullptr, 3, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = plugin->Invoke(0x60030003, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                      nullptr, nullptr);
    const bool right = hr == S_OK && V_VT(&result) == VT_BOOL && V_BOOL(&result) == VARIANT_TRUE && name &&
                       wcscmp(name, L"Quill Post") == 0 && commands == 1 && tags == 7;
    SysFreeString(name);
    VariantClear(&result);
    return right;
}

unsigned __stdcall Apartment(void* parameter)
{
    auto& state = *static_cast<RaceState*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        InterlockedIncrement(&state.failedCreations);
        return 1;
    }
    CLSID clsid{};
    CLSIDFromProgID(kPluginProgId, &clsid);
    std::mt19937 random(state.seed + GetCurrentThreadId());
    while (!Ended(state)) {
        ComPtr<IDispatch> plugin;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)))) {
            InterlockedIncrement(&state.failedCreations);
            continue;
        }
        if (!OneRoundAnswersRight(plugin.Get(), random() % 2 == 0)) InterlockedIncrement(&state.wrongAnswers);
        InterlockedIncrement(&state.rounds);
    }
    CoUninitialize();
    return 0;
}

unsigned __stdcall AskUnloadQuery(void* parameter)
{
    auto& state = *static_cast<RaceState*>(parameter);
    while (!Ended(state)) {
        if (state.query() == S_OK) ++state.unloadYes;
        ++state.queries;
    }
    return 0;
}

}  // namespace

int UnloadRace(const ScenarioArgs& args)
{
    const HMODULE plugin = LoadLibraryW(kPluginModule);  // kept mapped for the whole run
    if (!plugin) return Verdict(false, "could not load the plug-in");
    RaceState state;
    state.seed = args.seed;
    state.query = reinterpret_cast<UnloadQuery>(reinterpret_cast<void*>(GetProcAddress(plugin, "DllCanUnloadNow")));
    if (!state.query) return Verdict(false, "no DllCanUnloadNow");
    state.endAt = GetTickCount64() + static_cast<ULONGLONG>(args.count) * 1000;
    std::vector<HANDLE> threads;
    threads.push_back(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, AskUnloadQuery, &state, 0, nullptr)));
    for (long i = 0; i < args.width; ++i)
        threads.push_back(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Apartment, &state, 0, nullptr)));
    bool allEnded = true;
    for (HANDLE thread : threads) {
        if (!thread) {
            allEnded = false;
            continue;
        }
        // A hang shows as a thread that is still running well after the end of the run.
        if (WaitForSingleObject(thread, static_cast<DWORD>(args.count) * 1000 + 30000) != WAIT_OBJECT_0) {
            allEnded = false;
            InterlockedExchange(&state.stop, 1);
        }
        CloseHandle(thread);
    }
    Say("figure rounds %ld in %ld apartments over %ld s; unload queries %lld, of which %lld answered yes", state.rounds,
        args.width, args.count, state.queries, state.unloadYes);
    Say("figure wrong answers %ld, failed creations %ld, hung threads %s", state.wrongAnswers,
        state.failedCreations, allEnded ? "none" : "some");
    const bool ok = allEnded && state.wrongAnswers == 0 && state.failedCreations == 0 && state.rounds > 0 &&
                    state.unloadYes > 0;
    return Verdict(ok, "a wrong answer, a failed creation, a hung thread, or no race at all (see figures)");
}

}  // namespace quillpost::stress
