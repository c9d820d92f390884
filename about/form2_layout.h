// The About window as data: the form and its controls, in twips, in tab order, and what its
// link labels start.
#pragma once

#include <windows.h>

#include <span>

#include "forms/form_table.h"

namespace quillpost::about {

extern const form::FormRow kForm2;
std::span<const form::ControlRow> Form2Controls();

// The push button that closes the window.
inline constexpr wchar_t kCloseButton[] = L"Command1";

// A label whose click starts a command line.
struct LinkRow {
    const wchar_t* control;
    const wchar_t* commandLine;
};
std::span<const LinkRow> Form2Links();

}  // namespace quillpost::about
