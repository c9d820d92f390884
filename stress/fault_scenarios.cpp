// Injected failures: every registry write of registration and unregistration, every
// allocation and every creation of a window, class, GDI object or the browser, failing in
// turn. Each must give a failure HRESULT, leave the registry as it was, and leave the plug-in
// working for the next call. A click on the About window's link, with allocations failing, must
// start the program or tell the user why it could not.
#include <functional>
#include <string>

#include "core/addresses.h"
#include "import_faults.h"
#include "plugin_driver.h"
#include "registry_text.h"
#include "scenario.h"

namespace quillpost::stress {
namespace {

// A fault the module cannot be given must not pass for one that was.
void SayRefused(const char* missing)
{
    Say("fault injection refused: %ls does not import %s", kPluginModule, missing);
}

int Refuse(const char* missing)
{
    SayRefused(missing);
    return Verdict(false, "a function named for fault injection is not imported by the module");
}

// Tells the parent which functions' failures were injected, as they happen: a later fault may
// end this process before it could sum them up.
class FiredReport {
public:
    explicit FiredReport(const ImportFaults& faults) : faults_(faults) {}
    void SayNew()
    {
        const std::vector<FiredCount> now = faults_.FiredByFunction();
        said_.resize(now.size());
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (now[i].fired > said_[i]) Say("fired %s %ld", now[i].function, now[i].fired - said_[i]);
            said_[i] = now[i].fired;
        }
    }

private:
    const ImportFaults& faults_;
    std::vector<long> said_;
};

using ServerFunction = HRESULT(STDAPICALLTYPE*)();

ServerFunction Export(HMODULE module, const char* name)
{
    return reinterpret_cast<ServerFunction>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct Registrar {
    ServerFunction registerServer;
    ServerFunction unregisterServer;
    bool perUser = false;  // under HKEY_CURRENT_USER\Software\Classes, through DllInstall
};

std::string TextOf(const Registrar& registrar)
{
    return registrar.perUser ? UserClassesText() : RegistrationText();
}

// DllInstall's per-user registration as a registrar's two calls.
using InstallFunction = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
InstallFunction g_install = nullptr;
HRESULT STDAPICALLTYPE InstallForUser() { return g_install(TRUE, L"user"); }
HRESULT STDAPICALLTYPE UninstallForUser() { return g_install(FALSE, L"user"); }

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
    return state == Starting::Registered ||
           (!registrar.perUser && PointRegistrationElsewhere(L"C:\\elsewhere\\Quillpost.dll"));
}

struct RegistryTally {
    long injected = 0, reported = 0, absorbed = 0, incomplete = 0, changed = 0;
};

// Every write of one operation from one starting state fails in turn. A failure must leave the
// registry as it was; a call that still succeeds (the write it lost was already in place) must
// leave exactly what a call without the fault leaves.
void FailEachWrite(const Registrar& registrar, Starting state, bool registering, ImportFaults& faults,
                   FiredReport& firedReport, RegistryTally& tally)
{
    const char* operationName = registering ? "register" : "unregister";
    const ServerFunction operation = registering ? registrar.registerServer : registrar.unregisterServer;
    if (!Prepare(registrar, state)) return;
    faults.Arm(0);
    if (FAILED(operation())) Say("fault %s from %s fails even without a fault", operationName, Name(state));
    const long writes = faults.Calls();
    const std::string expected = TextOf(registrar);
    for (long failAt = 1; failAt <= writes; ++failAt) {
        faults.Arm(0);
        if (!Prepare(registrar, state)) return;
        const std::string before = TextOf(registrar);
        faults.Arm(failAt);
        const HRESULT hr = operation();
        const bool fired = faults.Fired();
        faults.Arm(0);
        if (!fired) continue;
        ++tally.injected;
        firedReport.SayNew();
        const std::string after = TextOf(registrar);
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
    Say("figure %s%s from %s: %ld writes, each failed in turn", operationName, registrar.perUser ? " for the user" : "",
        Name(state), writes);
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
        ImportFaults faults(FaultFamily::RegistryWrites, {module});
        if (!faults.Ready()) return Refuse(faults.Missing().c_str());
        FiredReport firedReport(faults);
        for (Starting state : {Starting::Unregistered, Starting::Registered, Starting::RegisteredElsewhere}) {
            FailEachWrite(registrar, state, true, faults, firedReport, tally);
            FailEachWrite(registrar, state, false, faults, firedReport, tally);
        }
        g_install = reinterpret_cast<InstallFunction>(reinterpret_cast<void*>(GetProcAddress(module, "DllInstall")));
        if (!g_install) return Verdict(false, "no DllInstall export");
        const Registrar perUser{InstallForUser, UninstallForUser, true};
        for (Starting state : {Starting::Unregistered, Starting::Registered}) {
            FailEachWrite(perUser, state, true, faults, firedReport, tally);
            FailEachWrite(perUser, state, false, faults, firedReport, tally);
        }
        UninstallForUser();
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

// Runs each operation once to count its calls of the family, then fails them in turn, numbered
// on from `index` over every call of the scenario and starting at `resumeFrom` (after a child
// that crashed). With `exhaustible`, a second pass fails every call from the Nth on, as a heap
// that stays exhausted would: the operation must still fail cleanly, and work again once memory
// returns.
void FailEachCall(ImportFaults& faults, FiredReport& firedReport, const std::vector<FaultOperation>& operations,
                  long resumeFrom, bool exhaustible, long& index, FaultTally& tally)
{
    std::vector<long> counts;
    for (const FaultOperation& operation : operations) {
        faults.Arm(0);
        operation.run();
        counts.push_back(faults.Calls());
        CloseAll();
    }
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
                firedReport.SayNew();
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
}

// What the module asks the system to start is recorded and answered as a started process would
// be, with handles (of this process) that the module must close: a click then costs no process
// of its own, and a handle it kept would show in the counts.
struct StartRecord {
    long count = 0;
    std::wstring program, commandLine;
    int showWindow = -1;
};
StartRecord g_started;

BOOL WINAPI RecordStart(LPCWSTR program, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                        DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION started)
{
    ++g_started.count;
    g_started.program = program ? program : L"";
    g_started.commandLine = commandLine ? commandLine : L"";
    g_started.showWindow = (startup->dwFlags & STARTF_USESHOWWINDOW) ? startup->wShowWindow : -1;
    const HANDLE self = GetCurrentProcess();
    DuplicateHandle(self, self, self, &started->hProcess, 0, FALSE, DUPLICATE_SAME_ACCESS);
    DuplicateHandle(self, GetCurrentThread(), self, &started->hThread, 0, FALSE, DUPLICATE_SAME_ACCESS);
    started->dwProcessId = GetCurrentProcessId();
    started->dwThreadId = GetCurrentThreadId();
    return TRUE;
}

// The message boxes of this thread, read and dismissed with their button from inside their
// modal loop, where a host's timer runs.
struct ToldRecord {
    long count = 0;
    std::wstring text;
    HWND dismissed = nullptr;
};
ToldRecord g_told;

BOOL CALLBACK ReadAndDismiss(HWND window, LPARAM)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    if (lstrcmpW(className, L"#32770") != 0 || !IsWindowVisible(window) || window == g_told.dismissed) return TRUE;
    ++g_told.count;
    g_told.text.clear();
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[1024] = {};
        GetWindowTextW(child, text, ARRAYSIZE(text));
        g_told.text += text;
        g_told.text += L'\n';
    }
    g_told.dismissed = window;
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK DismissMessageBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), ReadAndDismiss, 0);
}

