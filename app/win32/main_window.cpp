#include "app/win32/main_window.hpp"

#include "app/core/button_look.hpp"
#include "app/core/control_ids.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/layout.hpp"
#include "app/core/window_colours.hpp"
#include "app/core/workers.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/buffered_paint.hpp"
#include "app/win32/controls.hpp"
#include "app/win32/file_dialogs.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/gdi_colour.hpp"
#include "gpu/gpu_accelerator.hpp"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <windowsx.h>
// GDI+ wants the Windows headers first.
#include <gdiplus.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace app {

namespace {

namespace fs = std::filesystem;

// The feedback button is hidden; this is where it would write to.
constexpr const char* kFeedbackAddress = "feedback@keldamiron.example";

GpuReleaseGate& gpu_release_gate() {
    static GpuReleaseGate* const gate = new GpuReleaseGate(
        worker_tracker(), [] { plv::GpuAccelerator::instance().release(); });
    return *gate;
}

fs::path module_folder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return fs::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool path_exists(const fs::path& p) {
    std::error_code ec;
    return fs::exists(p, ec);
}

// The logo picture: the working folder first, then beside the program.
std::vector<fs::path> logo_candidates() {
    std::vector<fs::path> paths = {fs::path(L"logo_vesmor.png"), fs::path(L"logo.png"),
                                   fs::path(L"assets\\logo.png")};
    const fs::path here = module_folder();
    if (!here.empty()) {
        paths.push_back(here / L"logo.png");
        paths.push_back(here / L"assets" / L"logo.png");
    }
    return paths;
}

std::vector<fs::path> icon_candidates() {
    std::vector<fs::path> paths;
    const fs::path here = module_folder();
    if (!here.empty()) {
        paths.push_back(here / L"keldamiron.ico");
        paths.push_back(here / L"assets" / L"keldamiron.ico");
    }
    return paths;
}

void load_icon(HWND window, HINSTANCE instance) {
    AppWindows& w = app_windows();
    HANDLE big = LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 64, 64, 0);
    HANDLE small_icon = LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, 0);
    if (big != nullptr) {
        w.app_icon = static_cast<HICON>(big);
        SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        SendMessageA(window, WM_SETICON, ICON_SMALL,
                     reinterpret_cast<LPARAM>(small_icon != nullptr ? small_icon : big));
    }
}

void load_icon_fallback(HWND window) {
    AppWindows& w = app_windows();
    if (w.app_icon != nullptr) return;
    for (const fs::path& p : icon_candidates()) {
        if (!path_exists(p)) continue;
        HANDLE icon = LoadImageW(nullptr, p.c_str(), IMAGE_ICON, 64, 64, LR_LOADFROMFILE);
        if (icon == nullptr) continue;
        w.app_icon = static_cast<HICON>(icon);
        SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        return;
    }
}

void load_logo() {
    AppWindows& w = app_windows();
    for (const fs::path& p : logo_candidates()) {
        if (w.gdiplus_token == 0) {
            Gdiplus::GdiplusStartupInput input;
            ULONG_PTR token = 0;
            if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) continue;
            w.gdiplus_token = token;
        }
        if (!path_exists(p)) continue;
        auto* bitmap = new Gdiplus::Bitmap(p.c_str(), FALSE);
        if (bitmap->GetLastStatus() == Gdiplus::Ok) {
            w.logo_bitmap = bitmap;
            return;
        }
        delete bitmap;
    }
}

