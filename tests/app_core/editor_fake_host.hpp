#pragma once

// A scripted window for the editor's input rules: a fixed client size, an
// optional shown layout, and queued answers for the two input windows.
//
// The layout's sheet (660 x 600) gives a fit scale of exactly 1 on the
// 752 x 814 canvas; at zoom 2 and pan (0, -1000) a world point (x, y) lies
// at client (590 + 2x, 334 - 2y), exactly, for every test below.

#include "app/core/editor_host.hpp"
#include "app/core/editor_model.hpp"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace editor_test {

struct ScriptedText {
    app::WindowAnswer answer = app::WindowAnswer::confirmed;
    app::TextWindowFields fields;
};

class FakeHost : public app::EditorHost {
public:
    FakeHost() {
        layout.sheet = {660, 600};
        plv::Placement p;
        p.part_name = "far";
        // Far from where the tests click, so nothing snaps to it.
        p.shape.outer = {{640, 580}, {650, 580}, {650, 590}, {640, 590}, {640, 580}};
        layout.placements.push_back(p);
    }

    std::shared_ptr<const app::CanvasLayout> display_layout() override {
        ++gate_calls;
        if (!has_layout) return nullptr;
        return app::finish_canvas_layout(app::copy_canvas_layout(layout));
    }
    app::Rect client_rect() override { return client; }
    void focus_main() override { ++focus_calls; }
    void capture_mouse() override { captured = true; }
    void release_mouse() override { captured = false; }
    void set_cursor(app::CursorShape shape) override { cursor = shape; }
    void invalidate_canvas() override { ++canvas_repaints; }
    void invalidate_window() override { ++window_repaints; }
    bool ctrl_or_alt_down() override { return ctrl_or_alt; }
    void set_grid_caption(bool on) override { grid_caption = on ? "Grilla ON" : "Grilla OFF"; }

    app::WindowAnswer ask_dimension_value(const std::string& initial, std::string& answer) override {
        value_windows.push_back(initial);
        if (dimension_answers.empty()) return app::WindowAnswer::cancelled;
        const std::optional<std::string> next = dimension_answers.front();
        dimension_answers.pop_front();
        if (!next) return app::WindowAnswer::cancelled;
        answer = *next;
        return app::WindowAnswer::confirmed;
    }

    app::WindowAnswer ask_text_fields(app::TextWindowFields& fields) override {
        text_windows.push_back(fields);
        if (text_answers.empty()) return app::WindowAnswer::cancelled;
        const ScriptedText next = text_answers.front();
        text_answers.pop_front();
        if (next.answer == app::WindowAnswer::confirmed) fields = next.fields;
        return next.answer;
    }

    plv::NestingResult layout;
    bool has_layout = true;
    app::Rect client{0, 0, 1320, 1010};
    bool ctrl_or_alt = false;
    bool captured = false;
    std::optional<app::CursorShape> cursor;
    std::string grid_caption;
    int gate_calls = 0;
    int focus_calls = 0;
    int canvas_repaints = 0;
    int window_repaints = 0;
    std::deque<std::optional<std::string>> dimension_answers;  // nullopt: cancel
    std::vector<std::string> value_windows;                     // initial texts shown
    std::deque<ScriptedText> text_answers;
    std::vector<app::TextWindowFields> text_windows;  // fields shown
};

// An editor at zoom 2 with the pan described above.
inline app::EditorState zoomed_state() {
    app::EditorState s;
    s.zoom = 2.0;
    s.pan_x = 0.0;
    s.pan_y = -1000.0;
    return s;
}

inline int sx(double world_x) { return static_cast<int>(590 + 2 * world_x); }
inline int sy(double world_y) { return static_cast<int>(334 - 2 * world_y); }

}  // namespace editor_test
