#include "core/com_end_watch.h"

#include <objidl.h>

#include <wrl/client.h>

#include <algorithm>
#include <iterator>
#include <span>

#include "core/com_object.h"
#include "core/module.h"
#include "core/raii.h"
#include "core/tls_slot.h"

namespace quillpost {
namespace {

// One spy per watched thread, found through a TLS slot. Lent to COM, which may call or release it
// as the thread ends, whatever else is gone by then: it keeps the module.
class ThreadSpy final : public ComObject<ThreadSpy, LentKeep, IInitializeSpy> {
public:
    static std::span<const InterfaceRow> Interfaces()
    {
        static constexpr InterfaceRow kRows[] = {Row<ThreadSpy, IInitializeSpy>(IID_IInitializeSpy)};
        return kRows;
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

    STDMETHODIMP PreInitialize(DWORD, DWORD) override { return S_OK; }
    STDMETHODIMP PostInitialize(HRESULT result, DWORD, DWORD) override
    {
        if (SUCCEEDED(result) && ownDepth_ > 0) ++ownInitializations_;
        return result;
    }
    STDMETHODIMP PreUninitialize(DWORD initializations) override;
    STDMETHODIMP PostUninitialize(DWORD) override { return S_OK; }

private:
    ~ThreadSpy() override = default;

    ComEndListener* listeners_[4] = {};  // one per form, and there are two
    int ownDepth_ = 0;
    DWORD ownInitializations_ = 0;
};

TlsSlot g_spies;

ThreadSpy* ThisThreadsSpy() { return static_cast<ThreadSpy*>(g_spies.Value()); }

STDMETHODIMP ThreadSpy::PreUninitialize(DWORD initializations)
{
    if (ownDepth_ > 0) {
        if (ownInitializations_ > 0) --ownInitializations_;
        return S_OK;
    }
    // Pairs that components begin and end outside our calls leave this difference alone.
    if (initializations > ownInitializations_ + 1) return S_OK;  // the host keeps COM
    RunningScope running;
    Microsoft::WRL::ComPtr<ThreadSpy> self(this);  // listeners unwatch, which may revoke us while we run
    ComEndListener* listeners[std::size(listeners_)];
    std::copy(std::begin(listeners_), std::end(listeners_), listeners);
    for (ComEndListener* listener : listeners) {
        if (listener) listener->OnComEnding();
    }
    return S_OK;
}

}  // namespace

HRESULT WatchComEnd(ComEndListener* listener)
{
    if (ThreadSpy* spy = ThisThreadsSpy()) return spy->Add(listener) ? S_OK : E_OUTOFMEMORY;
    if (!g_spies.Ready()) return E_OUTOFMEMORY;
    Microsoft::WRL::ComPtr<ThreadSpy> spy;
    if (HRESULT hr = MakeComObject(spy); FAILED(hr)) return hr;
    spy->Add(listener);
    if (HRESULT hr = CoRegisterInitializeSpy(spy.Get(), &spy->cookie); FAILED(hr)) return hr;
    if (!g_spies.SetValue(spy.Get())) {
        CoRevokeInitializeSpy(spy->cookie);
        return E_OUTOFMEMORY;
    }
    spy.Detach();  // the slot's reference, given back by UnwatchComEnd
    return S_OK;
}

void UnwatchComEnd(ComEndListener* listener)
{
    ThreadSpy* spy = ThisThreadsSpy();
    if (!spy || !spy->Remove(listener)) return;
    Microsoft::WRL::ComPtr<ThreadSpy> slots;
    Adopt(slots, spy);  // the slot's reference goes with this scope
    g_spies.SetValue(nullptr);
    CoRevokeInitializeSpy(spy->cookie);  // lets go of COM's reference
}

OwnComCalls::OwnComCalls()
{
    if (ThreadSpy* spy = ThisThreadsSpy()) spy->EnterOwnCalls();
}

OwnComCalls::~OwnComCalls()
{
    if (ThreadSpy* spy = ThisThreadsSpy()) spy->LeaveOwnCalls();
}

void StopComEndWatches() { g_spies.Free(); }

}  // namespace quillpost
