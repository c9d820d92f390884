// Start to first view and the memory it commits: the plug-in in a minimal host against a minimal
// browser host, run in turns from this one long-lived process (which keeps the wineserver and
// its desktop warm), in rotating order so that drift hits all alike. The minimal browser host
// also runs with the plug-in created and named first and released at its end (the least that
// any in-process plug-in costs its host), which splits Quillpost's figure into the platform's
// share and its own.
//
//   start_bench [ROUNDS [TRACED_RUNS]]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/probe.h"
#include "bench/stats.h"

namespace {

using Fields = std::map<std::string, long long>;

int DisplayDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}
constexpr DWORD kSettleMs = 150;           // after each run, before the next one starts

std::wstring BesideThisProgram(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

Fields Parse(const std::string& line)
{
    Fields fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find_first_of(" \n", at), line.size());
        const std::string pair = line.substr(at, end - at);
        const std::size_t equals = pair.find('=');
        if (equals != std::string::npos) fields[pair.substr(0, equals)] = std::atoll(pair.c_str() + equals + 1);
        at = end + 1;
    }
    return fields;
}

// Runs one program to its end and returns its report, with "launch" set to the moment before
// the process was created. Exits the benchmark when the program fails.
Fields Run(const std::wstring& program, const wchar_t* arguments = L"")
{
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) std::exit(10);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    const long long launch = bench::Ticks();
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start %ls (error %lu)\n", program.c_str(), GetLastError());
        std::exit(11);
    }
    CloseHandle(writeEnd);
    std::string output;
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got) output.append(buffer, got);
    WaitForSingleObject(process.hProcess, INFINITE);
    const long long exited = bench::Ticks();
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    if (exitCode != 0 || output.empty()) {
        std::fprintf(stderr, "%ls %ls failed with exit code %lu\n", program.c_str(), arguments, exitCode);
        std::exit(12);
    }
    Fields fields = Parse(output);
    fields["launch"] = launch;
    fields["exit"] = exited;
    // A process that has ended is still being torn down for a while (its browser mapped a lot),
    // and that work slowed whichever process started next: its start to main varied from 40 to
    // 135 ms. A pause lets it end first (with 150 ms the median fell from 93 to 62 ms).
    Sleep(kSettleMs);
    return fields;
}

struct Pair {
    bench::Series plugin, minimal;
};

struct Rounds {
    Pair inProcess, wholeProcess, beforeMain, afterView, memoryShow;
    Pair floorInProcess, floorWholeProcess;  // the minimal host with the plug-in loaded, against the bare one
    bench::Series memoryLoad, memoryNames;
};

double InProcessMs(const Fields& run) { return bench::Milliseconds(run.at("end") - run.at("start") - run.at("probe")); }
double BeforeMainMs(const Fields& run) { return bench::Milliseconds(run.at("start") - run.at("launch")); }
// From the launch to the process's end, teardown and exit included.
double WholeProcessMs(const Fields& run)
{
    return bench::Milliseconds(run.at("exit") - run.at("launch") - run.at("probe"));
}
double AfterViewMs(const Fields& run) { return bench::Milliseconds(run.at("exit") - run.at("end")); }

void Record(const Fields& plugin, const Fields& minimal, const Fields& floor, Rounds& rounds)
{
    rounds.floorInProcess.plugin.Add(InProcessMs(floor));
    rounds.floorInProcess.minimal.Add(InProcessMs(minimal));
    rounds.floorWholeProcess.plugin.Add(WholeProcessMs(floor));
    rounds.floorWholeProcess.minimal.Add(WholeProcessMs(minimal));
    rounds.inProcess.plugin.Add(InProcessMs(plugin));
    rounds.inProcess.minimal.Add(InProcessMs(minimal));
    rounds.wholeProcess.plugin.Add(WholeProcessMs(plugin));
    rounds.wholeProcess.minimal.Add(WholeProcessMs(minimal));
    rounds.beforeMain.plugin.Add(BeforeMainMs(plugin));
    rounds.beforeMain.minimal.Add(BeforeMainMs(minimal));
    rounds.afterView.plugin.Add(AfterViewMs(plugin));
    rounds.afterView.minimal.Add(AfterViewMs(minimal));
    rounds.memoryShow.plugin.Add(plugin.at("memory_show") / 1024.0);
    rounds.memoryShow.minimal.Add(minimal.at("memory_show") / 1024.0);
    rounds.memoryLoad.Add(plugin.at("memory_load") / 1024.0);
    rounds.memoryNames.Add(plugin.at("memory_names") / 1024.0);
}

// `pair.plugin` is the one measured, named `ours`, and `pair.minimal` the one it is held against.
void PrintPair(const char* figure, const Pair& pair, const char* unit, double bar, const char* ours = "Quillpost",
               const char* against = "minimal")
{
    std::printf("%-44s %s %s  %s %s %s  %s\n", figure, ours, pair.plugin.Summary().c_str(), against,
                pair.minimal.Summary().c_str(), unit, bench::RatioText(pair.plugin, pair.minimal, bar).c_str());
}

