// The link labels end to end: real clicks and keys, a screen reader through oleacc, and a recording
// stand-in explorer.exe beside this program that writes down each command line it is started with
// and the window style it is asked for.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "about_window.h"
#include "core/addresses.h"
#include "explorer_records.h"
#include "support/accessibility.h"
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

    // Waits for one more program; true when those started so far had the command lines expected.
    bool NextStarts(const std::wstring& commandLine)
    {
        expected_.push_back(commandLine);
        std::vector<std::wstring> started;
        for (const LaunchRecord& record : records_.WaitFor(expected_.size())) started.push_back(record.commandLine);
        std::vector<std::wstring> expected = expected_;
        std::sort(started.begin(), started.end());
        std::sort(expected.begin(), expected.end());
        return started == expected;
    }
    // No program more than those expected, once any other would have recorded.
    void ExpectNoOtherProgram()
    {
        PumpMessages(1500);
        EXPECT_EQ(expected_.size(), records_.Read().size());
    }

    ExplorerRecords records_;
    ComPtr<IDispatch> sample_;
    HWND about_ = nullptr;
    std::vector<std::wstring> expected_;
};

struct Link {
    std::wstring caption;
    std::wstring commandLine;
};
std::vector<Link> Links() { return {{kForumLabel, ForumThreadLine()}, {AuthorLabel(), AuthorSiteLine()}}; }

// A key held down on `control` until it has repeated twice, as the system delivers it: a press,
// presses marked as repeats (bit 30: the key was already down), the release.
void HoldKey(HWND control, WORD key)
{
    constexpr LPARAM kPress = 1, kRepeat = kPress | 1 << 30, kRelease = kRepeat | LPARAM{1} << 31;
    for (LPARAM keyData : {kPress, kRepeat, kRepeat}) PostMessageW(control, WM_KEYDOWN, key, keyData);
    PostMessageW(control, WM_KEYUP, key, kRelease);
    PumpMessages(100);
}

// Counts the clicks that `button` tells its parent of, on this thread, while it lives.
class ClickCount {
public:
    explicit ClickCount(HWND button) : hook_(SetWindowsHookExW(WH_CALLWNDPROC, Record, nullptr, GetCurrentThreadId()))
    {
        button_ = button;
        clicks_ = 0;
    }
    ~ClickCount() { UnhookWindowsHookEx(hook_); }
    int Clicks() const { return clicks_; }

private:
    static LRESULT CALLBACK Record(int code, WPARAM flag, LPARAM message)
    {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(message);
        if (code == HC_ACTION && sent->message == WM_COMMAND && HIWORD(sent->wParam) == BN_CLICKED &&
            reinterpret_cast<HWND>(sent->lParam) == button_)
            ++clicks_;
        return CallNextHookEx(nullptr, code, flag, message);
    }
    static inline HWND button_ = nullptr;
    static inline int clicks_ = 0;
    HHOOK hook_;
};

// From "Ok", where the focus starts, Tab visits the links in turn, each showing the focus cue while
// it has the focus, and back to "Ok". Enter and Space on a link each start its program once, pressed
// or held; Enter held on "Ok" clicks it once.
TEST_F(AboutLinks, TabReachesEachLinkAndOkWhereEnterAndSpaceActOnceEvenHeld)
{
    HWND ok = ControlWithText(about_, L"Ok");
    ASSERT_EQ(ok, GetFocus());
    std::vector<HWND> labels;
    std::vector<std::vector<COLORREF>> unfocused;
    for (const Link& link : Links()) {
        labels.push_back(ControlWithText(about_, link.caption));
        unfocused.push_back(ScreenPixels(labels.back()));
    }
    for (size_t index = 0; index < labels.size(); ++index) {
        PressKey(VK_TAB);
        ASSERT_EQ(labels[index], GetFocus()) << index;
        EXPECT_NE(unfocused[index], ScreenPixels(labels[index])) << "no focus cue";
        for (WORD key : {VK_RETURN, VK_SPACE}) {
            PressKey(key);
            EXPECT_TRUE(NextStarts(Links()[index].commandLine)) << "key " << key;
            HoldKey(labels[index], key);
            EXPECT_TRUE(NextStarts(Links()[index].commandLine)) << "key held " << key;
        }
    }
    PressKey(VK_TAB);
    ASSERT_EQ(ok, GetFocus());
    for (size_t index = 0; index < labels.size(); ++index)
        EXPECT_EQ(unfocused[index], ScreenPixels(labels[index])) << "the focus cue stayed";
    ClickCount count(ok);
    HoldKey(ok, VK_RETURN);
    EXPECT_EQ(1, count.Clicks());
    EXPECT_TRUE(WaitUntilAboutIsGone());
    ExpectNoOtherProgram();
}

