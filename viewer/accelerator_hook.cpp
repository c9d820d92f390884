#include "viewer/accelerator_hook.h"

#include "core/com_end_watch.h"
#include "forms/window_entry.h"
#include "viewer/viewer_instance.h"

namespace quillpost {

bool AcceleratorHook::Install()
{
    if (hook_) return true;
    keep_.emplace();
    hook_ = entry::HookThisThreadsQueue<&AcceleratorHook::OnMessage>();
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

// Entered in the module's running scope, in the DPI context of the message's window: the control may
// close the viewer, and so remove the hook and give back its keep, while we are inside it.
bool AcceleratorHook::OnMessage(MSG& message)
{
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
    OwnComCalls own;  // COM that the control begins or ends here is not the host's
    return TranslateViewerAccelerator(message);
}

}  // namespace quillpost
