// Entry points into a window's code from foreign code, beside core/entry_points.h's: made here so
// that each runs in its window's DPI context (dpi_scope.h) as well as in the module's running scope.
//
// Windows runs a window procedure in its window's context, whatever the thread's; any other call
// runs in the thread's, which in a host is usually of a lower awareness than our per-monitor
// windows. There the system answers sizes and positions virtualised for that context: a screen
// reader's call, delivered by COM's own window, would read our windows in logical pixels, and the
// page would be handed keys in the host's context. So:
//  - an object lent to foreign code that acts on a window (an accessible object, an event sink)
//    keeps it as an EntryWindow, whose handle it gets only by entering the window's context;
//  - a hook of the thread's message queue is made by HookThisThreadsQueue, whose handler runs in
//    the context of the window that each message is for.
#pragma once

#include <windows.h>

#include "core/entry_points.h"
#include "forms/dpi_scope.h"

namespace quillpost {

// A call from foreign code in a window's code: the module's running scope, taken first (the
// call may pump, and the window may end meanwhile), and the window's DPI context.
class WindowEntryScope {
public:
    explicit WindowEntryScope(HWND window) : context_(window) {}
    WindowEntryScope(const WindowEntryScope&) = delete;
    WindowEntryScope& operator=(const WindowEntryScope&) = delete;

    HWND Window() const { return context_.Window(); }

private:
    RunningScope running_;
    WindowDpiScope context_;
};

class EntryWindow {
public:
    explicit EntryWindow(HWND window) : window_(window) {}

    // The thread in the module's running scope and the window's DPI context until the scope ends;
    // its Window() is the handle.
    WindowEntryScope Enter() const { return WindowEntryScope(window_); }

private:
    HWND window_;
};

namespace entry {

// Offered each message taken off the thread's queue; true when it has used it, and the message
// is then not dispatched.
using QueuedMessageHandler = bool (*)(MSG& message);

template <QueuedMessageHandler Handler>
LRESULT OfferQueuedMessage(int code, WPARAM wParam, LPARAM lParam)
{
    // Only a message taken off the queue: one that is merely looked at is seen again when taken.
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        MSG& message = *reinterpret_cast<MSG*>(lParam);
        // The context its dispatch would run in: the form's, for a message to any of its windows.
        const WindowDpiScope inContext(message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr);
        if (Handler(message)) message.message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);  // the host's own hooks, in its context
}

// Hooks the calling thread's queue (WH_GETMESSAGE) with `Handler`, entered in the module's
// running scope (core/entry_points.h) and in the DPI context of each message's window.
template <QueuedMessageHandler Handler>
HHOOK HookThisThreadsQueue()
{
    return HookThisThread<&OfferQueuedMessage<Handler>>(WH_GETMESSAGE);
}

}  // namespace entry
}  // namespace quillpost
