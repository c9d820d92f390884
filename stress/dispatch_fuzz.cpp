// dispatch_fuzz SEED CALLS: random IDispatch::Invoke calls on the registered plug-in.
//
// First every call goes through the plug-in's own IDispatch, counting after a warm-up what the
// heaps hold, the references left on the object the calls pass, and by-value arguments that
// were written. Then the same calls go through the platform's ITypeInfo::Invoke on the same
// object, and each answer that differs is counted by kind. Exit code 0 when nothing leaked,
// nothing by value was written and every difference is one the dispatch front means to make.
#include <windows.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "quillpost_idl.h"
#include "stress/heap_usage.h"
#include "stress/random_call.h"
#include "support/counting_dispatch.h"

using Microsoft::WRL::ComPtr;
using namespace quillpost::stress;
using quillpost::testing::CountingDispatch;

namespace {

uint64_t CallSeed(uint64_t seed, uint64_t index) { return Random(seed ^ (index * 0xD1B54A32D192ED03ull)).Next(); }

struct LeakFigures {
    HeapUsage before, after;
    long long callsLeavingReferences = 0;
    long long callsWritingValues = 0;
};

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs the window messages waiting for this thread, as a host's loop would between calls.
void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Opens both windows once before counting: what they keep for their lifetime is no leak.
void OpenWindows(IDispatch* sample)
{
    VARIANT args[4];
    for (VARIANT& arg : args) VariantInit(&arg);
    args[2].vt = VT_I4, args[2].lVal = 6;
    args[1].vt = VT_BSTR, args[1].bstrVal = SysAllocString(L"fuzz@quillpost.example");
    args[0].vt = VT_DISPATCH, args[0].pdispVal = nullptr;
    DISPPARAMS params{args, nullptr, 3, 0};
    VARIANT result;
    VariantInit(&result);
    sample->Invoke(0x60030000, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);  // Initialize
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    sample->Invoke(0x60030002, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr);  // Configure
    VariantClear(&args[1]);
    PumpMessages();
}

LeakFigures RunThroughFront(IDispatch* sample, uint64_t seed, uint64_t calls, std::vector<Answer>* answers)
{
    CountingDispatch object;
    LeakFigures figures;
    const bool trace = std::getenv("QUILLPOST_FUZZ_TRACE") != nullptr;  // one line per call, to find a crash
    const uint64_t warmUp = calls / 10 < 20000 ? calls / 10 : 20000;
    for (uint64_t i = 0; i < calls; ++i) {
        if (i == warmUp) {
            PumpMessages();
            figures.before = MeasureHeaps();
        }
        {
            RandomCall call(CallSeed(seed, i), &object);
            if (trace) {
                char line[300];
                call.Describe(line, sizeof(line));
                std::fprintf(stderr, "call %llu %s\n", static_cast<unsigned long long>(i), line);
                std::fflush(stderr);
            }
            (*answers)[i] = call.Through(sample);
            if (call.ChangedByValueArguments()) ++figures.callsWritingValues;
        }
        if (object.Extra() != 0) {
            ++figures.callsLeavingReferences;
            while (object.Extra() > 0) object.Release();
        }
    }
    PumpMessages();
    figures.after = MeasureHeaps();
    return figures;
}

// Why an answer may differ from the platform's: the front's deliberate changes.
const char* KindOf(const RandomCall& call)
{
    if (call.PassesVariables()) return "variables passed by reference (VT_BYREF|VT_VARIANT)";
    if (call.PassesValues()) return "by-value arguments the platform would write back";
    return "UNEXPLAINED";
}

struct Differences {
    std::map<std::tuple<std::string, DISPID, HRESULT, HRESULT>, long long> counts;
    long long unexplained = 0, platformNotCalled = 0, total = 0;
    HeapUsage before, after;         // the platform's own leaks, for comparison
    long long referencesLeft = 0;
};

Differences CompareWithPlatform(IDispatch* sample, uint64_t seed, const std::vector<Answer>& answers)
{
    ComPtr<ITypeInfo> typeInfo;
    ComPtr<IUnknown> vtable;
    sample->GetTypeInfo(0, 0, &typeInfo);
    sample->QueryInterface(IID__Sample, reinterpret_cast<void**>(vtable.GetAddressOf()));
    CountingDispatch object;
    Differences differences;
    differences.before = MeasureHeaps();
    for (uint64_t i = 0; i < answers.size(); ++i) {
        RandomCall call(CallSeed(seed, i), &object);
        if (call.CrashesPlatform() && answers[i].hr == E_INVALIDARG) {
            ++differences.platformNotCalled;
            continue;
        }
        const Answer platform = call.Through(typeInfo.Get(), vtable.Get());
        if (platform == answers[i]) continue;
        const char* kind = KindOf(call);
        ++differences.total;
        if (kind[0] == 'U') ++differences.unexplained;
        ++differences.counts[{kind, call.Member(), platform.hr, answers[i].hr}];
    }
    differences.after = MeasureHeaps();
    differences.referencesLeft = object.Extra();
    return differences;
}

void PrintDifferences(const Differences& differences)
{
    std::printf("the platform's dispatch on the same calls: heap %+lld bytes, %+lld blocks, %lld references left\n",
                differences.after.bytes - differences.before.bytes, differences.after.blocks - differences.before.blocks,
                differences.referencesLeft);
    std::printf("answers that differ from ITypeInfo::Invoke: %lld (unexplained: %lld)\n", differences.total,
                differences.unexplained);
    for (const auto& [key, count] : differences.counts) {
        const auto& [kind, member, platform, front] = key;
        std::printf("  %9lld  member 0x%08lX  platform 0x%08lX  front 0x%08lX  %s\n", count,
                    static_cast<unsigned long>(member), static_cast<unsigned long>(platform),
                    static_cast<unsigned long>(front), kind.c_str());
    }
    std::printf("calls the platform would crash on (NULL rgvarg, rgdispidNamedArgs or reference in a "
                "variable), E_INVALIDARG here, not compared: %lld\n", differences.platformNotCalled);
}

}  // namespace

