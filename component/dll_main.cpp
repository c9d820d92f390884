// The module's entry point.
#include <windows.h>

#include "about/about_instance.h"
#include "core/com_end_watch.h"
#include "core/module.h"
#include "forms/window_class.h"
#include "viewer/viewer_instance.h"

// Runs under the loader lock, so it only remembers the handle and, when a thread ends or the
// module is freed, frees memory, thread-local slots and the window classes (which must not
// outlive the code of their procedure). Windows and the browser are torn down earlier, where COM
// still works: when the host closes them or at their thread's final CoUninitialize. An existing
// window holds a loader reference, so the module is never freed under one; at process exit
// (reserved set) nothing is freed at all.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        quillpost::SetModuleInstance(instance);
        break;
    case DLL_THREAD_DETACH:
        quillpost::ReleaseThreadViewer();
        quillpost::ReleaseThreadAbout();
        quillpost::ForgetThisThread();
        break;
    case DLL_PROCESS_DETACH:
        if (!reserved) {
            quillpost::StopViewerInstances();
            quillpost::StopAboutInstances();
            quillpost::StopComEndWatches();
            quillpost::UnregisterWindowClasses();
        }
        break;
    default:
        break;
    }
    return TRUE;
}
