// Runs this program again as a child for one scenario, reading its output lines, under a
// time limit: a crash or a hang of the child is an outcome, not the end of the run.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace quillpost::stress {

struct ChildOutcome {
    enum Kind { Ended, Crashed, Hung, NotStarted } kind = NotStarted;
    DWORD exitCode = 0;
};

// Each complete output line goes to onLine as it arrives.
ChildOutcome RunChild(const std::wstring& arguments, DWORD timeoutMilliseconds,
                      const std::function<void(const std::string&)>& onLine);

}  // namespace quillpost::stress
