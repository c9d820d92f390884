// Injected failures: the calls of one family that a module makes through its imports are
// counted, and the Nth of them fails as the system would fail it (an error code, a null
// result). Either calls after it succeed again, so the module can clean up as it would after
// a passing failure, or every call from the Nth on fails too, as on a heap that stays
// exhausted. One family is armed at a time.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "import_patch.h"

namespace quillpost::stress {

enum class FaultFamily {
    RegistryWrites,  // creating, setting and deleting keys and values
    Allocations,     // the C runtime's heap and automation strings
    Creation,        // windows, window classes, GDI objects, COM objects (the browser)
};

class ImportFaults {
public:
    // Routes the family's calls of each module through the counter while this object lives.
    ImportFaults(FaultFamily family, std::initializer_list<HMODULE> modules);
    ~ImportFaults();
    ImportFaults(const ImportFaults&) = delete;
    ImportFaults& operator=(const ImportFaults&) = delete;

    // Starts counting from zero; the call numbered `failAt` (1-based) fails, and with `onward`
    // every later call too; 0 = none fails.
    void Arm(long failAt, bool onward = false);
    long Calls() const;
    bool Fired() const;
    // Slots patched over all modules (0 means the family is not reachable this way).
    int Slots() const;

private:
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

}  // namespace quillpost::stress
