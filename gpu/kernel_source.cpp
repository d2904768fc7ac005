#include "gpu/kernel_source.hpp"

namespace plv {

namespace {

constexpr char kSource[] = R"CLC(
float cross2d(float2 a, float2 b, float2 c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

int on_segment(float2 a, float2 b, float2 p, float eps)
{
    if (fabs(cross2d(a, b, p)) > eps) return 0;
    if (p.x < fmin(a.x, b.x) - eps || p.x > fmax(a.x, b.x) + eps) return 0;
    if (p.y < fmin(a.y, b.y) - eps || p.y > fmax(a.y, b.y) + eps) return 0;
    return 1;
}

int segments_intersect_k(float2 a, float2 b, float2 c, float2 d, float eps)
{
    const float c1 = cross2d(a, b, c);
    const float c2 = cross2d(a, b, d);
    const float c3 = cross2d(c, d, a);
    const float c4 = cross2d(c, d, b);
    if (((c1 > eps && c2 < -eps) || (c1 < -eps && c2 > eps)) &&
        ((c3 > eps && c4 < -eps) || (c3 < -eps && c4 > eps))) return 1;
    if (on_segment(a, b, c, eps) || on_segment(a, b, d, eps) ||
        on_segment(c, d, a, eps) || on_segment(c, d, b, eps)) return 1;
    return 0;
}

float point_seg_dist_k(float2 p, float2 a, float2 b)
{
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    if (len2 <= 1e-12f) {
        const float ex = p.x - a.x;
        const float ey = p.y - a.y;
        return sqrt(ex * ex + ey * ey);
    }
    float t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2;
    t = clamp(t, 0.0f, 1.0f);
    const float qx = p.x - (a.x + t * dx);
    const float qy = p.y - (a.y + t * dy);
    return sqrt(qx * qx + qy * qy);
}

float seg_seg_dist_k(float2 a, float2 b, float2 c, float2 d, float eps)
{
    if (segments_intersect_k(a, b, c, d, eps)) return 0.0f;
    float best = point_seg_dist_k(a, c, d);
    best = fmin(best, point_seg_dist_k(b, c, d));
    best = fmin(best, point_seg_dist_k(c, a, b));
    best = fmin(best, point_seg_dist_k(d, a, b));
    return best;
}

__kernel void evaluate_positions(
    __global const float* existing_segments,
    __global const float* existing_bounds,
    __global const int* existing_seg_offsets,
    const int existing_part_count,
    __global const float* candidate_segments,
    const int candidate_segment_count,
    __global const int* candidate_seg_offsets,
    __global const float* candidate_bounds_buf,
    __global const float* positions_buf,
    __global const int* position_rotations,
    const float sheet_width,
    const float sheet_height,
    const float spacing,
    __global const float* global_existing_bounds_buf,
    const int has_existing,
    __global float* results,
    const int position_count)
{
    const size_t gid = get_global_id(0);
    /* The launch is rounded up to whole work-groups: the extra work-items
       have no position and no result slot. */
    if (position_count <= 0 || gid >= (size_t)position_count) return;

    const float px = positions_buf[2 * gid];
    const float py = positions_buf[2 * gid + 1];
    const int s = position_rotations[gid];
    const float cand_w = candidate_bounds_buf[4 * s];
    const float cand_h = candidate_bounds_buf[4 * s + 1];
    const float cand_min_x = candidate_bounds_buf[4 * s + 2];
    const float cand_min_y = candidate_bounds_buf[4 * s + 3];

    const float min_x = cand_min_x + px;
    const float min_y = cand_min_y + py;
    const float max_x = min_x + cand_w;
    const float max_y = min_y + cand_h;
    const float eps = 1e-6f;
    __global float* out = results + 6 * gid;

    if (min_x < -eps || min_y < -eps || max_x > sheet_width + eps || max_y > sheet_height + eps) {
        out[0] = 0.0f;
        return;
    }

    int collision = 0;
    const int cs_begin = candidate_seg_offsets[s];
    const int cs_end = candidate_seg_offsets[s + 1];
    for (int p = 0; p < existing_part_count && !collision; ++p) {
        const float e_min_x = existing_bounds[4 * p];
        const float e_min_y = existing_bounds[4 * p + 1];
        const float e_max_x = existing_bounds[4 * p + 2];
        const float e_max_y = existing_bounds[4 * p + 3];
        if (min_x >= e_max_x + spacing || max_x + spacing <= e_min_x ||
            min_y >= e_max_y + spacing || max_y + spacing <= e_min_y) continue;

        const int es_begin = existing_seg_offsets[p];
        const int es_end = existing_seg_offsets[p + 1];
        for (int es = es_begin; es < es_end && !collision; ++es) {
            const float2 ea = (float2)(existing_segments[4 * es], existing_segments[4 * es + 1]);
            const float2 eb = (float2)(existing_segments[4 * es + 2], existing_segments[4 * es + 3]);
            for (int cs = cs_begin; cs < cs_end; ++cs) {
                const float2 ca = (float2)(candidate_segments[4 * cs] + px,
                                           candidate_segments[4 * cs + 1] + py);
                const float2 cb = (float2)(candidate_segments[4 * cs + 2] + px,
                                           candidate_segments[4 * cs + 3] + py);
                if (spacing <= eps) {
                    if (segments_intersect_k(ea, eb, ca, cb, 1e-7f)) { collision = 1; break; }
                } else if (seg_seg_dist_k(ea, eb, ca, cb, 1e-7f) < spacing - eps) {
                    collision = 1;
                    break;
                }
            }
        }
    }
    if (collision) {
        out[0] = 0.0f;
        return;
    }

    float u_min_x = min_x;
    float u_min_y = min_y;
    float u_max_x = max_x;
    float u_max_y = max_y;
    if (has_existing != 0) {
        u_min_x = fmin(u_min_x, global_existing_bounds_buf[0]);
        u_min_y = fmin(u_min_y, global_existing_bounds_buf[1]);
        u_max_x = fmax(u_max_x, global_existing_bounds_buf[2]);
        u_max_y = fmax(u_max_y, global_existing_bounds_buf[3]);
    }
    const float used_w = u_max_x - u_min_x;
    const float used_h = u_max_y - u_min_y;
    out[0] = 1.0f;
    out[1] = used_w * used_h;
    out[2] = used_h;
    out[3] = used_w;
    out[4] = min_y;
    out[5] = min_x;
}
)CLC";

}  // namespace

std::string_view evaluate_positions_kernel_source() {
    return std::string_view(kSource, sizeof(kSource) - 1);
}

}  // namespace plv
