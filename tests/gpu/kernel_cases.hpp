#pragma once

// What the kernel must answer, without GoogleTest, for the kernel tests and
// the device check alike: a builder of evaluation inputs from single-precision
// outlines, the table of hand-made cases, and the kernel's rules worked in
// double precision as the reference.

#include "gpu/gpu_accelerator.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace pocl {

using Outline = std::vector<std::array<float, 2>>;  // open ring

// The flat inputs of one evaluation, built outline by outline.
struct Inputs {
    std::vector<float> existing_segments;
    std::vector<float> existing_bounds;
    std::vector<std::int32_t> existing_offsets{0};
    std::vector<float> candidate_segments;
    std::vector<std::int32_t> candidate_offsets{0};
    std::vector<float> candidate_bounds;
    std::vector<float> positions;
    std::vector<std::int32_t> slots;
    std::array<float, 4> global_bounds{std::numeric_limits<float>::infinity(),
                                       std::numeric_limits<float>::infinity(),
                                       -std::numeric_limits<float>::infinity(),
                                       -std::numeric_limits<float>::infinity()};

    static void add_segments(const Outline& ring, std::vector<float>& out) {
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const auto& a = ring[i];
            const auto& b = ring[(i + 1) % ring.size()];
            out.insert(out.end(), {a[0], a[1], b[0], b[1]});
        }
    }

    static std::array<float, 4> box(const Outline& ring) {
        std::array<float, 4> b = {ring[0][0], ring[0][1], ring[0][0], ring[0][1]};
        for (const auto& p : ring) {
            b[0] = std::min(b[0], p[0]);
            b[1] = std::min(b[1], p[1]);
            b[2] = std::max(b[2], p[0]);
            b[3] = std::max(b[3], p[1]);
        }
        return b;
    }

    void place(const Outline& ring) {
        add_segments(ring, existing_segments);
        existing_offsets.push_back(static_cast<std::int32_t>(existing_segments.size() / 4));
        const auto b = box(ring);
        existing_bounds.insert(existing_bounds.end(), b.begin(), b.end());
        global_bounds = {std::min(global_bounds[0], b[0]), std::min(global_bounds[1], b[1]),
                         std::max(global_bounds[2], b[2]), std::max(global_bounds[3], b[3])};
    }

    // A rotation slot: an outline whose box starts at the origin, or none.
    void add_slot(const Outline& ring) {
        add_segments(ring, candidate_segments);
        candidate_offsets.push_back(static_cast<std::int32_t>(candidate_segments.size() / 4));
        if (ring.empty()) {
            candidate_bounds.insert(candidate_bounds.end(), {0, 0, 0, 0});
        } else {
            const auto b = box(ring);
            candidate_bounds.insert(candidate_bounds.end(), {b[2] - b[0], b[3] - b[1], b[0], b[1]});
        }
    }

    void at(float x, float y, std::int32_t slot) {
        positions.insert(positions.end(), {x, y});
        slots.push_back(slot);
    }

    std::int32_t part_count() const { return static_cast<std::int32_t>(existing_bounds.size() / 4); }
    std::int32_t slot_count() const { return static_cast<std::int32_t>(candidate_bounds.size() / 4); }
    std::size_t position_count() const { return slots.size(); }

    std::vector<plv::GpuPositionResult> evaluate(float sheet_width, float sheet_height,
                                                 float spacing, std::int32_t device = 0) const {
        const auto data = [](const auto& v) { return v.empty() ? nullptr : v.data(); };
        return plv::GpuAccelerator::instance().evaluate_positions(
            device, data(existing_segments),
            static_cast<std::int32_t>(existing_segments.size() / 4), data(existing_bounds),
            existing_offsets.data(), part_count(), data(candidate_segments),
            static_cast<std::int32_t>(candidate_segments.size() / 4), candidate_offsets.data(),
            data(candidate_bounds), slot_count(), data(positions), data(slots),
            static_cast<std::int32_t>(slots.size()), sheet_width, sheet_height, spacing,
            global_bounds.data(), part_count() > 0);
    }
};

