// Prints what a host pays per call: creating the plug-in, calls through the vtable and by
// name through IDispatch, and whether repeated calls grow the process's memory.
#include <windows.h>
#include <psapi.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdio>

#include "bench/stats.h"
#include "quillpost_idl.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kIterations = 20000;
constexpr int kPairRounds = 61, kPairIterations = 2000;  // short rounds, so that few are disturbed

template <typename Body>
double NanosecondsPerCall(Body body, int iterations = kIterations)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) body();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::nano>(elapsed).count() / iterations;
}

SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    // Wine leaves PrivateUsage at zero; the page-file figure is the process's committed memory.
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

void CallGetPublishInfo(_Sample* sample)
{
    BSTR name = nullptr;
    LONG commands = 0, tags = 0;
    VARIANT_BOOL ok = VARIANT_FALSE;
    sample->GetPublishInfo(&name, &commands, &tags, &ok);
    SysFreeString(name);
}

// GetPublishInfo's typed by-reference arguments, as a host passes them, and the string they receive.
struct PublishInfoArguments {
    BSTR name = nullptr;
    LONG commands = 0, tags = 0;
    VARIANT args[3];
    DISPPARAMS params{args, nullptr, 3, 0};
    VARIANT result;

    PublishInfoArguments()
    {
        args[2].vt = VT_BYREF | VT_BSTR, args[2].pbstrVal = &name;
        args[1].vt = VT_BYREF | VT_I4, args[1].plVal = &commands;
        args[0].vt = VT_BYREF | VT_I4, args[0].plVal = &tags;
        VariantInit(&result);
    }
    PublishInfoArguments(const PublishInfoArguments&) = delete;
    PublishInfoArguments& operator=(const PublishInfoArguments&) = delete;
    ~PublishInfoArguments() { SysFreeString(name); }
};

void InvokeGetPublishInfo(IDispatch* sample, DISPID id)
{
    PublishInfoArguments call;
    sample->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &call.params, &call.result, nullptr, nullptr);
}

// As a script calls it: each argument a reference to a variable (VT_BYREF|VT_VARIANT).
void InvokeGetPublishInfoWithVariables(IDispatch* sample, DISPID id)
{
    VARIANT variables[3], args[3];
    for (int i = 0; i < 3; ++i) {
        VariantInit(&variables[i]);
        args[i].vt = VT_BYREF | VT_VARIANT, args[i].pvarVal = &variables[i];
    }
    variables[0].vt = VT_I4, variables[0].lVal = 0;  // nTagCount: already a long, referred to in place
    DISPPARAMS params{args, nullptr, 3, 0};
    VARIANT result;
    VariantInit(&result);
    sample->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    for (VARIANT& variable : variables) VariantClear(&variable);
}

// The same call through the platform's own dispatch on the type information, the floor for Invoke.
void TypeInfoInvokeGetPublishInfo(ITypeInfo* typeInfo, IUnknown* sample, DISPID id)
{
    PublishInfoArguments call;
    typeInfo->Invoke(sample, id, DISPATCH_METHOD, &call.params, &call.result, nullptr, nullptr);
}

// Invoke against ITypeInfo::Invoke in alternating rounds, so that the machine's noise hits both.
void PrintInvokePair(IDispatch* sample, ITypeInfo* typeInfo, _Sample* vtable, DISPID id)
{
    bench::Series invoke, typeInfoInvoke;
    for (int round = 0; round < kPairRounds; ++round) {
        invoke.Add(NanosecondsPerCall([&] { InvokeGetPublishInfo(sample, id); }, kPairIterations));
        typeInfoInvoke.Add(NanosecondsPerCall([&] { TypeInfoInvokeGetPublishInfo(typeInfo, vtable, id); },
                                              kPairIterations));
    }
    std::printf("P2 GetPublishInfo, Invoke against ITypeInfo::Invoke (%d x %d calls)  Quillpost %s  platform %s ns  %s\n",
                kPairRounds, kPairIterations, invoke.Summary().c_str(), typeInfoInvoke.Summary().c_str(),
                bench::RatioText(invoke, typeInfoInvoke, 1.10).c_str());
}

