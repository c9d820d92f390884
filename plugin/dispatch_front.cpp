#include "plugin/dispatch_front.h"

#include "core/raii.h"
#include "plugin/method_table.h"

namespace quillpost {
namespace {

// Follows a variable passed on by reference, as a script's ByRef parameter is, to its value.
VARIANT* Dereference(VARIANT* variable)
{
    for (int depth = 0; variable && variable->vt == (VT_BYREF | VT_VARIANT) && depth < 8; ++depth)
        variable = variable->pvarVal;
    return variable;
}

// The platform's answer for an argument it cannot take: it asks for a conversion of the
// reference itself. That never succeeds for a reference of another type; if it did, the
// argument would still be one this front does not pass on.
HRESULT PlatformRefusal(const VARIANT& argument, VARTYPE type)
{
    UniqueVariant scratch;
    const HRESULT hr = VariantChangeType(scratch.Put(), const_cast<VARIANT*>(&argument), 0, type);
    return FAILED(hr) ? hr : DISP_E_TYPEMISMATCH;
}

// VariantChangeType, with the commonest case of a script, an Empty variable, done here: it
// costs about as much as the call itself. A NULL BSTR is automation's empty string.
HRESULT ConvertCopy(VARIANT* copy, VARIANT* source, VARTYPE type)
{
    if (source->vt == VT_EMPTY && (type == VT_BSTR || type == VT_I4)) {
        copy->vt = type;
        copy->llVal = 0;
        return S_OK;
    }
    return VariantChangeType(copy, source, 0, type);
}

// One parameter's argument as the method receives it.
class ArgumentSlot {
public:
    ArgumentSlot() { passed_.vt = owned_.vt = VT_EMPTY; }
    ArgumentSlot(const ArgumentSlot&) = delete;
    ArgumentSlot& operator=(const ArgumentSlot&) = delete;
    ~ArgumentSlot()
    {
        if (owned_.vt != VT_EMPTY) VariantClear(&owned_);
    }

    const VARIANT& Passed() const { return passed_; }
    HRESULT Fill(VARIANT& argument, VARTYPE type);
    void WriteBack();

private:
    HRESULT ReferToVariable(VARIANT* variable, VARTYPE type);
    // All members of the VARIANT union start at the same address.
    void PassReferenceTo(VARIANT& holder, VARTYPE type)
    {
        passed_.vt = type;
        passed_.byref = &holder.lVal;
    }

