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