// A window search's state: the class looked for, and the first window of it found.
struct ClassSearch {
    const wchar_t* className;
    HWND found = nullptr;
};

BOOL CALLBACK NoteWindowOfClass(HWND window, LPARAM search)
{
    auto& wanted = *reinterpret_cast<ClassSearch*>(search);
    wchar_t className[32] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    if (lstrcmpW(className, wanted.className) != 0) return TRUE;
    wanted.found = window;
    return FALSE;
}

bool MessageBoxOpen()
{
    ClassSearch search{L"#32770"};
    EnumThreadWindows(GetCurrentThreadId(), NoteWindowOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
}

// The platform's first message box over a window makes what every later one reuses (some twenty
// GDI objects under Wine): one shown over the About window and dismissed keeps that out of the
// figures.
void WarmUpMessageBoxes(IDispatch* plugin)
{
    if (FAILED(CallConfigure(plugin))) return;
    const std::vector<HWND> windows = PluginWindows(true);
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, DismissMessageBoxes);
    MessageBoxW(windows.empty() ? nullptr : windows.front(), L"warming up", L"host_stress",
                MB_OK | MB_ICONEXCLAMATION);
    KillTimer(nullptr, timer);
    CloseAll();
}

constexpr wchar_t kForumLinkCaption[] = L"Click here to view the forum thread";

