// Registration as installers and regsvr32 drive it, checked in the registry itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "stress/import_faults.h"
#include "stress/import_patch.h"
#include "stress/registry_text.h"
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

// The registration's keys under the user's own classes, as stress::RegistrationText() gives the machine's.
std::string UserRegistrationText()
{
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ, &root) != ERROR_SUCCESS)
        return "no user classes";
    std::string text = stress::RegistrationText(root);
    RegCloseKey(root);
    return text;
}

bool PointUserRegistrationElsewhere(const wchar_t* otherPath)
{
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ, &root) != ERROR_SUCCESS) return false;
    const bool pointed = stress::PointRegistrationElsewhere(otherPath, root);
    RegCloseKey(root);
    return pointed;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, module_.Handle());
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    // Leaves the DLL registered for the tests that follow, and not for the user alone.
    void TearDown() override
    {
        EXPECT_EQ(S_OK, module_.Install(FALSE, L"user"));
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

// A key tree under the class deeper than its copy for rollback could be written back: a failed
// registration of another copy (its ProgID cannot be written) must still leave all of it.
TEST_F(Registration, AFailedRegistrationLeavesAKeyTreeOfAnyDepth)
{
    ASSERT_EQ(S_OK, module_.RegisterServer());
    ASSERT_TRUE(stress::PointRegistrationElsewhere(L"C:\\elsewhere\\Quillpost.dll"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgIdKey.c_str()));
    std::wstring deep = kClassKey;
    for (int level = 0; level < 40; ++level) deep += L"\\d";
    HKEY key = nullptr;
    for (const auto& [path, options] : {std::pair{deep, DWORD{0}}, std::pair{kProgIdKey, DWORD{REG_OPTION_VOLATILE}}}) {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    const auto before = SnapshotAll();
    EXPECT_TRUE(FAILED(module_.RegisterServer()));
    EXPECT_EQ(before, SnapshotAll());
    for (const std::wstring& path : {kProgIdKey, kClassKey + L"\\d"})
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str()));
}

// Per-user registration writes what machine registration writes, under the user's own root, and
// neither touches the other's entries.
TEST_F(Registration, PerUserHoldsTheMachineEntriesAndLeavesTheMachinesAlone)
{
    ASSERT_EQ(S_OK, module_.RegisterServer());
    const std::string machine = stress::RegistrationText(), userClasses = stress::UserClassesText();
    ASSERT_EQ(S_OK, module_.Install(TRUE, L"user"));
    EXPECT_EQ(machine, UserRegistrationText());
    EXPECT_EQ(machine, stress::RegistrationText());

    ASSERT_EQ(S_OK, module_.UnregisterServer());
    EXPECT_EQ(machine, UserRegistrationText());
    ASSERT_EQ(S_OK, module_.RegisterServer());
    ASSERT_EQ(S_OK, module_.Install(FALSE, L"user"));
    EXPECT_EQ(machine, stress::RegistrationText());
    EXPECT_EQ(userClasses, stress::UserClassesText()) << "unregistering for the user left something behind";
    EXPECT_EQ(S_OK, module_.Install(FALSE, L"user"));
}

TEST_F(Registration, DllInstallRefusesEveryOtherCommandLine)
{
    const std::string machine = stress::RegistrationText(), userClasses = stress::UserClassesText();
    for (const wchar_t* line : {static_cast<const wchar_t*>(nullptr), L"", L"users", L"Usr", L" user", L"user ",
                                L"/i:user", L"machine", L"all"}) {
        for (BOOL install : {TRUE, FALSE}) {
            EXPECT_EQ(E_INVALIDARG, module_.Install(install, line)) << (line ? line : L"(null)") << " " << install;
        }
    }
    EXPECT_EQ(machine, stress::RegistrationText());
    EXPECT_EQ(userClasses, stress::UserClassesText());
}

