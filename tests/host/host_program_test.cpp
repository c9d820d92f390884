// quillpost-host as its users run it: a scripted session, typed lines, the type-library print.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

namespace quillpost::testing {
namespace {

// build/host/quillpost-host.exe, seen from this program in build/bin.
std::wstring HostProgram()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\'));
    return folder.substr(0, folder.find_last_of(L'\\')) + L"\\host\\quillpost-host.exe";
}

// Runs the host with `arguments`, feeding `input` to it; returns everything it printed.
std::string RunHost(const std::wstring& arguments, const std::string& input = {})
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, inRead = nullptr, inWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&inRead, &inWrite, &inherit, 0)) return {};
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = L"\"" + HostProgram() + L"\" " + arguments;
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = startup.hStdError = outWrite;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(inRead);
    std::string output;
    if (started) {
        DWORD written = 0;
        if (!input.empty()) WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
        CloseHandle(inWrite);
        inWrite = nullptr;
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(outRead, buffer, sizeof(buffer), &read, nullptr) && read) output.append(buffer, read);
        WaitForSingleObject(process.hProcess, 60000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (inWrite) CloseHandle(inWrite);
    CloseHandle(outRead);
    return output;
}

void ExpectLine(const std::string& output, const std::string& line)
{
    EXPECT_NE(std::string::npos, output.find(line)) << "missing: " << line << "\n--- output:\n" << output;
}

TEST(HostProgram, ScriptedSessionPublishesParsesAndUnloads)
{
    const std::string output =
        RunHost(L"--email host@quillpost.example --session /XQuillPost hello !configure !windows !close");
    ExpectLine(output, "Initialize(\"host@quillpost.example\") = True");
    ExpectLine(output, "Plug-in \"Quill Post\" publishes 1 command(s):");
    ExpectLine(output, "  1  \"View Quill Post\"  /xquillpost");
    ExpectLine(output, "ParseCommand(\"/XQuillPost\") = True, sResult = \"\"");
    ExpectLine(output, "ParseCommand(\"hello\") = False");
    ExpectLine(output, "Configure() done");
    ExpectLine(output, "window \"Form1\" ");
    ExpectLine(output, "window \"About\" ");
    ExpectLine(output, "DllCanUnloadNow = S_OK");
}

TEST(HostProgram, OpenWindowsKeepTheModuleLoaded)
{
    const std::string output = RunHost(L"--session !configure");
    ExpectLine(output, "DllCanUnloadNow = S_FALSE");
}

TEST(HostProgram, TypedLinesReachThePlugin)
{
    const std::string output = RunHost(L"--email typed@quillpost.example", "/xquillpost\n/nothing\n!close\n!quit\n");
    ExpectLine(output, "ParseCommand(\"/xquillpost\") = True, sResult = \"\"");
    ExpectLine(output, "ParseCommand(\"/nothing\") = False");
    ExpectLine(output, "plug-in windows closed");
    ExpectLine(output, "DllCanUnloadNow = S_OK");
}

TEST(HostProgram, PrintsTheTypeLibraryAsIdl)
{
    const std::string output = RunHost(L"--typelib --session !quit");
    ExpectLine(output, "library TallowPlugin6");
    ExpectLine(output, "interface _Sample : IDispatch  // 13 vtable entries, 6 methods");
    ExpectLine(output,
               "[id(0x60030005), vtable slot 12] HRESULT ParseCommand([in] BSTR sCommand, [in] BSTR sCommandArg, "
               "[in] IDispatch* oConversationWnd, [in, out] BSTR* sResult, [out, retval] VARIANT_BOOL*);");
    ExpectLine(output, "coclass Sample");
    ExpectLine(output, "[default] interface _Sample;");
}

TEST(HostProgram, UnknownPluginIsReportedNotCrashed)
{
    const std::string output = RunHost(L"--plugin No.Such.Plugin --session !quit");
    ExpectLine(output, "cannot create No.Such.Plugin");
}

}  // namespace
}  // namespace quillpost::testing
