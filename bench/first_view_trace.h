// The viewer's steps inside the first Initialize, timed from outside: the host thread's window
// hooks see the viewer's windows being created and its heading being set, in the order the
// plug-in does them, without the plug-in carrying any timing code of its own.
#pragma once

#include <windows.h>

namespace bench {

struct FirstViewTrace {
    long long viewerCreated = 0;    // Form1's window, before its creation messages
    long long skinStarted = 0;      // pic's WM_NCCREATE, where pic builds its skin
    long long skinDone = 0;         // pic's WM_CREATE
    long long headingCreated = 0;   // Label1
    long long loadHeadingSet = 0;   // the heading's first text, a load step
    long long loadHeadingDone = 0;
    long long shown = 0;            // Form1's WM_SHOWWINDOW
    long long emailHeadingSet = 0;  // the heading's second text, after showing
    long long walkBeforeSkin = 0;   // spent walking memory inside the hooks, before skinStarted
    long long walkAfterSkin = 0;    // and after skinDone
    long long memoryBeforeSkin = 0, memoryAfterSkin = 0;
    HWND viewer = nullptr, picture = nullptr, heading = nullptr;
};

// Hooks this thread; false when a hook could not be set.
bool StartTrace(FirstViewTrace* trace);
void StopTrace();

}  // namespace bench
