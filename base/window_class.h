// Registers the viewer's window classes for this load of the module.
#pragma once

#include <windows.h>

#include "base/module.h"

namespace quillpost {

// A class of the same name left by an earlier load of this DLL would point at code that is
// gone (a DLL's classes outlive it), so it is replaced.
inline bool RegisterFreshClass(const wchar_t* name, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ModuleInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    UnregisterClassW(name, windowClass.hInstance);
    return RegisterClassExW(&windowClass) != 0;
}

}  // namespace quillpost
