// Calls by name through IDispatch, the way the host reaches the plug-in.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>

#include "core/raii.h"

namespace quillpost::testing {

// An argument or result, owned by core/raii.h's UniqueVariant and made from a value.
class Variant : public UniqueVariant {
public:
    Variant() = default;
    explicit Variant(long value) { Set(VT_I4)->lVal = value; }
    explicit Variant(const wchar_t* text) { Set(VT_BSTR)->bstrVal = SysAllocString(text); }
    explicit Variant(IDispatch* object)
    {
        Set(VT_DISPATCH)->pdispVal = object;
        if (object) object->AddRef();
    }
    // By-reference to a caller-owned variable.
    static Variant RefBstr(BSTR* target) { return Variant(VT_BYREF | VT_BSTR, target); }
    static Variant RefLong(LONG* target) { return Variant(VT_BYREF | VT_I4, target); }

private:
    Variant(VARTYPE type, void* target) { Set(type)->byref = target; }
    VARIANT* Set(VARTYPE type)
    {
        VARIANT* value = Put();
        value->vt = type;
        return value;
    }
};

struct CallResult {
    HRESULT hr = E_FAIL;
    Variant value;
    std::wstring description;  // from EXCEPINFO on DISP_E_EXCEPTION
};

DISPID DispIdOf(IDispatch* object, const wchar_t* name);

// Invokes `name` as a method with the arguments in declaration order.
CallResult Call(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT*> args);

// A BSTR the test owns, made from text; InOut() lends it to by-reference calls.
class Bstr : public UniqueBstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : UniqueBstr(SysAllocString(text)) {}
    std::wstring Text() const { return std::wstring(View()); }
};

}  // namespace quillpost::testing