std::string interface_face() {
    HDC dc = GetDC(nullptr);
    if (dc == nullptr) return "Segoe UI";
    LOGFONTA query{};
    query.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(query.lfFaceName, "DM Sans", 32);
    int found = 0;
    EnumFontFamiliesExA(dc, &query, font_found_proc, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found != 0 ? "DM Sans" : "Segoe UI";
}

HFONT make_font(int height, int weight, const std::string& face) {
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

LRESULT on_create(HWND window) {
    AppWindows& w = app_windows();
    w.main_window = window;
    // The double-buffered paint copies the whole client area; without this
    // it paints over the controls, which then flicker back one by one.
    SetWindowLongPtrA(window, GWL_STYLE, GetWindowLongPtrA(window, GWL_STYLE) | WS_CLIPCHILDREN);
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    load_icon(window, instance);
    load_logo();
    load_icon_fallback(window);

    const std::string face = interface_face();
    w.title_font = make_font(28, 600, face);
    w.ui_font = make_font(15, 400, face);
    w.small_font = make_font(13, 400, face);
    w.drawing_font = make_font(16, 400, "ISOCPEUR");
    w.panel_brush = CreateSolidBrush(colorref(window_colour::panel));
    w.edit_brush = CreateSolidBrush(colorref(window_colour::edit));
    w.list_brush = CreateSolidBrush(colorref(window_colour::list));

    create_controls(window);
    return 0;
}

void delete_font(HFONT& font) {
    if (font != nullptr) DeleteObject(font);
    font = nullptr;
}

void delete_brush(HBRUSH& brush) {
    if (brush != nullptr) DeleteObject(brush);
    brush = nullptr;
}

void on_destroy() {
    AppWindows& w = app_windows();
    // A running search ends after its current iteration.
    gui_state().stop_requested.store(true);
    // Not while a run may be evaluating on it: then the release waits for
    // the end of the message loop (see run_application).
    gpu_release_gate().request();
    delete_font(w.title_font);
    delete_font(w.ui_font);
    delete_font(w.small_font);
    delete_font(w.drawing_font);
    delete w.logo_bitmap;
    w.logo_bitmap = nullptr;
    if (w.app_icon != nullptr) {
        DestroyIcon(w.app_icon);
        w.app_icon = nullptr;
    }
    if (w.gdiplus_token != 0) {
        Gdiplus::GdiplusShutdown(w.gdiplus_token);
        w.gdiplus_token = 0;
    }
    delete_brush(w.panel_brush);
    delete_brush(w.edit_brush);
    delete_brush(w.list_brush);
    w.tooltip_window = nullptr;
    w.main_window = nullptr;
    PostQuitMessage(0);
}

void paint_client(HWND window, HDC dc) {
    // The panel colour under everything, so that whatever the painter
    // leaves out is not the black of a fresh bitmap.
    RECT rc{};
    GetClientRect(window, &rc);
    RECT all{0, 0, std::max<int>(1, rc.right - rc.left), std::max<int>(1, rc.bottom - rc.top)};
    HBRUSH base = app_windows().panel_brush;
    if (base != nullptr) FillRect(dc, &all, base);
    if (frame_hooks().paint_control_panel != nullptr) frame_hooks().paint_control_panel(window, dc);
}

void draw_button(const DRAWITEMSTRUCT& item) {
    char caption[128] = {};
    GetWindowTextA(item.hwndItem, caption, static_cast<int>(sizeof(caption)));
    const FrameHooks& hooks = frame_hooks();
    const int tool = hooks.current_editor_tool != nullptr ? hooks.current_editor_tool() : 0;
    const bool grid = hooks.grid_visible != nullptr ? hooks.grid_visible() : true;
    ButtonState state;
    state.disabled = (item.itemState & ODS_DISABLED) != 0;
    state.pressed = (item.itemState & ODS_SELECTED) != 0;
    state.focused = (item.itemState & ODS_FOCUS) != 0;
    const ButtonLook look = button_look(static_cast<int>(item.CtlID), tool, grid, state);

    HDC dc = item.hDC;
    HBRUSH brush = CreateSolidBrush(colorref(look.fill));
    HPEN pen = CreatePen(PS_SOLID, look.pen_width, colorref(look.border));
    HGDIOBJ old_brush = SelectObject(dc, brush);
    HGDIOBJ old_pen = SelectObject(dc, pen);
    const RECT& r = item.rcItem;
    RoundRect(dc, r.left, r.top, r.right, r.bottom, 6, 6);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    DeleteObject(pen);
    DeleteObject(brush);

    HFONT font = app_windows().small_font;
    HGDIOBJ old_font =
        SelectObject(dc, font != nullptr ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colorref(look.text));
    RECT text_rect = r;
    OffsetRect(&text_rect, look.text_offset, look.text_offset);
    DrawTextA(dc, caption, -1, &text_rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    SelectObject(dc, old_font);
}

void run_guarded(HWND window, WindowAction action, const char* caption) {
    if (action == nullptr) return;
    try {
        action(window);
    } catch (const std::exception& e) {
        message_box_utf8(window, e.what(), caption, MB_ICONERROR);
    }
}

void call(WindowAction action, HWND window) {
    if (action != nullptr) action(window);
}

void set_tool(HWND window, int tool) {
    if (frame_hooks().set_editor_tool != nullptr) frame_hooks().set_editor_tool(window, tool);
}

void on_command(HWND window, WPARAM wparam) {
    const FrameHooks& hooks = frame_hooks();
    const int id = LOWORD(wparam);
    if (id == IDC_SOLUTIONS_LIST) {
        if (HIWORD(wparam) == LBN_SELCHANGE) call(hooks.show_saved_solution, window);
        return;
    }
    const int tool = editor_tool_of_button(id);
    if (tool >= 0 && tool <= 8) {
        set_tool(window, tool);
        return;
    }
    switch (id) {
        case IDC_ADD_FOLDER: run_guarded(window, hooks.add_dxf_folder, "No se pudo agregar carpeta"); break;
        case IDC_ADD_DXF: call(hooks.add_dxf_files, window); break;
        case IDC_IMPORT_CSV: call(hooks.import_quantities_csv, window); break;
        case IDC_REMOVE_SELECTED: call(hooks.remove_selected_files, window); break;
        case IDC_APPLY_QUANTITY: call(hooks.apply_quantity, window); break;
        case IDC_CHOOSE_OUTPUT: {
            if (hooks.choose_dxf_save_path == nullptr) break;
            HWND output = control_handle(IDC_OUTPUT_PATH);
            // Wide both ways: the hook speaks UTF-8 and the path may not fit the ANSI code page.
            const std::string chosen = hooks.choose_dxf_save_path(window, control_text_utf8(output));
            if (!chosen.empty() && output != nullptr) set_control_text_utf8(output, chosen);
            break;
        }
        case IDC_RUN:
            if (gui_state().running.load())
                call(hooks.request_stop, window);
            else
                run_guarded(window, hooks.run_nesting, "Configuracion invalida");
            break;
        case IDC_PAUSE:
            if (gui_state().running.load()) call(hooks.toggle_pause, window);
            break;
        case IDC_SAVE: run_guarded(window, hooks.save_result_dxf, "No se pudo guardar DXF"); break;
        case IDC_FEEDBACK: {
            const std::string link =
                std::string("mailto:") + kFeedbackAddress + "?subject=Feedback%20Plavorin";
            ShellExecuteA(window, "open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            break;
        }
        case IDC_FIT_VIEW: call(hooks.fit_view, window); break;
        case IDC_TOOL_ERASE:
            if (hooks.delete_selected_entity == nullptr || !hooks.delete_selected_entity(window))
                set_tool(window, 9);
            break;
        case IDC_CLEAR_DRAWING: call(hooks.clear_drawing, window); break;
        case IDC_GRID: call(hooks.toggle_grid, window); break;
        case IDC_UNDO: call(hooks.undo_last_edit, window); break;
        default: break;  // edits, combo boxes, check boxes, radio buttons, the log
    }
}

bool step(PointerStep s, HWND window, const PointerEvent& pointer) {
    return s != nullptr && s(window, pointer);
}

// Mouse messages carry the cursor in client pixels, the wheel's in screen
// pixels.
PointerEvent pointer_event(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    PointerEvent pointer{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), 0};
    if (message == WM_MOUSEWHEEL) {
        POINT p{pointer.x, pointer.y};
        ScreenToClient(window, &p);
        pointer = PointerEvent{p.x, p.y, GET_WHEEL_DELTA_WPARAM(wparam)};
    }
    return pointer;
}

LRESULT route(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const FrameHooks& hooks = frame_hooks();
    auto fallback = [&] { return DefWindowProcA(window, message, wparam, lparam); };
    const bool mouse = message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
    const PointerEvent pointer =
        mouse ? pointer_event(window, message, wparam, lparam) : PointerEvent{};
    switch (message) {
        case WM_CREATE: return on_create(window);
        case WM_DESTROY: on_destroy(); return 0;
        case WM_SIZE:
            clamp_parts_list_height_to(HIWORD(lparam));
            layout_controls(window);
            invalidate_with_controls(window);
            return 0;
        case WM_PAINT: paint_double_buffered(window, paint_client); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
            info->ptMinTrackSize.x = kMinTrackWidth;
            info->ptMinTrackSize.y = kMinTrackHeight;
            return 0;
        }
        case WM_SETCURSOR:
            if (LOWORD(lparam) == HTCLIENT) {
                if (update_splitter_cursor(window)) return TRUE;
                if (hooks.update_canvas_cursor != nullptr && hooks.update_canvas_cursor(window))
                    return TRUE;
            }
            return fallback();
        case WM_CTLCOLOREDIT: {
            HDC dc = reinterpret_cast<HDC>(wparam);
            SetBkColor(dc, colorref(window_colour::edit));
            SetTextColor(dc, colorref(window_colour::warm_text));
            return reinterpret_cast<LRESULT>(app_windows().edit_brush);
        }
        case WM_CTLCOLORLISTBOX: {
            HDC dc = reinterpret_cast<HDC>(wparam);
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, colorref(window_colour::list));
            SetTextColor(dc, colorref(window_colour::list_text));
            return reinterpret_cast<LRESULT>(app_windows().list_brush);
        }
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wparam);
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, colorref(window_colour::panel));
            SetTextColor(dc, colorref(window_colour::warm_text));
            return reinterpret_cast<LRESULT>(app_windows().panel_brush);
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
            if (item == nullptr || item->CtlType != ODT_BUTTON) return fallback();
            draw_button(*item);
            return TRUE;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header == nullptr || header->idFrom != static_cast<UINT_PTR>(IDC_PARTS_LIST))
                return fallback();
            if (header->code == LVN_KEYDOWN) {
                const auto* key = reinterpret_cast<const NMLVKEYDOWN*>(lparam);
                if (key->wVKey == VK_DELETE || key->wVKey == VK_BACK) {
                    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_REMOVE_SELECTED, 0),
                                 reinterpret_cast<LPARAM>(header->hwndFrom));
                    return 0;
                }
            } else if (header->code == LVN_ITEMCHANGED && hooks.parts_list_item_changed != nullptr) {
                hooks.parts_list_item_changed(window, reinterpret_cast<const NMLISTVIEW*>(lparam));
            }
            return fallback();
        }
        case WM_KEYDOWN:
            if ((wparam == VK_DELETE || wparam == VK_BACK) && hooks.delete_selected_entity != nullptr &&
                hooks.delete_selected_entity(window))
                return 0;
            if (wparam == 0x5A && GetKeyState(VK_CONTROL) < 0) {
                call(hooks.undo_last_edit, window);
                return 0;
            }
            if (hooks.handle_editor_key != nullptr &&
                hooks.handle_editor_key(window, static_cast<int>(wparam)))
                return 0;
            return fallback();
        case WM_COMMAND: on_command(window, wparam); return 0;
        case WM_LBUTTONDOWN:
            if (splitter_button_down(window, pointer.x, pointer.y)) return 0;
            if (step(hooks.pick_dimension_click, window, pointer)) return 0;
            if (step(hooks.editor_left_button_down, window, pointer)) return 0;
            return fallback();
        case WM_LBUTTONUP:
            if (splitter_button_up(window)) return 0;
            if (step(hooks.editor_left_button_up, window, pointer)) return 0;
            return fallback();
        case WM_LBUTTONDBLCLK:
            if (step(hooks.pick_dimension_double_click, window, pointer)) return 0;
            if (step(hooks.edit_text_entity_at, window, pointer)) return 0;
            if (step(hooks.finish_polyline_double_click, window, pointer)) return 0;
            if (step(hooks.reset_view_from_canvas, window, pointer)) return 0;
            return fallback();
        case WM_RBUTTONDOWN:
            if (step(hooks.editor_right_button_down, window, pointer)) return 0;
            return fallback();
        case WM_MBUTTONDOWN:
            if (step(hooks.editor_middle_button_down, window, pointer)) return 0;
            return fallback();
        case WM_MBUTTONUP:
            if (step(hooks.editor_left_button_up, window, pointer)) return 0;
            return fallback();
        case WM_MBUTTONDBLCLK:
            step(hooks.editor_middle_double_click, window, pointer);
            return 0;
        case WM_MOUSEMOVE:
            if (splitter_mouse_move(window, pointer.y)) return 0;
            if (step(hooks.editor_mouse_drag, window, pointer)) return 0;
            step(hooks.editor_hover, window, pointer);
            return fallback();
        case WM_MOUSEWHEEL:
            if (wheel_over_panel(pointer.x, pointer.y) &&
                scroll_settings_panel(window, wheel_scroll_delta(pointer.wheel_delta)))
                return 0;
            if (step(hooks.zoom_canvas_at_cursor, window, pointer)) return 0;
            return fallback();
        case WM_CAPTURECHANGED:
            splitter_capture_lost();
            call(hooks.editor_capture_lost, window);
            return 0;
        case WM_RUN_PROGRESS: call(hooks.on_run_progress, window); return 0;
        case WM_RUN_FINISHED: call(hooks.on_run_finished, window); return 0;
        case WM_PREVIEW_READY: call(hooks.on_preview_ready, window); return 0;
        default: return fallback();
    }
}

