#include "about/form2.h"

#include <string_view>

#include "about/form2_layout.h"
#include "about/links.h"
#include "shell/shell.h"

namespace quillpost {
namespace {

const about::LinkRow* LinkOf(const form::ControlRow& row)
{
    for (const about::LinkRow& link : about::Form2Links()) {
        if (std::wstring_view(link.control) == row.name) return &link;
    }
    return nullptr;
}

}  // namespace

Form2::Form2() : FormWindow(about::kForm2, about::Form2Controls(), L"About window") {}

void Form2::OnClick(const form::ControlRow& row)
{
    if (const about::LinkRow* link = LinkOf(row)) {
        // A failure is told to the user in a message box, whose modal loop may close this
        // window: nothing of it is touched afterwards.
        ShellOrTell(Window(), link->commandLine, kLinkShowWindow);
    } else if (std::wstring_view(about::kCloseButton) == row.name) {
        PostMessageW(Window(), WM_CLOSE, 0, 0);
    }
}

bool Form2::IsLink(const form::ControlRow& row) const { return LinkOf(row) != nullptr; }

}  // namespace quillpost
