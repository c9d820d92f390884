#include "host/plugin_client.h"

#include "host/com_owners.h"

namespace quillpost::host {
namespace {

// Arguments as the host passes them: values, or the addresses of its own variables.
VARIANT Typed(VARTYPE type)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    return v;
}
VARIANT ByValue(long value) { VARIANT v = Typed(VT_I4); v.lVal = value; return v; }
VARIANT ByValue(BSTR text) { VARIANT v = Typed(VT_BSTR); v.bstrVal = text; return v; }
VARIANT ByValue(IDispatch* object) { VARIANT v = Typed(VT_DISPATCH); v.pdispVal = object; return v; }
VARIANT ByRef(BSTR* text) { VARIANT v = Typed(VT_BYREF | VT_BSTR); v.pbstrVal = text; return v; }
VARIANT ByRef(LONG* value) { VARIANT v = Typed(VT_BYREF | VT_I4); v.plVal = value; return v; }

std::wstring TextOf(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

}  // namespace

HRESULT PluginClient::Create(const std::wstring& progIdOrClsid)
{
    CLSID clsid{};
    HRESULT hr = progIdOrClsid.starts_with(L"{") ? CLSIDFromString(progIdOrClsid.c_str(), &clsid)
                                                 : CLSIDFromProgID(progIdOrClsid.c_str(), &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin_));
}

HRESULT PluginClient::Invoke(const wchar_t* name, std::vector<VARIANT>& argsLastFirst, VARIANT* result)
{
    lastError_.clear();
    if (!plugin_) return E_UNEXPECTED;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (HRESULT hr = plugin_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr)) return hr;
    DISPPARAMS params{argsLastFirst.data(), nullptr, static_cast<UINT>(argsLastFirst.size()), 0};
    EXCEPINFO exception{};
    HRESULT hr = plugin_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, &exception,
                                 nullptr);
    if (exception.bstrDescription) lastError_ = TextOf(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

HRESULT PluginClient::Initialize(long version, const std::wstring& email, bool* accepted)
{
    UniqueBstr address;
    if (!UniqueBstr::Copy(email, address)) return E_OUTOFMEMORY;
    std::vector<VARIANT> args{ByValue(static_cast<IDispatch*>(nullptr)), ByValue(address.Get()), ByValue(version)};
    UniqueVariant result;
    if (HRESULT hr = Invoke(L"Initialize", args, result.Put()); FAILED(hr)) return hr;
    *accepted = result.Get().vt == VT_BOOL && result.Get().boolVal == VARIANT_TRUE;
    return S_OK;
}

HRESULT PluginClient::GetPublishInfo(std::wstring* pluginName, long* commandCount)
{
    LONG commands = 0, tags = 0;
    BSTR nameSlot = nullptr;
    std::vector<VARIANT> args{ByRef(&tags), ByRef(&commands), ByRef(&nameSlot)};
    UniqueVariant result;
    HRESULT hr = Invoke(L"GetPublishInfo", args, result.Put());
    UniqueBstr name(nameSlot);
    if (FAILED(hr)) return hr;
    *pluginName = TextOf(name.Get());
    *commandCount = commands;
    return S_OK;
}

HRESULT PluginClient::GetPublishCommandInfo(long index, PublishedCommandInfo* command)
{
    BSTR slots[3] = {};
    std::vector<VARIANT> args{ByRef(&slots[2]), ByRef(&slots[1]), ByRef(&slots[0]), ByValue(index)};
    UniqueVariant result;
    HRESULT hr = Invoke(L"GetPublishCommandInfo", args, result.Put());
    UniqueBstr name(slots[0]), value(slots[1]), help(slots[2]);
    if (FAILED(hr)) return hr;
    *command = {index, TextOf(name.Get()), TextOf(value.Get()), TextOf(help.Get())};
    return S_OK;
}

HRESULT PluginClient::ParseCommand(const std::wstring& command, ParseResult* parsed)
{
    UniqueBstr text, argument;
    if (!UniqueBstr::Copy(command, text) || !UniqueBstr::Copy(L"", argument)) return E_OUTOFMEMORY;
    BSTR resultSlot = nullptr;
    std::vector<VARIANT> args{ByRef(&resultSlot), ByValue(static_cast<IDispatch*>(nullptr)),
                              ByValue(argument.Get()), ByValue(text.Get())};
    UniqueVariant result;
    HRESULT hr = Invoke(L"ParseCommand", args, result.Put());
    UniqueBstr written(resultSlot);
    if (FAILED(hr)) return hr;
    parsed->handled = result.Get().vt == VT_BOOL && result.Get().boolVal == VARIANT_TRUE;
    parsed->result = TextOf(written.Get());
    return S_OK;
}

HRESULT PluginClient::Configure()
{
    std::vector<VARIANT> none;
    UniqueVariant result;
    return Invoke(L"Configure", none, result.Put());
}

HRESULT PluginClient::Uninitialize()
{
    std::vector<VARIANT> none;
    UniqueVariant result;
    return Invoke(L"Uninitialize", none, result.Put());
}

}  // namespace quillpost::host
