// Injected failures: the calls of one family that a module makes through its imports are
// counted, and the Nth of them fails as the system would fail it (an error code, a null
// result). Either calls after it succeed again, so the module can clean up as it would after
// a passing failure, or every call from the Nth on fails too, as on a heap that stays
// exhausted. One family is armed at a time.
//
// A family names each function it fails, and the module must import every one of them: a
// name the module no longer imports would be a fault reported as covered that never happens,
// so then nothing is patched and Ready() says which names are missing.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "import_patch.h"

namespace quillpost::stress {

enum class FaultFamily {
    RegistryWrites,  // creating, setting and deleting keys and values
    Allocations,     // the C runtime's heap and automation strings
    Creation,        // windows, window classes, GDI objects, COM objects (the browser)
};

// How often one function's injected failure happened.
struct FiredCount {
    const char* function;
    long fired;
};

class ImportFaults {
public:
    // Routes the family's calls of the first module through the counter while this object
    // lives; the modules after it (system modules that write on its behalf) are patched where
    // they import the same functions.
    ImportFaults(FaultFamily family, std::initializer_list<HMODULE> modules);
    ~ImportFaults();
    ImportFaults(const ImportFaults&) = delete;
    ImportFaults& operator=(const ImportFaults&) = delete;

    // The functions each family fails, as the module imports them.
    static std::vector<const char*> Functions(FaultFamily family);

    // False when the first module lacks one of the family's functions; nothing is patched then.
    bool Ready() const { return missing_.empty(); }
    // The family's functions that the first module does not import, comma separated.
    const std::string& Missing() const { return missing_; }

    // Starts counting from zero; the call numbered `failAt` (1-based) fails, and with `onward`
    // every later call too; 0 = none fails.
    void Arm(long failAt, bool onward = false);
    long Calls() const;
    bool Fired() const;
    // Per function of the family, the failures injected since this object was made.
    std::vector<FiredCount> FiredByFunction() const;

private:
    FaultFamily family_;
    std::string missing_;
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

}  // namespace quillpost::stress
