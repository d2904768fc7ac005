#pragma once

// Part outlines written as LINEs in which every stretch of collinear,
// overlapping or touching edges appears once, so that a cutting machine does
// not cut the line between two neighbouring parts twice.

#include "engine/model.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace plv {

struct LayerEdge {
    Point a;
    Point b;
    std::string layer;  // "PARTS" for an outer ring, "HOLES" for a hole
};

// The stretch of one edge along its group's line.
struct EdgeInterval {
    double t0 = 0.0;
    double t1 = 0.0;
    std::string layer;
};

// All edges on one line: canonical unit direction and signed distance from
// the origin, both taken from the first edge met.
struct LineGroup {
    Point dir;
    double offset = 0.0;
    std::vector<EdgeInterval> intervals;
};

// Appends the edges of the prepared ring, the closing edge included; edges
// of length at most 1e-9 are dropped.
void ring_edges(const Ring& ring, const std::string& layer, std::vector<LayerEdge>& edges);

// Edges of every placement, moved right by sheet_index * pitch: the outer
// ring on "PARTS", then each hole on "HOLES".
std::vector<LayerEdge> layout_edges(const NestingResult& result, double pitch);

// Groups edges by their quantised line (angle 1e-7 rad, offset 0.01 mm), in
// order of first appearance.
std::vector<LineGroup> group_edges(const std::vector<LayerEdge>& edges);

// The key under which an edge of canonical direction d and offset s is grouped.
std::string line_group_key(const Point& d, double s);

// Sorts the intervals (starts within 0.01 order by end) and sweeps them into
// merged intervals, bridging gaps of up to 0.01; a merged stretch takes the
// highest-ranked layer of its intervals ("PARTS" over "HOLES" over others).
std::vector<EdgeInterval> merge_intervals(std::vector<EdgeInterval> intervals);

// Writes the parts of the layout as merged LINEs.
void write_merged_parts(std::ostream& out, const NestingResult& result, double pitch);

}  // namespace plv
