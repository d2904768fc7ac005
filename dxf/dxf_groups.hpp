#pragma once

// The lowest layer of the DXF output: the group format (code line, value
// line, both ending "\r\n"; reals in fixed notation with six decimals) and
// the entity writers every export step shares. All coordinates are
// millimetres, written as they are.

#include "geometry/primitives.hpp"

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace plv {

// Per-thread state of the entity-handle hook. Nothing turns handles on, so
// no record carries a group 5.
struct DxfHandleState {
    std::int32_t next_handle = 16;
    bool write_handles = false;
};

// The calling thread's handle state.
DxfHandleState& dxf_handle_state();

// Real value in the file's number format: fixed, six decimals, "." point.
std::string format_dxf_real(double value);

// One group: code line and value line, each ending "\r\n".
void write_group(std::ostream& out, int code, std::string_view value);
void write_int_group(std::ostream& out, int code, std::int64_t value);
void write_real_group(std::ostream& out, int code, double value);

// Called right after the "0" group of every table entry and entity.
void write_handle(std::ostream& out);

// How every table entry begins: 0 type, the handle hook, 2 name, 70 0.
void write_table_entry_start(std::ostream& out, std::string_view type, std::string_view name);
// How every entity record begins: 0 type, the handle hook, 8 layer.
void write_entity_start(std::ostream& out, std::string_view type, std::string_view layer);
// A point as groups x_code (x), x_code + 10 (y) and x_code + 20 ("0.0").
void write_point_groups(std::ostream& out, int x_code, const geom::Point& p);

void write_layer(std::ostream& out, std::string_view name, std::int32_t colour);
// One closed POLYLINE from the prepared ring; nothing when it prepares empty.
void write_polyline(std::ostream& out, const geom::Ring& ring, std::string_view layer);
// Skipped for a non-finite position or a height outside (0, +inf).
void write_text(std::ostream& out, const geom::Point& position, double height,
                std::string_view text, std::string_view layer);
// Skipped for a non-finite coordinate or ends at most 1e-9 apart.
void write_line(std::ostream& out, const geom::Point& start, const geom::Point& end,
                std::string_view layer);

// The open, cleaned point list written for a ring: non-finite points and
// near-duplicates (1e-6) dropped, closing point dropped; empty when fewer
// than three points remain or the area is at most 1e-6.
std::vector<geom::Point> prepare_export_ring(const geom::Ring& ring);

}  // namespace plv
