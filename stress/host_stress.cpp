// host_stress: a hostile host for Quillpost.dll. Runs each scenario in a child process of its
// own under a time limit and prints the figures, the crashes, the hangs and whether each
// stays within its bar. Seeded: the seed is printed and can be given again.
//
//   host_stress [--seed N] [--short] [--window-cycles N] [--unload-cycles N] [--apartments N]
//               [--rounds N] [--mta-calls N] [--thread-ends N] [--race-seconds N] [--slow-rounds N]
//               [--only NAME,NAME...]   (slow-system names every job of the slow-system family)
//
// Exit code 0 when every scenario ended, none crashed or hung, and every bar is met.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "import_faults.h"
#include "scenario.h"
#include "slow_calls.h"

namespace quillpost::stress {
namespace {

struct Settings {
    unsigned seed = 0;
    long windowCycles = 10000, unloadCycles = 1000, apartments = 8, rounds = 50, mtaCallers = 4, mtaCalls = 200;
    long threadEnds = 20;
    long raceSeconds = 60, raceApartments = 3;
    long slowRounds = 40, slowestCall = 200;  // rounds per slow call, its longest delay in ms
    std::string only;
};

struct Job {
    const char* name;
    long count;
    long width;
    DWORD timeoutMilliseconds;
    bool resumable;  // after a crash the next child goes on from the fault after the last one
    std::optional<FaultFamily> faults = std::nullopt;  // the family whose failures it injects
    const SlowCallRow* slow = nullptr;                  // the call it makes slow
};

// What the parent learnt from one scenario's children.
struct JobResult {
    std::string verdict;
    long crashes = 0, hangs = 0;
    bool ended = false;
    long long growth[5] = {};  // committed bytes, handles, gdi, user, tls slots
    bool hasGrowth = false;
    long tally[4] = {};  // injected, still succeeded, half-changed, broke the next call
    long perUnload[2] = {};  // tls slots, window classes
    bool hasPerUnload = false;
    std::map<std::string, long> crashSites;  // operation that was failing a call when the child died
    std::map<std::string, long> fired;       // injected failures that happened, by function
};

void ParseProtocolLine(const std::string& line, JobResult& result, long& lastResume, std::string& lastSite)
{
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (word == "growth") {
        for (long long& value : result.growth) in >> value;
        result.hasGrowth = true;
    } else if (word == "tally") {
        long values[4] = {};
        for (long& value : values) in >> value;
        for (int i = 0; i < 4; ++i) result.tally[i] += values[i];
    } else if (word == "perunload") {
        in >> result.perUnload[0] >> result.perUnload[1];
        result.hasPerUnload = true;
    } else if (word == "fired") {
        std::string function;
        long count = 0;
        in >> function >> count;
        result.fired[function] += count;
    } else if (word == "resume") {
        in >> lastResume >> lastSite;
    } else if (word == "verdict") {
        result.verdict = line.substr(8);
    }
}

JobResult RunJob(const Job& job, unsigned seed)
{
    JobResult result;
    long resumeFrom = 1;
    for (;;) {
        long lastResume = 0;
        std::string lastSite;
        result.verdict.clear();
        wchar_t arguments[256];
        std::swprintf(arguments, 256, L"--child %hs --seed %u --count %ld --width %ld --resume %ld", job.name, seed,
                      job.count, job.width, resumeFrom);
        const ChildOutcome outcome = RunChild(arguments, job.timeoutMilliseconds, [&](const std::string& line) {
            ParseProtocolLine(line, result, lastResume, lastSite);
            if (line.rfind("figure ", 0) == 0 || line.rfind("fault ", 0) == 0)
                std::printf("  %-16s %s\n", job.name, line.c_str() + (line[0] == 'f' && line[1] == 'i' ? 7 : 0));
            std::fflush(stdout);
        });
        if (outcome.kind == ChildOutcome::Hung) {
            ++result.hangs;
            std::printf("  %-16s HUNG (no end within %lu s)\n", job.name, job.timeoutMilliseconds / 1000);
        } else if (outcome.kind == ChildOutcome::NotStarted) {
            std::printf("  %-16s could not start its process\n", job.name);
        } else if (outcome.kind == ChildOutcome::Crashed || result.verdict.empty()) {
            ++result.crashes;
            if (lastResume) {
                ++result.crashSites[lastSite];
                if (result.crashes <= 3)
                    std::printf("  %-16s CRASHED (exit code 0x%08lx) failing a call of %s; going on after it\n",
                                job.name, outcome.exitCode, lastSite.c_str());
            } else {
                std::printf("  %-16s CRASHED (exit code 0x%08lx)\n", job.name, outcome.exitCode);
            }
        } else {
            result.ended = true;
        }
        std::fflush(stdout);
        if (result.ended || !job.resumable || lastResume == 0 || result.crashes > 200) return result;
        resumeFrom = lastResume + 1;
    }
}

bool Within(const char* what, long long value, long long limit)
{
    const bool ok = value <= limit;
    std::printf("    %-34s %lld (bar %lld) %s\n", what, value, limit, ok ? "met" : "MISSED");
    return ok;
}

bool AtLeast(const char* what, long long value, long long minimum)
{
    const bool ok = value >= minimum;
    std::printf("    %-34s %lld (bar at least %lld) %s\n", what, value, minimum, ok ? "met" : "MISSED");
    return ok;
}

// A named function whose failure never happened is a fault reported as covered that was not.
bool EveryFaultFired(const Job& job, const JobResult& result)
{
    std::printf("  bar %s, failures injected per function named:\n", job.name);
    bool ok = true;
    for (const char* function : ImportFaults::Functions(*job.faults)) {
        const auto found = result.fired.find(function);
        ok &= AtLeast(function, found == result.fired.end() ? 0 : found->second, 1);
    }
    return ok;
}

// A slow call whose delay never fired is an edge reported as covered that was not.
bool SlowCallFired(const SlowCallRow& row, const JobResult& result)
{
    std::printf("  bar %s, delays of the call named:\n", row.job);
    const auto found = result.fired.find(row.function);
    return AtLeast(row.function, found == result.fired.end() ? 0 : found->second, 1);
}

bool GrowthBar(const char* name, const long long* growth)
{
    std::printf("  bar %s:\n", name);
    bool ok = Within("committed bytes after warm-up", growth[0], 1 << 20);
    ok &= Within("handles after warm-up", growth[1], 16);
    ok &= Within("GDI objects after warm-up", growth[2], 16);
    ok &= Within("USER objects after warm-up", growth[3], 16);
    return ok;
}

std::vector<Job> Jobs(const Settings& s)
{
    const DWORD minute = 60000;
    auto windowTime = [&](long cycles) { return static_cast<DWORD>(2 * minute + cycles * 150); };
    std::vector<Job> jobs{
        {"viewer-cycles", s.windowCycles, 0, windowTime(s.windowCycles), false},
        {"browser-baseline", s.windowCycles, 0, windowTime(s.windowCycles), false},
        {"about-cycles", s.windowCycles, 0, windowTime(s.windowCycles), false},
        {"unload-cycles", s.unloadCycles, 0, static_cast<DWORD>(2 * minute + s.unloadCycles * 200), false},
        {"apartments", s.rounds, s.apartments, static_cast<DWORD>(3 * minute + s.rounds * s.apartments * 1500), false},
        {"mta-callers", s.mtaCalls, s.mtaCallers, static_cast<DWORD>(2 * minute + s.mtaCalls * s.mtaCallers * 200),
         false},
        {"thread-ends-uninit", s.threadEnds, 0, static_cast<DWORD>(minute + s.threadEnds * 3000), false},
        {"thread-ends-plain", s.threadEnds, 0, static_cast<DWORD>(minute + s.threadEnds * 3000), false},
        {"unload-race", s.raceSeconds, s.raceApartments, static_cast<DWORD>(minute + s.raceSeconds * 1000), false},
        {"registry-faults", 0, 0, 5 * minute, false, FaultFamily::RegistryWrites},
        {"allocation-faults", 0, 0, 10 * minute, true, FaultFamily::Allocations},
        {"creation-faults", 0, 0, 10 * minute, true, FaultFamily::Creation},
    };
    for (const SlowCallRow& row : SlowCalls())
        jobs.push_back({row.job, s.slowRounds, s.slowestCall, static_cast<DWORD>(minute + s.slowRounds * 20000), false,
                        std::nullopt, &row});
    return jobs;
}

bool Selected(const Settings& s, const Job& job)
{
    if (s.only.empty()) return true;
    const auto named = [&](const char* name) {
        return ("," + s.only + ",").find(std::string(",") + name + ",") != std::string::npos;
    };
    return named(job.name) || (job.slow && named("slow-system"));
}

int RunAll(const Settings& s)
{
    std::printf("host_stress seed %u (give --seed %u to repeat this run)\n", s.seed, s.seed);
    std::printf("counting: %s\n", CountingMethod());
    std::fflush(stdout);
    bool allOk = true;
    JobResult viewer, baseline;
    bool haveViewer = false, haveBaseline = false;
    for (const Job& job : Jobs(s)) {
        if (!Selected(s, job)) continue;
        const ULONGLONG started = GetTickCount64();
        if (job.slow) {
            std::printf("%s (%ld, late by 20 to %ld ms)\n", job.name, job.count, job.width);
        } else if (job.width) {
            std::printf("%s (%ld x %ld)\n", job.name, job.width, job.count);
        } else {
            std::printf("%s (%ld)\n", job.name, job.count);
        }
        std::fflush(stdout);
        const JobResult result = RunJob(job, s.seed);
        for (const auto& [site, crashes] : result.crashSites)
            std::printf("  %-16s crashes while failing calls of %s: %ld\n", job.name, site.c_str(), crashes);
        std::printf("  %-16s %s; crashes %ld, hangs %ld; %.1f s\n", job.name,
                    result.ended ? result.verdict.c_str() : "did not end", result.crashes, result.hangs,
                    (GetTickCount64() - started) / 1000.0);
        bool ok = result.ended && result.crashes == 0 && result.hangs == 0 && result.verdict == "ok";
        const std::string name = job.name;
        if (name == "viewer-cycles") {
            viewer = result;
            haveViewer = result.hasGrowth;
        } else if (name == "browser-baseline") {
            baseline = result;
            haveBaseline = result.hasGrowth;
        } else if (result.hasGrowth && name != "unload-cycles") {
            ok &= GrowthBar(job.name, result.growth);
        }
        if (result.hasPerUnload) {
            std::printf("  bar unload (totals over the cycles after warm-up):\n");
            ok &= Within("TLS slots left by unloads", result.perUnload[0], 0);
            ok &= Within("window classes left by unloads", result.perUnload[1], 0);
        }
        if (job.faults) {
            std::printf("  bar %s (%ld faults injected over all its processes):\n", job.name, result.tally[0]);
            ok &= Within("faults that ended the process", result.crashes, 0);
            ok &= Within("faults that succeeded, result wrong", result.tally[1], 0);
            ok &= Within("faults that left state changed", result.tally[2], 0);
            ok &= Within("faults that broke the next call", result.tally[3], 0);
            ok &= EveryFaultFired(job, result);
        }
        if (job.slow) ok &= SlowCallFired(*job.slow, result);
        allOk &= ok;
        std::fflush(stdout);
    }
    if (haveViewer) {
        long long net[5];
        for (int i = 0; i < 5; ++i) net[i] = viewer.growth[i] - (haveBaseline ? baseline.growth[i] : 0);
        std::printf("viewer growth net of the platform's browser (%s):\n",
                    haveBaseline ? "minimal host measured beside it" : "no baseline measured");
        allOk &= GrowthBar("viewer-cycles (net)", net);
    }
    std::printf("host_stress %s (seed %u)\n", allOk ? "PASSED: every bar met" : "FAILED: see above", s.seed);
    return allOk ? 0 : 1;
}

int RunChildScenario(const std::string& name, const ScenarioArgs& args)
{
    if (name == "viewer-cycles") return ViewerCycles(args);
    if (name == "about-cycles") return AboutCycles(args);
    if (name == "browser-baseline") return BrowserBaseline(args);
    if (name == "unload-cycles") return UnloadCycles(args);
    if (name == "apartments") return Apartments(args);
    if (name == "mta-callers") return MultithreadedCallers(args);
    if (name == "thread-ends-uninit") return ThreadEndsWithWindowsOpen(args, true);
    if (name == "thread-ends-plain") return ThreadEndsWithWindowsOpen(args, false);
    if (name == "unload-race") return UnloadRace(args);
    if (name == "registry-faults") return RegistryFaults(args);
    if (name == "allocation-faults") return AllocationFaults(args);
    if (name == "creation-faults") return CreationFaults(args);
    for (const SlowCallRow& row : SlowCalls()) {
        if (name == row.job) return SlowSystem(args, row);
    }
    return Verdict(false, "no such scenario");
}

long Number(const char* text) { return std::strtol(text, nullptr, 10); }

}  // namespace
}  // namespace quillpost::stress

