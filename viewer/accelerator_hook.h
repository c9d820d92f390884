// The viewer's keys for the page. The host owns the message loop, so nothing of ours sees a key
// before it is dispatched to the focused window, where the browser's own accelerators (Tab among
// the links, Ctrl+C, F5, Backspace, ...) are never applied. A message hook of the thread offers
// each keyboard message to the viewer first; it exists only while a viewer does.
#pragma once

#include <windows.h>

#include <optional>

#include "core/module.h"

namespace quillpost {

class AcceleratorHook {
public:
    AcceleratorHook() = default;
    AcceleratorHook(const AcceleratorHook&) = delete;
    AcceleratorHook& operator=(const AcceleratorHook&) = delete;
    ~AcceleratorHook() { Remove(); }

    // Hooks the calling thread's messages, for the viewer of this thread; false when the system
    // refuses (the page then sees only the keys that its window receives).
    bool Install();
    // On the thread that installed it.
    void Remove();

private:
    // True when the page has used the message.
    static bool OnMessage(MSG& message);

    HHOOK hook_ = nullptr;
    std::optional<LentKeep> keep_;  // the system calls the hook's code until it is removed
};

}  // namespace quillpost
