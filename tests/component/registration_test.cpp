// Registration as installers and regsvr32 drive it, checked in the registry itself.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/module.h"

namespace quillpost::testing {
namespace {

const std::wstring kClassKey = L"CLSID\\{55931A42-72BB-4AAC-8C6D-DF4BAD84DCFB}";
const std::wstring kProgIdKey = L"TallowPlugin6.Sample";
const std::wstring kInterfaceKey = L"Interface\\{137E88E8-8B28-4072-85F9-BAAFC73084EE}";
const std::wstring kTypeLibKey = L"TypeLib\\{A1AF92CF-B99B-443C-B7A8-3022E7E97F28}";

bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring StringValue(const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t data[1024] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

// Every key and value under a key, flattened, to compare whole trees.
void Snapshot(HKEY parent, const std::wstring& path, std::map<std::wstring, std::wstring>& out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    wchar_t name[256];
    BYTE data[2048];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = ARRAYSIZE(name), dataSize = sizeof(data), type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        out[path + L"|" + name] = std::wstring(reinterpret_cast<wchar_t*>(data), dataSize / sizeof(wchar_t));
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = ARRAYSIZE(name);
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        out[path + L"\\" + name] = L"<key>";
        Snapshot(parent, path + L"\\" + name, out);
    }
    RegCloseKey(key);
}

std::map<std::wstring, std::wstring> SnapshotAll()
{
    std::map<std::wstring, std::wstring> all;
    for (const std::wstring& key : {kClassKey, kProgIdKey, kInterfaceKey, kTypeLibKey}) Snapshot(HKEY_CLASSES_ROOT, key, all);
    return all;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, module_.Handle());
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    // Leaves the DLL registered for the tests that follow.
    void TearDown() override
    {
        EXPECT_EQ(S_OK, module_.RegisterServer());
        CoUninitialize();
    }
    PluginModule module_;
};

TEST_F(Registration, WritesTheClassItsProgIdAndTheTypeLibrary)
{
    ASSERT_EQ(S_OK, module_.RegisterServer());
    const std::wstring path = module_.Path();
    EXPECT_EQ(path, StringValue(kClassKey + L"\\InprocServer32"));
    EXPECT_EQ(L"Apartment", StringValue(kClassKey + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(L"TallowPlugin6.Sample", StringValue(kClassKey + L"\\ProgID"));
    EXPECT_EQ(L"{A1AF92CF-B99B-443C-B7A8-3022E7E97F28}", StringValue(kClassKey + L"\\TypeLib"));
    EXPECT_EQ(L"{55931A42-72BB-4AAC-8C6D-DF4BAD84DCFB}", StringValue(kProgIdKey + L"\\Clsid"));
    EXPECT_EQ(path, StringValue(kTypeLibKey + L"\\1.0\\0\\win32"));
    EXPECT_EQ(L"", StringValue(kTypeLibKey + L"\\1.0\\HELPDIR"));
    EXPECT_EQ(L"{00020424-0000-0000-C000-000000000046}", StringValue(kInterfaceKey + L"\\ProxyStubClsid32"));
}

TEST_F(Registration, TwiceLeavesTheSameEntriesAsOnce)
{
    ASSERT_EQ(S_OK, module_.UnregisterServer());
    ASSERT_EQ(S_OK, module_.RegisterServer());
    const auto once = SnapshotAll();
    ASSERT_EQ(S_OK, module_.RegisterServer());
    EXPECT_EQ(once, SnapshotAll());
    EXPECT_GE(once.size(), 10u);
}

TEST_F(Registration, UnregisterRemovesEverythingAndIsIdempotent)
{
    ASSERT_EQ(S_OK, module_.RegisterServer());
    ASSERT_EQ(S_OK, module_.UnregisterServer());
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(kProgIdKey));
    EXPECT_FALSE(KeyExists(kInterfaceKey));
    EXPECT_FALSE(KeyExists(kTypeLibKey + L"\\1.0"));
    EXPECT_EQ(S_OK, module_.UnregisterServer());

    CLSID clsid{};
    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(L"TallowPlugin6.Sample", &clsid));
}

// A volatile ProgID key makes the last write fail (a non-volatile child is refused), so the
// registration must take back the class and the type library it had already written.
TEST_F(Registration, AFailedWriteLeavesNothingHalfRegistered)
{
    ASSERT_EQ(S_OK, module_.UnregisterServer());
    HKEY blocker = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, kProgIdKey.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &blocker, nullptr));
    RegCloseKey(blocker);

    const HRESULT hr = module_.RegisterServer();
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(kInterfaceKey));
    EXPECT_FALSE(KeyExists(kTypeLibKey + L"\\1.0"));
    EXPECT_TRUE(KeyExists(kProgIdKey)) << "a key this call did not create was removed";
    EXPECT_FALSE(KeyExists(kProgIdKey + L"\\Clsid"));

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgIdKey.c_str()));
}

TEST_F(Registration, AFailedReRegistrationKeepsThePreviousRegistration)
{
    ASSERT_EQ(S_OK, module_.RegisterServer());
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgIdKey.c_str()));
    HKEY blocker = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, kProgIdKey.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &blocker, nullptr));
    RegCloseKey(blocker);
    std::map<std::wstring, std::wstring> before;
    Snapshot(HKEY_CLASSES_ROOT, kClassKey, before);
    Snapshot(HKEY_CLASSES_ROOT, kTypeLibKey, before);

    EXPECT_TRUE(FAILED(module_.RegisterServer()));
    std::map<std::wstring, std::wstring> after;
    Snapshot(HKEY_CLASSES_ROOT, kClassKey, after);
    Snapshot(HKEY_CLASSES_ROOT, kTypeLibKey, after);
    EXPECT_EQ(before, after);

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgIdKey.c_str()));
}

TEST_F(Registration, Regsvr32RegistersAndUnregisters)
{
    const std::wstring dll = L"\"" + module_.Path() + L"\"";
    EXPECT_EQ(0u, RunProgram(L"regsvr32.exe /s /u " + dll));
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_EQ(0u, RunProgram(L"regsvr32.exe /s /u " + dll));
    EXPECT_EQ(0u, RunProgram(L"regsvr32.exe /s " + dll));
    EXPECT_EQ(module_.Path(), StringValue(kClassKey + L"\\InprocServer32"));
}

}  // namespace
}  // namespace quillpost::testing