// A second copy of the DLL elsewhere on disk, loaded beside the first.
class OtherCopy {
public:
    explicit OtherCopy(const std::wstring& original)
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"quillpost-other-copy";
        CreateDirectoryW(folder_.c_str(), nullptr);
        path_ = folder_ + L"\\QuillpostCopy.dll";
        if (CopyFileW(original.c_str(), path_.c_str(), FALSE)) module_ = LoadLibraryW(path_.c_str());
    }
    ~OtherCopy()
    {
        if (module_) FreeLibrary(module_);
        DeleteFileW(path_.c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    OtherCopy(const OtherCopy&) = delete;
    OtherCopy& operator=(const OtherCopy&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    HRESULT RegisterServer() const
    {
        auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
        return entry ? entry() : E_NOTIMPL;
    }

private:
    std::wstring folder_, path_;
    HMODULE module_ = nullptr;
};

// Another copy whose registration fails at its last write must not leave the type library
// pointing at it while the class still points at the registered copy.
TEST_F(Registration, AFailedRegistrationOfAnotherCopyLeavesTheRegisteredOneWhole)
{
    ASSERT_EQ(S_OK, module_.RegisterServer());
    OtherCopy other(module_.Path());
    ASSERT_TRUE(other.Loaded());
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgIdKey.c_str()));
    HKEY blocker = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, kProgIdKey.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &blocker, nullptr));
    RegCloseKey(blocker);
    const auto before = SnapshotAll();

    EXPECT_TRUE(FAILED(other.RegisterServer()));
    EXPECT_EQ(before, SnapshotAll());
    EXPECT_EQ(module_.Path(), StringValue(kClassKey + L"\\InprocServer32"));
    EXPECT_EQ(module_.Path(), StringValue(kTypeLibKey + L"\\1.0\\0\\win32"));

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgIdKey.c_str()));
}

// The root of every registry call the DLL makes through its imports: a key it opened stands for the
// root it was opened under. Each call goes on to what its import called before (the system, or an
// injected fault), so the calls of rollbacks are seen too. (HKEY_CLASSES_ROOT prints as 0x80000000.)
std::map<HKEY, HKEY> g_openedUnder;
std::set<HKEY> g_rootsNamed;
void* g_nextCall[10];

template <typename Argument>
void NoteOpened(HKEY, LSTATUS, Argument) {}
void NoteOpened(HKEY root, LSTATUS status, HKEY* opened)
{
    if (status == ERROR_SUCCESS) g_openedUnder[*opened] = root;
}

template <int kIndex, typename... Arguments>
LSTATUS WINAPI Recorded(HKEY key, Arguments... arguments)
{
    const auto opened = g_openedUnder.find(key);
    const HKEY root = opened == g_openedUnder.end() ? key : opened->second;
    g_rootsNamed.insert(root);
    const LSTATUS status =
        reinterpret_cast<LSTATUS(WINAPI*)(HKEY, Arguments...)>(g_nextCall[kIndex])(key, arguments...);
    (NoteOpened(root, status, arguments), ...);
    return status;
}

struct Recorder {
    int index;
    const char* name;
    const void* hook;
};
template <int kIndex, typename... Arguments>
Recorder Record(const char* name, LSTATUS(WINAPI*)(HKEY, Arguments...))
{
    return {kIndex, name, reinterpret_cast<const void*>(&Recorded<kIndex, Arguments...>)};
}

class RegistryRoots {
public:
    explicit RegistryRoots(HMODULE module)
    {
        for (const Recorder& row :
             {Record<0>("RegOpenKeyExW", &RegOpenKeyExW), Record<1>("RegCreateKeyExW", &RegCreateKeyExW),
              Record<2>("RegSetValueExW", &RegSetValueExW), Record<3>("RegGetValueW", &RegGetValueW),
              Record<4>("RegQueryInfoKeyW", &RegQueryInfoKeyW), Record<5>("RegEnumValueW", &RegEnumValueW),
              Record<6>("RegEnumKeyExW", &RegEnumKeyExW), Record<7>("RegDeleteTreeW", &RegDeleteTreeW),
              Record<8>("RegDeleteKeyW", &RegDeleteKeyW), Record<9>("RegCloseKey", &RegCloseKey)}) {
            patches_.push_back(std::make_unique<stress::ImportPatch>(module, row.name, row.hook));
            g_nextCall[row.index] = patches_.back()->Original();
            if (!patches_.back()->Slots()) missing_ += std::string(row.name) + " ";
        }
        g_openedUnder.clear();
        g_rootsNamed.clear();
    }
    const std::string& Missing() const { return missing_; }
    std::set<HKEY> Named() const { return g_rootsNamed; }

private:
    std::vector<std::unique_ptr<stress::ImportPatch>> patches_;
    std::string missing_;
};

enum class Starting { Unregistered, Registered, AnotherCopyRegistered };
enum class Root { Machine, User };

