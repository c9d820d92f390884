#include "host/console_input.h"

#include <cstdio>

namespace quillpost::host {

ConsoleInput::ConsoleInput()
{
    available_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    reader_ = CreateThread(nullptr, 0, &ConsoleInput::ReadLines, this, 0, nullptr);
}

ConsoleInput::~ConsoleInput()
{
    // The reader may be blocked in a read that never returns; the process is ending anyway.
    if (reader_) CloseHandle(reader_);
    if (available_) CloseHandle(available_);
}

DWORD WINAPI ConsoleInput::ReadLines(void* context)
{
    auto* self = static_cast<ConsoleInput*>(context);
    char buffer[4096];
    while (std::fgets(buffer, sizeof(buffer), stdin)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        const int length = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring wide(length, L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), length);
        AcquireSRWLockExclusive(&self->lock_);
        self->lines_.push_back(std::move(wide));
        ReleaseSRWLockExclusive(&self->lock_);
        SetEvent(self->available_);
    }
    AcquireSRWLockExclusive(&self->lock_);
    self->ended_ = true;
    ReleaseSRWLockExclusive(&self->lock_);
    SetEvent(self->available_);
    return 0;
}

std::optional<std::wstring> ConsoleInput::NextLine()
{
    for (;;) {
        AcquireSRWLockExclusive(&lock_);
        std::optional<std::wstring> line;
        if (!lines_.empty()) {
            line = std::move(lines_.front());
            lines_.pop_front();
        }
        const bool ended = ended_;
        ReleaseSRWLockExclusive(&lock_);
        if (line) return line;
        if (ended) return std::nullopt;

        MsgWaitForMultipleObjects(1, &available_, FALSE, INFINITE, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

}  // namespace quillpost::host