inline Outline rect(float x, float y, float w, float h) {
    return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
}

// The kernel's rules in double precision on the same single-precision inputs:
// sheet test, box skip widened by the spacing, then outline segments only
// (touching at spacing 0, closer than the spacing otherwise), and the box
// around the candidate and everything placed.
struct Reference {
    struct Answer {
        bool valid = false;
        double union_area = 0.0;
        double used_height = 0.0;
        double used_width = 0.0;
    };

    struct P {
        double x, y;
    };

    static double cross(P a, P b, P c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

    static bool on_segment(P a, P b, P p) {
        const double eps = 1e-7;
        return std::fabs(cross(a, b, p)) <= eps && p.x >= std::min(a.x, b.x) - eps &&
               p.x <= std::max(a.x, b.x) + eps && p.y >= std::min(a.y, b.y) - eps &&
               p.y <= std::max(a.y, b.y) + eps;
    }

    static bool intersect(P a, P b, P c, P d) {
        const double eps = 1e-7;
        const double c1 = cross(a, b, c), c2 = cross(a, b, d), c3 = cross(c, d, a), c4 = cross(c, d, b);
        if (((c1 > eps && c2 < -eps) || (c1 < -eps && c2 > eps)) &&
            ((c3 > eps && c4 < -eps) || (c3 < -eps && c4 > eps))) {
            return true;
        }
        return on_segment(a, b, c) || on_segment(a, b, d) || on_segment(c, d, a) || on_segment(c, d, b);
    }

    static double point_segment_distance(P p, P a, P b) {
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len2 = dx * dx + dy * dy;
        if (len2 <= 1e-12) return std::hypot(p.x - a.x, p.y - a.y);
        const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0);
        return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
    }

    static double segment_distance(P a, P b, P c, P d) {
        if (intersect(a, b, c, d)) return 0.0;
        return std::min({point_segment_distance(a, c, d), point_segment_distance(b, c, d),
                         point_segment_distance(c, a, b), point_segment_distance(d, a, b)});
    }

    // The answer for position i of the inputs.
    static Answer evaluate(const Inputs& in, std::size_t i, double sheet_width, double sheet_height,
                           double spacing) {
        const double eps = 1e-6;
        const double px = in.positions[2 * i], py = in.positions[2 * i + 1];
        const std::size_t s = static_cast<std::size_t>(in.slots[i]);
        const double min_x = in.candidate_bounds[4 * s + 2] + px;
        const double min_y = in.candidate_bounds[4 * s + 3] + py;
        const double max_x = min_x + in.candidate_bounds[4 * s];
        const double max_y = min_y + in.candidate_bounds[4 * s + 1];
        if (min_x < -eps || min_y < -eps || max_x > sheet_width + eps || max_y > sheet_height + eps) {
            return {};
        }
        for (int p = 0; p < in.part_count(); ++p) {
            const float* b = &in.existing_bounds[4 * static_cast<std::size_t>(p)];
            if (min_x >= b[2] + spacing || max_x + spacing <= b[0] || min_y >= b[3] + spacing ||
                max_y + spacing <= b[1]) {
                continue;
            }
            for (int e = in.existing_offsets[p]; e < in.existing_offsets[p + 1]; ++e) {
                const float* es = &in.existing_segments[4 * static_cast<std::size_t>(e)];
                for (int c = in.candidate_offsets[s]; c < in.candidate_offsets[s + 1]; ++c) {
                    const float* cs = &in.candidate_segments[4 * static_cast<std::size_t>(c)];
                    const P ea{es[0], es[1]}, eb{es[2], es[3]};
                    const P ca{cs[0] + px, cs[1] + py}, cb{cs[2] + px, cs[3] + py};
                    const bool collides = spacing <= eps
                                              ? intersect(ea, eb, ca, cb)
                                              : segment_distance(ea, eb, ca, cb) < spacing - eps;
                    if (collides) return {};
                }
            }
        }
        double lo_x = min_x, lo_y = min_y, hi_x = max_x, hi_y = max_y;
        if (in.part_count() > 0) {
            lo_x = std::min<double>(lo_x, in.global_bounds[0]);
            lo_y = std::min<double>(lo_y, in.global_bounds[1]);
            hi_x = std::max<double>(hi_x, in.global_bounds[2]);
            hi_y = std::max<double>(hi_y, in.global_bounds[3]);
        }
        const double w = hi_x - lo_x, h = hi_y - lo_y;
        return {true, w * h, h, w};
    }
};

