#include "support/dispatch.h"

#include <vector>

namespace quillpost::testing {

DISPID DispIdOf(IDispatch* object, const wchar_t* name)
{
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return DISPID_UNKNOWN;
    return id;
}

CallResult Call(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT*> args)
{
    CallResult result;
    const DISPID id = DispIdOf(object, name);
    if (id == DISPID_UNKNOWN) {
        result.hr = DISP_E_UNKNOWNNAME;
        return result;
    }
    // DISPPARAMS holds the arguments last to first.
    std::vector<VARIANT> reversed;
    for (auto it = std::rbegin(args); it != std::rend(args); ++it) reversed.push_back(**it);
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO exception{};
    UINT argError = 0;
    result.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.value.Put(),
                               &exception, &argError);
    UniqueBstr source(exception.bstrSource), description(exception.bstrDescription), help(exception.bstrHelpFile);
    result.description = description.View();
    return result;
}

}  // namespace quillpost::testing
