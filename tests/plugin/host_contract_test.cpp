// The host contract as a host sees it: every call by name through IDispatch.
#include <gtest/gtest.h>

#include "support/com_test.h"
#include "support/dispatch.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

class HostContract : public SampleTest<> {
protected:
    CallResult Initialize(const wchar_t* email)
    {
        Variant version(6L), address(email), messenger(static_cast<IDispatch*>(nullptr));
        return Call(sample_.Get(), L"Initialize", {&version, &address, &messenger});
    }

    // ParseCommand with sResult starting as "unchanged".
    CallResult Parse(const wchar_t* command, std::wstring* written)
    {
        Bstr result(L"unchanged");
        Variant text(command), argument(L""), conversation(static_cast<IDispatch*>(nullptr));
        Variant resultArg = Variant::RefBstr(result.InOut());
        CallResult call = Call(sample_.Get(), L"ParseCommand", {&text, &argument, &conversation, &resultArg});
        *written = result.Text();
        return call;
    }

};

void ExpectBoolean(const CallResult& call, VARIANT_BOOL expected)
{
    EXPECT_EQ(S_OK, call.hr);
    EXPECT_EQ(VT_BOOL, call.value.Get().vt);
    EXPECT_EQ(expected, call.value.Get().boolVal);
}

TEST_F(HostContract, PublishInfoWritesNameAndCountAndKeepsTagCount)
{
    Bstr name(L"old");
    LONG commands = 0, tags = 7;
    Variant nameArg = Variant::RefBstr(name.InOut()), commandArg = Variant::RefLong(&commands),
            tagArg = Variant::RefLong(&tags);
    ExpectBoolean(Call(sample_.Get(), L"GetPublishInfo", {&nameArg, &commandArg, &tagArg}), VARIANT_TRUE);
    EXPECT_EQ(L"Quill Post", name.Text());
    EXPECT_EQ(1, commands);
    EXPECT_EQ(7, tags);
}

TEST_F(HostContract, CommandInfoForIndexOneOnly)
{
    for (long index : {0L, 1L, 2L, -1L}) {
        SCOPED_TRACE(index);
        Bstr name(L"n"), value(L"v"), help(L"h");
        Variant indexArg(index), nameArg = Variant::RefBstr(name.InOut()), valueArg = Variant::RefBstr(value.InOut()),
                helpArg = Variant::RefBstr(help.InOut());
        CallResult call = Call(sample_.Get(), L"GetPublishCommandInfo", {&indexArg, &nameArg, &valueArg, &helpArg});
        EXPECT_EQ(S_OK, call.hr);
        EXPECT_EQ(VT_EMPTY, call.value.Get().vt);
        EXPECT_EQ(index == 1 ? L"View Quill Post" : L"n", name.Text());
        EXPECT_EQ(index == 1 ? L"xquillpost" : L"v", value.Text());
        EXPECT_EQ(L"h", help.Text());
    }
}

TEST_F(HostContract, RecognisesTheCommandInAnyCase)
{
    for (const wchar_t* command : {L"/xquillpost", L"/XQUILLPOST", L"/xQuillPost"}) {
        std::wstring written;
        ExpectBoolean(Parse(command, &written), VARIANT_TRUE);
        EXPECT_EQ(L"", written) << command;
    }
    EXPECT_EQ(1u, FindVisibleWindows(L"Form1").size());
}

TEST_F(HostContract, IgnoresEverythingElse)
{
    for (const wchar_t* command : {L"/xquillpost ", L"xquillpost", L"/xquillposts", L" /xquillpost", L"", L"/x"}) {
        std::wstring written;
        ExpectBoolean(Parse(command, &written), VARIANT_FALSE);
        EXPECT_EQ(L"unchanged", written) << command;
    }
    EXPECT_TRUE(FindVisibleWindows(L"Form1").empty());
}

