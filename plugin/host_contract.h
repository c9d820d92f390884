// What the plug-in publishes to its host and recognises from it.
#pragma once

namespace quillpost {

inline constexpr wchar_t kPluginName[] = L"Quill Post";
inline constexpr long kCommandCount = 1;

// The published command table: one row, index 1.
struct PublishedCommand {
    long index;
    const wchar_t* name;
    const wchar_t* value;
};
inline constexpr PublishedCommand kCommands[] = {
    {1, L"View Quill Post", L"xquillpost"},
};

// The command value with its leading slash, as the user types it.
inline constexpr wchar_t kRecognisedCommand[] = L"/xquillpost";

// Follows the user's e-mail address in the viewer's heading after initialization.
inline constexpr wchar_t kViewingHeadingSuffix[] = L" Is Viewing Tallowchat Latest Posts";

}  // namespace quillpost
