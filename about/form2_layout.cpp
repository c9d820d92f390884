#include "about/form2_layout.h"

#include <iterator>

#include "about/links.h"
#include "base/twips.h"

namespace quillpost::about {
namespace {

using enum ControlKind;
using enum ClickAction;

constexpr wchar_t kAuthorCredit[] = L"Quill Post, by the Quillpost authors";
constexpr wchar_t kForumCredit[] = L"Made for the Tallowchat forum";
constexpr wchar_t kForumLink[] = L"Click here to view the forum thread";
constexpr wchar_t kNote[] = L"this is only a test mind you :) ";  // the trailing blank belongs to it
constexpr wchar_t kOk[] = L"Ok";

// In tab order, which is also the order of creation. The labels take no focus, so Command1 is
// the only tab stop; Label1 and Label2, Label2 and Label3, Label4 and Command1 overlap.
constexpr ControlRow kControls[] = {
    // name      kind        left   top  width height tab caption                     underlined click        command line
    {L"Label1",   Label,       120,  120, 3495, 375, 0, kAuthorCredit,              false, Nothing,      nullptr},
    {L"Label2",   Label,       240,  480, 3135, 375, 1, kForumCredit,               false, Nothing,      nullptr},
    {L"Label3",   Label,       120,  720, 3375, 255, 2, kForumLink,                 true,  StartCommand, kForumThreadCommand.data()},
    {L"Label4",   Label,       240, 1080, 2775, 495, 3, kNote,                      false, Nothing,      nullptr},
    {L"Command1", PushButton, 2520, 1200, 1095, 375, 4, kOk,                        false, CloseWindow,  nullptr},
    {L"Label5",   Label,       240, 1680, 3375, 375, 5, kAuthorSiteCaption.data(), true,  StartCommand, kAuthorSiteCommand.data()},
};

constexpr bool InTabOrder()
{
    for (int row = 0; row < static_cast<int>(std::size(kControls)); ++row) {
        if (kControls[row].tabIndex != row) return false;
    }
    return true;
}
static_assert(InTabOrder(), "controls are created in table order, so the table must be in tab order");

}  // namespace

const FormRow kForm2{L"About", 3735, 2085};
const FontRow kForm2Font{L"MS Sans Serif", 825, FW_NORMAL, ANSI_CHARSET};

std::span<const ControlRow> Form2Controls() { return kControls; }

int ControlId(const ControlRow& row) { return static_cast<int>(&row - kControls) + 1; }

const ControlRow* ControlById(int id)
{
    if (id < 1 || id > static_cast<int>(std::size(kControls))) return nullptr;
    return &kControls[id - 1];
}

RECT PixelRect(const ControlRow& row)
{
    const int left = TwipsToPixels(row.left), top = TwipsToPixels(row.top);
    return {left, top, left + TwipsToPixels(row.width), top + TwipsToPixels(row.height)};
}

SIZE PixelClientSize(const FormRow& form)
{
    return {TwipsToPixels(form.clientWidth), TwipsToPixels(form.clientHeight)};
}

}  // namespace quillpost::about