int main(int argc, char** argv)
{
    const uint64_t seed = argc > 1 ? std::strtoull(argv[1], nullptr, 0) : GetTickCount64();
    const uint64_t calls = argc > 2 ? std::strtoull(argv[2], nullptr, 0) : 1000000;
    std::printf("dispatch_fuzz seed %llu, %llu calls\n", static_cast<unsigned long long>(seed),
                static_cast<unsigned long long>(calls));
    std::fflush(stdout);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int exitCode = 2;
    {
        ComPtr<IDispatch> sample;
        if (FAILED(CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample)))) {
            std::printf("the plug-in is not registered\n");
        } else {
            std::vector<Answer> answers(calls);
            OpenWindows(sample.Get());
            auto start = std::chrono::steady_clock::now();
            const LeakFigures leaks = RunThroughFront(sample.Get(), seed, calls, &answers);
            std::printf("through IDispatch::Invoke: %.2f s\n", Seconds(start));
            std::printf("heap after warm-up: %lld bytes in %lld blocks, then %+lld bytes, %+lld blocks\n",
                        leaks.before.bytes, leaks.before.blocks, leaks.after.bytes - leaks.before.bytes,
                        leaks.after.blocks - leaks.before.blocks);
            std::printf("calls leaving references on a passed object: %lld\n", leaks.callsLeavingReferences);
            std::printf("calls writing into by-value arguments: %lld\n", leaks.callsWritingValues);
            start = std::chrono::steady_clock::now();
            const Differences differences = CompareWithPlatform(sample.Get(), seed, answers);
            std::printf("through ITypeInfo::Invoke: %.2f s\n", Seconds(start));
            PrintDifferences(differences);
            const bool clean = leaks.after.bytes == leaks.before.bytes && leaks.callsLeavingReferences == 0 &&
                               leaks.callsWritingValues == 0 && differences.unexplained == 0;
            std::printf("%s\n", clean ? "PASS" : "FAIL");
            exitCode = clean ? 0 : 1;
        }
    }
    CoUninitialize();
    return exitCode;
}
