#include "slow_system_host.h"

#include <memory>
#include <utility>

#include "message_pump.h"
#include "plugin_driver.h"
#include "slow_calls.h"

namespace quillpost::stress {
namespace {

DWORD WINAPI RunBody(void* parameter)
{
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    body.reset();
    NoteThreadEnding();  // its DLL_THREAD_DETACH comes next
    return 0;
}

}  // namespace

HostsOwnLoad::HostsOwnLoad() : module_(LoadLibraryW(kPluginModule)) {}

Microsoft::WRL::ComPtr<IDispatch> HostsOwnLoad::Create() const
{
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    Microsoft::WRL::ComPtr<IDispatch> sample;
    CLSID clsid{};
    const auto getClassObject = module_ ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(
                                              GetProcAddress(module_, "DllGetClassObject")))
                                        : nullptr;
    if (getClassObject && SUCCEEDED(CLSIDFromProgID(kPluginProgId, &clsid)) &&
        SUCCEEDED(getClassObject(clsid, IID_PPV_ARGS(&factory))))
        factory->CreateInstance(nullptr, IID_PPV_ARGS(&sample));
    return sample;
}

void HostsOwnLoad::Release()
{
    if (HMODULE module = std::exchange(module_, nullptr)) FreeLibrary(module);
}

bool OpenBoth(IDispatch* sample)
{
    return sample && SUCCEEDED(CallInitialize(sample)) && SUCCEEDED(CallConfigure(sample)) &&
           PluginWindows(true).size() >= 2;
}

bool WaitUntilModuleIsGone(DWORD timeoutMilliseconds)
{
    return PumpUntil([] { return GetModuleHandleW(kPluginModule) == nullptr; }, timeoutMilliseconds);
}

Event::~Event()
{
    if (handle_) CloseHandle(handle_);
}

bool Event::WaitPumping(DWORD timeoutMilliseconds) { return stress::WaitPumping(handle_, timeoutMilliseconds); }

Thread::Thread(std::function<void()> body)
{
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    handle_ = CreateThread(nullptr, 0, RunBody, owned.get(), 0, nullptr);
    if (handle_) owned.release();  // the thread's own now
}

Thread::~Thread()
{
    if (handle_) CloseHandle(handle_);
}

bool Thread::WaitPumping(DWORD timeoutMilliseconds)
{
    return handle_ && stress::WaitPumping(handle_, timeoutMilliseconds);
}


}  // namespace quillpost::stress
