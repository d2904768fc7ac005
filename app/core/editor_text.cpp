#include "app/core/editor_text.hpp"

#include "app/core/run_settings.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <locale>
#include <sstream>

namespace app {

double clamp_text_height(double height) {
    if (std::isnan(height)) return 16.0;
    return std::min(std::max(height, 6.0), 96.0);
}

std::string format_text_height(double height) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    if (height == std::floor(height)) {
        out.setf(std::ios::fixed, std::ios::floatfield);
        out.precision(0);
    } else {
        out.precision(15);
    }
    out << height;
    return out.str();
}

TextStyleResult read_text_fields(const TextWindowFields& fields) {
    TextStyleResult r;
    r.ok = true;
    r.text = fields.text;
    r.font = fields.font.empty() ? "ISOCPEUR" : fields.font;
    try {
        r.height = clamp_text_height(parse_number(fields.size));
    } catch (const std::exception&) {
        r.height = 16.0;
    }
    return r;
}

TextStyleResult show_text_style_dialog(EditorState& state, EditorHost& host,
                                       const TextStyleResult* initial) {
    TextStyleResult shown;
    if (initial != nullptr) {
        shown.text = initial->text;
        shown.font = initial->font;
        shown.height = initial->height;
    } else {
        shown.text.clear();
        shown.font = state.text_font;
        shown.height = state.text_height;
    }
    if (shown.font.empty()) shown.font = "ISOCPEUR";
    shown.height = clamp_text_height(shown.height);
    shown.ok = false;

    TextWindowFields fields{shown.text, shown.font, format_text_height(shown.height)};
    switch (host.ask_text_fields(fields)) {
        case WindowAnswer::not_created: return TextStyleResult{};
        case WindowAnswer::cancelled: return shown;
        case WindowAnswer::confirmed: break;
    }
    TextStyleResult answer = read_text_fields(fields);
    state.text_font = answer.font;
    state.text_height = answer.height;
    return answer;
}

void append_text_entity(EditorState& state, const Point& at, const TextStyleResult& answer) {
    push_undo_snapshot(state);
    EditorEntity text;
    text.kind = EntityKind::text;
    text.p0 = at;
    text.p1 = at;
    text.text = answer.text;
    text.font = answer.font;
    text.height = answer.height;
    append_entity(state, std::move(text));
}

bool place_new_text(EditorState& state, EditorHost& host, const Point& q) {
    const TextStyleResult answer = show_text_style_dialog(state, host);
    if (!answer.ok || answer.text.empty()) return false;
    append_text_entity(state, q, answer);
    return true;
}

bool edit_text_entity_at(EditorState& state, EditorHost& host, const PointerEvent& pointer) {
    const int x = pointer.x;
    const int y = pointer.y;
    const Rect canvas = canvas_rect(host.client_rect());
    if (!canvas_contains(canvas, x, y)) return false;
    const std::shared_ptr<const CanvasLayout> layout = host.display_layout();
    if (layout == nullptr) return false;
    if (state.entities.empty()) return false;
    const ViewTransform view = compute_view_transform(*layout, canvas, state);
    const Point p = screen_to_world(view, x, y);
    std::int32_t hit = -1;
    for (std::size_t i = state.entities.size(); i-- > 0;) {
        const EditorEntity& e = state.entities[i];
        if (e.kind == EntityKind::text && hit_test_entity(e, p, view.scale)) {
            hit = static_cast<std::int32_t>(i);
            break;
        }
    }
    if (hit < 0) return false;
    state.selection = hit;
    push_undo_snapshot(state);
    const EditorEntity& e = state.entities[static_cast<std::size_t>(hit)];
    TextStyleResult initial;
    initial.text = e.text;
    initial.font = e.font.empty() ? "ISOCPEUR" : e.font;
    initial.height = clamp_text_height(e.height);
    const TextStyleResult answer = show_text_style_dialog(state, host, &initial);
    // Looked up again by index: the window's loop ran in between.
    if (answer.ok && static_cast<std::size_t>(hit) < state.entities.size() &&
        state.entities[static_cast<std::size_t>(hit)].kind == EntityKind::text) {
        EditorEntity& t = state.entities[static_cast<std::size_t>(hit)];
        t.text = answer.text;
        t.font = answer.font.empty() ? "ISOCPEUR" : answer.font;
        t.height = clamp_text_height(answer.height);
        t.p1 = t.p0;
    }
    host.invalidate_canvas();
    return true;
}

}  // namespace app
