// The lifetime core's record of the threads that run the module's code in scopes (ModuleHold)
// and give loader references back: one row per such thread while it lives. Private to the
// lifetime core (module.cpp, loader_reference.cpp).
#pragma once

#include <windows.h>

namespace quillpost::thread_rows {

struct ThreadRow {
    LONG id;       // the owning thread's identifier; 0 while the row is free
    LONG depth;    // how deep in scopes the owning thread is now
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
// Depth in scopes of every thread that found no row (more than kThreadRows at once).
extern LONG g_scopesWithoutRow;

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
// gave the last of them back (the others' givers had that identifier and have ended).
LONG TakeForCallback(ThreadRow& row, HANDLE* giver);

// The end of a scope that took the row's depth to 0: wakes a callback waiting for it.
void WakeDepthWaiters(ThreadRow& row);
// Blocks until the row's depth has changed from `seen`, or briefly where the system cannot wait
// on an address (before Windows 8).
void WaitForDepthChange(ThreadRow& row, LONG seen);

}  // namespace quillpost::thread_rows
