// Run from a folder without a stand-in beside it: a stand-in planted in the current folder must not
// be what a link label starts.
#include <gtest/gtest.h>

#include <string>

#include "about_window.h"
#include "explorer_records.h"
#include "support/com_test.h"
#include "support/platform.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

class AboutLinksFromAnotherFolder : public ComTest {};

TEST_F(AboutLinksFromAnotherFolder, AStandInInTheCurrentFolderAloneIsNotRun)
{
    QUILLPOST_UNDER_WINE_ONLY("clicks with the real mouse");
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((TestProgramFolder() + L"\\explorer.exe").c_str()))
        << "this test program must not have a stand-in beside it";
    ExplorerRecords records;
    const std::wstring planted = MakeTemporaryFolder(L"qpc");
    ASSERT_TRUE(CopyFileW(StandInBesideAboutTests().c_str(), (planted + L"\\Explorer.exe").c_str(), FALSE));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(planted.c_str()));

    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    ClickAt(ScreenCenter(ControlWithText(about, L"Click here to view the forum thread")));
    PumpMessages(2000);  // a started stand-in records within a fraction of this

    EXPECT_TRUE(records.Read().empty());
    // The system's own explorer was found instead, so nothing went wrong to tell the user about.
    EXPECT_EQ(1u, FindVisibleWindows(L"About").size());
    EXPECT_TRUE(FindVisibleWindows(L"Quill Post").empty());
    SetCurrentDirectoryW(previous);
    RemoveFolder(planted);
}

}  // namespace
}  // namespace quillpost::testing
