// Prints what a host pays per call: creating the plug-in, calls through the vtable and by
// name through IDispatch, and whether repeated calls grow the process's memory.
#include <windows.h>
#include <psapi.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdio>

#include "quillpost_idl.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kIterations = 20000;

template <typename Body>
double NanosecondsPerCall(Body body)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kIterations; ++i) body();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::nano>(elapsed).count() / kIterations;
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

void InvokeGetPublishInfo(IDispatch* sample, DISPID id)
{
    BSTR name = nullptr;
    LONG commands = 0, tags = 0;
    VARIANT args[3];
    args[2].vt = VT_BYREF | VT_BSTR, args[2].pbstrVal = &name;
    args[1].vt = VT_BYREF | VT_I4, args[1].plVal = &commands;
    args[0].vt = VT_BYREF | VT_I4, args[0].plVal = &tags;
    DISPPARAMS params{args, nullptr, 3, 0};
    VARIANT result;
    VariantInit(&result);
    sample->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    SysFreeString(name);
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

// The same typed call straight through the platform's ITypeInfo::Invoke, as before the front.
void InvokeGetPublishInfoOnPlatform(ITypeInfo* typeInfo, IUnknown* vtable, DISPID id)
{
    BSTR name = nullptr;
    LONG commands = 0, tags = 0;
    VARIANT args[3];
    args[2].vt = VT_BYREF | VT_BSTR, args[2].pbstrVal = &name;
    args[1].vt = VT_BYREF | VT_I4, args[1].plVal = &commands;
    args[0].vt = VT_BYREF | VT_I4, args[0].plVal = &tags;
    DISPPARAMS params{args, nullptr, 3, 0};
    VARIANT result;
    VariantInit(&result);
    typeInfo->Invoke(vtable, id, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    SysFreeString(name);
}

// Times the three ways of one call in alternating blocks, so that load from elsewhere on the
// machine falls on all of them alike.
void CompareCallPaths(IDispatch* sample, ITypeInfo* typeInfo, IUnknown* vtable, DISPID id)
{
    constexpr int kRounds = 50;
    double platform = 0, typed = 0, variables = 0;
    for (int round = 0; round < kRounds; ++round) {
        platform += NanosecondsPerCall([&] { InvokeGetPublishInfoOnPlatform(typeInfo, vtable, id); });
        typed += NanosecondsPerCall([&] { InvokeGetPublishInfo(sample, id); });
        variables += NanosecondsPerCall([&] { InvokeGetPublishInfoWithVariables(sample, id); });
    }
    platform /= kRounds, typed /= kRounds, variables /= kRounds;
    std::printf("GetPublishInfo, interleaved, %d x %d calls each:\n", kRounds, kIterations);
    std::printf("  typed, ITypeInfo::Invoke alone   %8.0f ns\n", platform);
    std::printf("  typed, Invoke                    %8.0f ns  (%.2fx the platform alone)\n", typed, typed / platform);
    std::printf("  variables by reference, Invoke   %8.0f ns  (%.2fx typed)\n", variables, variables / typed);
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
    DISPID publishInfo = 0, parseCommand = 0;
    sample->GetIDsOfNames(IID_NULL, names, 1, 0, &publishInfo);
    names[0] = const_cast<LPOLESTR>(L"ParseCommand");
    sample->GetIDsOfNames(IID_NULL, names, 1, 0, &parseCommand);
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
    sample->GetTypeInfo(0, 0, &typeInfo);
    CompareCallPaths(sample.Get(), typeInfo.Get(), vtable.Get(), publishInfo);
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
