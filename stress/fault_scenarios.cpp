// Injected failures: every registry write of registration and unregistration, every
// allocation and every creation of a window, class, GDI object or the browser, failing in
// turn. Each must give a failure HRESULT, leave the registry as it was, and leave the plug-in
// working for the next call.
#include <functional>
#include <string>

#include "import_faults.h"
#include "plugin_driver.h"
#include "registry_text.h"
#include "scenario.h"

namespace quillpost::stress {
namespace {

using ServerFunction = HRESULT(STDAPICALLTYPE*)();

ServerFunction Export(HMODULE module, const char* name)
{
    return reinterpret_cast<ServerFunction>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct Registrar {
    ServerFunction registerServer;
    ServerFunction unregisterServer;
};

enum class Starting { Unregistered, Registered, RegisteredElsewhere };
const char* Name(Starting state)
{
    switch (state) {
    case Starting::Unregistered: return "unregistered";
    case Starting::Registered: return "registered";
    default: return "another copy registered";
    }
}

bool Prepare(const Registrar& registrar, Starting state)
{
    if (state == Starting::Unregistered) return SUCCEEDED(registrar.unregisterServer());
    if (FAILED(registrar.registerServer())) return false;
    return state == Starting::Registered || PointRegistrationElsewhere(L"C:\\elsewhere\\Quillpost.dll");
}

struct RegistryTally {
    long injected = 0, reported = 0, absorbed = 0, incomplete = 0, changed = 0;
};

// Every write of one operation from one starting state fails in turn. A failure must leave the
// registry as it was; a call that still succeeds (the write it lost was already in place) must
// leave exactly what a call without the fault leaves.
void FailEachWrite(const Registrar& registrar, Starting state, bool registering, ImportFaults& faults,
                   RegistryTally& tally)
{
    const char* operationName = registering ? "register" : "unregister";
    const ServerFunction operation = registering ? registrar.registerServer : registrar.unregisterServer;
    if (!Prepare(registrar, state)) return;
    faults.Arm(0);
    if (FAILED(operation())) Say("fault %s from %s fails even without a fault", operationName, Name(state));
    const long writes = faults.Calls();
    const std::string expected = RegistrationText();
    for (long failAt = 1; failAt <= writes; ++failAt) {
        faults.Arm(0);
        if (!Prepare(registrar, state)) return;
        const std::string before = RegistrationText();
        faults.Arm(failAt);
        const HRESULT hr = operation();
        const bool fired = faults.Fired();
        faults.Arm(0);
        if (!fired) continue;
        ++tally.injected;
        const std::string after = RegistrationText();
        if (FAILED(hr)) {
            ++tally.reported;
            if (after == before) continue;
            ++tally.changed;
            Say("fault %s from %s, write %ld of %ld failed (0x%08lx): the registry changed", operationName,
                Name(state), failAt, writes, hr);
        } else if (after == expected) {
            ++tally.absorbed;
        } else {
            ++tally.incomplete;
            Say("fault %s from %s, write %ld of %ld failed: the call succeeded with entries missing", operationName,
                Name(state), failAt, writes);
        }
    }
    Say("figure %s from %s: %ld writes, each failed in turn", operationName, Name(state), writes);
}

}  // namespace

int RegistryFaults(const ScenarioArgs&)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Verdict(false, "CoInitializeEx");
    HMODULE module = LoadLibraryW(kPluginModule);
    const Registrar registrar{Export(module, "DllRegisterServer"), Export(module, "DllUnregisterServer")};
    if (!registrar.registerServer || !registrar.unregisterServer) return Verdict(false, "no registration exports");
    RegistryTally tally;
    {
        ImportFaults faults(FaultFamily::RegistryWrites, {module, GetModuleHandleW(L"oleaut32.dll")});
        for (Starting state : {Starting::Unregistered, Starting::Registered, Starting::RegisteredElsewhere}) {
            FailEachWrite(registrar, state, true, faults, tally);
            FailEachWrite(registrar, state, false, faults, tally);
        }
    }
    const bool restored = SUCCEEDED(registrar.registerServer());  // the run goes on registered
    Say("figure registry faults injected %ld: failure returned and registry unchanged %ld, lost write already in "
        "place so the call completed %ld, succeeded incomplete %ld, failed but changed the registry %ld",
        tally.injected, tally.reported - tally.changed, tally.absorbed, tally.incomplete, tally.changed);
    Say("tally %ld %ld %ld 0", tally.injected, tally.incomplete, tally.changed);
    CoUninitialize();
    return Verdict(tally.injected > 0 && tally.incomplete == 0 && tally.changed == 0 && restored,
                   "an injected registry fault was not reported or left the registry changed");
}

namespace {

struct FaultOperation {
    const char* name;
    std::function<HRESULT()> run;
    std::function<bool()> intact;  // the state the operation must leave after a failure
};

struct FaultTally {
    long injected = 0, succeeded = 0, changed = 0, broken = 0;
};

void CloseAll() { CloseByUser(PluginWindows(true), 5000); }

// Runs each operation once to count its calls of the family, then fails them in turn,
// starting at `resumeFrom` of the whole sequence (after a child that crashed). With
// `exhaustible`, a second pass fails every call from the Nth on, as a heap that stays
// exhausted would: the operation must still fail cleanly, and work again once memory returns.
FaultTally FailEachCall(ImportFaults& faults, const std::vector<FaultOperation>& operations, long resumeFrom,
                        bool exhaustible)
{
    std::vector<long> counts;
    for (const FaultOperation& operation : operations) {
        faults.Arm(0);
        operation.run();
        counts.push_back(faults.Calls());
        CloseAll();
    }
    FaultTally tally;
    long index = 0;
    for (bool onward : {false, true}) {
        if (onward && !exhaustible) break;
        const char* how = onward ? "and every later one " : "";
        for (std::size_t op = 0; op < operations.size(); ++op) {
            for (long failAt = 1; failAt <= counts[op]; ++failAt) {
                if (++index < resumeFrom) continue;
                Say("resume %ld %s call %ld of %ld%s", index, operations[op].name, failAt, counts[op],
                    onward ? " onward" : "");
                faults.Arm(failAt, onward);
                const HRESULT hr = operations[op].run();
                const bool fired = faults.Fired();
                faults.Arm(0);
                CloseAll();
                if (!fired) continue;
                const FaultTally before = tally;
                ++tally.injected;
                if (SUCCEEDED(hr)) {
                    ++tally.succeeded;
                    Say("fault %s, call %ld of %ld %sfailed: the operation still returned 0x%08lx",
                        operations[op].name, failAt, counts[op], how, hr);
                }
                if (operations[op].intact && !operations[op].intact()) {
                    ++tally.changed;
                    Say("fault %s, call %ld of %ld %sfailed: state left half-changed", operations[op].name, failAt,
                        counts[op], how);
                }
                const HRESULT again = operations[op].run();
                CloseAll();
                if (FAILED(again)) {
                    ++tally.broken;
                    Say("fault %s, call %ld of %ld %sfailed: the next call fails too (0x%08lx)", operations[op].name,
                        failAt, counts[op], how, again);
                }
                // Reported as it happens: a later fault may end this process.
                Say("tally 1 %ld %ld %ld", tally.succeeded - before.succeeded, tally.changed - before.changed,
                    tally.broken - before.broken);
            }
        }
    }
    return tally;
}

int RunFaultFamily(FaultFamily family, const char* what, const ScenarioArgs& args, bool withRegistration)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Verdict(false, "CoInitializeEx");
    HMODULE module = LoadLibraryW(kPluginModule);
    HRESULT hr = S_OK;
    ComPtr<IDispatch> plugin = CreatePlugin(&hr);
    if (!module || !plugin) return Verdict(false, "the plug-in cannot be created");
    IDispatch* p = plugin.Get();
    std::vector<FaultOperation> operations = {
        {"create", [] { HRESULT created = S_OK; CreatePlugin(&created); return created; }, nullptr},
        {"GetPublishInfo", [p] { return CallGetPublishInfo(p); }, nullptr},
        {"Configure", [p] { return CallConfigure(p); }, [] { return PluginWindows(true).empty(); }},
        {"Initialize", [p] { return CallInitialize(p); }, [] { return PluginWindows(true).empty(); }},
        {"ParseCommand", [p] { return CallParseCommand(p); }, [] { return PluginWindows(true).empty(); }},
    };
    std::string registered;
    if (withRegistration) {
        const ServerFunction registerServer = Export(module, "DllRegisterServer");
        registered = RegistrationText();
        operations.push_back({"DllRegisterServer", registerServer, [&registered] {
                                  return RegistrationText() == registered;
                              }});
    }
    FaultTally tally;
    {
        ImportFaults faults(family, {module});
        tally = FailEachCall(faults, operations, args.resumeFrom, family == FaultFamily::Allocations);
    }
    Say("figure %s faults injected by this process %ld: operations that still succeeded %ld, left half-changed "
        "%ld, broke the next call %ld",
        what, tally.injected, tally.succeeded, tally.changed, tally.broken);
    plugin.Reset();
    CoUninitialize();
    return Verdict(tally.changed == 0 && tally.broken == 0,
                   "an injected fault left state half-changed or broke the plug-in");
}

}  // namespace

int AllocationFaults(const ScenarioArgs& args)
{
    return RunFaultFamily(FaultFamily::Allocations, "allocation", args, true);
}

int CreationFaults(const ScenarioArgs& args)
{
    return RunFaultFamily(FaultFamily::Creation, "creation", args, false);
}

}  // namespace quillpost::stress
