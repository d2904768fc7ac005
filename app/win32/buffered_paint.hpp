#pragma once

// The double-buffered WM_PAINT of the main window and the two side windows.

#include <windows.h>

namespace app {

// Paints through `paint` into an off-screen bitmap of the client size,
// copied in one transfer, or straight into the window when no bitmap can be
// made. The paint cycle is closed and its objects freed even when `paint`
// throws; the failure is passed on to the caller.
void paint_double_buffered(HWND window, void (*paint)(HWND, HDC));

// `Paint` with any failure swallowed: what was drawn so far stays, and is
// still copied to the window.
template <void (*Paint)(HWND, HDC)>
void paint_ignoring_failure(HWND window, HDC dc) noexcept {
    try {
        Paint(window, dc);
    } catch (...) {
    }
}

}  // namespace app