std::wstring ForumThreadLine()
{
    return std::wstring(L"Explorer http://") + kForumHost + L"/showthread.php?tid=34690";
}

HWND ForumLink()
{
    for (HWND window : PluginWindows(true)) {
        if (HWND label = FindWindowExW(window, nullptr, nullptr, kForumLinkCaption)) return label;
    }
    return nullptr;
}

std::wstring SystemText(DWORD code)
{
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                   ARRAYSIZE(text), nullptr);
    std::wstring result(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r')) result.pop_back();
    return result;
}

struct LinkClicks {
    long clicks = 0, started = 0, told = 0, toldOutOfMemory = 0, noWindow = 0, unanswered = 0, wrong = 0;
};

bool EndsWith(const std::wstring& text, const wchar_t* end)
{
    const std::size_t length = lstrlenW(end);
    return text.size() >= length && lstrcmpiW(text.c_str() + text.size() - length, end) == 0;
}

// Opens the About window and clicks its forum link as the mouse would (the press and release
// posted to the label), then waits until the program is started or the failure is told. A
// click that told the user fails the operation: it has reported its fault.
HRESULT OpenAboutAndClickLink(IDispatch* plugin, LinkClicks& clicks)
{
    const HRESULT opened = CallConfigure(plugin);
    if (FAILED(opened)) {
        ++clicks.noWindow;
        return opened;
    }
    HWND link = ForumLink();
    if (!link) {
        ++clicks.wrong;
        Say("fault link click: the About window opened without its link");
        return E_FAIL;
    }
    ++clicks.clicks;
    g_told.dismissed = nullptr;  // gone with its modal loop; a new box may be given its handle
    const long startedBefore = g_started.count, toldBefore = g_told.count;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, DismissMessageBoxes);
    RECT box{};
    GetClientRect(link, &box);
    const LPARAM middle = MAKELPARAM(box.right / 2, box.bottom / 2);
    PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageW(link, WM_LBUTTONUP, 0, middle);
    PumpUntil([&] { return g_started.count > startedBefore || g_told.count > toldBefore; });
    KillTimer(nullptr, timer);
    if (g_started.count > startedBefore) {
        ++clicks.started;
        if (EndsWith(g_started.program, L"\\explorer.exe") && g_started.commandLine == ForumThreadLine() &&
            g_started.showWindow == SW_SHOWMINIMIZED) {
            return S_OK;
        }
        ++clicks.wrong;
        Say("fault link click started %ls with \"%ls\", window style %d", g_started.program.c_str(),
            g_started.commandLine.c_str(), g_started.showWindow);
        return E_FAIL;
    }
    if (g_told.count > toldBefore) {
        ++clicks.told;
        if (g_told.text.find(SystemText(ERROR_OUTOFMEMORY)) != std::wstring::npos) ++clicks.toldOutOfMemory;
        if (g_told.text.find(L"Could not start:") == std::wstring::npos ||
            g_told.text.find(ForumThreadLine()) == std::wstring::npos) {
            ++clicks.wrong;
            Say("fault link click told: %ls", g_told.text.c_str());
        }
        return E_FAIL;
    }
    ++clicks.unanswered;
    Say("fault link click: neither a start nor a message within 5 s");
    return E_FAIL;
}

