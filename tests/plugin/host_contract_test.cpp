// The host contract as a host sees it: calls by name through IDispatch.
#include <gtest/gtest.h>

#include "support/com_test.h"
#include "support/dispatch.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

class HostContract : public ComTest {};

TEST_F(HostContract, PublishInfoWritesNameAndCountAndKeepsTagCount)
{
    ComPtr<IDispatch> sample = CreateSample();
    Bstr name(L"old");
    LONG commands = 0, tags = 7;
    Variant nameArg = Variant::RefBstr(name.Put()), commandArg = Variant::RefLong(&commands),
            tagArg = Variant::RefLong(&tags);
    CallResult call = Call(sample.Get(), L"GetPublishInfo", {&nameArg, &commandArg, &tagArg});
    ASSERT_EQ(S_OK, call.hr);
    EXPECT_EQ(VT_BOOL, call.value.vt);
    EXPECT_EQ(VARIANT_TRUE, call.value.boolVal);
    EXPECT_EQ(L"Quill Post", name.Text());
    EXPECT_EQ(1, commands);
    EXPECT_EQ(7, tags);
}

}  // namespace
}  // namespace quillpost::testing
