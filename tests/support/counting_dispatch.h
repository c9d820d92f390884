// An object a caller passes as an argument, counting the references others hold on it. Asked
// for its value (DISPID_VALUE), it answers 42, so conversions of it to text or numbers work.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace quillpost::testing {

class CountingDispatch final : public IDispatch {
public:
    // References beyond the one its owner holds.
    LONG Extra() const { return references_ - 1; }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_IDispatch) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&references_); }  // owned by its scope
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override
    {
        if (out) *out = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override
    {
        if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (!result) return E_POINTER;
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = 42;
        return S_OK;
    }

private:
    LONG references_ = 1;
};

}  // namespace quillpost::testing
