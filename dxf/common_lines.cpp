#include "dxf/common_lines.hpp"

#include "dxf/dxf_groups.hpp"
#include "engine/deterministic.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

namespace plv {

namespace {

int layer_rank(const std::string& layer) {
    if (layer == "PARTS") return 3;
    if (layer == "HOLES") return 2;
    return 1;
}

void append_integer(std::string& key, long long v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    key.append(buf, res.ptr);
}

}  // namespace

void ring_edges(const Ring& ring, const std::string& layer, std::vector<LayerEdge>& edges) {
    const std::vector<Point> points = prepare_export_ring(ring);
    const std::size_t n = points.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Point& a = points[i];
        const Point& b = points[(i + 1) % n];
        if (geom::point_distance(a, b) > 1e-9) edges.push_back(LayerEdge{a, b, layer});
    }
}

std::vector<LayerEdge> layout_edges(const NestingResult& result, double pitch) {
    std::vector<LayerEdge> edges;
    const std::string parts = "PARTS";
    const std::string holes = "HOLES";
    for (const Placement& placement : result.placements) {
        const Polygon moved =
            geom::translate_polygon(placement.shape, placement.sheet_index * pitch, 0.0);
        ring_edges(moved.outer, parts, edges);
        for (const Ring& hole : moved.holes) ring_edges(hole, holes, edges);
    }
    return edges;
}

std::string line_group_key(const Point& d, double s) {
    std::string key;
    key.reserve(32);
    append_integer(key, std::llround(std::atan2(d.y, d.x) / 1e-7));
    key.push_back(':');
    append_integer(key, std::llround(s / 0.01));
    return key;
}

std::vector<LineGroup> group_edges(const std::vector<LayerEdge>& edges) {
    std::vector<LineGroup> groups;
    std::unordered_map<std::string, std::size_t> index;
    for (const LayerEdge& edge : edges) {
        Point a = edge.a;
        Point b = edge.b;
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double len = std::hypot(dx, dy);
        if (!(len > 1e-9)) continue;
        Point d{dx / len, dy / len};
        // One direction per line, so that edges running either way meet.
        if (d.x < -1e-12 || (d.y < 0.0 && std::fabs(d.x) <= 1e-12)) {
            d = Point{-d.x, -d.y};
            std::swap(a, b);
        }
        const double s = a.y * d.x - d.y * a.x;
        const std::string key = line_group_key(d, s);
        auto [it, inserted] = index.try_emplace(key, groups.size());
        if (inserted) groups.push_back(LineGroup{d, s, {}});
        LineGroup& group = groups[it->second];
        const double ta = a.x * group.dir.x + a.y * group.dir.y;
        const double tb = b.x * group.dir.x + b.y * group.dir.y;
        const double t0 = std::min(ta, tb);
        const double t1 = std::max(ta, tb);
        if (t1 - t0 > 1e-9) group.intervals.push_back(EdgeInterval{t0, t1, edge.layer});
    }
    return groups;
}

std::vector<EdgeInterval> merge_intervals(std::vector<EdgeInterval> intervals) {
    // The comparison is not transitive (starts that are each within 0.01 of
    // the next can compare in a circle), so it needs a sort that stays
    // within the list whatever the comparator says.
    merge_sort(intervals, [](const EdgeInterval& u, const EdgeInterval& v) {
        const double gap = std::fabs(u.t0 - v.t0);
        if (gap > 0.01) return u.t0 < v.t0;
        if (gap <= 0.01) return u.t1 < v.t1;
        return false;
    });
    std::vector<EdgeInterval> merged;
    for (const EdgeInterval& v : intervals) {
        if (merged.empty() || v.t0 > merged.back().t1 + 0.01) {
            merged.push_back(v);
            continue;
        }
        EdgeInterval& last = merged.back();
        last.t1 = std::max(last.t1, v.t1);
        if (layer_rank(v.layer) > layer_rank(last.layer)) last.layer = v.layer;
    }
    return merged;
}

void write_merged_parts(std::ostream& out, const NestingResult& result, double pitch) {
    const std::vector<LineGroup> groups = group_edges(layout_edges(result, pitch));
    for (const LineGroup& group : groups) {
        if (group.intervals.empty()) continue;
        const Point n{-group.dir.y, group.dir.x};
        const Point base{group.offset * n.x, group.offset * n.y};
        for (const EdgeInterval& m : merge_intervals(group.intervals)) {
            const Point start{m.t0 * group.dir.x + base.x, m.t0 * group.dir.y + base.y};
            const Point end{m.t1 * group.dir.x + base.x, m.t1 * group.dir.y + base.y};
            write_line(out, start, end, m.layer);
        }
    }
}

}  // namespace plv
