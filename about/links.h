// What the link labels show and start. Built at compile time from the configured hosts, so each
// address is written once (core/addresses.h, from the build's configured hosts) and every text that
// carries it agrees.
#pragma once

#include <windows.h>

#include "core/addresses.h"
#include "core/join_text.h"

namespace quillpost {

// "Explorer" and the address are handed over as one line; the system shell opens the page.
inline constexpr auto kForumThreadCommand =
    JoinText(L"Explorer http://", kForumHost, L"/showthread.php?tid=34690");
inline constexpr auto kAuthorSiteCommand = JoinText(L"Explorer http://", kAuthorHost);
inline constexpr auto kAuthorSiteCaption = JoinText(L"http://", kAuthorHost, L" - visit my site");

// Minimized with the focus: the browser takes over without covering the About window.
inline constexpr int kLinkShowWindow = SW_SHOWMINIMIZED;

}  // namespace quillpost
