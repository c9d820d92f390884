// Registers the viewer's window classes for this load of the module.
#pragma once

#include <windows.h>

namespace quillpost {

// A class of the same name left by an earlier load of this DLL would point at code that is
// gone (a DLL's classes outlive it), so it is replaced.
inline bool RegisterFreshClass(const WNDCLASSEXW& windowClass)
{
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
    return RegisterClassExW(&windowClass) != 0;
}

}  // namespace quillpost
