// The page in its place, told as the control tells it: the viewer shown with the stand-in control,
// which fires the page's events through the connection point the viewer advised. What reaches the
// user's browser is what the stand-in explorer.exe beside the program records. The plug-in's
// millisecond clock is the test's (PageTest::Advance), given to it through its imports, so that
// no test waits for a page's starts of the user's browser to come back.
#pragma once

#include <shobjidl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "about/explorer_records.h"
#include "stress/import_patch.h"
#include "viewer/stand_in_browser.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {

class PageTest : public ViewerTest {
protected:
    void SetUp() override
    {
        g_standIn = {};
        ViewerTest::SetUp();
        // Kept mapped while the clock is patched, whatever COM does with the module.
        ASSERT_TRUE(GetModuleHandleExW(0, L"Quillpost.dll", &module_));
        clock_ = std::make_unique<stress::ImportPatch>(module_, "GetTickCount64", reinterpret_cast<const void*>(&Now));
        ASSERT_EQ(1, clock_->Slots()) << "the plug-in no longer reads this clock";
        ASSERT_EQ(S_OK, standIn_.Register());
        ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
        ASSERT_EQ(1, g_standIn.sinks) << "the viewer does not listen to the control's events";
    }
    void TearDown() override
    {
        CloseProcessWindows();
        standIn_.Revoke();
        clock_.reset();
        ViewerTest::TearDown();
        if (module_) FreeLibrary(module_);
    }

    // Lets `milliseconds` pass on the plug-in's clock.
    static void Advance(ULONGLONG milliseconds) { now_ += milliseconds; }

    // The addresses the user's browser was started with, sorted, once `count` have come and then a
    // second in which no more may come.
    static std::vector<std::wstring> Opened(const ExplorerRecords& records, std::size_t count);

    StandInRegistration standIn_;

private:
    static ULONGLONG WINAPI Now() { return now_; }
    // Far beyond any real tick count: whatever the plug-in read before the patch lies behind it.
    static inline ULONGLONG now_ = 1ull << 40;
    HMODULE module_ = nullptr;
    std::unique_ptr<stress::ImportPatch> clock_;
};

}  // namespace quillpost::testing
