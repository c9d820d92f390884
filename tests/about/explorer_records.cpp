#include "explorer_records.h"

#include <algorithm>

#include "support/windows.h"

namespace quillpost::testing {
namespace {

constexpr wchar_t kRecordFolderVariable[] = L"QUILLPOST_EXPLORER_RECORD";

std::wstring ReadWholeFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::wstring text(GetFileSize(file, nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);
    text.resize(read / sizeof(wchar_t));
    return text;
}

LaunchRecord ParseRecord(const std::wstring& name, const std::wstring& text)
{
    LaunchRecord record;
    record.processId = std::wcstoul(name.c_str(), nullptr, 10);
    const size_t lineEnd = text.find(L'\n');
    record.showWindow = std::wcstol(text.substr(0, lineEnd).c_str(), nullptr, 10);
    if (lineEnd != std::wstring::npos) record.commandLine = text.substr(lineEnd + 1);
    return record;
}

template <typename Visit>
void ForEachFile(const std::wstring& folder, const wchar_t* pattern, Visit visit)
{
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) visit(std::wstring(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

ExplorerRecords::ExplorerRecords() : folder_(MakeTemporaryFolder(L"qpr"))
{
    SetEnvironmentVariableW(kRecordFolderVariable, folder_.c_str());
}

ExplorerRecords::~ExplorerRecords()
{
    SetEnvironmentVariableW(kRecordFolderVariable, nullptr);
    RemoveFolder(folder_);
}

std::vector<LaunchRecord> ExplorerRecords::Read() const
{
    std::vector<LaunchRecord> records;
    ForEachFile(folder_, L"*.txt", [&](const std::wstring& name) {
        records.push_back(ParseRecord(name, ReadWholeFile(folder_ + L"\\" + name)));
    });
    return records;
}

std::vector<LaunchRecord> ExplorerRecords::WaitFor(size_t count, DWORD timeoutMilliseconds) const
{
    PumpUntil([&] { return Read().size() >= count; }, timeoutMilliseconds);
    return Read();
}

std::wstring MakeTemporaryFolder(const wchar_t* prefix)
{
    wchar_t base[MAX_PATH] = {}, name[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    GetTempFileNameW(base, prefix, 0, name);  // reserves a unique name as a file
    DeleteFileW(name);
    CreateDirectoryW(name, nullptr);
    return name;
}

void RemoveFolder(const std::wstring& folder)
{
    ForEachFile(folder, L"*", [&](const std::wstring& name) { DeleteFileW((folder + L"\\" + name).c_str()); });
    RemoveDirectoryW(folder.c_str());
}

std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

}  // namespace quillpost::testing

namespace quillpost::testing {

// Each test program is told at build time where, relative to itself, the stand-in lies.
std::wstring StandInBesideAboutTests() { return TestProgramFolder() + L"\\" QUILLPOST_STAND_IN; }

}  // namespace quillpost::testing