int main(int argc, char** argv)
{
    using namespace quillpost::stress;
    // A crash must end the child at once with its exception code, not open a debugger dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    Settings settings;
    settings.seed = static_cast<unsigned>(GetTickCount64() ^ GetCurrentProcessId()) % 1000000;
    std::string child;
    ScenarioArgs args;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "0";
        if (option == "--short") {
            // Each count still exceeds its bar, so a leak of one object per cycle shows.
            settings.windowCycles = 24;
            settings.unloadCycles = 30;
            settings.apartments = 8;
            settings.rounds = 2;
            settings.mtaCalls = 20;
            settings.threadEnds = 2;
            settings.raceSeconds = 3;
            settings.slowRounds = 1;
            settings.slowestCall = 50;
            continue;
        }
        ++i;
        if (option == "--seed") settings.seed = args.seed = static_cast<unsigned>(Number(value));
        else if (option == "--window-cycles") settings.windowCycles = Number(value);
        else if (option == "--unload-cycles") settings.unloadCycles = Number(value);
        else if (option == "--apartments") settings.apartments = Number(value);
        else if (option == "--rounds") settings.rounds = Number(value);
        else if (option == "--mta-calls") settings.mtaCalls = Number(value);
        else if (option == "--thread-ends") settings.threadEnds = Number(value);
        else if (option == "--race-seconds") settings.raceSeconds = Number(value);
        else if (option == "--slow-rounds") settings.slowRounds = Number(value);
        else if (option == "--only") settings.only = value;
        else if (option == "--child") child = value;
        else if (option == "--count") args.count = Number(value);
        else if (option == "--width") args.width = Number(value);
        else if (option == "--resume") args.resumeFrom = Number(value);
        else {
            std::fprintf(stderr, "host_stress: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (!child.empty()) return RunChildScenario(child, args);
    // The forum's host does not resolve on a test machine: each page request would wait in the
    // platform's name lookup on a thread of its own for as long as that takes, and the run would
    // measure those threads. A local port where nothing listens refuses the request at once.
    if (!GetEnvironmentVariableW(L"http_proxy", nullptr, 0)) SetEnvironmentVariableW(L"http_proxy", L"http://127.0.0.1:9");
    return RunAll(settings);
}
