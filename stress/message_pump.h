// Dispatching this thread's messages while waiting: windows of other threads, the browser and COM
// send to this thread's windows, so a waiting host must keep pumping. Shared by the tests.
#pragma once

#include <windows.h>

#include <functional>

namespace quillpost::stress {

// Dispatches this thread's messages for about `milliseconds`.
void PumpMessages(DWORD milliseconds);
// Pumps until `done` or the timeout; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds = 5000);
// Waits for a handle (e.g. a thread) while dispatching this thread's messages; true once signalled.
bool WaitPumping(HANDLE handle, DWORD timeoutMilliseconds = 60000);

}  // namespace quillpost::stress
