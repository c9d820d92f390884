// The arguments of an event fired through IDispatch::Invoke, read by their place in the event's
// declaration. Invoke passes them last first, and a control may pass a value directly or in a
// variant passed by reference; whatever is not what the declaration says reads as absent, so a
// call of another shape changes nothing.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string_view>

namespace quillpost::event_arguments {

// The argument declared at `position` (0 is the first) of an event declared with `count`
// arguments; nullptr when the call did not pass exactly those, unnamed.
const VARIANT* At(const DISPPARAMS* params, UINT count, UINT position);

// The text of a BSTR argument; empty when there is none.
std::wstring_view Text(const VARIANT* argument);

// The flag behind a VARIANT_BOOL passed by reference (an event's Cancel); nullptr when there is
// none.
VARIANT_BOOL* Flag(const VARIANT* argument);

// The value of a VARIANT_BOOL argument; `otherwise` when there is none.
bool Boolean(const VARIANT* argument, bool otherwise);

// The value of a 32-bit integer argument (VT_I4 or VT_UI4, as controls differ); `otherwise` when
// there is none.
ULONG Number(const VARIANT* argument, ULONG otherwise);

// The object of an IDispatch argument, not held; nullptr when there is none.
IDispatch* Object(const VARIANT* argument);

}  // namespace quillpost::event_arguments
