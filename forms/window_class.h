// The module's window classes: registered on first use in each load of the module, and all
// unregistered when the module is freed, so that no class outlives the code of its procedure.
#pragma once

#include <windows.h>

#include "core/entry_points.h"

namespace quillpost {

// A class of the module's: its procedure is always the handler entered in the module's running scope
// (core/entry_points.h), the only way a row can be made.
class WindowClassRow {
public:
    // background nullptr: the window paints every pixel itself.
    template <entry::WindowHandler Handler>
    static constexpr WindowClassRow Of(const wchar_t* name, HBRUSH background)
    {
        return WindowClassRow(name, &entry::WindowProcedure<Handler>, background);
    }

    const wchar_t* name;
    WNDPROC procedure;
    HBRUSH background;

private:
    constexpr WindowClassRow(const wchar_t* className, WNDPROC entered, HBRUSH brush)
        : name(className), procedure(entered), background(brush)
    {
    }
};

// Registers the class unless this load of the module already did. A class of the same name left
// behind by an earlier load (whose procedure is gone) is replaced. Safe from any thread.
HRESULT EnsureWindowClass(const WindowClassRow& row);

// For the module's entry point when the module is freed: unregisters every class registered in
// this load. Only the process-wide class table is touched, no window.
void UnregisterWindowClasses();

}  // namespace quillpost
