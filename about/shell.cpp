#include "about/shell.h"

#include "about/path_text.h"
#include "base/raii.h"
#include "base/system_error.h"

namespace quillpost::about {
namespace {

constexpr wchar_t kMessageCaption[] = L"Quill Post";

// The first word of a command line: quoted, or up to the first blank.
std::wstring_view FirstWord(std::wstring_view commandLine)
{
    if (commandLine.starts_with(L'"')) {
        commandLine.remove_prefix(1);
        return commandLine.substr(0, commandLine.find(L'"'));
    }
    return commandLine.substr(0, commandLine.find_first_of(L" \t"));
}

std::wstring WindowsFolder()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    return length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

std::wstring SystemFolder()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

// PATH's entries, unquoted; relative ones ("." among them) would reach the current folder again.
void AppendAbsolutePathEntries(std::vector<std::wstring>& folders)
{
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (size == 0) return;
    std::wstring path(size, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), size));
    for (std::wstring_view rest = path; !rest.empty();) {
        const size_t end = rest.find(L';');
        const std::wstring_view entry = path_text::Unquoted(rest.substr(0, end));
        rest.remove_prefix(end == std::wstring_view::npos ? rest.size() : end + 1);
        if (path_text::IsAbsolute(entry)) folders.emplace_back(entry);
    }
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HRESULT FindInFolder(const std::wstring& folder, const std::wstring& name, std::wstring& program)
{
    wchar_t found[MAX_PATH] = {};
    const DWORD length = SearchPathW(folder.c_str(), name.c_str(), L".exe", MAX_PATH, found, nullptr);
    if (length == 0 || length >= MAX_PATH || !IsFile(found)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    program.assign(found, length);
    return S_OK;
}

HRESULT UseFullPath(std::wstring name, std::wstring& program)
{
    if (!path_text::HasExtension(name)) name += L".exe";
    if (!IsFile(name)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    program = std::move(name);
    return S_OK;
}

}  // namespace

std::wstring ApplicationFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(path_text::FolderOf({path, length}));
}

std::vector<std::wstring> ProgramSearchFolders(std::wstring_view applicationFolder)
{
    const std::wstring windows = WindowsFolder();
    std::vector<std::wstring> folders{std::wstring(applicationFolder), SystemFolder(), windows + L"\\System",
                                      windows};
    AppendAbsolutePathEntries(folders);
    std::erase_if(folders, [](const std::wstring& folder) { return !path_text::IsAbsolute(folder); });
    return folders;
}

HRESULT FindProgram(std::wstring_view commandLine, std::span<const std::wstring> folders,
                    std::wstring& program)
{
    const std::wstring name(FirstWord(commandLine));
    if (name.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (path_text::IsAbsolute(name)) return UseFullPath(name, program);
    // A relative path with folders in it would be resolved against the current folder.
    if (name.find_first_of(L"\\/") != std::wstring::npos) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    for (const std::wstring& folder : folders) {
        if (SUCCEEDED(FindInFolder(folder, name, program))) return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

HRESULT Shell(std::wstring_view commandLine, int showWindow)
{
    std::wstring program;
    const std::vector<std::wstring> folders = ProgramSearchFolders(ApplicationFolder());
    if (HRESULT hr = FindProgram(commandLine, folders, program); FAILED(hr)) return hr;
    std::wstring line(commandLine);  // CreateProcessW may write into its command line
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showWindow);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
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

}  // namespace quillpost::about
