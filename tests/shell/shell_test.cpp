// Shell on its own: where it looks for a program, how it starts it, and what it tells the user
// when it cannot.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "shell/shell.h"
#include "core/system_error.h"
#include "about/explorer_records.h"
#include "support/platform.h"

namespace quillpost::testing {
namespace {

using quillpost::FindProgram;
using quillpost::PathText;

bool SamePath(const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }
bool SamePath(const std::wstring& a, const PathText& b) { return SamePath(a, std::wstring(b.View())); }

// Every folder the search would look in, in order.
std::vector<std::wstring> ProgramSearchFolders(const std::wstring& applicationFolder)
{
    std::vector<std::wstring> folders;
    EXPECT_EQ(S_FALSE, VisitProgramSearchFolders(applicationFolder, [&](const PathText& folder) {
                  folders.emplace_back(folder.View());
                  return false;
              }));
    return folders;
}

std::wstring SystemExplorer()
{
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\explorer.exe";
}

// Sets the current folder for the test's duration.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& folder)
    {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        SetCurrentDirectoryW(folder.c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryW(previous_); }

private:
    wchar_t previous_[MAX_PATH] = {};
};

// A folder holding a copy of the stand-in named Explorer.exe, as an attacker would plant it.
class PlantedExplorer {
public:
    PlantedExplorer() : folder_(MakeTemporaryFolder(L"qpp"))
    {
        CopyFileW(StandInBesideAboutTests().c_str(), Path().c_str(), FALSE);
    }
    ~PlantedExplorer() { RemoveFolder(folder_); }
    const std::wstring& Folder() const { return folder_; }
    std::wstring Path() const { return folder_ + L"\\Explorer.exe"; }

private:
    std::wstring folder_;
};

TEST(Shell, SearchesTheProgramFolderThenTheSystemAndNeverTheCurrentFolder)
{
    PlantedExplorer planted;
    CurrentFolder inside(planted.Folder());
    const std::vector<std::wstring> folders = ProgramSearchFolders(L"C:\\app");
    ASSERT_GE(folders.size(), 4u);
    EXPECT_EQ(L"C:\\app", folders[0]);
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_TRUE(SamePath(system, folders[1]));
    for (const std::wstring& folder : folders) EXPECT_FALSE(SamePath(planted.Folder(), folder));
    // A visitor that has found what it looked for ends the walk there.
    int visited = 0;
    EXPECT_EQ(S_OK, VisitProgramSearchFolders(L"C:\\app", [&](const PathText&) { return ++visited == 2; }));
    EXPECT_EQ(2, visited);
}

// Relative entries would reach the current folder; an entry longer than a path can be is passed
// over whole, and the walk goes on after it.
TEST(Shell, OnlyPathEntriesThatAreFullPathsAreSearched)
{
    wchar_t saved[4096] = {};
    GetEnvironmentVariableW(L"PATH", saved, ARRAYSIZE(saved));
    const std::wstring tooLong = L"C:\\" + std::wstring(MAX_PATH, L'x');
    SetEnvironmentVariableW(L"PATH", (L".;tools;\"C:\\quoted folder\";;" + tooLong + L";C:\\after").c_str());
    const std::vector<std::wstring> folders = ProgramSearchFolders(L"C:\\app");
    SetEnvironmentVariableW(L"PATH", saved);
    for (const std::wstring& refused : {std::wstring(L"."), std::wstring(L"tools"), std::wstring(), tooLong,
                                        tooLong.substr(0, MAX_PATH - 1)}) {
        EXPECT_EQ(0, std::count(folders.begin(), folders.end(), refused)) << refused.size();
    }
    EXPECT_EQ(1, std::count(folders.begin(), folders.end(), L"C:\\quoted folder"));
    EXPECT_EQ(L"C:\\after", folders.back());
}

TEST(Shell, APlantedExplorerInTheCurrentFolderIsPassedOver)
{
    QUILLPOST_UNDER_WINE_ONLY("expects explorer.exe in the system folder, where Wine keeps it");
    PlantedExplorer planted;
    const std::wstring emptyProgramFolder = MakeTemporaryFolder(L"qpa");
    CurrentFolder inside(planted.Folder());
    PathText program;
    EXPECT_EQ(S_OK, FindProgram(L"Explorer http://x.example", emptyProgramFolder, program));
    EXPECT_TRUE(SamePath(SystemExplorer(), program)) << ::testing::PrintToString(std::wstring(program.View()));
    // The same copy is found where the search does look: the program's own folder.
    EXPECT_EQ(S_OK, FindProgram(L"Explorer http://x.example", planted.Folder(), program));
    EXPECT_TRUE(SamePath(planted.Path(), program));
    RemoveFolder(emptyProgramFolder);
}

TEST(Shell, ARelativePathWithFoldersIsRefused)
{
    PlantedExplorer planted;
    const std::wstring parent = planted.Folder().substr(0, planted.Folder().find_last_of(L'\\'));
    const std::wstring relative = planted.Folder().substr(parent.size() + 1) + L"\\Explorer";
    CurrentFolder inside(parent);
    PathText program;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              FindProgram(relative + L" http://x.example", L"C:\\app", program));
}

TEST(Shell, AQuotedFullPathIsUsedAsItStands)
{
    PlantedExplorer planted;
    PathText program;
    EXPECT_EQ(S_OK, FindProgram(L"\"" + planted.Path() + L"\" http://x.example", L"C:\\app", program));
    EXPECT_TRUE(SamePath(planted.Path(), program));
}

// Names that no file can answer, those too long for a path among them, whatever lies on the disk.
TEST(Shell, AMissingProgramIsFileNotFound)
{
    const std::wstring longName(MAX_PATH, L'x');
    for (const std::wstring& line : {std::wstring(L"NoSuchQuillpostProgram http://x"), std::wstring(L"\"\" x"),
                                     longName + L" http://x", L"\"C:\\" + longName + L"\" http://x",
                                     L"C:\\" + longName.substr(0, MAX_PATH - 6)}) {
        PathText program;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), FindProgram(line, L"C:\\app", program)) << line.size();
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), Shell(line, SW_SHOWMINIMIZED)) << line.size();
    }
}

