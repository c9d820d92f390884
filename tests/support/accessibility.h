// A screen reader's view of a window, through oleacc as assistive technology reads it.
#pragma once

#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <string>

namespace quillpost::testing {

// The object that the window answers for its client area; nullptr when there is none.
Microsoft::WRL::ComPtr<IAccessible> ClientObject(HWND window);

// What the object tells of itself (CHILDID_SELF) or of one of its elements; empty or 0 on failure.
struct AccessibleFacts {
    std::wstring name;
    LONG role = 0;
    std::wstring defaultAction;
    RECT location{};  // on the screen
};
AccessibleFacts FactsOf(IAccessible* object, LONG child = CHILDID_SELF);

inline VARIANT ChildId(LONG child)
{
    VARIANT id;
    V_VT(&id) = VT_I4;
    V_I4(&id) = child;
    return id;
}

}  // namespace quillpost::testing
