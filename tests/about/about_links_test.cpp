// The link labels end to end: real clicks, and a recording stand-in explorer.exe beside this program
// that writes down each command line it is started with and the window style it is asked for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about_window.h"
#include "base/addresses.h"
#include "explorer_records.h"
#include "support/com_test.h"
#include "support/platform.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

constexpr wchar_t kForumLabel[] = L"Click here to view the forum thread";

std::wstring ForumThreadLine()
{
    return std::wstring(L"Explorer http://") + kForumHost + L"/showthread.php?tid=34690";
}

std::wstring AuthorSiteLine() { return std::wstring(L"Explorer http://") + kAuthorHost; }

std::wstring AuthorLabel() { return std::wstring(L"http://") + kAuthorHost + L" - visit my site"; }

class AboutLinks : public ComTest {
protected:
    void SetUp() override
    {
        QUILLPOST_UNDER_WINE_ONLY("clicks with the real mouse");
        ComTest::SetUp();
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(StandInBesideAboutTests().c_str()))
            << "the recording explorer.exe must lie beside the test program";
        sample_ = CreateSample();
        about_ = OpenAbout(sample_.Get());
        ASSERT_NE(nullptr, about_);
    }

    void Click(const std::wstring& caption)
    {
        HWND control = ControlWithText(about_, caption);
        ASSERT_NE(nullptr, control);
        ClickAt(ScreenCenter(control));
    }

    ExplorerRecords records_;
    ComPtr<IDispatch> sample_;
    HWND about_ = nullptr;
};

TEST_F(AboutLinks, ForumLabelStartsExplorerOnTheThreadMinimized)
{
    Click(kForumLabel);
    const std::vector<LaunchRecord> started = records_.WaitFor(1);
    ASSERT_EQ(1u, started.size());
    EXPECT_EQ(ForumThreadLine(), started[0].commandLine);
    EXPECT_EQ(SW_SHOWMINIMIZED, started[0].showWindow);
}

TEST_F(AboutLinks, AuthorLabelStartsExplorerOnTheSiteItShows)
{
    Click(AuthorLabel());
    const std::vector<LaunchRecord> started = records_.WaitFor(1);
    ASSERT_EQ(1u, started.size());
    EXPECT_EQ(AuthorSiteLine(), started[0].commandLine);
    EXPECT_EQ(SW_SHOWMINIMIZED, started[0].showWindow);
}

TEST_F(AboutLinks, TwoClicksStartTwoProcesses)
{
    Click(kForumLabel);
    PumpMessages(600);  // apart by more than a double click
    Click(kForumLabel);
    const std::vector<LaunchRecord> started = records_.WaitFor(2);
    ASSERT_EQ(2u, started.size());
    EXPECT_NE(started[0].processId, started[1].processId);
    for (const LaunchRecord& record : started) EXPECT_EQ(ForumThreadLine(), record.commandLine);
}

// Both presses well within the double-click time: the second arrives as STN_DBLCLK.
TEST_F(AboutLinks, ADoubleClickStartsOneProgram)
{
    HWND label = ControlWithText(about_, AuthorLabel());
    ASSERT_NE(nullptr, label);
    DoubleClickAt(ScreenCenter(label));
    PumpMessages(2000);  // a second stand-in would have recorded within a fraction of this
    const std::vector<LaunchRecord> started = records_.Read();
    ASSERT_EQ(1u, started.size());
    EXPECT_EQ(AuthorSiteLine(), started[0].commandLine);
}

TEST_F(AboutLinks, TheOtherLabelsStartNothing)
{
    Click(L"Quill Post, by the Quillpost authors");
    Click(L"Made for the Tallowchat forum");
    Click(L"this is only a test mind you :) ");
    PumpMessages(2000);  // a started stand-in records within a fraction of this
    EXPECT_TRUE(records_.Read().empty());
    EXPECT_EQ(1u, FindVisibleWindows(L"About").size());
}

}  // namespace
}  // namespace quillpost::testing
