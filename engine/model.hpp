#pragma once

// The engine's records: parts, sheets, options, copies to place, placed
// copies, results with their metrics, per-iteration statistics.

#include "geometry/primitives.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plv {

using geom::BoundingBox;
using geom::Point;
using geom::Polygon;
using geom::Ring;

class PerfLog;

struct Part {
    std::string name;
    Polygon shape;  // normalised: outer box minimum at the origin
    std::int32_t quantity = 1;
    bool allow_rotation = true;
    std::string source;  // full path of the DXF file, or "editor"
};

struct Sheet {
    double width = 3000.0;
    double height = 1500.0;

    double area() const { return width * height; }
};

// Plain int32 values rather than enum classes: options may carry values
// outside the named ones, and every reader says what those mean.
namespace OptimizationType {
inline constexpr std::int32_t bounding_box = 0;
inline constexpr std::int32_t compact_area = 1;
}  // namespace OptimizationType

namespace Solver {
inline constexpr std::int32_t cpu = 0;
inline constexpr std::int32_t gpu = 1;
inline constexpr std::int32_t dual_gpu = 2;
inline constexpr std::int32_t random = 3;
}  // namespace Solver

struct IterativeNestingOptions {
    double spacing = 5.0;
    std::vector<double> rotations{0.0, 90.0, 180.0, 270.0};
    std::int32_t max_sheets = 50;
    bool extra_positions = true;
    bool compact = true;
    std::int32_t optimization = OptimizationType::bounding_box;
    double opt_ratio = 0.5;
    std::int32_t top_k = 1;
    std::int32_t position_seed = 0;
    std::int32_t solver = Solver::cpu;
    std::int32_t iterations = 250;
    std::int32_t seed = 42;
    std::int32_t threads = 4;
    std::int32_t population = 1;
    double mutation_percent = 10.0;
    double shuffle_percent = 0.0;
    double shuffle_intensity_percent = 25.0;
    PerfLog* perf_log = nullptr;  // not owned
};

// One copy of a part to place: the gene of the search.
struct NestingItem {
    const Part* part = nullptr;  // not owned; valid for the whole run
    std::int32_t copy_number = 1;
    bool rotation_fixed = false;
    double fixed_angle = 0.0;
};

struct Placement {
    std::string part_name;
    std::string source;
    Polygon shape;  // rotated, normalised, then moved by (x, y)
    std::int32_t sheet_index = 0;
    std::int32_t copy_number = 1;
    double x = 0.0;
    double y = 0.0;
    double angle = 0.0;
    double net_area = 0.0;
};

struct NestingResult {
    Sheet sheet;
    std::vector<Placement> placements;
    std::vector<Part> unplaced;  // one whole part record per copy left out

    std::int32_t sheets_used() const;
    double placed_area() const;
    double sheets_area() const;
    double utilization() const;
    double waste_area() const;
    // The search's score: per used sheet, the area of the box around its
    // placements.
    double occupied_area() const;
};

struct CandidateScore {
    double score = 0.0;
    bool shuffled = false;
};

struct IterationStats {
    std::int32_t iteration = 0;
    double iteration_best_score = 0.0;
    double best_score = 0.0;
    double improvement = 0.0;
    double utilization = 0.0;
    double seconds_between_improvements = 0.0;
    std::vector<CandidateScore> candidates;
    bool best_from_shuffle = false;
};

struct IterativeNestingResult {
    NestingResult result;
    std::vector<IterationStats> history;
};

using ProgressCallback =
    std::function<bool(const IterationStats&, const NestingResult&, const NestingResult&)>;

// Throws std::runtime_error with the text of the first failed check.
void validate_nesting_inputs(const Sheet& sheet, const IterativeNestingOptions& options);
std::vector<NestingItem> expand_items(const std::vector<Part>& parts);

BoundingBox part_bounds(const Part& part);
BoundingBox placement_bounds(const Placement& placement);
double part_net_area(const Part& part);
// The record of a copy of part placed at (x, y): shape is the part's shape as
// placed at the origin (rotated by angle and normalised); the record holds it
// moved by (x, y).
Placement make_placement(const Part& part, const Polygon& shape, std::int32_t sheet_index,
                         std::int32_t copy_number, double x, double y, double angle);
// The same with the part's net area passed in, by a caller that places many
// copies of one part.
Placement make_placement(const Part& part, const Polygon& shape, std::int32_t sheet_index,
                         std::int32_t copy_number, double x, double y, double angle,
                         double net_area);

}  // namespace plv
