// Fixture for tests that act as the host: a single-threaded apartment per test, and the
// plug-in created through COM as a host would create it.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

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

}  // namespace quillpost::testing
