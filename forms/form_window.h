// The window core of both forms. A form is a table of controls (form_table.h) and its own
// events; what a window does on show, load, close, unload, at its thread's end and at any DPI
// is written here, once. Both forms are DPI-aware: their tables stay in twips, and every pixel
// comes from them at the window's DPI (ControlRect), fonts included.
//
// Lifetime, as a guest in the host's process:
//  - Every message to a form (its procedures are entered through core/entry_points.h), and Show,
//    run in the module's running scope: whatever pumps inside
//    them (a message box, the browser, a destroyed owner) cannot let the module unload under
//    them. An existing window keeps the module (a veto and a loader reference) until WM_NCDESTROY.
//  - A window counts as loaded only once its load steps have completed. Show during a load or
//    an unload answers kBusy and changes nothing; a close asked for during the load is carried
//    out (posted) when the load has completed, so the outer Show still succeeds.
//  - A window is torn down by its close (WM_CLOSE, posted by our own handlers), by Unload from
//    outside its handlers, or at the thread's final CoUninitialize, while COM still works. If
//    the thread ends without it, Abandon leaves the window to the system and touches nothing.
#pragma once

#include <windows.h>

#include <optional>
#include <span>
#include <string_view>

#include "core/bounded_text.h"
#include "core/com_end_watch.h"
#include "forms/form_table.h"
#include "core/module.h"
#include "core/raii.h"

namespace quillpost {

class FormWindow : private ComEndListener {
public:
    // Show's answer while the window is being loaded or unloaded by an outer call.
    static constexpr HRESULT kBusy = E_PENDING;

    FormWindow(const form::FormRow& form, std::span<const form::ControlRow> controls, const wchar_t* noun);
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;
    virtual ~FormWindow() = default;  // only ever destroyed without a window

    // Modeless, no owner. Loads the window when it is not loaded (creates it and its controls,
    // then runs the form's load steps); then restores it if minimized, makes it visible and
    // brings it forward. On failure nothing stays loaded and FailedStep() says what failed.
    HRESULT Show();

    // Destroys the window now. Not from inside the window's own handlers: they post WM_CLOSE.
    void Unload();

    // The thread is ending without having ended its COM: the window and whatever it holds are
    // left alone (the system destroys the window; the module stays loaded, safely).
    void Abandon();

    bool HasWindow() const { return window_ != nullptr; }

    // What the last failing Show could not do, as a sentence without a final stop.
    std::wstring_view FailedStep() const { return failedStep_.View(); }

protected:
    HWND Window() const { return window_; }
    // The control's window; nullptr for a windowless control or when not created.
    HWND ControlWindow(const form::ControlRow& row) const;
    HFONT Font(bool underlined) const { return underlined ? underlinedFont_.Get() : regularFont_.Get(); }
    // The DPI the window is laid out at: the one it was created at, then the one each
    // WM_DPICHANGED gives.
    int Dpi() const { return dpi_; }
    // The control's rectangle in its container at the window's DPI.
    RECT ControlRect(const form::ControlRow& row) const { return form::PixelRect(row, dpi_); }
    // Records "The viewer" or "The About window", followed by the parts, as what failed, and
    // returns hr. Nothing is allocated: the failure may be that memory ran out.
    HRESULT Fail(HRESULT hr, std::wstring_view rest, std::wstring_view name = {}, std::wstring_view after = {});

    // Creates a control of a kind the core does not know (picture areas, browsers) in `parent`.
    virtual HRESULT CreateFormControl(const form::ControlRow& row, HWND parent, HWND* created);
    // Moves a control to `rect` after a change of DPI (the browser, for one, is told where its
    // place is rather than moved).
    virtual void PlaceFormControl(const form::ControlRow& row, HWND control, const RECT& rect);
    // The form's load steps, after its controls exist and before it is first shown.
    virtual HRESULT OnLoad() { return S_OK; }
    // The window is being destroyed; its controls still exist.
    virtual void OnUnload() {}
    // A click on a push button, or on a label the form answers clicks of.
    virtual void OnClick(const form::ControlRow&) {}
    // Labels the form answers clicks of: they show the hand cursor, and take the focus after the
    // table's own tab stops.
    virtual bool IsLink(const form::ControlRow&) const { return false; }
    // Gives the focus to a control's window; a hosted control may want more than SetFocus.
    virtual void FocusControl(const form::ControlRow&, HWND control) { SetFocus(control); }
    // For assistive technology (accessible_object.cpp): the label whose text names the form (else
    // its caption), and the parts of its picture that act like push buttons.
    virtual const form::ControlRow* NameLabel() const { return nullptr; }
    virtual std::span<const form::DrawnButton> DrawnButtons() const { return {}; }

private:
    friend class FormAccessible;
    enum class Stage { Unloaded, Loading, Loaded, Unloading };

    HRESULT Load();
    HRESULT Build();
    HRESULT CreateFonts();
    HRESULT CreateFrame();
    HRESULT CreateControls();
    HRESULT CreateControl(const form::ControlRow& row, HWND parent, HWND* created);
    void StackControls();
    void Present(bool bringForward);
    void Discard();

    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnInput(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer);
    void OnCommand(int id, int notification);
    bool OnSetCursor(HWND target, UINT hitTest);
    void OnClose();
    void OnDestroyed();
    LRESULT OnDpiMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnDpiChanged(int dpi, const RECT& suggested);
    SIZE WindowSizeAt(int dpi) const;  // frame included, for the client area the table gives
    int RowIndex(const form::ControlRow& row) const;

    // The keyboard (form_keyboard.cpp): the host's loop calls no IsDialogMessage, so a form that
    // takes dialog keys has its thread's messages offered to the dialog manager by a hook.
    int TabStops(int (&rows)[form::kMaxControls]) const;
    bool PassFocusOn();
    void MoveFocus(WPARAM wParam, LPARAM lParam);
    bool OnControlKey(HWND control, int row, WPARAM key, LPARAM keyData);
    void TakeDialogKeys();
    static bool DialogKeys(MSG& message);
    // The form of ours that `window` is, or nullptr.
    static FormWindow* FromWindow(HWND window);
    // WM_GETOBJECT for the form (kOnForm) or a link label (accessible_object.cpp); 0: the system's.
    LRESULT AnswerAccessible(int row, WPARAM flags, LPARAM objectId);

    void OnComEnding() override;
    // Entered in the module's running scope (core/entry_points.h).
    static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    const form::FormRow& form_;
    std::span<const form::ControlRow> controls_;
    const wchar_t* noun_;
    Stage stage_ = Stage::Unloaded;
    bool closeAsked_ = false;  // a close that arrived during the load
    bool abandoned_ = false;
    HWND window_ = nullptr;
    int dpi_ = kLayoutDpi;
    std::optional<LentKeep> keep_;  // while the window exists
    HWND controlWindows_[form::kMaxControls] = {};  // by row; nullptr for windowless controls
    int focusRow_ = -1;  // the control that last had the focus, given it again on activation
    UniqueHook dialogKeys_;  // while loaded, for a form that takes dialog keys
    UniqueFont regularFont_;
    UniqueFont underlinedFont_;
    BoundedText<256> failedStep_;
};

}  // namespace quillpost
