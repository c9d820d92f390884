#include "stress/random_call.h"

#include <cstdio>
#include <cstring>

namespace quillpost::stress {
namespace {

constexpr DISPID kInitialize = 0x60030000, kUninitialize = 0x60030001, kConfigure = 0x60030002,
                 kGetPublishInfo = 0x60030003, kGetPublishCommandInfo = 0x60030004, kParseCommand = 0x60030005;

constexpr VARTYPE kTypes[] = {VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BSTR,
                              VT_DISPATCH, VT_ERROR, VT_BOOL, VT_UNKNOWN, VT_DECIMAL, VT_I1, VT_UI1, VT_UI2,
                              VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT, VT_ARRAY | VT_I4};
// The parameters' own types, drawn more often so that many calls get through.
constexpr VARTYPE kUsualTypes[] = {VT_I4, VT_BSTR, VT_DISPATCH};
constexpr LONGLONG kNumbers[] = {0, 1, -1, 2, 7, 255, 32767, 65536, 0x7fffffff};
constexpr double kReals[] = {0.0, 1.0, 1.5, -2.0, 1e10, 1e300};
// Showing the viewer is slow: the recognised command is rare.
constexpr const wchar_t* kTexts[] = {L"", L"12", L"abc", L"True", L"-3", L"1e3", nullptr, L"/xquillpos"};

DISPID RandomMember(Random& random)
{
    if (random.OneIn(20000)) return random.OneIn(2) ? kInitialize : kConfigure;
    constexpr DISPID kCommon[] = {kGetPublishInfo, kGetPublishCommandInfo, kParseCommand, kUninitialize};
    if (!random.OneIn(6)) return random.Pick(kCommon);
    constexpr DISPID kOthers[] = {0, -1, DISPID_VALUE, DISPID_PROPERTYPUT, 0x60030006, 0x60010000, 0x60000001};
    return random.OneIn(4) ? static_cast<DISPID>(random.Next()) : random.Pick(kOthers);
}

WORD RandomFlags(Random& random)
{
    if (!random.OneIn(5)) return DISPATCH_METHOD;
    constexpr WORD kFlags[] = {0, DISPATCH_PROPERTYGET, DISPATCH_METHOD | DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT,
                               DISPATCH_PROPERTYPUTREF, DISPATCH_METHOD | DISPATCH_PROPERTYPUT};
    return random.OneIn(4) ? static_cast<WORD>(random.Next() & 0xF) : random.Pick(kFlags);
}

UINT ArgumentCountOf(DISPID member)
{
    switch (member) {
    case kInitialize: return 3;
    case kGetPublishInfo: return 3;
    case kGetPublishCommandInfo: return 4;
    case kParseCommand: return 4;
    default: return 0;
    }
}

BSTR RandomText(Random& random)
{
    if (random.OneIn(50000)) return SysAllocString(L"/XQuillPost");
    const wchar_t* text = random.Pick(kTexts);
    return text ? SysAllocString(text) : nullptr;
}

}  // namespace

uint64_t Random::Next()
{
    // splitmix64: every seed gives a full-period, well-mixed sequence.
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

RandomCall::RandomCall(uint64_t seed, IDispatch* object) : object_(object)
{
    for (UINT i = 0; i < kMaxArguments; ++i) {
        VariantInit(&arguments_[i]);
        VariantInit(&targets_[i]);
        VariantInit(&inner_[i]);
    }
    VariantInit(&result_);
    Random random(seed);
    member_ = RandomMember(random);
    flags_ = RandomFlags(random);
    UINT count = ArgumentCountOf(member_);
    if (random.OneIn(2)) count = random.Below(kMaxArguments + 1);
    for (UINT i = 0; i < count; ++i) AddArgument(random, i);
    std::memcpy(before_, arguments_, sizeof(before_));
    params_.cArgs = count;
    params_.rgvarg = count && random.OneIn(300) ? nullptr : arguments_;
    if (count && random.OneIn(6)) {
        params_.cNamedArgs = 1 + random.Below(count);
        constexpr DISPID kNames[] = {0, 1, 2, 3, DISPID_PROPERTYPUT, 99, -1};
        for (UINT i = 0; i < params_.cNamedArgs; ++i) names_[i] = random.Pick(kNames);
        params_.rgdispidNamedArgs = random.OneIn(200) ? nullptr : names_;
    }
    if (random.OneIn(500)) params_.cNamedArgs = params_.cArgs + 1;
    useResult_ = !random.OneIn(10);
    useException_ = !random.OneIn(5);
    useArgError_ = !random.OneIn(3);
}

RandomCall::~RandomCall()
{
    for (UINT i = 0; i < kMaxArguments; ++i) {
        if (!(arguments_[i].vt & VT_BYREF)) VariantClear(&arguments_[i]);
        VariantClear(&targets_[i]);
        VariantClear(&inner_[i]);
    }
    VariantClear(&result_);
    SysFreeString(exception_.bstrSource);
    SysFreeString(exception_.bstrDescription);
    SysFreeString(exception_.bstrHelpFile);
}

void RandomCall::AddArgument(Random& random, UINT index)
{
    VARIANT* argument = &arguments_[index];
    const VARTYPE type = random.OneIn(2) ? random.Pick(kUsualTypes) : random.Pick(kTypes);
    switch (random.Below(4)) {
    case 0:
        FillReference(random, argument, &targets_[index], type);
        break;
    case 1:
        // A script's variable, now and then holding a reference (to a value or to another variable).
        argument->vt = VT_BYREF | VT_VARIANT;
        argument->pvarVal = random.OneIn(30) ? nullptr : &targets_[index];
        if (random.OneIn(10)) {
            FillReference(random, &targets_[index], &inner_[index], random.OneIn(3) ? static_cast<VARTYPE>(VT_VARIANT) : type);
        } else {
            FillValue(random, &targets_[index], type);
        }
        break;
    default:
        FillValue(random, argument, type);
        break;
    }
}

// A reference of `type` to `target`, which holds a value of that type (or is NULL, rarely).
void RandomCall::FillReference(Random& random, VARIANT* argument, VARIANT* target, VARTYPE type)
{
    if (type == VT_VARIANT) {
        FillValue(random, target, random.Pick(kUsualTypes));
    } else {
        FillValue(random, target, type);
    }
    argument->vt = VT_BYREF | type;
    if (type == VT_VARIANT) {
        argument->pvarVal = target;
    } else if (type == VT_DECIMAL) {
        argument->pdecVal = &target->decVal;
    } else {
        argument->byref = &target->lVal;  // every union member starts here
    }
    if (random.OneIn(20)) argument->byref = nullptr;
}

void RandomCall::FillValue(Random& random, VARIANT* value, VARTYPE type)
{
    value->llVal = 0;
    switch (type) {
    case VT_BSTR: value->bstrVal = RandomText(random); break;
    case VT_DISPATCH: value->pdispVal = random.OneIn(4) ? nullptr : object_; break;
    case VT_UNKNOWN: value->punkVal = random.OneIn(4) ? nullptr : object_; break;
    case VT_R4: value->fltVal = static_cast<float>(random.Pick(kReals)); break;
    case VT_R8: case VT_DATE: value->dblVal = random.Pick(kReals); break;
    case VT_BOOL: value->boolVal = random.Pick({VARIANT_FALSE, VARIANT_TRUE, static_cast<VARIANT_BOOL>(0x1234)}); break;
    case VT_ERROR: value->scode = random.Pick({S_OK, DISP_E_PARAMNOTFOUND, E_FAIL}); break;
    case VT_DECIMAL: VarDecFromI4(static_cast<LONG>(random.Pick(kNumbers)), &value->decVal); break;
    case VT_ARRAY | VT_I4: value->parray = SafeArrayCreateVector(VT_I4, 0, 2); break;
    default: value->llVal = random.Pick(kNumbers); break;
    }
    if ((type == VT_DISPATCH || type == VT_UNKNOWN) && value->punkVal) value->punkVal->AddRef();
    value->vt = type;  // after the value: a DECIMAL covers the type field
}

Answer RandomCall::Through(IDispatch* target)
{
    return Finish(target->Invoke(member_, IID_NULL, 0, flags_, &params_, useResult_ ? &result_ : nullptr,
                                 useException_ ? &exception_ : nullptr, useArgError_ ? &argError_ : nullptr));
}

Answer RandomCall::Through(ITypeInfo* typeInfo, IUnknown* vtable)
{
    return Finish(typeInfo->Invoke(vtable, member_, flags_, &params_, useResult_ ? &result_ : nullptr,
                                   useException_ ? &exception_ : nullptr, useArgError_ ? &argError_ : nullptr));
}

Answer RandomCall::Finish(HRESULT hr)
{
    Answer answer{hr};
    if (SUCCEEDED(hr) && useResult_) {
        answer.type = result_.vt;
        answer.bits = result_.vt == VT_BOOL ? result_.boolVal : 0;
    }
    return answer;
}

bool RandomCall::PassesVariables() const
{
    for (UINT i = 0; i < params_.cArgs; ++i)
        if (arguments_[i].vt == (VT_BYREF | VT_VARIANT)) return true;
    return false;
}

bool RandomCall::PassesValues() const
{
    for (UINT i = 0; i < params_.cArgs; ++i)
        if (!(arguments_[i].vt & VT_BYREF)) return true;
    return false;
}

bool RandomCall::CrashesPlatform() const
{
    if ((params_.cArgs && !params_.rgvarg) || (params_.cNamedArgs && !params_.rgdispidNamedArgs)) return true;
    for (UINT i = 0; i < params_.cArgs; ++i) {
        const VARIANT& argument = arguments_[i];
        if (argument.vt != (VT_BYREF | VT_VARIANT) || !argument.pvarVal) continue;
        const VARIANT& variable = *argument.pvarVal;
        if ((variable.vt & VT_BYREF) && !variable.byref) return true;
    }
    return false;
}

bool RandomCall::ChangedByValueArguments() const
{
    for (UINT i = 0; i < params_.cArgs; ++i)
        if (!(before_[i].vt & VT_BYREF) && std::memcmp(&before_[i], &arguments_[i], sizeof(VARIANT)) != 0) return true;
    return false;
}

void RandomCall::Describe(char* line, size_t size) const
{
    int used = std::snprintf(line, size, "member 0x%08lX flags %u args %u named %u%s:", static_cast<unsigned long>(member_),
                             flags_, params_.cArgs, params_.cNamedArgs, CrashesPlatform() ? " (crashes the platform)" : "");
    for (UINT i = 0; i < params_.cArgs && used > 0 && static_cast<size_t>(used) < size; ++i) {
        const VARIANT& argument = arguments_[params_.cArgs - 1 - i];
        const VARTYPE inner = argument.vt == (VT_BYREF | VT_VARIANT) && argument.pvarVal ? argument.pvarVal->vt : 0;
        used += std::snprintf(line + used, size - used, " %04X%s/%04X", argument.vt,
                              (argument.vt & VT_BYREF) && !argument.byref ? "(null)" : "", inner);
    }
}

}  // namespace quillpost::stress
