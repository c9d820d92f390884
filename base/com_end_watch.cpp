#include "base/com_end_watch.h"

#include <objidl.h>

#include <algorithm>
#include <iterator>
#include <new>

#include "base/module.h"

namespace quillpost {
namespace {

// One spy per watched thread, found through a TLS slot. While registered with COM it keeps
// the module: COM may call or release it as the thread ends, whatever else is gone by then.
class ThreadSpy final : public IInitializeSpy {
public:
    ThreadSpy()
    {
        LockModule();
        AcquireModuleReference();
    }

    bool Add(ComEndListener* listener)
    {
        if (std::find(std::begin(listeners_), std::end(listeners_), listener) != std::end(listeners_)) return true;
        auto free = std::find(std::begin(listeners_), std::end(listeners_), nullptr);
        if (free == std::end(listeners_)) return false;
        *free = listener;
        return true;
    }
    // True when no listener is left.
    bool Remove(ComEndListener* listener)
    {
        std::replace(std::begin(listeners_), std::end(listeners_), listener, static_cast<ComEndListener*>(nullptr));
        return std::all_of(std::begin(listeners_), std::end(listeners_), [](auto* l) { return l == nullptr; });
    }
    void EnterOwnCalls() { ++ownDepth_; }
    void LeaveOwnCalls()
    {
        if (ownDepth_ > 0) --ownDepth_;
    }
    ULARGE_INTEGER cookie{};

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IInitializeSpy) {
            *out = static_cast<IInitializeSpy*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP PreInitialize(DWORD, DWORD) override { return S_OK; }
    STDMETHODIMP PostInitialize(HRESULT result, DWORD, DWORD) override
    {
        if (SUCCEEDED(result) && ownDepth_ > 0) ++ownInitializations_;
        return result;
    }
    STDMETHODIMP PreUninitialize(DWORD initializations) override;
    STDMETHODIMP PostUninitialize(DWORD) override { return S_OK; }

private:
    ~ThreadSpy()
    {
        UnlockModule();
        ReleaseModuleReference();
    }

    LONG references_ = 1;
    ComEndListener* listeners_[4] = {};  // one per form, and there are two
    int ownDepth_ = 0;
    DWORD ownInitializations_ = 0;
};

INIT_ONCE g_slotOnce = INIT_ONCE_STATIC_INIT;
DWORD g_slot = TLS_OUT_OF_INDEXES;

BOOL CALLBACK AllocateSlot(INIT_ONCE*, void*, void**)
{
    g_slot = TlsAlloc();
    return g_slot != TLS_OUT_OF_INDEXES;
}

ThreadSpy* ThisThreadsSpy()
{
    if (!InitOnceExecuteOnce(&g_slotOnce, AllocateSlot, nullptr, nullptr)) return nullptr;
    return static_cast<ThreadSpy*>(TlsGetValue(g_slot));
}

STDMETHODIMP ThreadSpy::PreUninitialize(DWORD initializations)
{
    if (ownDepth_ > 0) {
        if (ownInitializations_ > 0) --ownInitializations_;
        return S_OK;
    }
    // Pairs that components begin and end outside our calls leave this difference alone.
    if (initializations > ownInitializations_ + 1) return S_OK;  // the host keeps COM
    ModuleHold hold;
    IInitializeSpy* self = this;
    self->AddRef();  // listeners unwatch, which may revoke us while we run
    ComEndListener* listeners[std::size(listeners_)];
    std::copy(std::begin(listeners_), std::end(listeners_), listeners);
    for (ComEndListener* listener : listeners) {
        if (listener) listener->OnComEnding();
    }
    self->Release();
    return S_OK;
}

}  // namespace

HRESULT WatchComEnd(ComEndListener* listener)
{
    if (ThreadSpy* spy = ThisThreadsSpy()) return spy->Add(listener) ? S_OK : E_OUTOFMEMORY;
    if (g_slot == TLS_OUT_OF_INDEXES) return E_OUTOFMEMORY;
    auto* spy = new (std::nothrow) ThreadSpy;
    if (!spy) return E_OUTOFMEMORY;
    spy->Add(listener);
    if (HRESULT hr = CoRegisterInitializeSpy(spy, &spy->cookie); FAILED(hr)) {
        spy->Release();
        return hr;
    }
    if (!TlsSetValue(g_slot, spy)) {
        CoRevokeInitializeSpy(spy->cookie);
        spy->Release();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void UnwatchComEnd(ComEndListener* listener)
{
    ThreadSpy* spy = ThisThreadsSpy();
    if (!spy || !spy->Remove(listener)) return;
    TlsSetValue(g_slot, nullptr);
    CoRevokeInitializeSpy(spy->cookie);  // lets go of COM's reference
    spy->Release();                      // and of ours
}

OwnComCalls::OwnComCalls()
{
    if (ThreadSpy* spy = ThisThreadsSpy()) spy->EnterOwnCalls();
}

OwnComCalls::~OwnComCalls()
{
    if (ThreadSpy* spy = ThisThreadsSpy()) spy->LeaveOwnCalls();
}

void StopComEndWatches()
{
    if (g_slot != TLS_OUT_OF_INDEXES) TlsFree(g_slot);
    g_slot = TLS_OUT_OF_INDEXES;
}

}  // namespace quillpost
