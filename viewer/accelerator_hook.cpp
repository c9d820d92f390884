#include "viewer/accelerator_hook.h"

#include "core/com_end_watch.h"
#include "core/entry_points.h"
#include "viewer/viewer_instance.h"

namespace quillpost {

bool AcceleratorHook::Install()
{
    if (hook_) return true;
    keep_.emplace();
    hook_ = entry::HookThisThread<&AcceleratorHook::OnMessage>(WH_GETMESSAGE);
    if (!hook_) keep_.reset();
    return hook_ != nullptr;
}

void AcceleratorHook::Remove()
{
    if (!hook_) return;
    UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    keep_.reset();
}

// Entered under the module's hold: the control may close the viewer, and so remove the hook and
// give back its keep, while we are inside it.
LRESULT AcceleratorHook::OnMessage(int code, WPARAM wParam, LPARAM lParam)
{
    auto* message = reinterpret_cast<MSG*>(lParam);
    // Only a message taken off the queue: one that is merely looked at is seen again when taken.
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message >= WM_KEYFIRST &&
        message->message <= WM_KEYLAST) {
        OwnComCalls own;  // COM that the control begins or ends here is not the host's
        if (TranslateViewerAccelerator(*message)) message->message = WM_NULL;  // used: nothing to dispatch
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace quillpost
