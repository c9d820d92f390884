// Calls by name through IDispatch, the way the host reaches the plug-in.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>

namespace quillpost::testing {

// A VARIANT that clears itself.
struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    explicit Variant(long value) : Variant() { vt = VT_I4; lVal = value; }
    explicit Variant(const wchar_t* text) : Variant() { vt = VT_BSTR; bstrVal = SysAllocString(text); }
    explicit Variant(IDispatch* object) : Variant() { vt = VT_DISPATCH; pdispVal = object; if (object) object->AddRef(); }
    // By-reference to a caller-owned variable.
    static Variant RefBstr(BSTR* target) { Variant v; v.vt = VT_BYREF | VT_BSTR; v.pbstrVal = target; return v; }
    static Variant RefLong(LONG* target) { Variant v; v.vt = VT_BYREF | VT_I4; v.plVal = target; return v; }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : VARIANT(other) { VariantInit(&other); }
    ~Variant() { VariantClear(this); }
};

struct CallResult {
    HRESULT hr = E_FAIL;
    Variant value;
    std::wstring description;  // from EXCEPINFO on DISP_E_EXCEPTION
};

DISPID DispIdOf(IDispatch* object, const wchar_t* name);

// Invokes `name` as a method with the arguments in declaration order.
CallResult Call(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT*> args);

// A BSTR the test owns, freed at scope end; Put() lends its address for by-ref calls.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    BSTR* Put() { return &value_; }
    BSTR Get() const { return value_; }
    std::wstring Text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

}  // namespace quillpost::testing
