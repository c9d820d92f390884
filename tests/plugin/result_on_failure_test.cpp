// A failing call leaves its result VARIANT empty: the host may clear it afterwards, and a
// VARIANT that still holds whatever its memory held would be cleared as if it owned something.
#include <gtest/gtest.h>

#include "stress/import_faults.h"
#include "support/com_test.h"
#include "support/dispatch.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

// Refuses every window this thread creates while it lives, as an exhausted desktop heap would.
class WindowCreationRefused {
public:
    WindowCreationRefused() : hook_(SetWindowsHookExW(WH_CBT, Refuse, nullptr, GetCurrentThreadId())) {}
    ~WindowCreationRefused()
    {
        if (hook_) UnhookWindowsHookEx(hook_);
    }
    WindowCreationRefused(const WindowCreationRefused&) = delete;
    WindowCreationRefused& operator=(const WindowCreationRefused&) = delete;
    bool Active() const { return hook_ != nullptr; }

private:
    static LRESULT CALLBACK Refuse(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND) return 1;
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_;
};

// What a caller's uninitialised VARIANT may hold; it owns nothing, so nothing leaks if kept.
VARIANT Garbage()
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 0x5EED;
    return v;
}

class ResultOnFailure : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        sample_ = CreateSampleVtable();
        ASSERT_NE(nullptr, sample_.Get());
    }
    void TearDown() override
    {
        sample_.Reset();
        ComTest::TearDown();
    }
    ComPtr<_Sample> sample_;
};

TEST_F(ResultOnFailure, ConfigureThatCannotOpenItsWindowLeavesTheResultEmpty)
{
    VARIANT result = Garbage();
    {
        WindowCreationRefused refused;
        ASSERT_TRUE(refused.Active());
        const HRESULT hr = sample_->Configure(&result);
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    }
    EXPECT_EQ(VT_EMPTY, result.vt);
    EXPECT_TRUE(FindTopLevelWindows(L"About").empty());

    result = Garbage();
    EXPECT_EQ(S_OK, sample_->Configure(&result)) << "the About window opens once windows can be made again";
    EXPECT_EQ(VT_EMPTY, result.vt);
}

// The caller's strings, passed by reference as a host passes them.
struct CallerStrings {
    BSTR name = SysAllocString(L"keep");
    BSTR value = SysAllocString(L"keep");
    BSTR help = SysAllocString(L"keep");
    ~CallerStrings()
    {
        SysFreeString(name);
        SysFreeString(value);
        SysFreeString(help);
    }
};

TEST_F(ResultOnFailure, CommandInfoThatRunsOutOfMemoryLeavesTheResultEmptyAndTheStringsAlone)
{
    stress::ImportFaults faults(stress::FaultFamily::Allocations, {GetModuleHandleW(L"Quillpost.dll")});
    ASSERT_TRUE(faults.Ready()) << "not imported: " << faults.Missing();
    CallerStrings strings;
    VARIANT result = Garbage();
    faults.Arm(1);  // the first allocation of the call fails
    EXPECT_EQ(E_OUTOFMEMORY,
              sample_->GetPublishCommandInfo(1, &strings.name, &strings.value, &strings.help, &result));
    EXPECT_TRUE(faults.Fired());
    faults.Arm(0);
    EXPECT_EQ(VT_EMPTY, result.vt);
    EXPECT_STREQ(L"keep", strings.name);
    EXPECT_STREQ(L"keep", strings.value);
    EXPECT_STREQ(L"keep", strings.help);

    result = Garbage();
    EXPECT_EQ(S_OK, sample_->GetPublishCommandInfo(1, &strings.name, &strings.value, &strings.help, &result));
    EXPECT_STREQ(L"View Quill Post", strings.name);
    EXPECT_EQ(VT_EMPTY, result.vt);
}

}  // namespace
}  // namespace quillpost::testing
