// Web addresses that a page hands us, written for a command line. A page controls them, so they
// are hostile input: only http: and https: addresses pass, and each is written so that, between
// two quotes, no part of it can be read as anything but the one address.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string_view>

#include "core/bounded_text.h"

namespace quillpost {

// The longest address the browser control itself takes (INTERNET_MAX_URL_LENGTH without its NUL).
inline constexpr std::size_t kLongestWebAddress = 2083;

// A web address, or a command line that holds one: the address and a few characters around it.
using WebAddressText = BoundedText<kLongestWebAddress + 16>;

// Whether `address` is "http://" or "https://" (the scheme in any case) and then a host.
bool IsWebAddress(std::wstring_view address);

// Appends the web address to `text` with every character that a command line or the shell
// program could read as the end of the argument, an escape or a separator percent-encoded: blanks
// and control characters, '"', '\' (the escape of the quote that closes the argument), ','
// (which ends a value of the shell program's own switches), and everything beyond ASCII as its
// UTF-8 bytes. Every other character, '%' among them, stays as it is, so the browser gets the
// same address. E_INVALIDARG when it is no web address or not text (a lone UTF-16 surrogate);
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) when the written address would be longer than
// kLongestWebAddress. On failure `text` may hold part of it, and is not to be used.
HRESULT AppendWebAddressForCommandLine(std::wstring_view address, WebAddressText& text);

}  // namespace quillpost
