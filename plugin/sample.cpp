// Sample's COM identity: reference counting, interfaces and dispatch.
#include "plugin/sample.h"

#include "plugin/dispatch_front.h"

namespace quillpost {

HRESULT Sample::Create(REFIID riid, void** out)
{
    *out = nullptr;
    Microsoft::WRL::ComPtr<Sample> sample;
    if (HRESULT hr = MakeComObject(sample); FAILED(hr)) return hr;
    return sample->QueryInterface(riid, out);  // an object that does not offer riid goes with `sample`
}

std::span<const InterfaceRow> Sample::Interfaces()
{
    static constexpr InterfaceRow kRows[] = {
        Row<Sample, _Sample>(IID__Sample),
        Row<Sample, _Sample>(IID_IDispatch),
        Row<Sample, ISupportErrorInfo>(IID_ISupportErrorInfo),
    };
    return kRows;
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
    HRESULT hr = S_OK;
    ITypeInfo* typeInfo = typeInfo_.Get(&hr);
    if (!typeInfo) return hr;
    *out = Microsoft::WRL::ComPtr<ITypeInfo>(typeInfo).Detach();  // the caller's own reference
    return S_OK;
}

STDMETHODIMP Sample::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    ITypeInfo* typeInfo = typeInfo_.Get(&hr);
    if (!typeInfo) return hr;
    return typeInfo->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP Sample::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* exception, UINT* argError)
{
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_INVALIDARG;
    HRESULT hr = S_OK;
    ITypeInfo* typeInfo = typeInfo_.Get(&hr);
    if (!typeInfo) return hr;
    return InvokeThroughFront(typeInfo, static_cast<_Sample*>(this), id, flags, params, result, exception, argError);
}

STDMETHODIMP Sample::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == IID__Sample ? S_OK : S_FALSE;
}

}  // namespace quillpost
