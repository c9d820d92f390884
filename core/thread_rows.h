// The lifetime core's record of the threads that run the module's code in scopes (RunningScope)
// and give loader references back: one row per such thread while it lives. Private to the
// lifetime core (module.cpp, loader_reference.cpp).
#pragma once

#include <windows.h>

namespace quillpost::thread_rows {

struct ThreadRow {
    LONG id;       // the owning thread's identifier; 0 while the row is free
    LONG depth;    // how deep in scopes the owning thread is now
    // Raised while the owner's last scope ends: from before its depth reaches 0 until the wake it
    // then calls out of the image has returned, so that no look sees it outside the image at
    // depth 0 while that call is still to return into it.
    LONG leaving;
    LONG tenure;   // how many owners the row has had: a look at a row whose tenure moved is at a stranger
    LONG pending;  // loader references it gave back that no callback has taken yet, and the mark below
    LONG waiters;  // callbacks waiting for depth to reach 0, which its last scope then wakes
    SRWLOCK lock;  // guards `giver` together with additions to `pending`
    // The thread that gave the pending references back, as a handle: an identifier may be given to
    // another thread, of any process, once its thread has ended.
    HANDLE giver;
};

// In a row's pending count: the references counted are a pool callback's, which may not have
// started yet; only that callback takes them.
constexpr LONG kHandedToPool = 0x40000000;
constexpr int kThreadRows = 128;

extern ThreadRow g_rows[kThreadRows];

inline LONG Read(const LONG& value) { return InterlockedCompareExchange(const_cast<LONG*>(&value), 0, 0); }

ThreadRow* RowOf(DWORD threadId);
// The calling thread's row, taken if it has none; nullptr when every row is taken.
ThreadRow* ThisThreadsRow();
// At the thread's end: its row goes free, unless references it gave back still wait in it.
void ReleaseThisThreadsRow();

// Counts one more reference given back by the calling thread, the row's owner, and makes the
// row's giver this thread. False, and nothing counted, when no handle to the thread can be had.
bool CountGivenBack(ThreadRow& row);
// Claims the row's waiting references, unless none wait or a callback has them: for a pool
// callback (the count stays, marked), or to give them back at once (the count goes to zero and
// the row keeps no handle to the thread). Returns how many were claimed.
LONG ClaimWaiting(ThreadRow& row, bool forPool);
// The callback's own take: every reference counted so far, with the handle of the thread that
// gave the last of them back (the others' givers had that identifier and have ended) and the
// row's tenure, which moves once that thread has given the row up.
LONG TakeForCallback(ThreadRow& row, HANDLE* giver, LONG* tenure);

// Whether the row's owner in `tenure` is in a scope, or still leaving its last one. Once the
// tenure has moved, that owner has left its scopes for good.
bool InScopes(const ThreadRow& row, LONG tenure);

// The end of the owner's last scope: its depth goes to 0 and a callback waiting for that is woken,
// under the row's mark (`leaving`).
void LeaveLastScope(ThreadRow& row);
// Blocks until the row's depth has changed from `seen`, or briefly where the system cannot wait
// on an address (before Windows 8).
void WaitForDepthChange(ThreadRow& row, LONG seen);

}  // namespace quillpost::thread_rows
