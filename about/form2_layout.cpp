#include "about/form2_layout.h"

#include "about/links.h"

namespace quillpost::about {
namespace {

using form::ControlKind;
using form::ControlRow;
using form::kOnForm;

constexpr wchar_t kAuthorCredit[] = L"Quill Post, by the Quillpost authors";
constexpr wchar_t kForumCredit[] = L"Made for the Tallowchat forum";
constexpr wchar_t kForumLink[] = L"Click here to view the forum thread";
constexpr wchar_t kNote[] = L"this is only a test mind you :) ";  // the trailing blank belongs to it
constexpr wchar_t kOk[] = L"Ok";

// In tab order, which is also the order of creation. The labels take no focus, so Command1 is
// the only tab stop; Label1 and Label2, Label2 and Label3, Label4 and Command1 overlap.
// clang-format off
constexpr ControlRow kControls[] = {
    // name      kind                     parent   left   top  width height tab caption                     underlined
    {L"Label1",   ControlKind::Label,      kOnForm,  120,  120, 3495, 375, 0, kAuthorCredit,              false},
    {L"Label2",   ControlKind::Label,      kOnForm,  240,  480, 3135, 375, 1, kForumCredit,               false},
    {L"Label3",   ControlKind::Label,      kOnForm,  120,  720, 3375, 255, 2, kForumLink,                 true},
    {L"Label4",   ControlKind::Label,      kOnForm,  240, 1080, 2775, 495, 3, kNote,                      false},
    {L"Command1", ControlKind::PushButton, kOnForm, 2520, 1200, 1095, 375, 4, kOk,                        false},
    {L"Label5",   ControlKind::Label,      kOnForm,  240, 1680, 3375, 375, 5, kAuthorSiteCaption.data(), true},
};
// clang-format on
static_assert(form::IsCreatable(kControls));

constexpr LinkRow kLinks[] = {
    {L"Label3", kForumThreadCommand.data()},
    {L"Label5", kAuthorSiteCommand.data()},
};

}  // namespace

const form::FormRow kForm2{L"About", L"QuillpostAbout", form::FormFrame::Sizable, 3735, 2085, form::FormKeys::Dialog};

std::span<const form::ControlRow> Form2Controls() { return kControls; }
std::span<const LinkRow> Form2Links() { return kLinks; }

}  // namespace quillpost::about