// The About window's forum link clicked with allocations failing, each in turn and from each
// on: the host goes on, the click starts the program or tells the user why it could not, and
// the process keeps nothing of it (counted after one click has made what every later one reuses).
bool FailEachLinkClick(HMODULE module, IDispatch* plugin, long threadsAtStart, ImportFaults& faults,
                       FiredReport& firedReport, long resumeFrom, long& index, FaultTally& tally)
{
    ImportPatch starts(module, "CreateProcessW", reinterpret_cast<const void*>(&RecordStart));
    if (!starts.Slots()) {
        SayRefused("CreateProcessW");
        return false;
    }
    LinkClicks clicks;
    const FaultOperation click{"link-click", [&] { return OpenAboutAndClickLink(plugin, clicks); },
                               [] { return PluginWindows(true).empty() && !MessageBoxOpen(); }};
    faults.Arm(0);
    click.run();
    CloseAll();
    WarmUpMessageBoxes(plugin);
    clicks = {};
    // Both counts wait for the platform's threads of the last clicks (its pool, which keeps an
    // idle thread a few seconds) to end, so that neither holds their handles.
    const ResourceCounts afterWarmUp = CountWhenSettled(threadsAtStart);
    FailEachCall(faults, firedReport, {click}, resumeFrom, true, index, tally);
    const ResourceCounts atEnd = CountWhenSettled(afterWarmUp.threads);
    Say("figure link clicks under allocation faults %ld: started explorer.exe (recorded, not run) %ld, told why not "
        "in a message box %ld (out of memory %ld), About window not opened %ld, no answer %ld, wrong program or "
        "message %ld",
        clicks.clicks, clicks.started, clicks.told, clicks.toldOutOfMemory, clicks.noWindow, clicks.unanswered,
        clicks.wrong);
    SayGrowth("link clicks under allocation faults, growth after warm-up", afterWarmUp, atEnd);
    return clicks.toldOutOfMemory > 0 && clicks.unanswered == 0 && clicks.wrong == 0;
}

