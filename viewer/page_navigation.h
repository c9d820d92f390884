// Where the viewer's pane may go: pages from the Internet, and the control's own pages. A page,
// a redirect or a link could lead it anywhere else: to the user's files (file: addresses, which
// Wine's control reports as plain paths), to a program registered for a scheme (mailto: and the
// like), to a resource of any library on the disk (res:). Those navigations are cancelled.
#pragma once

#include <string_view>

namespace quillpost {

// True for http: and https: addresses; for the control's blank page (about:blank); and for
// javascript: addresses, which run in the page that is shown and lead the pane nowhere by
// themselves (cancelling them would break the forum's script links). False for everything else,
// res: pages among them: those run in the local machine's zone, with more rights than any page
// from the Internet.
bool IsShownInViewer(std::wstring_view address);

// True for the pages from which the control shows that a navigation failed (res: pages of its
// own libraries). The pane goes to one only right after the control has reported a failed
// navigation (NavigateError), never because a page links to it.
bool IsControlsErrorPage(std::wstring_view address);

}  // namespace quillpost
