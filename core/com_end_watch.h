// Tells the forms of a thread when the host ends that thread's COM (its last CoUninitialize),
// while COM still works and no loader lock is held: the moment to tear down what the thread's
// apartment holds, such as windows that host COM controls.
//
// Components we host may initialize COM on the thread themselves (the browser control does),
// so the count COM reports is not the host's. Initializations made inside an OwnComCalls scope
// are ours and set aside; the host's end is the uninitialization that leaves none of its own.
#pragma once

#include <windows.h>

namespace quillpost {

class ComEndListener {
public:
    // Runs on the watched thread, inside the host's CoUninitialize, before COM ends.
    virtual void OnComEnding() = 0;

protected:
    ~ComEndListener() = default;
};

// Starts telling `listener` about the end of the calling thread's COM; E_OUTOFMEMORY or COM's
// failure when the watch cannot be set up.
HRESULT WatchComEnd(ComEndListener* listener);
// Stops; on the thread that started (also from inside OnComEnding). Unknown listeners are ignored.
void UnwatchComEnd(ComEndListener* listener);

// COM initializations and uninitializations on this thread during this scope are made by
// components we host, not by the host.
class OwnComCalls {
public:
    OwnComCalls();
    OwnComCalls(const OwnComCalls&) = delete;
    OwnComCalls& operator=(const OwnComCalls&) = delete;
    ~OwnComCalls();
};

// For the module's entry point when the module is freed; frees memory only.
void StopComEndWatches();

}  // namespace quillpost
