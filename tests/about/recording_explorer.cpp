// A stand-in for the system shell program, built as explorer.exe beside the About tests. It starts
// nothing: it writes the command line it was given and its show-window value to a file of its own
// (named for its process id) in the folder that QUILLPOST_EXPLORER_RECORD names, then exits.
#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kRecordFolderVariable[] = L"QUILLPOST_EXPLORER_RECORD";

std::wstring RecordFolder()
{
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(kRecordFolderVariable, folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

// "<show window>\n<command line>", UTF-16.
std::wstring Record()
{
    STARTUPINFOW startup{sizeof(startup)};
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    return std::to_wstring(show) + L"\n" + GetCommandLineW();
}

bool Write(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    const bool ok = WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
    CloseHandle(file);
    return ok;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int)
{
    const std::wstring folder = RecordFolder();
    if (folder.empty()) return 2;  // not under a test: record nothing, open nothing
    // Written under a temporary name and renamed, so a reader never sees half a record.
    const std::wstring name = folder + L"\\" + std::to_wstring(GetCurrentProcessId());
    if (!Write(name + L".tmp", Record())) return 1;
    return MoveFileW((name + L".tmp").c_str(), (name + L".txt").c_str()) ? 0 : 1;
}
