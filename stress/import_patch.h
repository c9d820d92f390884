// Fault injection from outside a module: its import table entry for one function is pointed
// at a replacement for the life of the patch. The module's code is untouched; it simply
// calls the replacement wherever it calls the function through its imports.
#pragma once

#include <windows.h>

namespace quillpost::stress {

class ImportPatch {
public:
    // Patches every import of `function` (by name, from any DLL) in `module`. What the first slot
    // called before is written to `*original`, if given, before any slot calls the replacement.
    ImportPatch(HMODULE module, const char* function, const void* replacement, void** original = nullptr);
    // Patches one slot of another table: a method of a class of objects, for every object of it.
    ImportPatch(void** slot, const void* replacement, void** original = nullptr);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // How many import slots now call the replacement (0 when the module does not import it).
    int Slots() const { return slotCount_; }
    // What the first patched slot called before: the function itself, or the replacement of a
    // patch made earlier, so that a replacement can pass its calls on through both.
    void* Original() const { return slotCount_ ? originals_[0] : nullptr; }

private:
    void Patch(void** slot, const void* replacement, void** original);

    static constexpr int kMaxSlots = 8;
    void** slots_[kMaxSlots] = {};
    void* originals_[kMaxSlots] = {};
    int slotCount_ = 0;
};

}  // namespace quillpost::stress