// Hand-made cases, each with the answers the kernel must give, on a sheet of
// kCaseSheetWidth x kCaseSheetHeight. Coordinates are small integers (or
// values whose differences are exact in single precision), so relaxed math
// cannot change the answers.
struct CasePosition {
    float x;
    float y;
    std::int32_t slot;
    bool valid;
    float used_width = 0;  // expected when valid
    float used_height = 0;
};

struct KernelCase {
    const char* what;
    float spacing;
    std::vector<Outline> placed;
    std::vector<Outline> slots;
    std::vector<CasePosition> positions;

    Inputs inputs() const {
        Inputs in;
        for (const Outline& p : placed) in.place(p);
        for (const Outline& s : slots) in.add_slot(s);
        for (const CasePosition& p : positions) in.at(p.x, p.y, p.slot);
        return in;
    }
};

inline constexpr float kCaseSheetWidth = 1000;
inline constexpr float kCaseSheetHeight = 500;

inline const Outline kL = {{0, 0}, {100, 0}, {100, 50}, {50, 50}, {50, 100}, {0, 100}};
// A placed part whose box holds free room below its arm.
inline const Outline kHook = {{100, 0}, {200, 0}, {200, 200}, {0, 200}, {0, 150}, {100, 150}};

inline std::vector<KernelCase> kernel_cases() {
    return {
        {"sheet edges, empty sheet",
         0,
         {},
         {rect(0, 0, 100, 50)},
         {{0, 0, 0, true, 100, 50},
          {900, 450, 0, true, 100, 50},
          {100, 50, 0, true, 100, 50},
          {-0.5f, 0, 0, false},
          {0, -0.5f, 0, false},
          {901, 0, 0, false},
          {0, 451, 0, false}}},
        {"boxes that only touch at spacing 0",
         0,
         {rect(0, 0, 100, 100)},
         {rect(0, 0, 100, 100)},
         {{100, 0, 0, true, 200, 100}, {0, 100, 0, true, 100, 200}, {99, 0, 0, false}}},
        {"square in the notch of an L",
         0,
         {kL},
         {rect(0, 0, 50, 50)},
         {{50, 50, 0, false}, {51, 51, 0, true, 101, 101}}},
        {"4.99 and 5.0 away at spacing 5",
         5,
         {rect(0, 0, 100, 100)},
         {rect(0, 0, 50, 50)},
         {{104.99f, 0, 0, false},
          {105, 0, 0, true, 155, 100},
          {0, 104.99f, 0, false},
          {0, 105, 0, true, 100, 155}}},
        {"distance inside overlapping boxes at spacing 5",
         5,
         {kL},
         {rect(0, 0, 40, 40)},
         {{56, 56, 0, true, 100, 100}, {54, 54, 0, false}}},
        {"inside a placed part, or around one: only outlines are compared",
         0,
         {rect(0, 0, 200, 200), rect(390, 90, 20, 20)},
         {rect(0, 0, 20, 20), rect(0, 0, 200, 200)},
         {{90, 90, 0, true, 410, 200}, {300, 0, 1, true, 500, 200}}},
        {"an empty rotation slot keeps the later slot indices",
         0,
         {kHook},
         {rect(0, 0, 100, 50), {}, rect(0, 0, 50, 100), rect(0, 0, 30, 30)},
         {{300, 0, 0, true, 400, 200},
          {300, 0, 2, true, 350, 200},
          {60, 0, 3, true, 200, 200},
          {60, 0, 2, false}}},
    };
}

}  // namespace pocl
