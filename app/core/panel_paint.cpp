#include "app/core/panel_paint.hpp"

#include "app/core/window_colours.hpp"

#include <algorithm>
#include <cstdint>

namespace app {

namespace {

constexpr Rgb kPanel = window_colour::panel;
constexpr Rgb kRightSide{30, 35, 33};
constexpr Rgb kAccent{232, 91, 46};
constexpr Rgb kLight = window_colour::warm_text;
constexpr Rgb kTaglineFirstColour{224, 214, 198};
constexpr Rgb kTaglineSecondColour{46, 101, 71};
constexpr Rgb kFieldLabel{216, 218, 209};
constexpr Rgb kSplitter{55, 62, 58};
constexpr Rgb kRule{69, 79, 73};
constexpr Rgb kMarkerOutline{92, 111, 101};
constexpr Rgb kMarkerFill{36, 43, 39};
constexpr Rgb kScrollTrack{48, 55, 51};

constexpr int kLogoBox = 78;
constexpr int kLogoLeft = 18;
constexpr int kLogoTop = 10;
constexpr int kClipTop = 104;

void draw_emblem(PaintList& out) {
    out.polygon(PenSpec{kLight, 1},
                {{55, 16}, {63, 10}, {63, 32}, {59, 42}, {65, 49}, {73, 27}, {79, 44}, {79, 58},
                 {73, 65}, {65, 61}, {57, 61}, {51, 66}, {45, 58}, {45, 47}, {55, 32}},
                kLight);
    out.round_rect(PenSpec{kPanel, 4}, Rect{56, 55, 66, 69}, 9, 9);
}

}  // namespace

Rect logo_rect(int picture_width, int picture_height) {
    double f = 1.0;
    if (picture_width >= 1 && picture_height >= 1)
        f = std::min(static_cast<double>(kLogoBox) / picture_width,
                     static_cast<double>(kLogoBox) / picture_height);
    const int dw = std::max(1, round_px(picture_width * f));
    const int dh = std::max(1, round_px(picture_height * f));
    const int left = kLogoLeft + (kLogoBox - dw) / 2;
    const int top = kLogoTop + (kLogoBox - dh) / 2;
    return Rect{left, top, left + dw, top + dh};
}

PanelScrollBar panel_scroll_bar(int client_height, int scroll_max, int scroll) {
    PanelScrollBar bar;
    if (scroll_max <= 0) return bar;
    const std::int64_t v = std::max(client_height, 121) - 120;
    const std::int64_t thumb = std::max<std::int64_t>(34, v * v / (v + scroll_max));
    const std::int64_t t = (v - thumb) * scroll / scroll_max;
    bar.shown = true;
    bar.track = Rect{510, 112, 514, client_height - 8};
    bar.thumb = Rect{508, static_cast<int>(112 + t), 516, static_cast<int>(112 + t + thumb)};
    return bar;
}

const std::vector<PanelLabel>& panel_labels() {
    static const std::vector<PanelLabel> labels = {
        {197, 18, "Cantidad del DXF seleccionado", false, false},
        {261, 18, "Ancho chapa", false, false},
        {261, 122, "Alto chapa", false, false},
        {315, 18, "Precio/Kg", false, false},
        {315, 122, "Densidad", false, false},
        {315, 226, "Espesor", false, false},
        {393, 18, "Nesting configuration", true, false},
        {425, 18, "Display units", false, false},
        {425, 306, "Space between", false, false},
        {452, 18, "Curve tolerance", false, false},
        {452, 306, "Part rotations", false, false},
        {479, 18, "Optimization type", false, false},
        {479, 306, "Rough approx", false, false},
        {506, 18, "CPU cores", false, false},
        {506, 306, "Iterations", false, false},
        {555, 18, "Import / Export", true, false},
        {583, 18, "SVG scale", false, false},
        {583, 306, "Endpoint tol.", false, false},
        {610, 18, "DXF import", false, false},
        {610, 306, "DXF export mm", false, false},
        {660, 18, "Laser / meta-heuristic", true, false},
        {688, 18, "Merge common", false, false},
        {688, 306, "Opt. ratio", false, false},
        {715, 18, "GA population", false, false},
        {715, 306, "Mutation %", false, false},
        {742, 18, "Shuffle %", false, false},
        {742, 306, "Intensity %", false, false},
        {769, 18, "Solver", false, true},
        {769, 306, "Perf log", false, false},
    };
    return labels;
}

PaintList build_control_panel(const PanelPaintInput& input, const TextWidth& text_width) {
    PaintList out;
    const int w = input.client_width;
    const int h = input.client_height;
    const int c = clamp_parts_list_height(input.parts_list_height, h);
    const int s = input.panel_scroll;

    out.fill_rect(Rect{0, 0, kPanelWidth, h}, kPanel);
    out.fill_rect(Rect{kPanelWidth, 0, w, h}, kRightSide);
    out.fill_rect(Rect{0, 0, 5, h}, kAccent);

    if (input.logo)
        out.picture(PictureKind::logo, logo_rect(input.logo->width, input.logo->height));
    else if (input.has_icon)
        out.picture(PictureKind::icon,
                    Rect{kLogoLeft, kLogoTop, kLogoLeft + kLogoBox, kLogoTop + kLogoBox});
    else
        draw_emblem(out);

    out.text(108, 18, "KELD", FontRole::title, kAccent);
    const int w4 = text_width ? text_width(FontRole::title, "KELD") : 0;
    out.text(110 + w4, 18, "AMIRON", FontRole::title, kLight);

    out.text(108, 58, kTaglineFirst, FontRole::small, kTaglineFirstColour);
    out.text(108, 82, kTaglineSecond, FontRole::small, kTaglineSecondColour);

    out.push_clip(Rect{0, kClipTop, kPanelWidth, h});
    out.text(18, 116 - s, "DXF a procesar", FontRole::small, kLight);

    const int split_top = c + 142 - s;
    out.fill_rect(Rect{18, split_top, 502, c + 150 - s}, kSplitter);
    out.line(PenSpec{kAccent, 1}, 188, split_top + 4, 332, split_top + 4);

    for (const PanelLabel& label : panel_labels()) {
        const int y = c + label.k - s;
        if (label.heading) {
            out.text(label.x, y, label.text, FontRole::ui, kLight);
            out.line(PenSpec{kRule, 1}, 18, y + 23, 502, y + 23);
        } else {
            out.text(label.x, y, label.text, FontRole::small, label.accent ? kAccent : kFieldLabel);
        }
    }

    if (input.help_markers != nullptr) {
        for (const HelpMarker& marker : *input.help_markers) {
            const Rect& r = marker.hot_rect;
            if (!marker.visible || r.left >= r.right) continue;
            out.filled_ellipse(PenSpec{kMarkerOutline, 1}, r, kMarkerFill);
            out.centred_text(Rect{r.left, r.top - 1, r.right, r.bottom - 1}, "i", FontRole::small,
                             kLight);
        }
    }

    const PanelScrollBar bar = panel_scroll_bar(h, input.panel_scroll_max, s);
    if (bar.shown) {
        out.fill_rect(bar.track, kScrollTrack);
        out.fill_rect(bar.thumb, kAccent);
    }
    out.pop_clip();
    return out;
}

}  // namespace app
