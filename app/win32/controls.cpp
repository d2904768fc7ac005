#include "app/win32/controls.hpp"

#include "app/core/control_ids.hpp"
#include "app/core/control_table.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/help_markers.hpp"
#include "app/core/layout.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/file_dialogs.hpp"

#include <commctrl.h>

namespace app {

namespace {

HWND create_child(HWND parent, DWORD ex_style, const char* window_class, const std::string& text,
                  DWORD style, int id) {
    const HMENU menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
    // Edits are made wide: one made with the ANSI call keeps its text in the
    // ANSI code page, which cannot hold every path or typed character.
    if (std::string(window_class) == "EDIT")
        return CreateWindowExW(ex_style, L"EDIT", utf8_to_utf16(text).c_str(), style, 0, 0, 0, 0, parent,
                               menu, instance, nullptr);
    return CreateWindowExA(ex_style, window_class, text.c_str(), style, 0, 0, 0, 0, parent, menu, instance,
                           nullptr);
}

HWND create_control(HWND parent, const ControlSpec& desc) {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    switch (desc.kind) {
        case ControlKind::parts_list: {
            HWND list = create_child(parent, WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                     child | WS_VSCROLL | WS_TABSTOP | LVS_REPORT |
                                         LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER,
                                     desc.id);
            if (list != nullptr) {
                SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                             LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
                LVCOLUMNA column{};
                column.mask = LVCF_WIDTH;
                column.cx = 2000;
                SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
            }
            return list;
        }
        case ControlKind::push:
            return create_child(parent, 0, "BUTTON", desc.text, child | BS_OWNERDRAW, desc.id);
        case ControlKind::edit:
            return create_child(parent, WS_EX_CLIENTEDGE, "EDIT", desc.text, child | ES_AUTOHSCROLL,
                                desc.id);
        case ControlKind::radio:
            return create_child(parent, 0, "BUTTON", desc.text, child | BS_AUTORADIOBUTTON,
                                desc.id);
        case ControlKind::check:
            return create_child(parent, 0, "BUTTON", desc.text, child | BS_AUTOCHECKBOX, desc.id);
        case ControlKind::combo:
            return create_combo_box(parent, desc.id, desc.items);
        case ControlKind::log: {
            HWND log = create_child(parent, WS_EX_CLIENTEDGE, "EDIT", "",
                                    child | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                        ES_READONLY,
                                    desc.id);
            // The default limit (about 32K characters) would make later
            // appends vanish without a trace; the log is cleared only when a
            // run starts.
            if (log != nullptr) SendMessageA(log, EM_SETLIMITTEXT, 0, 0);
            return log;
        }
        case ControlKind::solutions_list:
            return create_child(parent, WS_EX_CLIENTEDGE, "LISTBOX", "",
                                child | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY, desc.id);
    }
    return nullptr;
}

void create_tooltips(HWND main_window) {
    AppWindows& w = app_windows();
    w.tooltip_window = CreateWindowExA(
        WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main_window, nullptr,
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(main_window, GWLP_HINSTANCE)), nullptr);
    if (w.tooltip_window == nullptr) return;
    SendMessageA(w.tooltip_window, TTM_SETMAXTIPWIDTH, 0, 360);
    SendMessageA(w.tooltip_window, TTM_SETDELAYTIME, TTDT_INITIAL, 250);
    SendMessageA(w.tooltip_window, TTM_SETDELAYTIME, TTDT_AUTOPOP, 12000);
    for (HelpMarker& marker : gui_state().help_markers) {
        TOOLINFOA tool{};
        tool.cbSize = sizeof(TOOLINFOA);
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = main_window;
        tool.uId = static_cast<UINT_PTR>(marker.control_id);
        tool.rect = RECT{marker.hot_rect.left, marker.hot_rect.top, marker.hot_rect.right,
                         marker.hot_rect.bottom};
        // The tooltip control keeps its own copy of the text.
        tool.lpszText = marker.tooltip_text.data();
        SendMessageA(w.tooltip_window, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

static_assert(sizeof(TOOLINFOA) == 72, "the tooltip structure of 64-bit Windows");

int client_height(HWND window) {
    RECT rc{};
    GetClientRect(window, &rc);
    return rc.bottom - rc.top;
}

WNDPROC g_combo_proc = nullptr;

// A closed drop-down list would take a wheel notch as a change of its
// setting; the notch goes to the main window, which scrolls the panel. An
// open list keeps the wheel.
LRESULT CALLBACK combo_wheel_proc(HWND combo, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MOUSEWHEEL && SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) == FALSE)
        return SendMessageA(GetParent(combo), WM_MOUSEWHEEL, wparam, lparam);
    return CallWindowProcA(g_combo_proc, combo, message, wparam, lparam);
}

}  // namespace

HWND create_combo_box(HWND parent, int id, const std::vector<std::string>& items) {
    HWND combo = CreateWindowExA(
        0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, 0, 10, 140, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    if (combo == nullptr) return nullptr;
    const auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(combo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&combo_wheel_proc)));
    if (g_combo_proc == nullptr) g_combo_proc = previous;
    SendMessageA(combo, WM_SETFONT, reinterpret_cast<WPARAM>(app_windows().ui_font), TRUE);
    for (const std::string& item : items)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    return combo;
}

int CALLBACK font_found_proc(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM lparam) {
    *reinterpret_cast<int*>(lparam) = 1;
    return 0;
}

