// Starting a command line with a window style, as the link labels do, without waiting for it.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillpost::about {

// The folder of the program this process runs.
std::wstring ApplicationFolder();

// Where the first word of a command line is looked for, in order: the application's folder, the
// system folder, the 16-bit system folder, the Windows folder, then PATH's absolute entries.
// Never the current folder: a program planted wherever the host happens to stand must not run.
std::vector<std::wstring> ProgramSearchFolders(std::wstring_view applicationFolder);

// The program file that the command line's first word names (".exe" added when it has no
// extension). HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when there is none.
HRESULT FindProgram(std::wstring_view commandLine, std::span<const std::wstring> folders,
                    std::wstring& program);

// Starts the command line, passed whole, with `showWindow` for the program's first window. The
// started task is neither watched nor awaited.
HRESULT Shell(std::wstring_view commandLine, int showWindow);

// Shell; when it fails, tells the user in a message box owned by `owner` which command line could
// not be started and the system's reason, and returns the failure. Never ends the process.
HRESULT ShellOrTell(HWND owner, std::wstring_view commandLine, int showWindow);

}  // namespace quillpost::about
