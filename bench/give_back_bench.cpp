// What giving loader references back costs where COM let go of the module with windows open (as
// Windows' CoUninitialize does), against pinning the module instead. Each run is a process of its
// own, the two kinds in turns:
//  - look: both windows end; their references go back from a pool callback once their thread has
//    left the image, and the module goes;
//  - pin: the same, with the module pinned first, as the other design would pin it.
// Each run reports how long the module took to go after the windows' end (look) and what the
// process holds at the end: private memory committed, and the module's image if it is still there.
//
//   give_back_bench [ROUNDS]          (a run: give_back_bench --run look|pin)
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/probe.h"
#include "bench/stats.h"

namespace {


long long CommittedBytes(DWORD type)
{
    long long total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (BYTE* at = nullptr; VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == type) total += region.RegionSize;
    }
    return total;
}

long long ImageBytes(const wchar_t* name)
{
    const HMODULE module = GetModuleHandleW(name);
    if (!module) return 0;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(module) + dos->e_lfanew)
        ->OptionalHeader.SizeOfImage;
}

HRESULT CallByName(IDispatch* object, const wchar_t* name, VARIANT* arguments, UINT count)
{
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr)) return hr;
    DISPPARAMS params{arguments, nullptr, count, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    VariantClear(&result);
    return hr;
}

// Opens the viewer and the About window through a Sample that COM made; false if either failed.
bool OpenBoth()
{
    CLSID clsid{};
    IDispatch* sample = nullptr;
    if (FAILED(CLSIDFromProgID(bench::kPluginProgId, &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&sample))))
        return false;
    VARIANT arguments[3];  // last first: messenger, email, version
    for (VARIANT& argument : arguments) VariantInit(&argument);
    V_VT(&arguments[0]) = VT_DISPATCH;
    V_DISPATCH(&arguments[0]) = nullptr;
    V_VT(&arguments[1]) = VT_BSTR;
    V_BSTR(&arguments[1]) = SysAllocString(L"bench@quillpost.example");
    V_VT(&arguments[2]) = VT_I4;
    V_I4(&arguments[2]) = 6;
    const bool shown = SUCCEEDED(CallByName(sample, L"Initialize", arguments, 3)) &&
                       SUCCEEDED(CallByName(sample, L"Configure", nullptr, 0));
    VariantClear(&arguments[1]);
    sample->Release();
    return shown;
}

void Pump(DWORD milliseconds)
{
    const ULONGLONG until = GetTickCount64() + milliseconds;
    for (MSG message; GetTickCount64() < until;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

void CloseOurWindows()
{
    for (const wchar_t* caption : {L"About", L"Form1"}) {
        if (HWND window = FindWindowW(nullptr, caption)) SendMessageW(window, WM_CLOSE, 0, 0);
    }
}

// After the windows' end, long enough for an idle pool thread to end (Wine's end after 5 s).
constexpr DWORD kSettleMs = 6000;

// One run, in this process: COM loads the module, asks the unload query (refused: the windows
// are open) and lets go all the same, as Windows' CoUninitialize does; then the windows end.
int RunOnce(bool pin)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!OpenBoth()) return 2;
    const HMODULE module = GetModuleHandleW(L"Quillpost.dll");
    HMODULE pinned = nullptr;
    if (pin) GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"Quillpost.dll", &pinned);
    CoFreeUnusedLibrariesEx(0, 0);
    FreeLibrary(module);  // COM's reference
    LARGE_INTEGER frequency, closed, gone;
    QueryPerformanceFrequency(&frequency);
    CloseOurWindows();
    QueryPerformanceCounter(&closed);
    gone = closed;
    const ULONGLONG measureAt = GetTickCount64() + kSettleMs;
    for (int step = 0; step < 2000 && GetModuleHandleW(L"Quillpost.dll"); ++step) {
        Pump(1);
        QueryPerformanceCounter(&gone);
    }
    // Both kinds are measured at the same moment, once idle pool threads have ended.
    if (GetTickCount64() < measureAt) Pump(static_cast<DWORD>(measureAt - GetTickCount64()));
    std::printf("gone_us=%lld private=%lld image=%lld\n",
                GetModuleHandleW(L"Quillpost.dll") ? -1 : (gone.QuadPart - closed.QuadPart) * 1000000 / frequency.QuadPart,
                CommittedBytes(MEM_PRIVATE), ImageBytes(L"Quillpost.dll"));
    std::fflush(stdout);
    ExitProcess(0);  // this COM keeps a record of a module that is gone: no CoUninitialize
}

// Runs this program as one run of `kind` and returns what it printed; empty when it failed.
std::string RunChild(const wchar_t* kind)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    if (!CreatePipe(&reader, &writer, &inheritable, 0)) return {};
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(path) + L"\" --run " + kind;
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(writer);
    std::string text;
    char buffer[256];
    for (DWORD read = 0; started && ReadFile(reader, buffer, sizeof(buffer), &read, nullptr) && read > 0;)
        text.append(buffer, read);
    CloseHandle(reader);
    if (!started) return {};
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return text;
}

long long Field(const std::string& text, const char* name)
{
    const std::size_t at = text.find(name);
    return at == std::string::npos ? -2 : std::atoll(text.c_str() + at + std::strlen(name) + 1);
}

struct Kind {
    const wchar_t* name;
    bench::Series goneMs, keptKiB;
};

int Compare(int rounds)
{
    Kind look{L"look", {}, {}}, pin{L"pin", {}, {}};
    for (int round = 0; round < rounds; ++round) {
        Kind* const order[] = {round % 2 ? &pin : &look, round % 2 ? &look : &pin};  // each first in turn
        for (Kind* kind : order) {
            const std::string text = RunChild(kind->name);
            if (Field(text, "image") < 0) {
                std::printf("a %ls run failed: %s\n", kind->name, text.c_str());
                return 1;
            }
            if (kind == &look && Field(text, "gone_us") < 0) {
                std::printf("the module did not go after the windows' end: %s\n", text.c_str());
                return 1;
            }
            kind->goneMs.Add(Field(text, "gone_us") / 1000.0);
            kind->keptKiB.Add((Field(text, "private") + Field(text, "image")) / 1024.0);
        }
    }
    std::printf("give-back after COM let go, %d runs each, min / median / max\n", rounds);
    std::printf("  look: module gone %s ms after the windows' end\n", look.goneMs.Summary().c_str());
    std::printf("  held at the end, private memory and the module's image: look %s KiB, pin %s KiB\n",
                look.keptKiB.Summary().c_str(), pin.keptKiB.Summary().c_str());
    std::printf("  pin keeps %.1f KiB more (medians), %.3fx\n", pin.keptKiB.Median() - look.keptKiB.Median(),
                pin.keptKiB.Median() / look.keptKiB.Median());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--run") == 0) return RunOnce(std::strcmp(argv[2], "pin") == 0);
    return Compare(argc > 1 ? std::atoi(argv[1]) : 20);
}
