// Sample: the one object the host creates and calls, through IDispatch or the _Sample vtable.
#pragma once

#include <windows.h>

#include <span>

#include "core/com_object.h"
#include "plugin/type_info.h"
#include "quillpost_idl.h"

namespace quillpost {

// Held by the host only, which keeps the module loaded while it calls: an unload veto suffices.
class Sample final : public ComObject<Sample, UnloadVeto, _Sample, ISupportErrorInfo> {
public:
    // Creates a Sample and asks it for riid; *out = nullptr on failure.
    static HRESULT Create(REFIID riid, void** out);
    static std::span<const InterfaceRow> Interfaces();

    // IDispatch, answered by the type library's standard dispatch behind plugin/dispatch_front.h
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** out) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // _Sample: the host contract
    STDMETHODIMP Initialize(LONG nVersion, BSTR sUserEmail, IDispatch* oMessenger, VARIANT_BOOL* result) override;
    STDMETHODIMP Uninitialize(VARIANT* result) override;
    STDMETHODIMP Configure(VARIANT* result) override;
    STDMETHODIMP GetPublishInfo(BSTR* sPluginName, LONG* nCommandCount, LONG* nTagCount,
                                VARIANT_BOOL* result) override;
    STDMETHODIMP GetPublishCommandInfo(LONG nCommandIdx, BSTR* sName, BSTR* sValue, BSTR* sHelp,
                                       VARIANT* result) override;
    STDMETHODIMP ParseCommand(BSTR sCommand, BSTR sCommandArg, IDispatch* oConversationWnd, BSTR* sResult,
                              VARIANT_BOOL* result) override;

private:
    Sample() = default;
    ~Sample() override = default;
    template <typename Object, typename... Arguments>
    friend HRESULT MakeComObject(Microsoft::WRL::ComPtr<Object>&, Arguments&&...);

    SampleTypeInfo typeInfo_;  // its own reference, taken on first use
};

}  // namespace quillpost