// Every registry write that registration or unregistration makes fails in turn, from each starting
// state, for the machine and for the user. A call that fails leaves the registry byte for byte as it
// was (for the user, all of the user's classes); a call that still succeeds (the lost write was
// already in place) leaves exactly what a call without the failure leaves. Every registry call of
// the DLL on the way, rollbacks included, names the scope's own root, never HKEY_CLASSES_ROOT.
class RegistryWriteFailures : public Registration {
protected:
    HRESULT Run(Root root, bool registering)
    {
        if (root == Root::User) return module_.Install(registering, L"user");
        return registering ? module_.RegisterServer() : module_.UnregisterServer();
    }
    static std::string Text(Root root)
    {
        return root == Root::User ? stress::UserClassesText() : stress::RegistrationText();
    }
    bool Prepare(Root root, Starting state)
    {
        if (state == Starting::Unregistered) return Run(root, false) == S_OK;
        if (Run(root, true) != S_OK) return false;
        constexpr wchar_t kElsewhere[] = L"C:\\elsewhere\\Quillpost.dll";
        return state == Starting::Registered || (root == Root::User ? PointUserRegistrationElsewhere(kElsewhere)
                                                                     : stress::PointRegistrationElsewhere(kElsewhere));
    }

    void FailEachWrite(Root root, bool registering)
    {
        stress::ImportFaults faults(stress::FaultFamily::RegistryWrites, {module_.Handle()});
        ASSERT_TRUE(faults.Ready()) << "not imported: " << faults.Missing();
        RegistryRoots roots(module_.Handle());
        ASSERT_EQ("", roots.Missing()) << "not imported";
        long injected = 0, unchanged = 0;
        for (Starting state : {Starting::Unregistered, Starting::Registered, Starting::AnotherCopyRegistered}) {
            SCOPED_TRACE(static_cast<int>(state));
            ASSERT_TRUE(Prepare(root, state));
            faults.Arm(0);
            ASSERT_EQ(S_OK, Run(root, registering));
            const long writes = faults.Calls();
            const std::string withoutFailure = Text(root);  // no writes at all: nothing of ours for the user
            for (long failAt = 1; failAt <= writes; ++failAt, ++injected) {
                faults.Arm(0);
                ASSERT_TRUE(Prepare(root, state));
                const std::string before = Text(root);
                faults.Arm(failAt);
                const HRESULT hr = Run(root, registering);
                ASSERT_TRUE(faults.Fired()) << "write " << failAt;
                faults.Arm(0);
                const std::string after = Text(root);
                if (FAILED(hr)) {
                    unchanged += before == after;
                    EXPECT_EQ(before, after) << "write " << failAt << " of " << writes << " failed: registry changed";
                } else {
                    EXPECT_EQ(withoutFailure, after) << "write " << failAt << " of " << writes
                                                     << " failed yet the call succeeded with entries missing";
                }
            }
        }
        EXPECT_GT(injected, 0);
        EXPECT_EQ(std::set<HKEY>{root == Root::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE}, roots.Named());
        std::printf("%s %s: %ld writes failed in turn, %ld answered with a failure and the registry unchanged\n",
                    root == Root::User ? "per-user" : "machine", registering ? "registration" : "unregistration",
                    injected, unchanged);
    }
};

TEST_F(RegistryWriteFailures, Registering) { FailEachWrite(Root::Machine, true); }
TEST_F(RegistryWriteFailures, Unregistering) { FailEachWrite(Root::Machine, false); }
TEST_F(RegistryWriteFailures, RegisteringForTheUser) { FailEachWrite(Root::User, true); }
TEST_F(RegistryWriteFailures, UnregisteringForTheUser) { FailEachWrite(Root::User, false); }

TEST_F(Registration, Regsvr32RegistersAndUnregisters)
{
    const std::wstring dll = L"\"" + module_.Path() + L"\"";
    EXPECT_EQ(0u, RunProgram(L"regsvr32.exe /s /u " + dll));
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_EQ(0u, RunProgram(L"regsvr32.exe /s /u " + dll));
    EXPECT_EQ(0u, RunProgram(L"regsvr32.exe /s " + dll));
    EXPECT_EQ(module_.Path(), StringValue(kClassKey + L"\\InprocServer32"));
    const std::string userClasses = stress::UserClassesText();
    EXPECT_EQ(0u, RunProgram(L"regsvr32.exe /s /n /i:User " + dll));
    EXPECT_EQ(stress::RegistrationText(), UserRegistrationText());
    EXPECT_EQ(0u, RunProgram(L"regsvr32.exe /s /u /n /i:USER " + dll));
    EXPECT_EQ(userClasses, stress::UserClassesText());
}

}  // namespace
}  // namespace quillpost::testing
