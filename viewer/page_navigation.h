// Where the viewer's pane may go: pages from the Internet, and the control's own pages. A page,
// a redirect or a link could lead it anywhere else: to the user's files (file: addresses, which
// Wine's control reports as plain paths), to a program registered for a scheme (mailto: and the
// like), to a resource of any library on the disk (res:). Those navigations are cancelled.
#pragma once

#include <string_view>

namespace quillpost {

// True for http: and https: addresses; for the control's blank page (about:blank) and its error
// pages (res: pages of its own libraries); and for javascript: addresses, which run in the page
// that is shown and lead the pane nowhere by themselves (cancelling them would break the forum's
// script links). False for everything else.
bool IsShownInViewer(std::wstring_view address);

}  // namespace quillpost
