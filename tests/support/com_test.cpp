#include "support/com_test.h"

#include "support/windows.h"

namespace quillpost::testing {

void ComTest::SetUp()
{
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void ComTest::TearDown()
{
    CloseProcessWindows();
    CoUninitialize();
}

ComPtr<IDispatch> ComTest::CreateSample()
{
    CLSID clsid{};
    EXPECT_EQ(S_OK, CLSIDFromProgID(kProgId, &clsid));
    ComPtr<IDispatch> sample;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample)));
    return sample;
}

ComPtr<_Sample> ComTest::CreateSampleVtable()
{
    ComPtr<_Sample> sample;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID__Sample,
                                     reinterpret_cast<void**>(sample.GetAddressOf())));
    return sample;
}

}  // namespace quillpost::testing
