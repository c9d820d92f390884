// The module as a binary: its type library, version record, exports and imports.
#include <windows.h>
#include <oleauto.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/com_test.h"
#include "support/module.h"

namespace quillpost::testing {
namespace {

struct Method {
    DISPID id;
    const wchar_t* name;
    std::vector<const wchar_t*> parameterNames;
    std::vector<VARTYPE> parameterTypes;  // VT_BYREF marks in/out
    VARTYPE retval;
};

const std::vector<Method> kMethods = {
    {0x60030000, L"Initialize", {L"nVersion", L"sUserEmail", L"oMessenger"}, {VT_I4, VT_BSTR, VT_DISPATCH}, VT_BOOL},
    {0x60030001, L"Uninitialize", {}, {}, VT_VARIANT},
    {0x60030002, L"Configure", {}, {}, VT_VARIANT},
    {0x60030003, L"GetPublishInfo", {L"sPluginName", L"nCommandCount", L"nTagCount"},
     {VT_BYREF | VT_BSTR, VT_BYREF | VT_I4, VT_BYREF | VT_I4}, VT_BOOL},
    {0x60030004, L"GetPublishCommandInfo", {L"nCommandIdx", L"sName", L"sValue", L"sHelp"},
     {VT_I4, VT_BYREF | VT_BSTR, VT_BYREF | VT_BSTR, VT_BYREF | VT_BSTR}, VT_VARIANT},
    {0x60030005, L"ParseCommand", {L"sCommand", L"sCommandArg", L"oConversationWnd", L"sResult"},
     {VT_BSTR, VT_BSTR, VT_DISPATCH, VT_BYREF | VT_BSTR}, VT_BOOL},
};

// The automation type of a parameter, with VT_BYREF for a pointer to a base type.
VARTYPE TypeOf(const TYPEDESC& type)
{
    if (type.vt == VT_PTR) return VT_BYREF | type.lptdesc->vt;
    return type.vt;
}

class TypeLibrary : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        ASSERT_EQ(S_OK, LoadTypeLibEx(module_.Path().c_str(), REGKIND_NONE, &library_));
    }
    void TearDown() override
    {
        library_.Reset();
        ComTest::TearDown();
    }

    // The vtable view of _Sample (the dispatch view's dual partner).
    ComPtr<ITypeInfo> InterfaceView()
    {
        ComPtr<ITypeInfo> dispatch, view;
        HREFTYPE partner = 0;
        EXPECT_EQ(S_OK, library_->GetTypeInfoOfGuid(IID__Sample, &dispatch));
        EXPECT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &partner));
        EXPECT_EQ(S_OK, dispatch->GetRefTypeInfo(partner, &view));
        return view;
    }

    // The library as stored in the module's TYPELIB resource.
    std::vector<unsigned char> StoredImage()
    {
        HRSRC resource = FindResourceExW(module_.Handle(), L"TYPELIB", MAKEINTRESOURCEW(1), 0);
        if (!resource) return {};
        auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module_.Handle(), resource)));
        return {bytes, bytes + SizeofResource(module_.Handle(), resource)};
    }

    PluginModule module_;
    ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibrary, LibraryAttributes)
{
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library_->GetLibAttr(&attributes));
    EXPECT_EQ(LIBID_TallowPlugin6, attributes->guid);
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(0u, attributes->lcid);
    EXPECT_EQ(SYS_WIN32, attributes->syskind);
    library_->ReleaseTLibAttr(attributes);

    BSTR name = nullptr, doc = nullptr, helpFile = nullptr;
    DWORD helpContext = 1;
    ASSERT_EQ(S_OK, library_->GetDocumentation(-1, &name, &doc, &helpContext, &helpFile));
    EXPECT_STREQ(L"TallowPlugin6", name);
    EXPECT_EQ(nullptr, doc);
    EXPECT_EQ(nullptr, helpFile);
    EXPECT_EQ(0u, helpContext);
    SysFreeString(name);

    ASSERT_EQ(2u, library_->GetTypeInfoCount());
    TYPEKIND first = TKIND_MAX, second = TKIND_MAX;
    library_->GetTypeInfoType(0, &first);
    library_->GetTypeInfoType(1, &second);
    EXPECT_EQ(TKIND_DISPATCH, first);
    EXPECT_EQ(TKIND_COCLASS, second);
}

TEST_F(TypeLibrary, CarriesNoCustomDataAndNoBuildDate)
{
    ComPtr<ITypeLib2> library2;
    ASSERT_EQ(S_OK, library_.As(&library2));
    CUSTDATA custom{};
    ASSERT_EQ(S_OK, library2->GetAllCustData(&custom));
    EXPECT_EQ(0u, custom.cCustData);
    ClearCustData(&custom);

    const std::vector<unsigned char> image = StoredImage();
    ASSERT_GT(image.size(), 0x54u);
    const std::string text(image.begin(), image.end());
    EXPECT_EQ(std::string::npos, text.find("Created by"));
    EXPECT_EQ(std::string::npos, text.find("WIDL"));
}

