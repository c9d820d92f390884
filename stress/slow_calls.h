// A slow system, from outside a module: one call that the module makes out of its image is made
// to return late (the real call runs, then the caller's thread sleeps before it gets the result),
// as a thread preempted inside that call would. Edges of the lifetime core that are right only
// while such calls return at their usual speed show up as a crash or a module that never goes.
//
// A call is reached where the module finds it: in its import table, or where it looks it up at
// run time (its import of GetProcAddress hands out the slow stand-in instead). Several calls may
// be slow together.
#pragma once

#include <windows.h>

#include <memory>
#include <span>

#include "import_patch.h"

namespace quillpost::stress {

enum class SlowCall {
    Wake,               // WakeByAddressAll, looked up: the wake at the end of a thread's last scope
    WindowDestruction,  // DestroyWindow: a window's end, inside its scope
};

struct SlowCallRow {
    SlowCall call;
    const char* function;
};

std::span<const SlowCallRow> SlowCalls();

class SlowCallPatch {
public:
    // Makes `call` of `module` return `delayMilliseconds` late while this object lives.
    SlowCallPatch(HMODULE module, SlowCall call, DWORD delayMilliseconds);
    ~SlowCallPatch();
    SlowCallPatch(const SlowCallPatch&) = delete;
    SlowCallPatch& operator=(const SlowCallPatch&) = delete;

    // False when the module neither imports the call nor looks it up through its imports.
    bool Ready() const { return patch_ && patch_->Slots() > 0; }
    // How many of the module's calls returned late.
    long Fired() const;

private:
    std::unique_ptr<ImportPatch> patch_;
    DWORD* delay_ = nullptr;
    LONG* fired_ = nullptr;
};

}  // namespace quillpost::stress
