// When the viewer cannot load, the failure reaches the host through the call that showed
// it, and nothing is left loaded: the next show starts again from the beginning.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/raii.h"
#include "support/platform.h"
#include "support/windows.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

constexpr wchar_t kBrowserServer[] =
    L"Software\\Classes\\CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\InprocServer32";

// Points the system's WebBrowser class at a module that does not exist, for the scope.
class MissingBrowser {
public:
    MissingBrowser()
    {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBrowserServer, 0, KEY_READ | KEY_WRITE, key_.Put()) != ERROR_SUCCESS)
            return;
        wchar_t path[MAX_PATH] = {};
        DWORD size = sizeof(path);
        if (RegQueryValueExW(key_.Get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS)
            return;
        saved_ = path;
        const wchar_t missing[] = L"C:\\windows\\system32\\no-such-browser.dll";
        applied_ = RegSetValueExW(key_.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(missing),
                                  sizeof(missing)) == ERROR_SUCCESS;
    }
    MissingBrowser(const MissingBrowser&) = delete;
    MissingBrowser& operator=(const MissingBrowser&) = delete;
    ~MissingBrowser() { Restore(); }

    void Restore()
    {
        if (applied_)
            RegSetValueExW(key_.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_.c_str()),
                           static_cast<DWORD>((saved_.size() + 1) * sizeof(wchar_t)));
        applied_ = false;
        key_.Reset();
    }
    bool Applied() const { return applied_; }

private:
    UniqueHkey key_;
    std::wstring saved_;
    bool applied_ = false;
};

class ViewerFailure : public ViewerTest {
protected:
    void SetUp() override
    {
        QUILLPOST_UNDER_WINE_ONLY("rewrites the machine-wide registration of the web browser control");
        ViewerTest::SetUp();
    }
};

TEST_F(ViewerFailure, ABrowserThatCannotBeCreatedFailsTheShowingCall)
{
    MissingBrowser missing;
    ASSERT_TRUE(missing.Applied());
    const CallResult initialized = Initialize(L"user@example.com");
    EXPECT_EQ(DISP_E_EXCEPTION, initialized.hr);
    EXPECT_EQ(DISP_E_EXCEPTION, ParseCommand(L"/xquillpost").hr);
    EXPECT_TRUE(FindTopLevelWindows(L"Form1").empty());
}

TEST_F(ViewerFailure, TheHostIsToldWhichStepFailedAndWhy)
{
    MissingBrowser missing;
    ASSERT_TRUE(missing.Applied());
    const CallResult initialized = Initialize(L"user@example.com");
    ASSERT_EQ(DISP_E_EXCEPTION, initialized.hr);
    const std::wstring step = L"The viewer's web browser could not be created: ";
    EXPECT_EQ(step, initialized.description.substr(0, step.size()))
        << ::testing::PrintToString(initialized.description);
    EXPECT_GT(initialized.description.size(), step.size()) << "the system's own text follows the step";
}

TEST_F(ViewerFailure, AFailedLoadLeavesNothingLoaded)
{
    {
        MissingBrowser missing;
        ASSERT_TRUE(missing.Applied());
        ASSERT_EQ(DISP_E_EXCEPTION, ParseCommand(L"/xquillpost").hr);
    }
    ComPtr<IDispatch> sample = std::move(sample_);
    sample.Reset();
    EXPECT_EQ(S_OK, CanUnloadNow());
}

TEST_F(ViewerFailure, TheNextShowLoadsAfresh)
{
    MissingBrowser missing;
    ASSERT_TRUE(missing.Applied());
    ASSERT_EQ(DISP_E_EXCEPTION, ParseCommand(L"/xquillpost").hr);
    missing.Restore();
    ASSERT_EQ(S_OK, ParseCommand(L"/xquillpost").hr);
    HWND viewer = Viewer();
    ASSERT_NE(nullptr, viewer);
    EXPECT_EQ(kLoadedHeading, HeadingText(viewer));
}

}  // namespace
}  // namespace quillpost::testing
