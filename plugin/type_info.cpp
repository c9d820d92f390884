#include "plugin/type_info.h"

#include <wrl/client.h>

#include <utility>

#include "core/locks.h"
#include "core/raii.h"
#include "core/module.h"
#include "quillpost_idl.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

SRWLOCK g_lock = SRWLOCK_INIT;        // every load, and every release that may be the last
// Under g_lock. A plain pointer: nothing is released at process exit or under the loader lock.
ITypeInfo* g_cache = nullptr;

HRESULT LoadSampleTypeInfo(ComPtr<ITypeInfo>* out)
{
    wchar_t path[MAX_PATH * 4];
    if (HRESULT hr = GetModulePath(path, ARRAYSIZE(path)); FAILED(hr)) return hr;
    ComPtr<ITypeLib> library;
    if (HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &library); FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(IID__Sample, out->ReleaseAndGetAddressOf());
}

}  // namespace

ITypeInfo* SampleTypeInfo::Get(HRESULT* hr)
{
    *hr = S_OK;
    if (auto* held = static_cast<ITypeInfo*>(InterlockedCompareExchangePointer(
            reinterpret_cast<void**>(&info_), nullptr, nullptr)))
        return held;
    SrwExclusive serialized(g_lock);
    if (info_) return info_;  // another thread of this object's callers took it meanwhile
    if (!g_cache) {
        ComPtr<ITypeInfo> loaded;
        if (*hr = LoadSampleTypeInfo(&loaded); FAILED(*hr)) return nullptr;
        g_cache = loaded.Detach();
    }
    ComPtr<ITypeInfo> own = g_cache;
    InterlockedExchangePointer(reinterpret_cast<void**>(&info_), own.Detach());
    return info_;
}

void SampleTypeInfo::Reset()
{
    if (!info_) return;
    SrwExclusive serialized(g_lock);
    ComPtr<ITypeInfo> dropped;
    Adopt(dropped, static_cast<ITypeInfo*>(InterlockedExchangePointer(reinterpret_cast<void**>(&info_), nullptr)));
}

void ReleaseSampleTypeInfoCache()
{
    SrwExclusive serialized(g_lock);
    ComPtr<ITypeInfo> dropped;
    Adopt(dropped, std::exchange(g_cache, nullptr));
}

}  // namespace quillpost