void create_controls(HWND main_window) {
    AppWindows& w = app_windows();
    w.controls.fill(nullptr);
    for (const ControlSpec& desc : control_specs()) {
        HWND control = create_control(main_window, desc);
        w.controls[static_cast<std::size_t>(desc.id - kFirstControlId)] = control;
        if (control == nullptr) continue;
        if (desc.kind != ControlKind::combo) {
            HFONT font = desc.id == IDC_SOLUTIONS_LIST ? w.small_font : w.ui_font;
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        }
        if (desc.checked) SendMessageA(control, BM_SETCHECK, BST_CHECKED, 0);
        if (desc.disabled) EnableWindow(control, FALSE);
    }

    std::vector<HelpMarker>& markers = gui_state().help_markers;
    markers.clear();
    for (const HelpMarkerSpec& desc : help_marker_specs())
        add_help_marker(markers, desc.control_id, desc.what, desc.advice, desc.default_text);
    create_tooltips(main_window);
    layout_controls(main_window);
}

void layout_controls(HWND main_window) {
    RECT rc{};
    GetClientRect(main_window, &rc);
    PanelState& panel = gui_state().panel;
    const PanelLayout layout = compute_layout(rc.right - rc.left, rc.bottom - rc.top,
                                              panel.parts_list_height, panel.panel_scroll);
    panel.parts_list_height = layout.parts_list_height;
    panel.panel_scroll_max = layout.panel_scroll_max;
    panel.panel_scroll = layout.panel_scroll;

    for (const ControlPlacement& c : layout.controls) {
        HWND control = control_handle(c.id);
        if (control == nullptr) continue;
        if (c.moves)
            MoveWindow(control, c.rect.left, c.rect.top, c.rect.width(), c.rect.height(), TRUE);
        if (c.visibility == Visibility::show) ShowWindow(control, SW_SHOW);
        if (c.visibility == Visibility::hide) ShowWindow(control, SW_HIDE);
    }

    std::vector<HelpMarker>& markers = gui_state().help_markers;
    layout_help_markers(markers, panel.parts_list_height, panel.panel_scroll);
    HWND tooltips = app_windows().tooltip_window;
    if (tooltips == nullptr) return;
    for (const HelpMarkerSpec& desc : help_marker_specs()) {
        for (const HelpMarker& marker : markers) {
            if (marker.control_id != desc.control_id) continue;
            TOOLINFOA tool{};
            tool.cbSize = sizeof(TOOLINFOA);
            tool.hwnd = main_window;
            tool.uId = static_cast<UINT_PTR>(marker.control_id);
            tool.rect = RECT{marker.hot_rect.left, marker.hot_rect.top, marker.hot_rect.right,
                             marker.hot_rect.bottom};
            SendMessageA(tooltips, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
            break;
        }
    }
}

void append_log(const std::string& text) {
    HWND log = control_handle(IDC_LOG);
    if (log == nullptr) return;
    // The program holds its texts (paths above all) as UTF-8; the wide
    // calls show them as picked or typed whatever the ANSI code page.
    const std::wstring wide = utf8_to_utf16(text);
    const int end = GetWindowTextLengthW(log);
    SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
}

bool update_splitter_cursor(HWND main_window) {
    const PanelState& panel = gui_state().panel;
    bool over = panel.splitter_dragging;
    if (!over) {
        POINT p{};
        if (!GetCursorPos(&p) || !ScreenToClient(main_window, &p)) return false;
        over = in_splitter_band(p.x, p.y, panel.parts_list_height, panel.panel_scroll);
    }
    if (over) SetCursor(LoadCursor(nullptr, IDC_SIZENS));
    return over;
}

void invalidate_with_controls(HWND main_window) {
    // The erase is for the controls, some of which paint their background
    // there; the main window itself erases nothing.
    RedrawWindow(main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool scroll_settings_panel(HWND main_window, int delta) {
    if (!gui_state().panel.scroll_by(delta, client_height(main_window))) return false;
    layout_controls(main_window);
    invalidate_with_controls(main_window);
    return true;
}

bool splitter_button_down(HWND main_window, int x, int y) {
    if (!gui_state().panel.grab_splitter(x, y)) return false;
    SetCapture(main_window);
    SetCursor(LoadCursor(nullptr, IDC_SIZENS));
    return true;
}

bool splitter_mouse_move(HWND main_window, int y) {
    PanelState& panel = gui_state().panel;
    if (!panel.splitter_dragging) return false;
    if (panel.drag_splitter_to(y, client_height(main_window))) {
        layout_controls(main_window);
        invalidate_with_controls(main_window);
    } else {
        InvalidateRect(main_window, nullptr, FALSE);
    }
    SetCursor(LoadCursor(nullptr, IDC_SIZENS));
    return true;
}

bool splitter_button_up(HWND main_window) {
    // Ends the drag and clamps the height once more.
    if (!gui_state().panel.release_splitter(client_height(main_window))) return false;
    ReleaseCapture();
    layout_controls(main_window);
    invalidate_with_controls(main_window);
    return true;
}

void splitter_capture_lost() { gui_state().panel.abort_splitter(); }

void clamp_parts_list_height_to(int height) {
    PanelState& panel = gui_state().panel;
    panel.parts_list_height = clamp_parts_list_height(panel.parts_list_height, height);
}

}  // namespace app
