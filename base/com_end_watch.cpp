#include "base/com_end_watch.h"

#include <new>
#include <utility>

#include "base/module.h"

namespace quillpost {
namespace {

class EndSpy final : public IInitializeSpy {
public:
    EndSpy(ComEndWatch::Callback callback, void* context) : callback_(callback), context_(context) {}

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
    STDMETHODIMP PostInitialize(HRESULT result, DWORD, DWORD) override { return result; }
    STDMETHODIMP PreUninitialize(DWORD initializations) override
    {
        // Only the thread's last CoUninitialize ends its apartment. The callback may revoke us,
        // which lets go of COM's reference while we still run.
        if (initializations != 1 || !callback_) return S_OK;
        ModuleHold hold;
        Microsoft::WRL::ComPtr<IInitializeSpy> self(this);
        const ComEndWatch::Callback callback = std::exchange(callback_, nullptr);
        callback(context_);
        return S_OK;
    }
    STDMETHODIMP PostUninitialize(DWORD) override { return S_OK; }

private:
    LONG references_ = 1;
    ComEndWatch::Callback callback_;
    void* context_;
};

}  // namespace

HRESULT ComEndWatch::Start(Callback callback, void* context)
{
    Stop();
    Microsoft::WRL::ComPtr<IInitializeSpy> spy;
    *spy.GetAddressOf() = new (std::nothrow) EndSpy(callback, context);  // adopts the one reference
    if (!spy) return E_OUTOFMEMORY;
    if (HRESULT hr = CoRegisterInitializeSpy(spy.Get(), &cookie_); FAILED(hr)) return hr;
    spy_ = std::move(spy);
    return S_OK;
}

void ComEndWatch::Stop()
{
    if (!spy_) return;
    CoRevokeInitializeSpy(cookie_);
    spy_.Reset();
}

}  // namespace quillpost
