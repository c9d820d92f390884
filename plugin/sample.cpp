// Sample's COM identity: reference counting, interfaces and dispatch.
#include "plugin/sample.h"

#include <new>

#include "base/module.h"
#include "plugin/dispatch_front.h"
#include "plugin/type_info.h"

namespace quillpost {

Sample::Sample() { LockModule(); }
Sample::~Sample() { UnlockModule(); }

HRESULT Sample::Create(REFIID riid, void** out)
{
    *out = nullptr;
    auto* sample = new (std::nothrow) Sample;
    if (!sample) return E_OUTOFMEMORY;
    HRESULT hr = sample->QueryInterface(riid, out);
    sample->Release();  // an object that does not offer riid is destroyed here
    return hr;
}

STDMETHODIMP Sample::QueryInterface(REFIID riid, void** out)
{
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__Sample) {
        *out = static_cast<_Sample*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
        *out = static_cast<ISupportErrorInfo*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Sample::AddRef() { return InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) Sample::Release()
{
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP Sample::GetTypeInfoCount(UINT* count)
{
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP Sample::GetTypeInfo(UINT index, LCID, ITypeInfo** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return GetSampleTypeInfo(out);
}

STDMETHODIMP Sample::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    ITypeInfo* typeInfo = nullptr;  // this object keeps it alive
    if (HRESULT hr = BorrowSampleTypeInfo(&typeInfo); FAILED(hr)) return hr;
    return typeInfo->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP Sample::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* exception, UINT* argError)
{
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_INVALIDARG;
    ITypeInfo* typeInfo = nullptr;  // this object keeps it alive
    if (HRESULT hr = BorrowSampleTypeInfo(&typeInfo); FAILED(hr)) return hr;
    return InvokeThroughFront(typeInfo, static_cast<_Sample*>(this), id, flags, params, result, exception, argError);
}

STDMETHODIMP Sample::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == IID__Sample ? S_OK : S_FALSE;
}

}  // namespace quillpost
