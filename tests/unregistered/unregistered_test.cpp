// The plug-in used with no registration at all, run in a Wine prefix where regsvr32 never ran:
// a host makes an activation context from the DLL's own manifest and finds everything
// through it, and nothing outside it.
#include <windows.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>

#include "quillpost_idl.h"
#include "support/dispatch.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

using Microsoft::WRL::ComPtr;

// Quillpost.dll beside this program.
std::wstring DllPath()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\')) + L"\\Quillpost.dll";
}

class Unregistered : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override
    {
        CloseProcessWindows();
        Deactivate();
        CoUninitialize();
    }

    void Activate()
    {
        const std::wstring path = DllPath();
        ACTCTXW description{sizeof(description)};
        description.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        description.lpSource = path.c_str();
        description.lpResourceName = MAKEINTRESOURCEW(1);
        context_ = CreateActCtxW(&description);
        ASSERT_NE(INVALID_HANDLE_VALUE, context_) << "error " << GetLastError();
        ASSERT_TRUE(ActivateActCtx(context_, &cookie_));
    }
    void Deactivate()
    {
        if (cookie_) DeactivateActCtx(0, std::exchange(cookie_, 0));
        if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(std::exchange(context_, INVALID_HANDLE_VALUE));
    }

    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

void ExpectNothingFound()
{
    ComPtr<IDispatch> sample;
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample)));
    CLSID clsid{};
    EXPECT_TRUE(FAILED(CLSIDFromProgID(L"TallowPlugin6.Sample", &clsid)));
    ComPtr<ITypeLib> library;
    EXPECT_TRUE(FAILED(LoadRegTypeLib(LIBID_TallowPlugin6, 1, 0, 0, &library)));
}

TEST_F(Unregistered, NothingIsFoundWithoutTheContext)
{
    ExpectNothingFound();
}

TEST_F(Unregistered, EveryMethodWorksInsideTheContextAndNothingAfterIt)
{
    Activate();
    {
        ComPtr<IDispatch> sample;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample)));

        Variant version(6L), email(L"unregistered@quillpost.example"), messenger(static_cast<IDispatch*>(nullptr));
        CallResult initialized = Call(sample.Get(), L"Initialize", {&version, &email, &messenger});
        EXPECT_EQ(S_OK, initialized.hr);
        EXPECT_EQ(VARIANT_TRUE, initialized.value.boolVal);
        EXPECT_TRUE(PumpUntil([] { return !FindVisibleWindows(L"Form1").empty(); })) << "the viewer did not show";

        Bstr name, value, help(L"kept");
        LONG count = 0, tags = 4;
        Variant nameArg = Variant::RefBstr(name.Put()), countArg = Variant::RefLong(&count),
                tagsArg = Variant::RefLong(&tags);
        EXPECT_EQ(S_OK, Call(sample.Get(), L"GetPublishInfo", {&nameArg, &countArg, &tagsArg}).hr);
        EXPECT_EQ(L"Quill Post", name.Text());
        EXPECT_EQ(1, count);

        Variant index(1L), nameRef = Variant::RefBstr(name.Put()), valueRef = Variant::RefBstr(value.Put()),
                helpRef = Variant::RefBstr(help.Put());
        EXPECT_EQ(S_OK, Call(sample.Get(), L"GetPublishCommandInfo", {&index, &nameRef, &valueRef, &helpRef}).hr);
        EXPECT_EQ(L"xquillpost", value.Text());
        EXPECT_EQ(L"kept", help.Text());

        Bstr result(L"unchanged");
        Variant command(L"/xquillpost"), argument(L""), conversation(static_cast<IDispatch*>(nullptr)),
                resultRef = Variant::RefBstr(result.Put());
        CallResult parsed = Call(sample.Get(), L"ParseCommand", {&command, &argument, &conversation, &resultRef});
        EXPECT_EQ(S_OK, parsed.hr);
        EXPECT_EQ(VARIANT_TRUE, parsed.value.boolVal);
        EXPECT_EQ(L"", result.Text());

        EXPECT_EQ(S_OK, Call(sample.Get(), L"Configure", {}).hr);
        EXPECT_TRUE(PumpUntil([] { return !FindVisibleWindows(L"About").empty(); })) << "the About window did not show";
        EXPECT_EQ(S_OK, Call(sample.Get(), L"Uninitialize", {}).hr);

        CLSID byProgId{};
        EXPECT_EQ(S_OK, CLSIDFromProgID(L"TallowPlugin6.Sample", &byProgId));
        ComPtr<IDispatch> second;
        EXPECT_EQ(S_OK, CoCreateInstance(byProgId, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&second)));
        ComPtr<ITypeLib> library;
        EXPECT_EQ(S_OK, LoadRegTypeLib(LIBID_TallowPlugin6, 1, 0, 0, &library));
    }
    CloseProcessWindows();
    EXPECT_TRUE(PumpUntil([] { return FindTopLevelWindows(L"Form1").empty() && FindTopLevelWindows(L"About").empty(); }));
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_TRUE(PumpUntil([] {
        CoFreeUnusedLibrariesEx(0, 0);
        return GetModuleHandleW(L"Quillpost.dll") == nullptr;
    })) << "the DLL stayed loaded";
    Deactivate();
    ExpectNothingFound();
}

}  // namespace
}  // namespace quillpost::testing
