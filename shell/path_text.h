// The few things the program search of shell/shell.h needs to know about a path, read from its text
// alone. The system's path helpers would cost the host a library (and its dependencies) loaded
// with the plug-in, for four lines of text handling on a path nobody else touches.
#pragma once

#include <string_view>

namespace quillpost::path_text {

// A full path: from a drive ("C:...") or from a root ("\...", "\\server\...").
constexpr bool IsAbsolute(std::wstring_view path)
{
    return path.starts_with(L'\\') || (path.size() >= 2 && path[1] == L':');
}

// Whether the last part of the path has a dot in it (a blank also ends a part, as it does for
// the command line's first word).
constexpr bool HasExtension(std::wstring_view path)
{
    const std::size_t lastPart = path.find_last_of(L"\\ ");
    const std::size_t dot = path.rfind(L'.');
    return dot != std::wstring_view::npos && (lastPart == std::wstring_view::npos || dot > lastPart);
}

// The folder that holds the file: up to its last backslash, which stays for a drive's root.
constexpr std::wstring_view FolderOf(std::wstring_view file)
{
    const std::size_t slash = file.rfind(L'\\');
    if (slash == std::wstring_view::npos) return {};
    const bool driveRoot = slash == 2 && file[1] == L':';
    return file.substr(0, driveRoot ? slash + 1 : slash);
}

// Without the quotes around it, when it has them.
constexpr std::wstring_view Unquoted(std::wstring_view text)
{
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') return text.substr(1, text.size() - 2);
    return text;
}

static_assert(IsAbsolute(L"C:\\Windows") && IsAbsolute(L"\\\\server\\share") && !IsAbsolute(L"bin\\x"));
static_assert(!IsAbsolute(L".") && !IsAbsolute(L""));
static_assert(HasExtension(L"notepad.exe") && !HasExtension(L"explorer") && !HasExtension(L"C:\\a.b\\prog"));
static_assert(!HasExtension(L"my.folder\\prog name") && HasExtension(L"a\\b.c"));
static_assert(FolderOf(L"C:\\Programs\\host.exe") == L"C:\\Programs" && FolderOf(L"C:\\host.exe") == L"C:\\");
static_assert(FolderOf(L"host.exe").empty());
static_assert(Unquoted(L"\"C:\\a b\"") == L"C:\\a b" && Unquoted(L"C:\\a") == L"C:\\a" && Unquoted(L"\"") == L"\"");

}  // namespace quillpost::path_text
