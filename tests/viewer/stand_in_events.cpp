// The control's events with their declared arguments, as the stand-in fires them when a page asks.
#include <exdispid.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <urlmon.h>

#include "support/dispatch.h"
#include "viewer/stand_in_browser.h"

namespace quillpost::testing {
namespace {

constexpr wchar_t kPageShown[] = L"http://forum.example/latest.php";

VARIANT Ref(VARTYPE type, void* target)
{
    VARIANT value{};
    V_VT(&value) = type | VT_BYREF;
    V_BYREF(&value) = target;
    return value;
}

VARIANT Of(VARTYPE type, LONG value)
{
    VARIANT variant{};
    V_VT(&variant) = type;
    V_I4(&variant) = value;
    return variant;
}

VARIANT Text(const Bstr& text)
{
    VARIANT variant{};
    V_VT(&variant) = VT_BSTR;
    V_BSTR(&variant) = text.Get();
    return variant;
}

// Fires `member` with `arguments` in declaration order (Invoke takes them last first) and Cancel
// by reference at `cancelAt`; what Cancel became.
VARIANT_BOOL Fire(DISPID member, std::vector<VARIANT> arguments, std::size_t cancelAt)
{
    VARIANT_BOOL cancel = VARIANT_FALSE;
    arguments[cancelAt] = Ref(VT_BOOL, &cancel);
    std::reverse(arguments.begin(), arguments.end());
    EXPECT_TRUE(FireEvent(member, arguments.data(), static_cast<UINT>(arguments.size())));
    return cancel;
}

}  // namespace

VARIANT_BOOL FireNewWindow3(const std::wstring& address, LONG flags)
{
    Bstr url(address.c_str()), context(kPageShown);
    IDispatch* window = nullptr;
    return Fire(DISPID_NEWWINDOW3, {Ref(VT_DISPATCH, &window), {}, Of(VT_I4, flags), Text(context), Text(url)}, 1);
}

VARIANT_BOOL FireNewWindow2()
{
    IDispatch* window = nullptr;
    return Fire(DISPID_NEWWINDOW2, {Ref(VT_DISPATCH, &window), {}}, 1);
}

VARIANT_BOOL FireBeforeNavigate(const std::wstring& address)
{
    Bstr url(address.c_str());
    VARIANT text = Text(url), empty{};
    const VARIANT none = Ref(VT_VARIANT, &empty);
    return Fire(DISPID_BEFORENAVIGATE2, {Of(VT_DISPATCH, 0), Ref(VT_VARIANT, &text), none, none, none, none, {}}, 6);
}

VARIANT_BOOL FireFileDownload(bool activeDocument)
{
    return Fire(DISPID_FILEDOWNLOAD, {Of(VT_BOOL, activeDocument ? VARIANT_TRUE : VARIANT_FALSE), {}}, 1);
}

VARIANT_BOOL FireNavigateError(const std::wstring& address)
{
    Bstr url(address.c_str());
    VARIANT text = Text(url), frame{}, status = Of(VT_I4, static_cast<LONG>(INET_E_RESOURCE_NOT_FOUND));
    return Fire(DISPID_NAVIGATEERROR,
                {Of(VT_DISPATCH, 0), Ref(VT_VARIANT, &text), Ref(VT_VARIANT, &frame), Ref(VT_VARIANT, &status), {}}, 4);
}

}  // namespace quillpost::testing