TEST_F(TypeLibrary, StoredTypeFlags)
{
    // Read from the stored image: the type-info records follow the header, the type-info
    // offsets and the segment directory; flags sit at 0x30 in each record.
    const std::vector<unsigned char> image = StoredImage();
    ASSERT_GT(image.size(), 0x200u);
    auto at = [&](std::size_t offset) {
        int value = 0;
        std::memcpy(&value, &image[offset], 4);
        return value;
    };
    ASSERT_EQ(0x5446534D, at(0));
    ASSERT_EQ(2, at(0x20));
    EXPECT_EQ(0, at(0x1C)) << "library flags";
    const int typeInfoSegment = at(0x54 + 2 * 4);
    EXPECT_EQ(0x11D0, at(typeInfoSegment + 0x30) & 0xFFFF);
    EXPECT_EQ(0x2, at(typeInfoSegment + 0x64 + 0x30) & 0xFFFF);
}

TEST_F(TypeLibrary, SampleInterfaceIsDualWithSixMethodsAfterIDispatch)
{
    ComPtr<ITypeInfo> view = InterfaceView();
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, view->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_INTERFACE, attributes->typekind);
    EXPECT_EQ(IID__Sample, attributes->guid);
    EXPECT_EQ(13 * sizeof(void*), attributes->cbSizeVft);
    EXPECT_EQ(6, attributes->cFuncs);
    EXPECT_EQ(0, attributes->cVars);
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FHIDDEN);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    view->ReleaseTypeAttr(attributes);

    HREFTYPE baseRef = 0;
    ComPtr<ITypeInfo> base;
    BSTR baseName = nullptr;
    ASSERT_EQ(S_OK, view->GetRefTypeOfImplType(0, &baseRef));
    ASSERT_EQ(S_OK, view->GetRefTypeInfo(baseRef, &base));
    base->GetDocumentation(MEMBERID_NIL, &baseName, nullptr, nullptr, nullptr);
    EXPECT_STREQ(L"IDispatch", baseName);
    SysFreeString(baseName);
}

TEST_F(TypeLibrary, MethodTableWithUnnamedRetvals)
{
    ComPtr<ITypeInfo> view = InterfaceView();
    for (UINT index = 0; index < kMethods.size(); ++index) {
        const Method& expected = kMethods[index];
        SCOPED_TRACE(::testing::Message() << "method " << index);
        FUNCDESC* function = nullptr;
        ASSERT_EQ(S_OK, view->GetFuncDesc(index, &function));
        EXPECT_EQ(expected.id, function->memid);
        EXPECT_EQ(static_cast<int>((7 + index) * sizeof(void*)), function->oVft);
        EXPECT_EQ(FUNC_PUREVIRTUAL, function->funckind);
        EXPECT_EQ(INVOKE_FUNC, function->invkind);
        EXPECT_EQ(CC_STDCALL, function->callconv);
        EXPECT_EQ(VT_HRESULT, function->elemdescFunc.tdesc.vt);
        EXPECT_EQ(0, function->cParamsOpt);
        ASSERT_EQ(static_cast<SHORT>(expected.parameterTypes.size() + 1), function->cParams);
        for (UINT p = 0; p < expected.parameterTypes.size(); ++p) {
            const ELEMDESC& param = function->lprgelemdescParam[p];
            EXPECT_EQ(expected.parameterTypes[p], TypeOf(param.tdesc)) << "parameter " << p;
            const USHORT direction = (expected.parameterTypes[p] & VT_BYREF) ? (PARAMFLAG_FIN | PARAMFLAG_FOUT)
                                                                             : PARAMFLAG_FIN;
            EXPECT_EQ(direction, param.paramdesc.wParamFlags) << "parameter " << p;
        }
        const ELEMDESC& retval = function->lprgelemdescParam[expected.parameterTypes.size()];
        EXPECT_EQ(VT_BYREF | expected.retval, TypeOf(retval.tdesc));
        EXPECT_EQ(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, retval.paramdesc.wParamFlags);

        BSTR names[8] = {};
        UINT count = 0;
        ASSERT_EQ(S_OK, view->GetNames(function->memid, names, 8, &count));
        ASSERT_EQ(expected.parameterNames.size() + 1, count) << "the retval has no name";
        EXPECT_STREQ(expected.name, names[0]);
        for (UINT n = 0; n < expected.parameterNames.size(); ++n) EXPECT_STREQ(expected.parameterNames[n], names[n + 1]);
        for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);

        BSTR doc = nullptr;
        view->GetDocumentation(function->memid, nullptr, &doc, nullptr, nullptr);
        EXPECT_EQ(nullptr, doc) << "no help string";
        view->ReleaseFuncDesc(function);
    }
}

TEST_F(TypeLibrary, SampleClassIsCreatableWithDefaultInterfaceOnly)
{
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, library_->GetTypeInfoOfGuid(CLSID_Sample, &coclass));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
    EXPECT_EQ(TYPEFLAG_FCANCREATE, attributes->wTypeFlags);
    EXPECT_EQ(1, attributes->cImplTypes);
    EXPECT_EQ(1, attributes->wMajorVerNum);
    coclass->ReleaseTypeAttr(attributes);

    INT flags = 0;
    ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags) << "default, not a source interface";
    BSTR name = nullptr;
    coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(L"Sample", name);
    SysFreeString(name);
}

}  // namespace
}  // namespace quillpost::testing