// Medians over traced runs of each step of the first Initialize; returns the bytes of the skin's
// pixels as the viewer holds them.
double PrintBreakdown(const std::wstring& plugin, const std::wstring& minimal, const Pair& pairs, int runs)
{
    std::map<std::string, bench::Series> steps, minimalSteps;
    auto add = [](Fields fields, std::map<std::string, bench::Series>& to) {
        fields["process_end"] = fields.at("exit") - fields.at("left");
        for (const auto& [name, value] : fields) to[name].Add(value);
    };
    for (int run = 0; run < runs; ++run) {
        add(Run(plugin, L"--trace"), steps);
        add(Run(minimal), minimalSteps);
    }
    auto ms = [&](const char* name) { return bench::Milliseconds(static_cast<long long>(steps[name].Median())); };
    std::printf("P1 first Initialize, medians of %d traced runs (ms): COM %.2f, ProgID %.2f, module load %.2f, "
                "class factory %.2f, type library %.2f, window %.2f, skin %.2f, browser %.2f, heading label %.2f, "
                "Navigate %.2f, show %.2f, heading %.2f\n",
                runs, ms("com"), ms("progid"), ms("module"), ms("factory"), ms("typelib"), ms("window"), ms("skin"), ms("browser"),
                ms("label"), ms("navigate"), ms("show"), ms("heading"));
    auto minimalMs = [&](const char* name) {
        return bench::Milliseconds(static_cast<long long>(minimalSteps[name].Median()));
    };
    std::printf("P1 minimal host, same runs (ms): COM %.2f, window %.2f, browser %.2f, show %.2f, Navigate %.2f; "
                "Quillpost's in-process excess %.2f\n",
                minimalMs("com"), minimalMs("window"), minimalMs("browser"), minimalMs("show"),
                minimalMs("navigate"), pairs.plugin.Median() - pairs.minimal.Median());
    int unloadedRuns = 0;
    for (std::size_t run = 0; run < steps["unloaded"].Size(); ++run) unloadedRuns += steps["unloaded"].At(run) != 0;
    std::printf("P1 teardown, same runs (ms): Quillpost releases Sample %.2f, apartment's end %.2f (the module gone "
                "when it returned in %d of %d runs), process's end %.2f; minimal host closes its control and window "
                "%.2f, apartment's end %.2f, process's end %.2f\n",
                ms("release"), ms("uninitialize"), unloadedRuns, runs, ms("process_end"),
                minimalMs("release"), minimalMs("uninitialize"), minimalMs("process_end"));
    const double skinKiB = steps["memory_skin"].Median() / 1024.0;
    const double pictureBytes = steps["skin_section"].Median();
    std::printf("P3 skin's share: committed while pic builds its skin %.0f KiB (%.2fx the %.0f bytes of pixels "
                "its section holds)\n",
                skinKiB, skinKiB * 1024.0 / pictureBytes, pictureBytes);
    return pictureBytes;
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 30;
    const int tracedRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    // A window of our own for the whole run keeps Wine's desktop process alive between the runs.
    HWND keeper = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"start_bench", WS_POPUP, -10, -10, 1, 1, nullptr,
                                  nullptr, nullptr, nullptr);
    const std::wstring plugin = BesideThisProgram(L"plugin_first_view.exe");
    const std::wstring minimal = BesideThisProgram(L"minimal_browser_host.exe");
    const std::wstring programs[] = {plugin, minimal, minimal};
    const wchar_t* arguments[] = {L"", L"", L"--plugin-loaded"};
    for (int warmUp = 0; warmUp < 2; ++warmUp) {
        for (int program = 0; program < 3; ++program) Run(programs[program], arguments[program]);
    }
    // Every order of the three in turn: each program runs first, second and last, and after each
    // of the others, equally often.
    constexpr int kOrders[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}, {0, 2, 1}, {1, 0, 2}};
    Rounds results;
    for (int round = 0; round < rounds; ++round) {
        Fields runs[3];
        for (int program : kOrders[round % 6]) runs[program] = Run(programs[program], arguments[program]);
        Record(runs[0], runs[1], runs[2], results);
    }
    const int dpi = DisplayDpi();
    std::printf("%d rounds at %d dpi; min / median / max\n", rounds, dpi);
    PrintPair("P1 start to first view, in-process", results.inProcess, "ms", 1.12);
    PrintPair("P1 launch to exit, whole process", results.wholeProcess, "ms", 1.05);
    PrintPair("P1 of which the process's start to main", results.beforeMain, "ms", 0);
    PrintPair("P1 of which first view to exit (teardown)", results.afterView, "ms", 0);
    std::printf("P1 the platform's share: the minimal host with the plug-in created, named and released, "
                "showing nothing of it (\"floor\"), against the bare one; then Quillpost against that floor:\n");
    PrintPair("P1   in-process", results.floorInProcess, "ms", 0, "floor");
    PrintPair("P1   whole process", results.floorWholeProcess, "ms", 0, "floor");
    PrintPair("P1   in-process", {results.inProcess.plugin, results.floorInProcess.plugin}, "ms", 0, "Quillpost",
              "floor");
    PrintPair("P1   whole process", {results.wholeProcess.plugin, results.floorWholeProcess.plugin}, "ms", 0,
              "Quillpost", "floor");
    const double pictureBytes = PrintBreakdown(plugin, minimal, results.inProcess, tracedRuns);
    std::printf("P3 committed private memory added by loading the plug-in: %s KiB; by its type library (the first "
                "name looked up): %s KiB\n",
                results.memoryLoad.Summary().c_str(), results.memoryNames.Summary().c_str());
    PrintPair("P3 committed private memory added by showing (Initialize)", results.memoryShow, "KiB",
              (results.memoryShow.minimal.Median() + 1.05 * pictureBytes / 1024.0) /
                  results.memoryShow.minimal.Median());
    const double excess = (results.memoryShow.plugin.Median() - results.memoryShow.minimal.Median()) * 1024.0;
    std::printf("P3 showing the viewer beyond the minimal host: %.0f KiB = %.2fx the %.0f-byte picture (bar 1.05x)\n",
                excess / 1024.0, excess / pictureBytes, pictureBytes);
    DestroyWindow(keeper);
    return 0;
}
