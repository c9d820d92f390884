// The About window as data: the form and its controls, in twips, in tab order.
#pragma once

#include <windows.h>

#include <span>

namespace quillpost::about {

enum class ControlKind { Label, PushButton };

// What a click on the control does.
enum class ClickAction { Nothing, StartCommand, CloseWindow };

struct ControlRow {
    const wchar_t* name;
    ControlKind kind;
    int left, top, width, height;  // twips, from the client area's top-left corner
    int tabIndex;
    const wchar_t* caption;
    bool underlined;
    ClickAction click;
    const wchar_t* commandLine;  // for StartCommand, else nullptr
};

struct FormRow {
    const wchar_t* caption;
    int clientWidth, clientHeight;  // twips
};

struct FontRow {
    const wchar_t* face;
    int hundredthsOfPoint;
    int weight;
    BYTE charSet;
};

extern const FormRow kForm2;
extern const FontRow kForm2Font;
std::span<const ControlRow> Form2Controls();

// Each control's child-window identifier: its row in the table, from 1.
int ControlId(const ControlRow& row);
const ControlRow* ControlById(int id);

// The one place layout twips become pixels.
RECT PixelRect(const ControlRow& row);
SIZE PixelClientSize(const FormRow& form);

}  // namespace quillpost::about
