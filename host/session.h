// One line of a host session: a command typed in a conversation, or a host action.
//
//   /xquillpost      any text not starting with '!' goes to ParseCommand
//   !configure       asks for the plug-in's settings (Configure)
//   !windows         lists the visible windows of this process with their screen rectangles
//   !wait MS         keeps the windows live for MS milliseconds
//   !close           closes the plug-in's windows, as a user would
//   !quit            ends the session
#pragma once

#include <string>

#include "host/plugin_client.h"

namespace quillpost::host {

class Session {
public:
    explicit Session(PluginClient& client) : client_(client) {}

    // Runs one line; false once the session should end.
    bool Run(const std::wstring& line);
    static void PrintHelp();

private:
    void ParseCommand(const std::wstring& text);
    void Configure();

    PluginClient& client_;
};

// Dispatches window messages for about `milliseconds`.
void PumpMessagesFor(DWORD milliseconds);

}  // namespace quillpost::host