// Until the side windows' own procedures are plugged in: a plain window
// that forgets its handle when it goes.
LRESULT CALLBACK side_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) {
        forget_side_window(window);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

bool register_class(HINSTANCE instance, const char* name, WNDPROC proc, HICON icon) {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND create_side_window(HINSTANCE instance, const char* window_class, const char* title,
                        DWORD style, int width, int height, int show_command) {
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, window_class, title, style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, width, height, nullptr, nullptr, instance, nullptr);
    if (window != nullptr) {
        ShowWindow(window, show_command);
        UpdateWindow(window);
    }
    return window;
}

// Lets messages that other threads send to this thread's remaining windows
// through while it waits for the workers.
void service_sent_messages() {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_SENDMESSAGE);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

bool register_window_classes(HINSTANCE instance) {
    const FrameHooks& hooks = frame_hooks();
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    bool ok = register_class(instance, kMainWindowClass, main_window_proc, icon);
    ok = register_class(instance, kGraphWindowClass,
                        hooks.graph_window_proc != nullptr ? hooks.graph_window_proc : side_window_proc,
                        nullptr) && ok;
    ok = register_class(instance, kTreeWindowClass,
                        hooks.tree_window_proc != nullptr ? hooks.tree_window_proc : side_window_proc,
                        nullptr) && ok;
    return ok;
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // Nothing may unwind through the system's code that called us.
    try {
        return route(window, message, wparam, lparam);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "main window: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "main window: unknown failure\n");
    }
    return message == WM_CREATE ? -1 : 0;
}

int run_application(HINSTANCE instance, int show_command) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    install_part_handlers(frame_hooks());
    register_window_classes(instance);

    RECT area{0, 0, 1366, 768};
    std::optional<Rect> work_area;
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0))
        work_area = Rect{area.left, area.top, area.right, area.bottom};
    const WindowPlacement place = main_window_placement(work_area);

    HWND main = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW,
                                place.x, place.y, place.width, place.height, nullptr, nullptr,
                                instance, nullptr);
    if (main == nullptr) {
        CoUninitialize();
        return 1;
    }
    AppWindows& w = app_windows();
    w.graph_window = create_side_window(instance, kGraphWindowClass, kGraphWindowTitle,
                                        WS_OVERLAPPEDWINDOW, 600, 400, show_command);
    w.tree_window = create_side_window(instance, kTreeWindowClass, kTreeWindowTitle,
                                       WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL, 600, 800,
                                       show_command);
    ShowWindow(main, show_command);
    UpdateWindow(main);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    // Detached workers were told to stop when the window went; give them a
    // bounded time to end, then release the GPU if a run held it back.
    const bool workers_done =
        finish_workers(worker_tracker(), gpu_release_gate(),
                       std::chrono::milliseconds(kWorkerWaitMilliseconds),
                       std::chrono::milliseconds(20), service_sent_messages);
    CoUninitialize();
    if (!workers_done) {
        // A worker still runs and may touch process-wide objects: leave
        // without destroying any of them.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}

}  // namespace app
