// Starting a command line with a window style, without waiting for it: the About window's links
// and the viewer's pages that go to the user's own browser start their programs this way.
//
// A click or a page's event runs this on the host's thread, so nothing here may end the host's
// process: paths live in fixed buffers of MAX_PATH characters (a longer one is never searched),
// and the two texts of unknown length (PATH and the writable copy of the command line) are
// allocated without throwing, their failure answered with E_OUTOFMEMORY.
#pragma once

#include <windows.h>

#include <string_view>
#include <type_traits>

#include "core/bounded_text.h"

namespace quillpost {

using PathText = BoundedText<MAX_PATH>;

// A callable borrowed for the length of one call, so that walking the folders allocates nothing.
// It answers true to stop the walk.
class FolderVisitor {
public:
    template <typename Visit>
        requires(!std::is_same_v<std::remove_cvref_t<Visit>, FolderVisitor>)
    FolderVisitor(Visit&& visit)
        : target_(&visit), call_([](void* target, const PathText& folder) {
              return (*static_cast<std::remove_reference_t<Visit>*>(target))(folder);
          })
    {
    }
    bool operator()(const PathText& folder) const { return call_(target_, folder); }

private:
    void* target_;
    bool (*call_)(void*, const PathText&);
};

// Where the first word of a command line is looked for, in order: the application's folder, the
// system folder, the 16-bit system folder, the Windows folder, then PATH's absolute entries.
// Never the current folder: a program planted wherever the host happens to stand must not run.
// S_OK when `visit` stopped the walk, S_FALSE when it saw every folder, E_OUTOFMEMORY when PATH
// could not be read (the folders before it have been seen).
HRESULT VisitProgramSearchFolders(std::wstring_view applicationFolder, FolderVisitor visit);

// The program file that the command line's first word names (".exe" added when it has no
// extension), searched for as above. HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when there is none.
HRESULT FindProgram(std::wstring_view commandLine, std::wstring_view applicationFolder, PathText& program);

// Starts the command line, passed whole, with `showWindow` for the program's first window. The
// started task is neither watched nor awaited.
HRESULT Shell(std::wstring_view commandLine, int showWindow);

// Shell; when it fails, tells the user in a message box owned by `owner` which command line could
// not be started and the system's reason, and returns the failure. Never ends the process.
HRESULT ShellOrTell(HWND owner, std::wstring_view commandLine, int showWindow);

}  // namespace quillpost
