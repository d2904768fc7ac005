#pragma once

// The double-buffered WM_PAINT of the main window and the two side windows,
// and the off-screen bitmap it draws into, which the canvas also keeps.

#include <windows.h>

namespace app {

// A memory DC with a bitmap compatible with `target` selected into it;
// ready() tells whether both were made.
class BackBuffer {
public:
    BackBuffer(HDC target, int width, int height) : memory_(CreateCompatibleDC(target)) {
        if (memory_ != nullptr) bitmap_ = CreateCompatibleBitmap(target, width, height);
        if (bitmap_ != nullptr) old_ = SelectObject(memory_, bitmap_);
    }
    ~BackBuffer() { release(); }
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;

    bool ready() const { return memory_ != nullptr && bitmap_ != nullptr; }
    HDC dc() const { return memory_; }

    void release() {
        if (old_ != nullptr) SelectObject(memory_, old_);
        if (bitmap_ != nullptr) DeleteObject(bitmap_);
        if (memory_ != nullptr) DeleteDC(memory_);
        old_ = nullptr;
        bitmap_ = nullptr;
        memory_ = nullptr;
    }

private:
    HDC memory_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

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