// A script's call (each argument a variable by reference) against the same typed call, alternating.
void PrintVariablesPair(IDispatch* sample, DISPID id)
{
    bench::Series variables, typed;
    for (int round = 0; round < kPairRounds; ++round) {
        variables.Add(NanosecondsPerCall([&] { InvokeGetPublishInfoWithVariables(sample, id); }, kPairIterations));
        typed.Add(NanosecondsPerCall([&] { InvokeGetPublishInfo(sample, id); }, kPairIterations));
    }
    std::printf("P2 GetPublishInfo, variables by reference against typed Invoke (%d x %d calls)  variables %s  typed %s ns  %s\n",
                kPairRounds, kPairIterations, variables.Summary().c_str(), typed.Summary().c_str(),
                bench::RatioText(variables, typed, 1.50).c_str());
}

void InvokeParseCommand(IDispatch* sample, DISPID id, BSTR command)
{
    BSTR written = nullptr;
    VARIANT args[4];
    args[3].vt = VT_BSTR, args[3].bstrVal = command;
    args[2].vt = VT_BSTR, args[2].bstrVal = nullptr;
    args[1].vt = VT_DISPATCH, args[1].pdispVal = nullptr;
    args[0].vt = VT_BYREF | VT_BSTR, args[0].pbstrVal = &written;
    DISPPARAMS params{args, nullptr, 4, 0};
    VARIANT result;
    VariantInit(&result);
    sample->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    SysFreeString(written);
}

}  // namespace

int main()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    CLSID clsid{};
    ComPtr<IDispatch> sample;
    if (FAILED(CLSIDFromProgID(L"TallowPlugin6.Sample", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample)))) {
        std::printf("TallowPlugin6.Sample is not registered\n");
        return 1;
    }
    ComPtr<_Sample> vtable;
    sample->QueryInterface(IID__Sample, reinterpret_cast<void**>(vtable.GetAddressOf()));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetPublishInfo")};
    LPOLESTR parseCommandName[] = {const_cast<LPOLESTR>(L"ParseCommand")};
    DISPID publishInfo = 0, parseCommand = 0;
    sample->GetIDsOfNames(IID_NULL, names, 1, 0, &publishInfo);
    sample->GetIDsOfNames(IID_NULL, parseCommandName, 1, 0, &parseCommand);
    BSTR other = SysAllocString(L"/somethingelse");

    const SIZE_T before = PrivateBytes();
    std::printf("%d iterations each\n", kIterations);
    std::printf("create + release Sample       %8.0f ns\n", NanosecondsPerCall([&] {
                    ComPtr<IDispatch> created;
                    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&created));
                }));
    ComPtr<IClassFactory> factory;
    CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&factory));
    std::printf("IClassFactory::CreateInstance %8.0f ns\n", NanosecondsPerCall([&] {
                    ComPtr<IDispatch> created;
                    factory->CreateInstance(nullptr, IID_PPV_ARGS(&created));
                }));
    std::printf("GetPublishInfo, vtable        %8.0f ns\n", NanosecondsPerCall([&] { CallGetPublishInfo(vtable.Get()); }));
    LPOLESTR lookedUp[] = {const_cast<LPOLESTR>(L"GetPublishInfo")};
    std::printf("GetIDsOfNames, one name       %8.0f ns\n", NanosecondsPerCall([&] {
                    DISPID id = 0;
                    sample->GetIDsOfNames(IID_NULL, lookedUp, 1, 0, &id);
                }));
    std::printf("GetPublishInfo, Invoke        %8.0f ns\n",
                NanosecondsPerCall([&] { InvokeGetPublishInfo(sample.Get(), publishInfo); }));
    std::printf("ParseCommand (no match), Invoke %6.0f ns\n",
                NanosecondsPerCall([&] { InvokeParseCommand(sample.Get(), parseCommand, other); }));
    ComPtr<ITypeInfo> typeInfo;
    if (SUCCEEDED(sample->GetTypeInfo(0, 0, &typeInfo))) {
        PrintInvokePair(sample.Get(), typeInfo.Get(), vtable.Get(), publishInfo);
        PrintVariablesPair(sample.Get(), publishInfo);
    }
    const SIZE_T after = PrivateBytes();
    std::printf("private bytes: %lu KiB before, %lu KiB after (%+ld KiB)\n", static_cast<unsigned long>(before / 1024),
                static_cast<unsigned long>(after / 1024), static_cast<long>((after - before) / 1024));

    SysFreeString(other);
    factory.Reset();
    vtable.Reset();
    sample.Reset();
    CoUninitialize();
    return 0;
}
