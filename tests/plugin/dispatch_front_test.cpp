// Calls as script languages and careless hosts make them: variables passed by reference
// (VT_BYREF|VT_VARIANT), named arguments, wrong types and counts. Nothing a failing call was
// given may stay referenced, and by-value arguments are never written.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/com_test.h"
#include "support/counting_dispatch.h"
#include "support/dispatch.h"

namespace quillpost::testing {
namespace {

constexpr DISPID kInitialize = 0x60030000, kGetPublishInfo = 0x60030003, kGetPublishCommandInfo = 0x60030004,
                 kParseCommand = 0x60030005;

// A variable of a script: the caller's VARIANT, passed as a reference to it.
Variant RefTo(VARIANT* variable)
{
    Variant v;
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = variable;
    return v;
}

Variant Typed(VARTYPE type, LONGLONG bits = 0)
{
    Variant v;
    v.vt = type;
    v.llVal = bits;
    return v;
}

class DispatchFront : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        sample_ = CreateSample();
        ASSERT_NE(nullptr, sample_.Get());
    }
    void TearDown() override
    {
        sample_.Reset();
        ComTest::TearDown();
    }

    // Arguments in the order written; the first names.size() of them are named, in that order.
    HRESULT Invoke(DISPID id, std::vector<VARIANT*> args, std::vector<DISPID> names = {})
    {
        std::vector<VARIANT> reversed;
        for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
        std::reverse(names.begin(), names.end());
        DISPPARAMS params{reversed.data(), names.empty() ? nullptr : names.data(), static_cast<UINT>(reversed.size()),
                          static_cast<UINT>(names.size())};
        result_.~Variant();
        new (&result_) Variant;
        argError_ = 99;
        return sample_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result_, nullptr, &argError_);
    }

    ComPtr<IDispatch> sample_;
    Variant result_;
    UINT argError_ = 99;
};

TEST_F(DispatchFront, VariablesOfTheParametersTypesAreWrittenInPlace)
{
    Variant name(L"old"), count(5L);
    Variant tags = Typed(VT_I2, 7);
    Variant a = RefTo(&name), b = RefTo(&count), c = RefTo(&tags);
    ASSERT_EQ(S_OK, Invoke(kGetPublishInfo, {&a, &b, &c}));
    EXPECT_EQ(VT_BOOL, result_.vt);
    EXPECT_EQ(VARIANT_TRUE, result_.boolVal);
    ASSERT_EQ(VT_BSTR, name.vt);
    EXPECT_STREQ(L"Quill Post", name.bstrVal);
    EXPECT_EQ(VT_I4, count.vt);
    EXPECT_EQ(1, count.lVal);
    EXPECT_EQ(VT_I2, tags.vt) << "the tag count is never written: it keeps its type";
    EXPECT_EQ(7, tags.iVal);
}

TEST_F(DispatchFront, EmptyAndOtherlyTypedVariablesTakeTheWrittenValues)
{
    Variant name = Typed(VT_EMPTY), count = Typed(VT_R8), tags = Typed(VT_EMPTY);
    count.dblVal = 3.0;
    Variant a = RefTo(&name), b = RefTo(&count), c = RefTo(&tags);
    ASSERT_EQ(S_OK, Invoke(kGetPublishInfo, {&a, &b, &c}));
    ASSERT_EQ(VT_BSTR, name.vt);
    EXPECT_STREQ(L"Quill Post", name.bstrVal);
    EXPECT_EQ(VT_I4, count.vt);
    EXPECT_EQ(1, count.lVal);
    EXPECT_EQ(VT_EMPTY, tags.vt);
}

TEST_F(DispatchFront, UnwrittenParametersKeepValueAndType)
{
    Variant index(2L), name(L"n"), value = Typed(VT_R8), help = Typed(VT_DATE);
    value.dblVal = 1.5;
    help.date = 40000.0;
    Variant a = RefTo(&name), b = RefTo(&value), c = RefTo(&help);
    ASSERT_EQ(S_OK, Invoke(kGetPublishCommandInfo, {&index, &a, &b, &c}));
    EXPECT_STREQ(L"n", name.bstrVal);
    EXPECT_EQ(VT_R8, value.vt);
    EXPECT_EQ(1.5, value.dblVal);

    Variant first(1L);
    ASSERT_EQ(S_OK, Invoke(kGetPublishCommandInfo, {&first, &a, &b, &c}));
    EXPECT_STREQ(L"View Quill Post", name.bstrVal);
    ASSERT_EQ(VT_BSTR, value.vt);
    EXPECT_STREQ(L"xquillpost", value.bstrVal);
    EXPECT_EQ(VT_DATE, help.vt) << "no help text is published";
    EXPECT_EQ(40000.0, help.date);

    Variant command(L"/other"), argument(L""), conversation(static_cast<IDispatch*>(nullptr)), result = Typed(VT_I4, 9);
    Variant d = RefTo(&result);
    ASSERT_EQ(S_OK, Invoke(kParseCommand, {&command, &argument, &conversation, &d}));
    EXPECT_EQ(VARIANT_FALSE, result_.boolVal);
    EXPECT_EQ(VT_I4, result.vt);
    EXPECT_EQ(9, result.lVal);
}

