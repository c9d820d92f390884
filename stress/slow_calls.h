// A slow system, from outside a module: one call that the module makes out of its image is made
// to return late (the real call runs, then the caller's thread sleeps before it gets the result),
// as a thread preempted inside that call would. Edges of the lifetime core that are right only
// while such calls return at their usual speed show up as a crash or a module that never goes.
//
// A call is reached where the module finds it: in its import table, where it looks it up at run
// time (its import of GetProcAddress hands out the slow stand-in instead), or in the method table
// of a control it creates. Several calls may be slow together.
#pragma once

#include <windows.h>

#include <memory>
#include <span>

#include "import_patch.h"

namespace quillpost::stress {

// The calls out of the image at the edges of a hold or of a give-back of the module.
enum class SlowCall {
    Wake,                // WakeByAddressAll, looked up: the wake at the end of a thread's last scope,
                         // made every time references go to the pool (see SubmitUntilWaited)
    PoolSubmit,          // the hand-over of given-back references to a pool callback
    ThreadDetach,        // the row's unlock in a thread's DLL_THREAD_DETACH (late there only)
    WindowDestruction,   // DestroyWindow: a window's end, inside its scope
    HookRemoval,         // the system lets go of the viewer's message hook
    ComWatchRevoke,      // COM lets go of the watcher of the thread's end of COM
    BrowserSiteRelease,  // the browser control lets go of the viewer's site (late when given none)
};

struct SlowCallRow {
    SlowCall call;
    const char* function;  // as the "fired" lines name it
    const char* job;       // the stress run's job that makes it slow
};

std::span<const SlowCallRow> SlowCalls();

// Marks the calling thread as on its way out: the thread-detach row is late only on such a thread
// while it holds the loader's lock, that is in its DLL_THREAD_DETACH, and not where the module's
// own unload unlocks the same function.
void NoteThreadEnding();

// Told of each delay as it begins, on the thread that is late: the return it delays may be the
// process's last act.
using DelayReport = void (*)(const char* function);

// A slow call patches the function itself and, for the wake, the hand-over that leads to it.
inline constexpr int kPatchesOfACall = 2;

class SlowCallPatch {
public:
    // Makes `call` of `module` return `delayMilliseconds` late while this object lives. The
    // browser's row reads the control's method table from a control it makes, so the calling
    // thread must have COM.
    SlowCallPatch(HMODULE module, SlowCall call, DWORD delayMilliseconds, DelayReport report = nullptr);
    ~SlowCallPatch();
    SlowCallPatch(const SlowCallPatch&) = delete;
    SlowCallPatch& operator=(const SlowCallPatch&) = delete;

    // False when the module neither calls the function through its imports nor looks it up there
    // (or the control could not be made).
    bool Ready() const;
    // How many of the module's calls returned late.
    long Fired() const;

private:
    std::unique_ptr<ImportPatch> patches_[kPatchesOfACall];
    DWORD* delay_ = nullptr;
    LONG* fired_ = nullptr;
};

}  // namespace quillpost::stress
