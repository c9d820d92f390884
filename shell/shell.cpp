#include "shell/shell.h"

#include <algorithm>
#include <memory>
#include <new>

#include "shell/path_text.h"
#include "core/raii.h"
#include "core/system_error.h"

namespace quillpost {
namespace {

constexpr wchar_t kMessageCaption[] = L"Quill Post";
constexpr std::wstring_view kProgramExtension = L".exe";
constexpr std::wstring_view kSixteenBitSystem = L"\\System";

HRESULT NotFound() { return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); }

// The first word of a command line: quoted, or up to the first blank.
std::wstring_view FirstWord(std::wstring_view commandLine)
{
    if (commandLine.starts_with(L'"')) {
        commandLine.remove_prefix(1);
        return commandLine.substr(0, commandLine.find(L'"'));
    }
    return commandLine.substr(0, commandLine.find_first_of(L" \t"));
}

// A path that does not fit is left out whole: cut short, it would name another file.
bool Fits(std::size_t length) { return length < MAX_PATH; }

PathText WindowsFolder()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    return PathText(length < MAX_PATH ? std::wstring_view(folder, length) : std::wstring_view());
}

PathText SystemFolder()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return PathText(length < MAX_PATH ? std::wstring_view(folder, length) : std::wstring_view());
}

PathText ApplicationFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return PathText(path_text::FolderOf({path, length}));
}

// Relative folders ("." among them, or an empty one) would reach the current folder again.
bool Offer(std::wstring_view folder, const FolderVisitor& visit)
{
    return path_text::IsAbsolute(folder) && Fits(folder.size()) && visit(PathText(folder));
}

// PATH may hold up to 32,767 characters: its value gets memory of its own and is walked in place.
HRESULT VisitPathEntries(const FolderVisitor& visit)
{
    std::unique_ptr<wchar_t[]> path;
    DWORD length = 0;
    for (DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0); size > 0;) {
        path.reset(new (std::nothrow) wchar_t[size]);
        if (!path) return E_OUTOFMEMORY;
        length = GetEnvironmentVariableW(L"PATH", path.get(), size);
        if (length < size) break;
        size = length;  // it grew in the meantime: this is what it needs now
    }
    for (std::wstring_view rest(path.get(), path ? length : 0); !rest.empty();) {
        const std::size_t end = rest.find(L';');
        const std::wstring_view entry = path_text::Unquoted(rest.substr(0, end));
        rest.remove_prefix(end == std::wstring_view::npos ? rest.size() : end + 1);
        if (Offer(entry, visit)) return S_OK;
    }
    return S_FALSE;
}

bool IsFile(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FindInFolder(const PathText& folder, const PathText& name, PathText& program)
{
    wchar_t found[MAX_PATH] = {};
    const DWORD length = SearchPathW(folder.CStr(), name.CStr(), kProgramExtension.data(), MAX_PATH, found, nullptr);
    if (length == 0 || length >= MAX_PATH || !IsFile(found)) return false;
    program = PathText({found, length});
    return true;
}

HRESULT UseFullPath(std::wstring_view name, PathText& program)
{
    const bool addExtension = !path_text::HasExtension(name);
    if (!Fits(name.size() + (addExtension ? kProgramExtension.size() : 0))) return NotFound();
    PathText file(name);
    if (addExtension) file += kProgramExtension;
    if (!IsFile(file.CStr())) return NotFound();
    program = file;
    return S_OK;
}

}  // namespace

HRESULT VisitProgramSearchFolders(std::wstring_view applicationFolder, FolderVisitor visit)
{
    const PathText system = SystemFolder();
    const PathText windows = WindowsFolder();
    PathText sixteenBitSystem;
    if (!windows.Empty() && Fits(windows.View().size() + kSixteenBitSystem.size())) {
        sixteenBitSystem = windows;
        sixteenBitSystem += kSixteenBitSystem;
    }
    for (std::wstring_view folder : {applicationFolder, system.View(), sixteenBitSystem.View(), windows.View()}) {
        if (Offer(folder, visit)) return S_OK;
    }
    return VisitPathEntries(visit);
}

HRESULT FindProgram(std::wstring_view commandLine, std::wstring_view applicationFolder, PathText& program)
{
    const std::wstring_view name = FirstWord(commandLine);
    if (name.empty()) return NotFound();
    if (path_text::IsAbsolute(name)) return UseFullPath(name, program);
    // A relative path with folders in it would be resolved against the current folder.
    if (name.find_first_of(L"\\/") != std::wstring_view::npos || !Fits(name.size())) return NotFound();
    const PathText file(name);
    const HRESULT hr = VisitProgramSearchFolders(
        applicationFolder, [&](const PathText& folder) { return FindInFolder(folder, file, program); });
    if (FAILED(hr)) return hr;
    return hr == S_OK ? S_OK : NotFound();
}

HRESULT Shell(std::wstring_view commandLine, int showWindow)
{
    PathText program;
    const PathText applicationFolder = ApplicationFolder();
    if (HRESULT hr = FindProgram(commandLine, applicationFolder.View(), program); FAILED(hr)) return hr;
    // CreateProcessW may write into its command line: it gets a copy of its own.
    std::unique_ptr<wchar_t[]> line(new (std::nothrow) wchar_t[commandLine.size() + 1]);
    if (!line) return E_OUTOFMEMORY;
    *std::copy(commandLine.begin(), commandLine.end(), line.get()) = L'\0';
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showWindow);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.CStr(), line.get(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    // The task is not watched: its handles go at once.
    UniqueHandle process(started.hProcess), thread(started.hThread);
    return S_OK;
}

HRESULT ShellOrTell(HWND owner, std::wstring_view commandLine, int showWindow)
{
    const HRESULT hr = Shell(commandLine, showWindow);
    if (FAILED(hr)) {
        BoundedText<1024> message(L"Could not start:\n");
        message += commandLine;
        message += L"\n\n";
        message += SystemErrorText(hr).View();
        MessageBoxW(owner, message.CStr(), kMessageCaption, MB_OK | MB_ICONEXCLAMATION);
    }
    return hr;
}

}  // namespace quillpost
