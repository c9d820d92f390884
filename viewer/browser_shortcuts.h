// The browser's own shortcuts, as the viewer answers them when the engine asks its document host
// (IDocHostUIHandler::TranslateAccelerator) before acting on a key. A reader of a forum page
// keeps moving, selecting, copying, finding, reloading and going back and forth; what would open
// something outside the viewer (a new or private window, a duplicate, the Open box, which takes
// local files too, printing, saving, full screen, the browser's search) is withheld.
#pragma once

#include <windows.h>

namespace quillpost {

// True when `message` presses a shortcut the engine must not act on. Modifiers count exactly, as
// in an accelerator table: Ctrl+Shift+N is not Ctrl+N. Keys the table does not name are left to
// the engine, as before: typing in a page's fields, and Alt+F4 and its like, must go on working.
bool IsWithheldShortcut(const MSG& message);

}  // namespace quillpost
