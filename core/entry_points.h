// The entry points through which foreign code calls the module: window procedures (of a class or
// a subclassed control) and message hooks. Each is made here, from the module's own handler, by a
// template that takes the module's running scope (RunningScope) before the handler runs, so that no handler
// can forget it: whatever the handler does (pump, destroy its window, give back the window's own
// references), the module stays mapped and counted until the procedure has returned.
//
// The rule, kept here and in ComObject (core/com_object.h): every call that foreign code makes into
// the module runs inside a RunningScope taken first; the lifetime core relies on it when it gives a
// loader reference back (core/loader_reference.cpp). The one exception is the pool callback that
// gives references back: it runs on the very reference it frees, after it has returned.
// Entries into a window's code also take the window's DPI context (forms/window_entry.h).
#pragma once

#include <windows.h>

#include "core/module.h"

namespace quillpost::entry {

using WindowHandler = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using HookHandler = LRESULT (*)(int, WPARAM, LPARAM);

template <WindowHandler Handler>
LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RunningScope running;
    return Handler(window, message, wParam, lParam);
}

template <HookHandler Handler>
LRESULT CALLBACK HookProcedure(int code, WPARAM wParam, LPARAM lParam)
{
    RunningScope running;
    return Handler(code, wParam, lParam);
}

// Hooks the calling thread's messages of `kind` (WH_GETMESSAGE, ...) with `Handler`.
template <HookHandler Handler>
HHOOK HookThisThread(int kind)
{
    return SetWindowsHookExW(kind, &HookProcedure<Handler>, nullptr, GetCurrentThreadId());
}

// Puts `Handler` in front of a control's own procedure, which it returns (nullptr on failure);
// the handler finds it where `original` keeps it.
template <WindowHandler Handler>
WNDPROC Subclass(HWND control)
{
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProcedure<Handler>)));
}

}  // namespace quillpost::entry
