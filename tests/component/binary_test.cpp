// Quillpost.dll as a file: exports by name and ordinal, the version record, its imports, its manifest.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "support/module.h"

namespace quillpost::testing {
namespace {

class Binary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, module_.Handle()); }

    std::vector<BYTE> VersionRecord()
    {
        const std::wstring path = module_.Path();
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
        std::vector<BYTE> record(size);
        if (!size || !GetFileVersionInfoW(path.c_str(), 0, size, record.data())) record.clear();
        return record;
    }

    PluginModule module_;
};

// The four entry points of every COM server keep ordinals 1-4; per-user registration comes after them.
TEST_F(Binary, ExportsTheFourEntryPointsAndDllInstallByNameAndOrdinal)
{
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer",
                           "DllInstall"};
    for (WORD ordinal = 1; ordinal <= 5; ++ordinal) {
        FARPROC byName = GetProcAddress(module_.Handle(), names[ordinal - 1]);
        EXPECT_NE(nullptr, byName) << names[ordinal - 1];
        EXPECT_EQ(byName, GetProcAddress(module_.Handle(), MAKEINTRESOURCEA(ordinal))) << names[ordinal - 1];
    }
    EXPECT_EQ(nullptr, GetProcAddress(module_.Handle(), MAKEINTRESOURCEA(6)));
    EXPECT_EQ(nullptr, GetProcAddress(module_.Handle(), "DllMain"));

    auto* base = reinterpret_cast<BYTE*>(module_.Handle());
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt->FileHeader.Machine);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    const auto& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    EXPECT_EQ(5u, exports->NumberOfNames);
    EXPECT_EQ(5u, exports->NumberOfFunctions);
    EXPECT_EQ(1u, exports->Base);
}

// The libraries that any COM host on the desktop has loaded already: anything else would be
// loaded with the plug-in, at the host's cost (shlwapi and what it brings took 3.5 ms).
bool IsAlreadyInEveryHost(std::string name)
{
    for (char& letter : name) letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    for (const char* loaded : {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll",
                               "msvcrt.dll"}) {
        if (name == loaded) return true;
    }
    return false;
}

TEST_F(Binary, ImportsOnlySystemLibraries)
{
    auto* base = reinterpret_cast<BYTE*>(module_.Handle());
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    int count = 0;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); entry->Name;
         ++entry, ++count) {
        const std::string name = reinterpret_cast<const char*>(base + entry->Name);
        const std::wstring path = std::wstring(system) + L"\\" + std::wstring(name.begin(), name.end());
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str())) << name << " is not a system DLL";
        EXPECT_TRUE(IsAlreadyInEveryHost(name)) << name << " would be loaded with the plug-in";
    }
    EXPECT_GT(count, 0);
}

TEST_F(Binary, FixedVersionInfo)
{
    std::vector<BYTE> record = VersionRecord();
    ASSERT_FALSE(record.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &size));
    ASSERT_EQ(4u, size);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);
}

TEST_F(Binary, VersionStringsInTheirOrder)
{
    std::vector<BYTE> record = VersionRecord();
    ASSERT_FALSE(record.empty());
    const std::pair<const wchar_t*, const wchar_t*> expected[] = {
        {L"ProductName", L"TallowPluginKit"}, {L"FileVersion", L"1.00"},
        {L"ProductVersion", L"1.00"},         {L"InternalName", L"Quillpost"},
        {L"OriginalFilename", L"Quillpost.dll"}, {L"OLESelfRegister", L""},
    };
    const std::wstring_view all(reinterpret_cast<const wchar_t*>(record.data()), record.size() / sizeof(wchar_t));
    std::size_t previous = 0;
    for (const auto& [key, value] : expected) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        wchar_t* text = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(record.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) << key;
        EXPECT_STREQ(value, text) << key;
        const std::size_t at = all.find(key);
        EXPECT_GT(at, previous) << key << " is out of order";
        previous = at;
    }
}

// The assembly manifest a host's activation context reads is resource 1; resource 2 would bind
// the DLL's own imports, which stay plain system DLLs.
TEST_F(Binary, CarriesItsAssemblyManifestAsResourceOne)
{
    HRSRC found = FindResourceW(module_.Handle(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(nullptr, FindResourceW(module_.Handle(), MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24)));
    const auto* text = static_cast<const char*>(LockResource(LoadResource(module_.Handle(), found)));
    const std::string manifest(text, SizeofResource(module_.Handle(), found));
    EXPECT_NE(std::string::npos, manifest.find("name=\"Quillpost\""));
    EXPECT_NE(std::string::npos, manifest.find("clsid=\"{55931A42-72BB-4AAC-8C6D-DF4BAD84DCFB}\""));
    EXPECT_NE(std::string::npos, manifest.find("progid=\"TallowPlugin6.Sample\""));
    EXPECT_NE(std::string::npos, manifest.find("tlbid=\"{A1AF92CF-B99B-443C-B7A8-3022E7E97F28}\""));
}

}  // namespace
}  // namespace quillpost::testing
