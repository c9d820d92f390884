// Fixture for tests that act as the host: a single-threaded apartment per test, and the
// plug-in created through COM as a host would create it.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <type_traits>

#include "quillpost_idl.h"

namespace quillpost::testing {

using Microsoft::WRL::ComPtr;

inline constexpr wchar_t kProgId[] = L"TallowPlugin6.Sample";

class ComTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new Sample by ProgID, as IDispatch (the host's way in).
    ComPtr<IDispatch> CreateSample();
    // A new Sample by CLSID, as its vtable interface.
    ComPtr<_Sample> CreateSampleVtable();
};

// A host holding one Sample for the test: through IDispatch by default, or through the vtable.
template <typename Interface = IDispatch>
class SampleTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        if constexpr (std::is_same_v<Interface, IDispatch>) {
            sample_ = CreateSample();
        } else {
            sample_ = CreateSampleVtable();
        }
        ASSERT_NE(nullptr, sample_.Get());
    }
    void TearDown() override
    {
        sample_.Reset();
        ComTest::TearDown();
    }

    ComPtr<Interface> sample_;
};

}  // namespace quillpost::testing
