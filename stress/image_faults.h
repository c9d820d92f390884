// Faults in a module's image after it was unmapped, counted by a vectored handler: under Wine an
// exception in a window procedure may be swallowed, and the process then ends as if nothing
// happened.
#pragma once

#include <windows.h>

namespace quillpost::stress {

// Counts, while it lives, the exceptions raised at addresses of every image the module was given.
class ImageFaultCount {
public:
    ImageFaultCount();
    ~ImageFaultCount();
    ImageFaultCount(const ImageFaultCount&) = delete;
    ImageFaultCount& operator=(const ImageFaultCount&) = delete;
};

// Notes where the loaded module's image lies, for the count.
void NoteImage(HMODULE module);
long FaultsInTheImage();

}  // namespace quillpost::stress
