// The module's entry point.
#include <windows.h>

#include "about/about_instance.h"
#include "base/module.h"
#include "plugin/type_info.h"
#include "viewer/viewer_instance.h"

// Runs under the loader lock: remember the handle and hand per-thread window instances
// back; everything else is created on first use.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        quillpost::SetModuleInstance(instance);
        if (!quillpost::StartViewerInstances()) return FALSE;
        if (!quillpost::StartAboutInstances()) {
            quillpost::StopViewerInstances();
            return FALSE;
        }
        return TRUE;
    case DLL_THREAD_DETACH:
        quillpost::ReleaseThreadViewer();
        quillpost::ReleaseThreadAbout();
        break;
    case DLL_PROCESS_DETACH:
        // At process exit (reserved set) the process is going away: free nothing.
        if (!reserved) {
            quillpost::StopViewerInstances();
            quillpost::StopAboutInstances();
            quillpost::ReleaseSampleTypeInfo();
        }
        break;
    default:
        break;
    }
    return TRUE;
}
