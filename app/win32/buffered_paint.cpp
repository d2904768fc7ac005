#include "app/win32/buffered_paint.hpp"

#include <algorithm>

namespace app {

namespace {

// BeginPaint and its EndPaint.
class PaintCycle {
public:
    explicit PaintCycle(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
    ~PaintCycle() {
        if (dc_ != nullptr) EndPaint(window_, &ps_);
    }
    PaintCycle(const PaintCycle&) = delete;
    PaintCycle& operator=(const PaintCycle&) = delete;
    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// A memory DC with a bitmap selected into it.
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

}  // namespace

void paint_double_buffered(HWND window, void (*paint)(HWND, HDC)) {
    PaintCycle cycle(window);
    HDC dc = cycle.dc();
    if (dc == nullptr) return;
    RECT rc{};
    GetClientRect(window, &rc);
    const int width = std::max<int>(1, rc.right - rc.left);
    const int height = std::max<int>(1, rc.bottom - rc.top);
    BackBuffer buffer(dc, width, height);
    if (buffer.ready()) {
        paint(window, buffer.dc());
        BitBlt(dc, 0, 0, width, height, buffer.dc(), 0, 0, SRCCOPY);
    } else {
        buffer.release();
        paint(window, dc);
    }
}

}  // namespace app
