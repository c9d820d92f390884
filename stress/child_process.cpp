#include "child_process.h"

#include <vector>

namespace quillpost::stress {
namespace {

struct Handle {
    HANDLE value = nullptr;
    ~Handle()
    {
        if (value) CloseHandle(value);
    }
};

void DrainLines(HANDLE pipe, std::string& pending, const std::function<void(const std::string&)>& onLine)
{
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::vector<char> buffer(available);
        DWORD read = 0;
        if (!ReadFile(pipe, buffer.data(), available, &read, nullptr) || read == 0) return;
        pending.append(buffer.data(), read);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            onLine(line);
            pending.erase(0, end + 1);
        }
    }
}

// An exit code in the NTSTATUS error range is how a process that died of an exception ends.
bool IsCrashCode(DWORD code) { return (code & 0xF0000000) == 0xC0000000 || code == 3 || code == 0xE06D7363; }

}  // namespace

ChildOutcome RunChild(const std::wstring& arguments, DWORD timeoutMilliseconds,
                      const std::function<void(const std::string&)>& onLine)
{
    ChildOutcome outcome;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    Handle readEnd, writeEnd;
    if (!CreatePipe(&readEnd.value, &writeEnd.value, &inherit, 0)) return outcome;
    SetHandleInformation(readEnd.value, HANDLE_FLAG_INHERIT, 0);

    wchar_t self[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" " + arguments;
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.value;
    startup.hStdError = writeEnd.value;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process))
        return outcome;
    Handle processHandle{process.hProcess}, threadHandle{process.hThread};
    CloseHandle(writeEnd.value);
    writeEnd.value = nullptr;

    std::string pending;
    const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    for (;;) {
        DrainLines(readEnd.value, pending, onLine);
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
        if (GetTickCount64() > deadline) {
            TerminateProcess(process.hProcess, 0xDEAD);
            WaitForSingleObject(process.hProcess, 5000);
            DrainLines(readEnd.value, pending, onLine);
            outcome.kind = ChildOutcome::Hung;
            return outcome;
        }
    }
    DrainLines(readEnd.value, pending, onLine);
    if (!pending.empty()) onLine(pending);
    GetExitCodeProcess(process.hProcess, &outcome.exitCode);
    outcome.kind = IsCrashCode(outcome.exitCode) ? ChildOutcome::Crashed : ChildOutcome::Ended;
    return outcome;
}

}  // namespace quillpost::stress
