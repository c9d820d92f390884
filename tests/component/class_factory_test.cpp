// The class object and the objects it makes, through the DLL's own export as COM calls it.
#include <gtest/gtest.h>

#include "support/com_test.h"
#include "support/module.h"

namespace quillpost::testing {
namespace {

void* const kGarbage = reinterpret_cast<void*>(0xDEADBEEF);

class ClassFactory : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        ASSERT_NE(nullptr, module_.Handle());
        ASSERT_EQ(S_OK, module_.GetClassObject(CLSID_Sample, IID_PPV_ARGS(&factory_)));
    }
    void TearDown() override
    {
        factory_.Reset();
        ComTest::TearDown();
    }

    PluginModule module_;
    ComPtr<IClassFactory> factory_;
};

TEST_F(ClassFactory, MakesADistinctObjectOnEveryCall)
{
    ComPtr<IUnknown> first, second;
    ASSERT_EQ(S_OK, factory_->CreateInstance(nullptr, IID_PPV_ARGS(&first)));
    ASSERT_EQ(S_OK, factory_->CreateInstance(nullptr, IID_PPV_ARGS(&second)));
    EXPECT_NE(first.Get(), second.Get());
}

TEST_F(ClassFactory, AnswersOnlyForSample)
{
    void* out = kGarbage;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, module_.GetClassObject(IID__Sample, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    out = kGarbage;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, module_.GetClassObject(CLSID_NULL, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, module_.GetClassObject(CLSID_Sample, IID_IClassFactory, nullptr));
}

TEST_F(ClassFactory, RefusesInterfacesItDoesNotOffer)
{
    void* out = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, module_.GetClassObject(CLSID_Sample, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    out = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, factory_->CreateInstance(nullptr, IID_IPersist, &out));
    EXPECT_EQ(nullptr, out);
    factory_.Reset();
    // The object that lacked the interface was destroyed again: nothing keeps the module.
    EXPECT_EQ(S_OK, module_.CanUnloadNow());
}

TEST_F(ClassFactory, RefusesAggregation)
{
    ComPtr<IUnknown> outer;
    ASSERT_EQ(S_OK, factory_->CreateInstance(nullptr, IID_PPV_ARGS(&outer)));
    void* out = kGarbage;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory_->CreateInstance(outer.Get(), IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
}

TEST_F(ClassFactory, ObjectAnswersItsInterfacesWithOneIdentity)
{
    ComPtr<IUnknown> object;
    ASSERT_EQ(S_OK, factory_->CreateInstance(nullptr, IID_PPV_ARGS(&object)));
    ComPtr<IDispatch> dispatch;
    ComPtr<_Sample> sample;
    ComPtr<ISupportErrorInfo> errorInfo;
    ComPtr<IUnknown> identity;
    EXPECT_EQ(S_OK, object.As(&dispatch));
    EXPECT_EQ(S_OK, object->QueryInterface(IID__Sample, reinterpret_cast<void**>(sample.GetAddressOf())));
    EXPECT_EQ(S_OK, object.As(&errorInfo));
    ASSERT_EQ(S_OK, dispatch.As(&identity));
    EXPECT_EQ(object.Get(), identity.Get());
    EXPECT_EQ(S_OK, errorInfo->InterfaceSupportsErrorInfo(IID__Sample));

    void* out = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
}

TEST_F(ClassFactory, ReferenceCountsBalance)
{
    IUnknown* object = nullptr;
    ASSERT_EQ(S_OK, factory_->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(2u, object->AddRef());
    EXPECT_EQ(1u, object->Release());
    EXPECT_EQ(0u, object->Release());
}

TEST_F(ClassFactory, CreatesByProgIdAndByClsidThroughCom)
{
    EXPECT_NE(nullptr, CreateSample().Get());
    EXPECT_NE(nullptr, CreateSampleVtable().Get());
}

}  // namespace
}  // namespace quillpost::testing