// Paints a corner of the viewer's picture at once, over a marker colour: false when the marker
// is still there, that is, when the skin was not drawn.
bool PictureDrawn()
{
    constexpr COLORREF kMarker = RGB(0xFF, 0x00, 0xFF);
    ClassSearch search{L"QuillpostPicture"};
    for (HWND window : PluginWindows(true))
        EnumChildWindows(window, NoteWindowOfClass, reinterpret_cast<LPARAM>(&search));
    const HWND picture = search.found;
    if (!picture) return false;
    const RECT corner{0, 0, 4, 4};
    HDC dc = GetDC(picture);
    SetDCBrushColor(dc, kMarker);
    FillRect(dc, &corner, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    ReleaseDC(picture, dc);
    RedrawWindow(picture, &corner, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    dc = GetDC(picture);
    const COLORREF seen = GetPixel(dc, 2, 2);
    ReleaseDC(picture, dc);
    return seen != kMarker && seen != CLR_INVALID;
}

struct LoadRun {
    HRESULT hr = S_OK;
    long calls = 0;
    bool fired = false;
    bool unloaded = false;
    bool refused = false;
    bool fresh = false;  // the module was not loaded before
};

// One load of the module: both windows shown and the picture painted, with the family's call
// numbered `failAt` failing (0: none), then everything released and the module unloaded. The
// patches go before the module can.
LoadRun ShowAfterLoad(FaultFamily family, long failAt)
{
    LoadRun run;
    run.fresh = GetModuleHandleW(kPluginModule) == nullptr;
    ComPtr<IDispatch> plugin = CreatePlugin(&run.hr);
    if (!plugin) return run;
    {
        ImportFaults faults(family, {GetModuleHandleW(kPluginModule)});
        if (!faults.Ready()) {
            SayRefused(faults.Missing().c_str());
            run.refused = true;
            return run;
        }
        FiredReport firedReport(faults);
        faults.Arm(failAt);
        run.hr = CallConfigure(plugin.Get());
        if (SUCCEEDED(run.hr)) run.hr = CallInitialize(plugin.Get());
        if (SUCCEEDED(run.hr) && !PictureDrawn()) run.hr = E_FAIL;
        run.calls = faults.Calls();
        run.fired = faults.Fired();
        faults.Arm(0);
        CloseAll();
        firedReport.SayNew();
    }
    plugin.Reset();
    run.unloaded = FreePluginAndWait();
    return run;
}

// What only a module's first windows do (register its window classes) and what only painting
// does (the picture's memory DC) fail in turn too: each run loads the module afresh, shows and
// paints, and unloads it. A failure must be reported (a paint that could not draw leaves the
// picture undrawn, which is how it shows), the module must still unload, and the next load work.
bool FailEachCallAfterLoad(FaultFamily family, long resumeFrom, long& index, FaultTally& tally)
{
    if (!FreePluginAndWait()) {
        Say("fault first windows after a load: the module does not unload");
        return false;
    }
    const LoadRun counting = ShowAfterLoad(family, 0);
    if (counting.refused) return false;
    if (FAILED(counting.hr) || !counting.unloaded) {
        Say("fault first windows after a load fail even without a fault (0x%08lx)", counting.hr);
        return false;
    }
    for (long failAt = 1; failAt <= counting.calls; ++failAt) {
        if (++index < resumeFrom) continue;
        Say("resume %ld first-windows call %ld of %ld", index, failAt, counting.calls);
        const LoadRun faulted = ShowAfterLoad(family, failAt);
        if (!faulted.fired) continue;
        const FaultTally before = tally;
        ++tally.injected;
        if (SUCCEEDED(faulted.hr)) {
            ++tally.succeeded;
            Say("fault first windows after a load, call %ld of %ld failed: still returned 0x%08lx", failAt,
                counting.calls, faulted.hr);
        }
        if (!faulted.unloaded || !faulted.fresh) {
            ++tally.changed;
            Say("fault first windows after a load, call %ld of %ld failed: the module stayed loaded", failAt,
                counting.calls);
        }
        const LoadRun again = ShowAfterLoad(family, 0);
        if (FAILED(again.hr)) {
            ++tally.broken;
            Say("fault first windows after a load, call %ld of %ld failed: the next load fails too (0x%08lx)",
                failAt, counting.calls, again.hr);
        }
        Say("tally 1 %ld %ld %ld", tally.succeeded - before.succeeded, tally.changed - before.changed,
            tally.broken - before.broken);
    }
    Say("figure first windows after a load: %ld calls, each failed in turn", counting.calls);
    return true;
}

int RunFaultFamily(FaultFamily family, const char* what, const ScenarioArgs& args, bool withRegistration)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Verdict(false, "CoInitializeEx");
    const long threadsAtStart = CountThreads();
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
    const bool exhaustible = family == FaultFamily::Allocations;
    FaultTally tally;
    long index = 0;
    bool linkClicksOk = true;
    {
        ImportFaults faults(family, {module});
        if (!faults.Ready()) return Refuse(faults.Missing().c_str());
        FiredReport firedReport(faults);
        // The clicks come first, while no browser of an earlier operation is still winding down
        // on threads of its own: the figures are the clicks' alone.
        if (exhaustible) {
            linkClicksOk =
                FailEachLinkClick(module, p, threadsAtStart, faults, firedReport, args.resumeFrom, index, tally);
        }
        FailEachCall(faults, firedReport, operations, args.resumeFrom, exhaustible, index, tally);
    }
    plugin.Reset();
    bool afterLoadOk = true;
    if (family == FaultFamily::Creation) {
        FreeLibrary(module);  // the module must be free to go between the runs
        afterLoadOk = FailEachCallAfterLoad(family, args.resumeFrom, index, tally);
    }
    Say("figure %s faults injected by this process %ld: operations that still succeeded %ld, left half-changed "
        "%ld, broke the next call %ld",
        what, tally.injected, tally.succeeded, tally.changed, tally.broken);
    CoUninitialize();
    if (!afterLoadOk) return Verdict(false, "the first windows after a load could not be run");
    if (!linkClicksOk) return Verdict(false, "link clicks under allocation faults: see the figures above");
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
