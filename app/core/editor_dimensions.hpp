#pragma once

// Dimensions: the dimension tool's steps, the pick of a circular feature,
// picking an existing dimension, the value typed for one and how it resizes
// the measured line, circle or arc, and the geometric helpers shared with
// the canvas painter.

#include "app/core/editor_host.hpp"
#include "app/core/editor_model.hpp"

#include <cstdint>
#include <string>

namespace app {

// Index of the last line whose ends lie within max(0.5, 0.002 |a - b|) of
// (a, b) or (b, a); -1 when none.
std::int32_t find_line_by_endpoints(const EntityList& entities, const Point& a, const Point& b);

// The circumcircle; false for (nearly) collinear points or a radius of at
// most 1e-6.
bool circle_through_three_points(const Point& a, const Point& b, const Point& c, Point& centre,
                                 double& radius);

// Whether a ring (with x shifted by dx) is a circle: at least 10 distinct
// points, mean radius at least 0.5, no point off by more than
// max(0.035 r, 0.8).
bool polyline_circle_fit(const plv::Ring& ring, double dx, Point& centre, double& radius);

struct CircularFeature {
    bool found = false;
    Point centre{0.0, 0.0};
    Point on_circle{0.0, 0.0};
    bool diameter = false;
    bool radius = false;
    std::int32_t link = -1;
};

// The arc, circle or circular outline of a placed part whose rim lies
// nearest q within 14 px: entities last to first, then placements (outer
// ring, then holes). The first of equally near candidates wins.
CircularFeature pick_circular_feature(const EntityList& entities, const CanvasLayout& layout,
                                      const ViewTransform& view, const Point& q);

// The text the value window opens with.
std::string initial_dimension_text(const EditorEntity& dimension);

// Reads a typed answer as a length: ',' as '.', leading text skipped up to
// the first digit, '-' or '.'; a number only when positive and finite.
bool parse_dimension_number(const std::string& answer, double& value);

// Applies an answer of the value window to dimension `index`. An empty
// answer, or one equal to the text the window opened with, changes
// nothing: confirming the shown (rounded) text must not resize the shape.
void apply_dimension_answer(EntityList& entities, std::int32_t index, const std::string& answer,
                            const std::string& initial_text);

// Opens the value window for dimension `index` and applies its answer.
void edit_dimension_value(EditorState& state, EditorHost& host, std::int32_t index);

// One press of the dimension tool at the snapped point q.
void dimension_tool_click(EditorState& state, EditorHost& host, const CanvasLayout& layout,
                          const ViewTransform& view, const Point& q);

// Selecting (and on a double click editing) a dimension under the client
// position; returns whether it took the press.
bool pick_dimension_at(EditorState& state, EditorHost& host, const PointerEvent& pointer,
                       bool double_click);

}  // namespace app
