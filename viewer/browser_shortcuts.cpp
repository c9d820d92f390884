#include "viewer/browser_shortcuts.h"

namespace quillpost {
namespace {

enum Modifiers : BYTE { kNone = 0, kCtrl = 1, kShift = 2, kAlt = 4 };

struct Shortcut {
    BYTE key;
    BYTE modifiers;
    bool withheld;
};

constexpr Shortcut kShortcuts[] = {
    // Kept: what a reader of the forum's pages uses.
    {VK_LEFT, kNone, false}, {VK_RIGHT, kNone, false}, {VK_UP, kNone, false}, {VK_DOWN, kNone, false},
    {VK_PRIOR, kNone, false}, {VK_NEXT, kNone, false}, {VK_HOME, kNone, false}, {VK_END, kNone, false},
    {VK_TAB, kNone, false}, {VK_TAB, kShift, false}, {'C', kCtrl, false}, {'A', kCtrl, false},
    {'F', kCtrl, false}, {VK_F5, kNone, false}, {VK_LEFT, kAlt, false}, {VK_RIGHT, kAlt, false},
    // Withheld: a new window (N), a duplicate of this one (K), a new tab, which the control makes a
    // window (T), a private window (Ctrl+Shift+P); the Open box (O, L); printing (P), saving (S),
    // full screen (F11) and the browser's search (E).
    {'N', kCtrl, true}, {'K', kCtrl, true}, {'T', kCtrl, true}, {'P', kCtrl | kShift, true},
    {'O', kCtrl, true}, {'L', kCtrl, true}, {'P', kCtrl, true}, {'S', kCtrl, true},
    {VK_F11, kNone, true}, {'E', kCtrl, true},
};

BYTE HeldModifiers()
{
    return (GetKeyState(VK_CONTROL) < 0 ? kCtrl : kNone) | (GetKeyState(VK_SHIFT) < 0 ? kShift : kNone) |
           (GetKeyState(VK_MENU) < 0 ? kAlt : kNone);
}

}  // namespace

bool IsWithheldShortcut(const MSG& message)
{
    // Alt turns a key press into a system key press; releases and characters act on nothing.
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
    const BYTE modifiers = HeldModifiers();
    for (const Shortcut& shortcut : kShortcuts) {
        if (shortcut.key == message.wParam && shortcut.modifiers == modifiers) return shortcut.withheld;
    }
    return false;  // the engine's own answer
}

}  // namespace quillpost