TEST_F(DispatchFront, AVariableThatCannotBeConvertedIsATypeMismatchNamedInArgError)
{
    Variant name(L"keep"), count = Typed(VT_NULL), tags(0L);
    Variant a = RefTo(&name), b = RefTo(&count), c = RefTo(&tags);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(kGetPublishInfo, {&a, &b, &c}));
    EXPECT_EQ(1u, argError_) << "rgvarg index of nCommandCount";
    EXPECT_STREQ(L"keep", name.bstrVal);
    EXPECT_EQ(VT_NULL, count.vt);
    EXPECT_EQ(VT_EMPTY, result_.vt);
}

TEST_F(DispatchFront, AVariableHoldingAReferenceOfTheTypeIsFollowed)
{
    BSTR target = SysAllocString(L"old");
    Variant holder;
    holder.vt = VT_BYREF | VT_BSTR;
    holder.pbstrVal = &target;
    LONG count = 0, tags = 3;
    Variant a = RefTo(&holder), b = Variant::RefLong(&count), c = Variant::RefLong(&tags);
    ASSERT_EQ(S_OK, Invoke(kGetPublishInfo, {&a, &b, &c}));
    EXPECT_STREQ(L"Quill Post", target);
    EXPECT_EQ(1, count);
    SysFreeString(target);

    short small = 1;
    Variant other;
    other.vt = VT_BYREF | VT_I2;
    other.piVal = &small;
    Variant d = RefTo(&other);
    EXPECT_TRUE(FAILED(Invoke(kGetPublishInfo, {&a, &d, &c}))) << "a reference of another type stays refused";
}

TEST_F(DispatchFront, NamedArgumentsMapToTheirParameters)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetPublishInfo"), const_cast<LPOLESTR>(L"nTagCount"),
                        const_cast<LPOLESTR>(L"sPluginName"), const_cast<LPOLESTR>(L"nCommandCount")};
    DISPID ids[4] = {};
    ASSERT_EQ(S_OK, sample_->GetIDsOfNames(IID_NULL, names, 4, 0, ids));
    Variant name, count, tags(4L);
    Variant a = RefTo(&tags), b = RefTo(&name), c = RefTo(&count);
    ASSERT_EQ(S_OK, Invoke(ids[0], {&c, &b, &a}, {ids[3], ids[2], ids[1]}));
    EXPECT_STREQ(L"Quill Post", name.bstrVal);
    EXPECT_EQ(1, count.lVal);
    EXPECT_EQ(4, tags.lVal);
}

TEST_F(DispatchFront, FailingCallsReleaseWhatTheyWereGiven)
{
    CountingDispatch object;
    {
        Variant command(L"/x"), argument = Typed(VT_I2, 7), conversation, result = Typed(VT_NULL);
        conversation.vt = VT_UNKNOWN;
        conversation.punkVal = &object;
        EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(kParseCommand, {&command, &argument, &conversation, &result}));
        EXPECT_EQ(0, object.Extra());
        EXPECT_EQ(VT_I2, argument.vt) << "a by-value argument is never converted in place";

        Variant version = Typed(VT_I2, 1), email(2L), extra(3L);
        EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(kInitialize, {&version, &email, &conversation, &extra}));
        EXPECT_EQ(0, object.Extra());
        conversation.vt = VT_EMPTY;  // the object is not the variant's to release
    }
    EXPECT_EQ(0, object.Extra());
}

TEST_F(DispatchFront, ByValueArgumentsForInOutParametersAreNotWritten)
{
    Variant name = Typed(VT_BOOL, 0x1234), count = Typed(VT_I2, 0), tags(7L);
    ASSERT_EQ(S_OK, Invoke(kGetPublishInfo, {&name, &count, &tags}));
    EXPECT_EQ(VT_BOOL, name.vt);
    EXPECT_EQ(0x1234, name.boolVal);
    EXPECT_EQ(0, count.iVal);
}

TEST_F(DispatchFront, TooFewVariablesAreABadCountNotATypeMismatch)
{
    Variant name, count;
    Variant a = RefTo(&name), b = RefTo(&count);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(kGetPublishInfo, {&a, &b}));
    EXPECT_EQ(VT_EMPTY, name.vt) << "nothing was called";
}

TEST_F(DispatchFront, MissingArgumentArraysAreInvalid)
{
    DISPPARAMS noArguments{nullptr, nullptr, 3, 0};
    EXPECT_EQ(E_INVALIDARG, sample_->Invoke(kGetPublishInfo, IID_NULL, 0, DISPATCH_METHOD, &noArguments, nullptr,
                                            nullptr, nullptr));
    Variant name, count, tags;
    VARIANT args[3] = {tags, count, name};
    DISPPARAMS noNames{args, nullptr, 3, 1};
    EXPECT_EQ(E_INVALIDARG,
              sample_->Invoke(kGetPublishInfo, IID_NULL, 0, DISPATCH_METHOD, &noNames, nullptr, nullptr, nullptr));
}

}  // namespace
}  // namespace quillpost::testing