TEST_F(HostContract, InitializeShowsTheViewer)
{
    ExpectBoolean(Initialize(L"someone@quillpost.example"), VARIANT_TRUE);
    EXPECT_EQ(1u, FindVisibleWindows(L"Form1").size());
    ExpectBoolean(Initialize(L"again@quillpost.example"), VARIANT_TRUE);
    EXPECT_EQ(1u, FindTopLevelWindows(L"Form1").size());
}

TEST_F(HostContract, UninitializeLeavesTheWindowsOpen)
{
    ExpectBoolean(Initialize(L"someone@quillpost.example"), VARIANT_TRUE);
    CallResult call = Call(sample_.Get(), L"Uninitialize", {});
    EXPECT_EQ(S_OK, call.hr);
    EXPECT_EQ(VT_EMPTY, call.value.Get().vt);
    EXPECT_EQ(1u, FindVisibleWindows(L"Form1").size());
}

TEST_F(HostContract, ConfigureTwiceLeavesOneAboutWindow)
{
    for (int i = 0; i < 2; ++i) {
        CallResult call = Call(sample_.Get(), L"Configure", {});
        EXPECT_EQ(S_OK, call.hr);
        EXPECT_EQ(VT_EMPTY, call.value.Get().vt);
    }
    EXPECT_EQ(1u, FindTopLevelWindows(L"About").size());
    EXPECT_EQ(1u, FindVisibleWindows(L"About").size());
}

TEST_F(HostContract, OperationsWorkInAnyOrder)
{
    EXPECT_EQ(S_OK, Call(sample_.Get(), L"Uninitialize", {}).hr);
    std::wstring written;
    ExpectBoolean(Parse(L"/xquillpost", &written), VARIANT_TRUE);
    EXPECT_EQ(S_OK, Call(sample_.Get(), L"Configure", {}).hr);
    EXPECT_EQ(S_OK, Call(sample_.Get(), L"Uninitialize", {}).hr);
    ExpectBoolean(Initialize(L"late@quillpost.example"), VARIANT_TRUE);
    EXPECT_EQ(S_OK, Call(sample_.Get(), L"Uninitialize", {}).hr);
    ExpectBoolean(Parse(L"/XQUILLPOST", &written), VARIANT_TRUE);
}

TEST_F(HostContract, NamesResolveWithoutRegardToCase)
{
    EXPECT_EQ(0x60030005, DispIdOf(sample_.Get(), L"ParseCommand"));
    EXPECT_EQ(0x60030005, DispIdOf(sample_.Get(), L"parsecommand"));
    EXPECT_EQ(0x60030005, DispIdOf(sample_.Get(), L"PARSECOMMAND"));
    EXPECT_EQ(0x60030000, DispIdOf(sample_.Get(), L"Initialize"));
    EXPECT_EQ(0x60030004, DispIdOf(sample_.Get(), L"getpublishcommandinfo"));

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ParseCommand"), const_cast<LPOLESTR>(L"sResult")};
    DISPID ids[2] = {};
    ASSERT_EQ(S_OK, sample_->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(0x60030005, ids[0]);
    EXPECT_EQ(3, ids[1]);
}

TEST_F(HostContract, OperationsOutsideTheInterfaceAreUnknown)
{
    for (const wchar_t* name : {L"GetPublishTagInfo", L"ParseTag", L"ReceiveNotify", L"Nothing"}) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        EXPECT_EQ(DISP_E_UNKNOWNNAME, sample_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << name;
        EXPECT_EQ(DISPID_UNKNOWN, id);
    }
}

TEST_F(HostContract, TypeInformationIsTheSampleInterface)
{
    UINT count = 0;
    ASSERT_EQ(S_OK, sample_->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, sample_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
    EXPECT_EQ(IID__Sample, attributes->guid);
    info->ReleaseTypeAttr(attributes);
    ITypeInfo* none = reinterpret_cast<ITypeInfo*>(0x1);
    EXPECT_EQ(DISP_E_BADINDEX, sample_->GetTypeInfo(1, LOCALE_USER_DEFAULT, &none));
    EXPECT_EQ(nullptr, none);
}

}  // namespace
}  // namespace quillpost::testing
