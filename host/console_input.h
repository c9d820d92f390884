// Reads lines from standard input on a thread of its own, so that the host's thread can
// keep the plug-in's windows live while it waits for the user.
#pragma once

#include <windows.h>

#include <deque>
#include <optional>
#include <string>

namespace quillpost::host {

class ConsoleInput {
public:
    ConsoleInput();
    ~ConsoleInput();
    ConsoleInput(const ConsoleInput&) = delete;
    ConsoleInput& operator=(const ConsoleInput&) = delete;

    // Waits for the next line while dispatching window messages; nullopt at end of input.
    std::optional<std::wstring> NextLine();

private:
    static DWORD WINAPI ReadLines(void* self);

    SRWLOCK lock_ = SRWLOCK_INIT;
    std::deque<std::wstring> lines_;
    bool ended_ = false;
    HANDLE available_ = nullptr;
    HANDLE reader_ = nullptr;
};

}  // namespace quillpost::host
