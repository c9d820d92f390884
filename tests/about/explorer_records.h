// What the recording stand-in explorer.exe saw: one record per started process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quillpost::testing {

struct LaunchRecord {
    DWORD processId = 0;
    int showWindow = -1;  // -1: started without STARTF_USESHOWWINDOW
    std::wstring commandLine;
};

// A fresh record folder for the stand-ins this test starts, named to them through the
// environment they inherit; removed again, with the variable, when the scope ends.
class ExplorerRecords {
public:
    ExplorerRecords();
    ExplorerRecords(const ExplorerRecords&) = delete;
    ExplorerRecords& operator=(const ExplorerRecords&) = delete;
    ~ExplorerRecords();

    std::vector<LaunchRecord> Read() const;
    // Pumps messages until at least `count` records exist or the time is up.
    std::vector<LaunchRecord> WaitFor(size_t count, DWORD timeoutMilliseconds = 10000) const;

private:
    std::wstring folder_;
};

// A fresh, empty temporary folder; RemoveFolder deletes it with the files in it.
std::wstring MakeTemporaryFolder(const wchar_t* prefix);
void RemoveFolder(const std::wstring& folder);

// The folder of this test program, and the stand-in that the build puts beside the About tests.
std::wstring TestProgramFolder();
std::wstring StandInBesideAboutTests();

}  // namespace quillpost::testing
