// The slow-system family's hands: a host that loads the module itself, and threads and events
// that tie its rounds together. Faults in the module's image are counted by image_faults.h.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <functional>

#include "image_faults.h"

namespace quillpost::stress {

// The module as a host loads it itself, without COM: its own loader reference (given back by
// Release or at the end of the scope), and Sample made through the module's class-object export.
class HostsOwnLoad {
public:
    HostsOwnLoad();
    ~HostsOwnLoad() { Release(); }
    HostsOwnLoad(const HostsOwnLoad&) = delete;
    HostsOwnLoad& operator=(const HostsOwnLoad&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    Microsoft::WRL::ComPtr<IDispatch> Create() const;
    void Release();

private:
    HMODULE module_;
};

// Opens the viewer (Initialize) and the About window (Configure) on the calling thread.
bool OpenBoth(IDispatch* sample);

// Waits, pumping, until the module is no longer mapped into the process.
bool WaitUntilModuleIsGone(DWORD timeoutMilliseconds);

class Event {
public:
    Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set() { SetEvent(handle_); }
    bool WaitPumping(DWORD timeoutMilliseconds = 60000);

private:
    HANDLE handle_;
};

// A thread running `body`, which it owns: a thread that outlives this object (one that stands for
// an apartment which never ends) keeps its body, and touches nothing of its starter's after that.
class Thread {
public:
    explicit Thread(std::function<void()> body);
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    bool WaitPumping(DWORD timeoutMilliseconds = 60000);

private:
    HANDLE handle_ = nullptr;
};


}  // namespace quillpost::stress