// Through the dialog manager: Tab and Shift+Tab go round "Ok" and the links both ways, each key
// pressed as a hand does, and Escape closes the window from wherever the focus is.
TEST_F(AboutLinks, TheDialogManagerMovesTheFocusBothWaysAndEscapeCloses)
{
    const HWND ok = ControlWithText(about_, L"Ok"), forum = ControlWithText(about_, Links()[0].caption),
               site = ControlWithText(about_, Links()[1].caption);
    struct Press {
        bool shift;
        WORD key;
        HWND focus;  // where the focus is afterwards
    };
    const Press presses[] = {{false, VK_TAB, forum}, {false, VK_TAB, site}, {false, VK_TAB, ok},
                             {true, VK_TAB, site},   {true, VK_TAB, forum}, {true, VK_TAB, ok},
                             {true, VK_TAB, site}};
    for (const Press& press : presses) {
        INPUT inputs[4] = {};
        int count = 0;
        auto key = [&](WORD virtualKey, DWORD flags) {
            inputs[count].type = INPUT_KEYBOARD;
            inputs[count].ki = {virtualKey, 0, flags, 0, 0};
            ++count;
        };
        if (press.shift) key(VK_SHIFT, 0);
        key(press.key, 0);
        key(press.key, KEYEVENTF_KEYUP);
        if (press.shift) key(VK_SHIFT, KEYEVENTF_KEYUP);
        SendInput(count, inputs, sizeof(INPUT));
        PumpMessages(100);
        EXPECT_EQ(press.focus, GetFocus()) << (press.shift ? "Shift+" : "") << press.key;
    }
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntilAboutIsGone());
    ExpectNoOtherProgram();
}

// As a screen reader sees them: links named by their captions, where they lie, whose default
// action starts their program once; the other labels keep the system's objects.
TEST_F(AboutLinks, AScreenReaderFindsEachLinkAndItsDefaultActionStartsOneProgram)
{
    for (const Link& link : Links()) {
        HWND label = ControlWithText(about_, link.caption);
        ComPtr<IAccessible> object = ClientObject(label);
        ASSERT_NE(nullptr, object.Get());
        const AccessibleFacts facts = FactsOf(object.Get());
        EXPECT_EQ(link.caption, facts.name);
        EXPECT_EQ(ROLE_SYSTEM_LINK, facts.role);
        EXPECT_FALSE(facts.defaultAction.empty());
        RECT box{};
        GetWindowRect(label, &box);
        EXPECT_TRUE(EqualRect(&box, &facts.location));
        EXPECT_EQ(S_OK, object->accDoDefaultAction(ChildId(CHILDID_SELF)));
        EXPECT_TRUE(NextStarts(link.commandLine));
    }
    ComPtr<IAccessible> note = ClientObject(ControlWithText(about_, L"this is only a test mind you :) "));
    ASSERT_NE(nullptr, note.Get());
    EXPECT_NE(ROLE_SYSTEM_LINK, FactsOf(note.Get()).role);
    ExpectNoOtherProgram();
}

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
