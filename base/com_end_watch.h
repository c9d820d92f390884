// Tells its owner when this thread's COM is about to end (the thread's final CoUninitialize),
// while COM still works and no loader lock is held: the moment to tear down what the thread's
// apartment holds, such as windows that host COM controls.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

namespace quillpost {

class ComEndWatch {
public:
    using Callback = void (*)(void* context);

    ComEndWatch() = default;
    ComEndWatch(const ComEndWatch&) = delete;
    ComEndWatch& operator=(const ComEndWatch&) = delete;
    // Thread and process detach may destroy a watch whose thread is gone: nothing is revoked then.
    ~ComEndWatch() = default;

    // Starts watching the calling thread; `callback` runs on it, at most once.
    HRESULT Start(Callback callback, void* context);
    // Stops watching; on the thread that started it (also from inside the callback).
    void Stop();
    bool Watching() const { return spy_ != nullptr; }

private:
    Microsoft::WRL::ComPtr<IInitializeSpy> spy_;
    ULARGE_INTEGER cookie_{};
};

}  // namespace quillpost