TEST(Shell, StartsTheProgramWithTheWholeLineAndTheWindowStyle)
{
    ExplorerRecords records;
    const std::wstring line = L"\"" + StandInBesideAboutTests() + L"\" http://x.example/a  b";
    ASSERT_EQ(S_OK, Shell(line, SW_SHOWMINIMIZED));
    const std::vector<LaunchRecord> started = records.WaitFor(1);
    ASSERT_EQ(1u, started.size());
    EXPECT_EQ(line, started[0].commandLine);
    EXPECT_EQ(SW_SHOWMINIMIZED, started[0].showWindow);
}

// Finds the message box of this process, keeps its text and presses its button.
class MessageBoxCloser {
public:
    MessageBoxCloser() : thread_([this] { Run(); }) {}
    ~MessageBoxCloser() { Stop(); }
    void Stop()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // The text of the box it closed; read after Stop().
    const std::wstring& Text() const { return text_; }

private:
    static BOOL CALLBACK Visit(HWND window, LPARAM context)
    {
        auto* self = reinterpret_cast<MessageBoxCloser*>(context);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        wchar_t className[16] = {};
        GetClassNameW(window, className, ARRAYSIZE(className));
        if (process != GetCurrentProcessId() || lstrcmpW(className, L"#32770") || !IsWindowVisible(window))
            return TRUE;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t text[1024] = {};
            GetWindowTextW(child, text, ARRAYSIZE(text));
            self->text_ += text + std::wstring(L"\n");
        }
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        self->stop_ = true;
        return FALSE;
    }
    void Run()
    {
        while (!stop_) {
            EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
            Sleep(50);
        }
    }

    std::wstring text_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(Shell, AProgramThatCannotStartIsToldInAMessageBoxAndTheCallerGoesOn)
{
    const wchar_t line[] = L"NoSuchQuillpostProgram http://x.example";
    HRESULT hr = S_OK;
    std::wstring shown;
    MessageBoxCloser closer;
    hr = ShellOrTell(nullptr, line, SW_SHOWMINIMIZED);
    closer.Stop();
    shown = closer.Text();
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), hr);
    EXPECT_NE(std::wstring::npos, shown.find(line)) << ::testing::PrintToString(shown);
    const std::wstring reason(SystemErrorText(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)).View());
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(std::wstring::npos, reason.find(L"Error 0x"));  // the system's own words, not a number
    EXPECT_NE(std::wstring::npos, shown.find(reason)) << ::testing::PrintToString(shown);
}

}  // namespace
}  // namespace quillpost::testing
