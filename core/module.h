// The lifetime core: the module's handle, and the owners of everything that keeps it. No code of
// the module takes or gives one back by hand; it owns one of these, each a different thing:
//  - UnloadVeto: one count of the unload query's "no" (every object, window, server lock);
//  - RunningScope: this thread runs the module's code for the scope (it can pump messages, or
//    foreign code entered it); it holds a veto, and a loader reference given back waits for it;
//  - LoaderReference: a reference of the loader's, for whatever foreign code can call while the
//    host holds none of its own (a window, an object handed to a control or to COM's spy list);
//  - LentKeep: a veto and a loader reference together, kept by each window and lent object;
//  - BoundedVetoes: vetoes counted by a caller's calls (LockServer, a static object's
//    references), which refuse to go below zero.
#pragma once

#include <windows.h>

namespace quillpost {

namespace thread_rows {
struct ThreadRow;
}

HINSTANCE ModuleInstance();
// Called once, from the module's entry point, before anything else of the module runs.
void SetModuleInstance(HINSTANCE instance);

// Whether the address lies in the module's mapped image.
bool IsInsideImage(DWORD_PTR address);

// Vetoes of every kind held now, in every apartment: zero when the module may unload.
LONG UnloadVetoCount();

class UnloadVeto {
public:
    UnloadVeto();
    UnloadVeto(const UnloadVeto&);
    UnloadVeto& operator=(const UnloadVeto&) { return *this; }  // each owner keeps its own count
    ~UnloadVeto();
};

// A scope in which this thread runs the module's code and may pump messages (a modal loop, a
// window's handler, a browser's creation), or that foreign code entered: the unload query
// answers "no" until the scope has ended, and a loader reference given back meanwhile waits for
// it. Take it first in such a scope, so that everything after it returns without calling out of
// the module. Only the entry points (core/entry_points.h, forms/window_entry.h) and ComObject's
// Release take one, and the few scopes that pump for the host's own call.
class RunningScope {
public:
    RunningScope();
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;
    ~RunningScope();

private:
    UnloadVeto veto_;
    thread_rows::ThreadRow* row_;  // this thread's, which counts its depth in scopes; nullptr if none was free
};

// At the calling thread's end (DLL_THREAD_DETACH): the lifetime core forgets it.
void ForgetThisThread();

// A loader reference to this module while the owner holds it. Given back inside a running
// scope, it goes to the loader once the thread that gave it back can no longer be running the
// module's code: from a thread-pool callback that lets the pool free the library after it
// returned, or from COM's unload query (see loader_reference.cpp for the rule). In a program that links the
// layers itself (no module of ours), it holds nothing.
class LoaderReference {
public:
    LoaderReference() = default;
    LoaderReference(const LoaderReference&) = delete;
    LoaderReference& operator=(const LoaderReference&) = delete;
    ~LoaderReference() { Reset(); }

    void Take();
    void Reset();
    bool Held() const { return held_; }

private:
    bool held_ = false;
};

// For the module's exports, each with the address it returns to, so that they know COM's calls:
//  - a class object asked for by COM: COM loaded the module and holds it until the unload query
//    agrees, so references given back meanwhile wait for that query instead of a pool thread;
//  - the unload query, first: when COM asks, from outside every scope of this thread, the
//    references that the thread gave back, and no pool callback has, go back at once;
//  - the unload query agreeing: COM lets go, and all references still waiting go to the pool;
//  - the unload query refusing, when COM asked: COM may still let go (Windows' CoUninitialize
//    does), so references no longer wait for it.
// See loader_reference.cpp for the rule.
void NoteClassObjectAsked(const void* askedFrom);
void GiveBackReferencesOnComsQuery(const void* askedFrom);
void HandReferencesOverOnUnload(const void* askedFrom);
void LetComGoWhateverTheAnswer(const void* askedFrom);

// What a window or an object lent to foreign code keeps while it exists: the unload query's
// "no" and the loader's reference.
struct LentKeep {
    LentKeep() { reference.Take(); }
    UnloadVeto veto;
    LoaderReference reference;
};

// Vetoes that a caller's calls take and give back (LockServer, the references of an
// object that lives as long as the module). An unbalanced give-back is refused and changes
// nothing: it must not make the module's count go negative, or the module could never unload.
class BoundedVetoes {
public:
    constexpr BoundedVetoes() = default;
    BoundedVetoes(const BoundedVetoes&) = delete;
    BoundedVetoes& operator=(const BoundedVetoes&) = delete;

    void Add();
    // False, and no change, when none is held.
    bool Remove();

private:
    LONG count_ = 0;
};

// Full path of this module, for the type library and the registry.
HRESULT GetModulePath(wchar_t* buffer, DWORD capacity);

}  // namespace quillpost
