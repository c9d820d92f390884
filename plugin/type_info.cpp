#include "plugin/type_info.h"

#include <wrl/client.h>

#include "base/module.h"
#include "quillpost_idl.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

ITypeInfo* g_sampleTypeInfo = nullptr;  // owned until the module is freed

HRESULT LoadSampleTypeInfo(ITypeInfo** out)
{
    wchar_t path[MAX_PATH * 4];
    if (HRESULT hr = GetModulePath(path, ARRAYSIZE(path)); FAILED(hr)) return hr;
    ComPtr<ITypeLib> library;
    if (HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &library); FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(IID__Sample, out);
}

}  // namespace

HRESULT BorrowSampleTypeInfo(ITypeInfo** borrowed)
{
    *borrowed = nullptr;
    auto* cached = static_cast<ITypeInfo*>(InterlockedCompareExchangePointer(
        reinterpret_cast<void**>(&g_sampleTypeInfo), nullptr, nullptr));
    if (!cached) {
        ITypeInfo* loaded = nullptr;
        if (HRESULT hr = LoadSampleTypeInfo(&loaded); FAILED(hr)) return hr;
        // Two threads may race to load it; the loser gives its copy back.
        cached = static_cast<ITypeInfo*>(InterlockedCompareExchangePointer(
            reinterpret_cast<void**>(&g_sampleTypeInfo), loaded, nullptr));
        if (cached) {
            loaded->Release();
        } else {
            cached = loaded;
        }
    }
    *borrowed = cached;
    return S_OK;
}

HRESULT GetSampleTypeInfo(ITypeInfo** out)
{
    if (HRESULT hr = BorrowSampleTypeInfo(out); FAILED(hr)) return hr;
    (*out)->AddRef();
    return S_OK;
}

void ReleaseSampleTypeInfo()
{
    auto* cached = static_cast<ITypeInfo*>(
        InterlockedExchangePointer(reinterpret_cast<void**>(&g_sampleTypeInfo), nullptr));
    if (cached) cached->Release();
}

}  // namespace quillpost