    VARIANT passed_;                // exactly of the parameter's type; borrowed, never cleared
    VARIANT owned_;                 // a converted copy, or what the method wrote over it
    VARIANT* variable_ = nullptr;   // the caller's variable that takes owned_ if it is written
    LONGLONG original_ = 0;
};

// A variable holding a reference with no target: the platform's conversion would read through it.
bool HoldsNullReference(const VARIANT& argument)
{
    if (argument.vt != (VT_BYREF | VT_VARIANT) || !argument.pvarVal) return false;
    const VARIANT& variable = *argument.pvarVal;
    return (variable.vt & VT_BYREF) && (!variable.byref || HoldsNullReference(variable));
}

HRESULT ArgumentSlot::Fill(VARIANT& argument, VARTYPE type)
{
    if (HoldsNullReference(argument)) return E_INVALIDARG;
    if (argument.vt == type) {
        passed_ = argument;  // the caller's own, exactly typed: nothing to convert or free
        return S_OK;
    }
    const VARTYPE base = type & ~VT_BYREF;
    if (!(type & VT_BYREF) || !(argument.vt & VT_BYREF)) {
        // A value, or a value for an [in, out] parameter: the method works on a copy and the
        // caller's by-value argument is never written.
        const HRESULT hr = ConvertCopy(&owned_, &argument, base);
        if (FAILED(hr)) return hr;
        if (type & VT_BYREF) {
            PassReferenceTo(owned_, type);
        } else {
            passed_ = owned_;
        }
        return S_OK;
    }
    if (argument.vt == (VT_BYREF | VT_VARIANT) && SUCCEEDED(ReferToVariable(Dereference(argument.pvarVal), type)))
        return S_OK;
    return PlatformRefusal(argument, type);
}

// A script's variable for a BSTR* or long* parameter.
HRESULT ArgumentSlot::ReferToVariable(VARIANT* variable, VARTYPE type)
{
    const VARTYPE base = type & ~VT_BYREF;
    if (!variable) return E_POINTER;
    if (variable->vt == base) {
        PassReferenceTo(*variable, type);  // the method replaces the variable's value in place
        return S_OK;
    }
    if (variable->vt == type) {
        passed_ = *variable;  // the variable holds a reference of the parameter's type
        return S_OK;
    }
    if (variable->vt & VT_BYREF) return DISP_E_TYPEMISMATCH;
    if (HRESULT hr = ConvertCopy(&owned_, variable, base); FAILED(hr)) return hr;
    PassReferenceTo(owned_, type);
    variable_ = variable;
    original_ = owned_.llVal;
    return S_OK;
}

// A value equal to the one passed in counts as unwritten, so the variable keeps its type.
void ArgumentSlot::WriteBack()
{
    if (!variable_ || owned_.llVal == original_) return;
    if (FAILED(VariantClear(variable_))) return;
    *variable_ = owned_;  // the variable takes ownership
    VariantInit(&owned_);
}

// The caller's arguments, placed and converted as the platform does, in copies owned here.
class ExactArguments {
public:
    HRESULT Resolve(const MethodShape& method, const DISPPARAMS& params, UINT* argError);
    DISPPARAMS Params()
    {
        for (UINT i = 0; i < count_; ++i) reversed_[count_ - 1 - i] = slots_[i].Passed();
        return {reversed_, nullptr, count_, 0};
    }
    void WriteBack()
    {
        for (UINT i = 0; i < count_; ++i) slots_[i].WriteBack();
    }

private:
    ArgumentSlot slots_[kMaxMethodArguments];
    VARIANT reversed_[kMaxMethodArguments];
    UINT count_ = 0;
};

// Index into rgvarg of parameter `index`'s argument, or -1: a named one first, else the next
// positional one. `lastParameter` may also be named DISPID_PROPERTYPUT.
int ArgumentIndex(const DISPPARAMS& params, UINT index, UINT lastParameter, UINT* positional)
{
    for (UINT j = 0; j < params.cNamedArgs; ++j) {
        const DISPID name = params.rgdispidNamedArgs[j];
        if (name == static_cast<DISPID>(index) || (index == lastParameter && name == DISPID_PROPERTYPUT))
            return static_cast<int>(j);
    }
    if (*positional + params.cNamedArgs >= params.cArgs) return -1;
    return static_cast<int>(params.cArgs - 1 - (*positional)++);
}

// The platform's checks in the platform's order, so that the first failure is the one it reports.
HRESULT ExactArguments::Resolve(const MethodShape& method, const DISPPARAMS& params, UINT* argError)
{
    if (params.cNamedArgs && !params.rgdispidNamedArgs) return E_INVALIDARG;
    const UINT lastParameter = method.argumentCount + (method.hasRetval ? 1 : 0) - 1;
    UINT positional = 0;
    for (UINT i = 0; i < method.argumentCount; ++i) {
        const int index = ArgumentIndex(params, i, lastParameter, &positional);
        if (index < 0) return DISP_E_BADPARAMCOUNT;
        if (!params.rgvarg) return E_INVALIDARG;
        if (HRESULT hr = slots_[i].Fill(params.rgvarg[index], method.types[i]); FAILED(hr)) {
            if (argError) *argError = static_cast<UINT>(index);
            return hr;
        }
        count_ = i + 1;
    }
    // An argument beyond the last parameter would sit where the [retval] is.
    if (method.hasRetval && method.argumentCount < params.cArgs) return DISP_E_BADPARAMCOUNT;
    return S_OK;
}

// Positional arguments of exactly the parameters' types: the platform takes them as they are.
bool IsExact(const MethodShape& method, const DISPPARAMS& params)
{
    if (params.cNamedArgs != 0 || params.cArgs != method.argumentCount) return false;
    if (params.cArgs != 0 && !params.rgvarg) return false;
    for (UINT i = 0; i < params.cArgs; ++i)
        if (params.rgvarg[params.cArgs - 1 - i].vt != method.types[i]) return false;
    return true;
}

}  // namespace

HRESULT InvokeThroughFront(ITypeInfo* typeInfo, IDispatch* object, DISPID id, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    if (!params || params->cNamedArgs > params->cArgs) return E_INVALIDARG;
    bool known = false;
    const MethodShape* method = FindMethod(typeInfo, id, flags, &known);
    // Unknown members touch no argument: the platform answers them as before.
    if (!method || !method->plain || IsExact(*method, *params))
        return typeInfo->Invoke(object, id, flags, params, result, exception, argError);
    ExactArguments arguments;
    if (HRESULT hr = arguments.Resolve(*method, *params, argError); FAILED(hr)) return hr;
    DISPPARAMS exact = arguments.Params();
    const HRESULT hr = typeInfo->Invoke(object, id, flags, &exact, result, exception, argError);
    arguments.WriteBack();
    return hr;
}

}  // namespace quillpost
