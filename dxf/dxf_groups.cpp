#include "dxf/dxf_groups.hpp"

#include <charconv>
#include <cmath>

namespace plv {

namespace {

constexpr std::string_view kEol = "\r\n";

bool finite_point(const geom::Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

DxfHandleState& dxf_handle_state() {
    thread_local DxfHandleState state;
    return state;
}

std::string format_dxf_real(double value) {
    // Locale-free and the same bytes on every platform; room for the
    // largest finite double in fixed notation.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    return std::string(buf, res.ptr);
}

void write_group(std::ostream& out, int code, std::string_view value) {
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, code);
    out.write(buf, res.ptr - buf);
    out.write(kEol.data(), static_cast<std::streamsize>(kEol.size()));
    out.write(value.data(), static_cast<std::streamsize>(value.size()));
    out.write(kEol.data(), static_cast<std::streamsize>(kEol.size()));
}

void write_int_group(std::ostream& out, int code, std::int64_t value) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    write_group(out, code, std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
}

void write_real_group(std::ostream& out, int code, double value) {
    write_group(out, code, format_dxf_real(value));
}

void write_handle(std::ostream& out) {
    DxfHandleState& state = dxf_handle_state();
    if (!state.write_handles) return;
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, state.next_handle++, 16);
    for (char* c = buf; c != res.ptr; ++c) {
        if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
    }
    write_group(out, 5, std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
}

void write_table_entry_start(std::ostream& out, std::string_view type, std::string_view name) {
    write_group(out, 0, type);
    write_handle(out);
    write_group(out, 2, name);
    write_int_group(out, 70, 0);
}

void write_entity_start(std::ostream& out, std::string_view type, std::string_view layer) {
    write_group(out, 0, type);
    write_handle(out);
    write_group(out, 8, layer);
}

void write_point_groups(std::ostream& out, int x_code, const geom::Point& p) {
    write_real_group(out, x_code, p.x);
    write_real_group(out, x_code + 10, p.y);
    write_group(out, x_code + 20, "0.0");
}

void write_layer(std::ostream& out, std::string_view name, std::int32_t colour) {
    write_table_entry_start(out, "LAYER", name);
    write_int_group(out, 62, colour);
    write_group(out, 6, "Continuous");
}

std::vector<geom::Point> prepare_export_ring(const geom::Ring& ring) {
    const geom::Ring closed = geom::close_ring(ring);
    std::vector<geom::Point> kept;
    kept.reserve(closed.size());
    for (const geom::Point& p : closed) {
        if (!finite_point(p)) continue;
        if (!kept.empty() && geom::point_distance(p, kept.back()) <= 1e-6) continue;
        kept.push_back(p);
    }
    if (kept.size() >= 2 && geom::point_distance(kept.back(), kept.front()) <= 1e-6) {
        kept.pop_back();
    }
    if (kept.size() < 3) return {};
    double sum = 0.0;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const geom::Point& a = kept[i];
        const geom::Point& b = kept[(i + 1) % kept.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    if (std::fabs(sum / 2.0) <= 1e-6) return {};
    return kept;
}

void write_polyline(std::ostream& out, const geom::Ring& ring, std::string_view layer) {
    const std::vector<geom::Point> points = prepare_export_ring(ring);
    if (points.empty()) return;
    write_entity_start(out, "POLYLINE", layer);
    write_int_group(out, 66, 1);
    write_int_group(out, 70, 1);
    write_group(out, 10, "0.0");
    write_group(out, 20, "0.0");
    write_group(out, 30, "0.0");
    for (const geom::Point& p : points) {
        write_entity_start(out, "VERTEX", layer);
        write_point_groups(out, 10, p);
    }
    write_entity_start(out, "SEQEND", layer);
}

void write_text(std::ostream& out, const geom::Point& position, double height,
                std::string_view text, std::string_view layer) {
    if (!finite_point(position)) return;
    if (!(height > 0.0 && std::isfinite(height))) return;
    // A line break inside the value would end the group early.
    std::string value(text);
    for (char& c : value) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    write_entity_start(out, "TEXT", layer);
    write_point_groups(out, 10, position);
    write_real_group(out, 40, height);
    write_group(out, 1, value);
    write_group(out, 7, "Standard");
    write_group(out, 50, "0.0");
}

void write_line(std::ostream& out, const geom::Point& start, const geom::Point& end,
                std::string_view layer) {
    if (!finite_point(start) || !finite_point(end)) return;
    if (geom::point_distance(start, end) <= 1e-9) return;
    write_entity_start(out, "LINE", layer);
    write_point_groups(out, 10, start);
    write_point_groups(out, 11, end);
}

}  // namespace plv
