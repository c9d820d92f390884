// Odd input from a host: NULL strings and pointers, embedded NULs, wrong argument lists.
#include <gtest/gtest.h>

#include "support/com_test.h"
#include "support/dispatch.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

using BadInput = SampleTest<_Sample>;

TEST_F(BadInput, NullResultPointersAreRefusedAndNothingIsWritten)
{
    Bstr name(L"keep"), value(L"keep"), help(L"keep"), result(L"keep");
    LONG commands = 5, tags = 7;
    VARIANT_BOOL flag = 1;
    VARIANT variant;
    VariantInit(&variant);

    EXPECT_EQ(E_POINTER, sample_->Initialize(6, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_POINTER, sample_->Uninitialize(nullptr));
    EXPECT_EQ(E_POINTER, sample_->Configure(nullptr));
    EXPECT_EQ(E_POINTER, sample_->GetPublishInfo(nullptr, &commands, &tags, &flag));
    EXPECT_EQ(E_POINTER, sample_->GetPublishInfo(name.InOut(), nullptr, &tags, &flag));
    EXPECT_EQ(E_POINTER, sample_->GetPublishInfo(name.InOut(), &commands, nullptr, &flag));
    EXPECT_EQ(E_POINTER, sample_->GetPublishInfo(name.InOut(), &commands, &tags, nullptr));
    EXPECT_EQ(E_POINTER, sample_->GetPublishCommandInfo(1, nullptr, value.InOut(), help.InOut(), &variant));
    EXPECT_EQ(E_POINTER, sample_->GetPublishCommandInfo(1, name.InOut(), nullptr, help.InOut(), &variant));
    EXPECT_EQ(E_POINTER, sample_->GetPublishCommandInfo(1, name.InOut(), value.InOut(), nullptr, &variant));
    EXPECT_EQ(E_POINTER, sample_->GetPublishCommandInfo(1, name.InOut(), value.InOut(), help.InOut(), nullptr));
    EXPECT_EQ(E_POINTER, sample_->ParseCommand(nullptr, nullptr, nullptr, nullptr, &flag));
    EXPECT_EQ(E_POINTER, sample_->ParseCommand(nullptr, nullptr, nullptr, result.InOut(), nullptr));

    EXPECT_EQ(L"keep", name.Text());
    EXPECT_EQ(L"keep", value.Text());
    EXPECT_EQ(L"keep", help.Text());
    EXPECT_EQ(L"keep", result.Text());
    EXPECT_EQ(5, commands);
    EXPECT_EQ(7, tags);
    EXPECT_EQ(1, flag);
    EXPECT_TRUE(FindTopLevelWindows(L"Form1").empty()) << "a refused call opened the viewer";
    EXPECT_TRUE(FindTopLevelWindows(L"About").empty()) << "a refused call opened the About window";
}

TEST_F(BadInput, NullStringsAreEmptyStrings)
{
    VARIANT_BOOL accepted = VARIANT_FALSE;
    EXPECT_EQ(S_OK, sample_->Initialize(0, nullptr, nullptr, &accepted));
    EXPECT_EQ(VARIANT_TRUE, accepted);

    Bstr result(L"keep");
    VARIANT_BOOL matched = VARIANT_TRUE;
    EXPECT_EQ(S_OK, sample_->ParseCommand(nullptr, nullptr, nullptr, result.InOut(), &matched));
    EXPECT_EQ(VARIANT_FALSE, matched);
    EXPECT_EQ(L"keep", result.Text());

    // A NULL string handed in by reference is replaced like any other.
    Bstr name;
    LONG commands = 0, tags = 0;
    EXPECT_EQ(S_OK, sample_->GetPublishInfo(name.InOut(), &commands, &tags, &matched));
    EXPECT_EQ(L"Quill Post", name.Text());
}

TEST_F(BadInput, EmbeddedNulAfterTheCommandDoesNotMatch)
{
    UniqueBstr command(SysAllocStringLen(L"/xquillpost\0tail", 16));
    Bstr result(L"keep");
    VARIANT_BOOL matched = VARIANT_TRUE;
    EXPECT_EQ(S_OK, sample_->ParseCommand(command.Get(), nullptr, nullptr, result.InOut(), &matched));
    EXPECT_EQ(VARIANT_FALSE, matched);
    EXPECT_EQ(L"keep", result.Text());

    command.Reset(SysAllocStringLen(L"/xquillpost", 11));
    EXPECT_EQ(S_OK, sample_->ParseCommand(command.Get(), nullptr, nullptr, result.InOut(), &matched));
    EXPECT_EQ(VARIANT_TRUE, matched);
    EXPECT_EQ(L"", result.Text());
}

TEST_F(BadInput, WrittenStringsReplaceTheCallersString)
{
    Bstr name(L"the host's old string");
    const BSTR old = name.Get();
    LONG commands = 0, tags = 0;
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(S_OK, sample_->GetPublishInfo(name.InOut(), &commands, &tags, &ok));
    EXPECT_NE(old, name.Get());
    EXPECT_EQ(10u, SysStringLen(name.Get()));
}

TEST_F(BadInput, WrongArgumentCountsAndTypesGetDispatchErrors)
{
    ComPtr<IDispatch> sample;
    ASSERT_EQ(S_OK, sample_.As(&sample));
    Variant one(1L);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(sample.Get(), L"Initialize", {&one}).hr);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(sample.Get(), L"Configure", {&one}).hr);
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(sample.Get(), L"ParseCommand", {}).hr);

    // An object where a number belongs.
    Variant object(static_cast<IDispatch*>(sample.Get())), email(L"e"), messenger(static_cast<IDispatch*>(nullptr));
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Call(sample.Get(), L"Initialize", {&object, &email, &messenger}).hr);
    EXPECT_TRUE(FindTopLevelWindows(L"Form1").empty());
}

TEST_F(BadInput, ArgumentsAreConvertedLikeAnyAutomationCall)
{
    ComPtr<IDispatch> sample;
    ASSERT_EQ(S_OK, sample_.As(&sample));
    Bstr name(L"n"), value(L"v"), help(L"h");
    Variant index(L"1"), nameArg = Variant::RefBstr(name.InOut()), valueArg = Variant::RefBstr(value.InOut()),
            helpArg = Variant::RefBstr(help.InOut());
    EXPECT_EQ(S_OK, Call(sample.Get(), L"GetPublishCommandInfo", {&index, &nameArg, &valueArg, &helpArg}).hr);
    EXPECT_EQ(L"View Quill Post", name.Text());
}

TEST_F(BadInput, MalformedDispatchCallsAreRefused)
{
    ComPtr<IDispatch> sample;
    ASSERT_EQ(S_OK, sample_.As(&sample));
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Configure")};
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, sample->GetIDsOfNames(IID__Sample, names, 1, 0, &id));
    EXPECT_EQ(E_POINTER, sample->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id));
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(E_INVALIDARG, sample->Invoke(0x60030002, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr,
                                           nullptr));
    DISPPARAMS none{};
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, sample->Invoke(0x60030002, IID__Sample, 0, DISPATCH_METHOD, &none, &result,
                                                      nullptr, nullptr));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, sample->Invoke(0x1234, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr,
                                                    nullptr));
    EXPECT_TRUE(FindTopLevelWindows(L"About").empty());
}

}  // namespace
}  // namespace quillpost::testing
