#pragma once

// Text entities and the text window's rules: what the window shows, how its
// answer is read, the defaults it leaves for the next text, placing a new
// text and editing one under the cursor.

#include "app/core/editor_host.hpp"
#include "app/core/editor_model.hpp"

#include <string>

namespace app {

double clamp_text_height(double height);

// The size field's text: no decimals for a whole number, else the digits
// the height needs, so that opening and confirming a window keeps it.
std::string format_text_height(double height);

// The confirmed fields as an answer: empty font "ISOCPEUR", the size read
// by parse_number and clamped to 6..96, 16 when it is not a number.
TextStyleResult read_text_fields(const TextWindowFields& fields);

// The text window, empty with the current defaults or filled from
// `initial`; a confirmed answer becomes the defaults (whatever its text).
TextStyleResult show_text_style_dialog(EditorState& state, EditorHost& host,
                                       const TextStyleResult* initial = nullptr);

// An undo snapshot, then a text entity at `at` with the answer's text,
// font and height.
void append_text_entity(EditorState& state, const Point& at, const TextStyleResult& answer);

// The text tool at point q: the window, then (confirmed, non-empty text) an
// undo snapshot and the new entity. Returns whether a text was placed.
bool place_new_text(EditorState& state, EditorHost& host, const Point& q);

// The text entity under the client position, edited in the window; returns
// whether it took the double click (also when the window was cancelled).
bool edit_text_entity_at(EditorState& state, EditorHost& host, const PointerEvent& pointer);

}  // namespace app
