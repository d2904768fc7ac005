#pragma once

// A top-down 32-bpp DIB section selected into a memory DC: something to
// paint into off screen, pixel by pixel readable. Shared by the pixel tests
// and the canvas benchmark.

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "app/core/button_look.hpp"

namespace gdi_test {

class DibSection {
public:
    DibSection(int width, int height) : width_(width) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
    }
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;
    ~DibSection() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }

    HDC dc() const { return dc_; }
    bool ok() const { return dc_ != nullptr && bitmap_ != nullptr && bits_ != nullptr; }

    app::Rgb at(int x, int y) const {
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits_);
        const std::uint32_t v = p[static_cast<std::size_t>(y) * width_ + x];
        return app::Rgb{static_cast<std::uint8_t>((v >> 16) & 0xff), static_cast<std::uint8_t>((v >> 8) & 0xff),
                        static_cast<std::uint8_t>(v & 0xff)};
    }

private:
    int width_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};

}  // namespace gdi_test
