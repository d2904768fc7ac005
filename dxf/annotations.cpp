#include "dxf/annotations.hpp"

#include "dxf/dxf_groups.hpp"

#include <charconv>
#include <cmath>
#include <numbers>

namespace plv {

namespace {

using geom::Point;

constexpr std::string_view kLayer = "ANNOTATION";

Point along(const Point& p, double s, const Point& v) { return Point{p.x + s * v.x, p.y + s * v.y}; }

// Into [0, 360).
double wrap_degrees(double a) {
    double r = std::fmod(a, 360.0);
    if (r < 0.0) r += 360.0;
    if (r >= 360.0) r -= 360.0;
    return r;
}

double degrees_about(const Point& p, double cx, double cy) {
    double a = std::atan2(p.y - cy, p.x - cx) * 180.0 / std::numbers::pi;
    if (a < 0.0) a += 360.0;
    return a;
}

void write_rectangle(std::ostream& out, const Point& p0, const Point& p1) {
    const Point c1{p1.x, p0.y};
    const Point c3{p0.x, p1.y};
    write_line(out, p0, c1, kLayer);
    write_line(out, c1, p1, kLayer);
    write_line(out, p1, c3, kLayer);
    write_line(out, c3, p0, kLayer);
}

void write_circle(std::ostream& out, const Point& centre, const Point& rim) {
    const double r = geom::point_distance(centre, rim);
    if (!std::isfinite(centre.x) || !std::isfinite(centre.y)) return;
    if (!std::isfinite(r) || r <= 1e-9) return;
    write_entity_start(out, "CIRCLE", kLayer);
    write_point_groups(out, 10, centre);
    write_real_group(out, 40, r);
}

void write_dimension(std::ostream& out, const Annotation& a) {
    const Point& p0 = a.p0;
    const Point& p1 = a.p1;
    const double len = std::hypot(p1.x - p0.x, p1.y - p0.y);
    if (len < 1e-6) return;
    const Point d{(p1.x - p0.x) / len, (p1.y - p0.y) / len};
    const Point n{-d.y, d.x};

    // (0, 0) stands for "no text position given".
    double u = 15.0;
    if (std::hypot(a.p2.x, a.p2.y) > 1e-6) {
        const Point m{(p0.x + p1.x) / 2.0, (p0.y + p1.y) / 2.0};
        u = (a.p2.x - m.x) * n.x + (a.p2.y - m.y) * n.y;
        if (std::fabs(u) < 1.0) u = u < 0.0 ? -15.0 : 15.0;
    }
    const double e = u < 0.0 ? -4.0 : 4.0;
    const Point pa = along(p0, u, n);
    const Point pb = along(p1, u, n);

    write_line(out, p0, along(p0, u + e, n), kLayer);
    write_line(out, p1, along(p1, u + e, n), kLayer);
    write_line(out, pa, pb, kLayer);
    write_line(out, pa, along(along(pa, 8.0, d), 3.0, n), kLayer);
    write_line(out, pa, along(along(pa, 8.0, d), -3.0, n), kLayer);
    write_line(out, pb, along(along(pb, -8.0, d), 3.0, n), kLayer);
    write_line(out, pb, along(along(pb, -8.0, d), -3.0, n), kLayer);

    std::string label = a.text;
    if (label.empty()) {
        char buf[400];
        const auto res = std::to_chars(buf, buf + sizeof buf, len, std::chars_format::fixed, 1);
        label.assign(buf, res.ptr);
        label += " mm";
    }
    const Point mid{(pa.x + pb.x) / 2.0, (pa.y + pb.y) / 2.0};
    write_text(out, along(mid, 4.0, n), 10.0, label, kLayer);
}

void write_arc(std::ostream& out, const Point& p0, const Point& p1, const Point& p2) {
    const double x0 = p0.x, y0 = p0.y, x1 = p1.x, y1 = p1.y, x2 = p2.x, y2 = p2.y;
    const double den = 2.0 * (x2 * (y1 - y0) + x0 * (y2 - y1) + x1 * (y0 - y2));
    if (std::fabs(den) <= 1e-9) return;
    const double q0 = x0 * x0 + y0 * y0;
    const double q1 = x1 * x1 + y1 * y1;
    const double q2 = x2 * x2 + y2 * y2;
    const double cx = ((y2 - y1) * q0 + (y1 - y0) * q2 + (y0 - y2) * q1) / den;
    const double cy = ((x1 - x2) * q0 + (x0 - x1) * q2 + (x2 - x0) * q1) / den;
    const double r = std::hypot(x0 - cx, y0 - cy);
    const double a0 = degrees_about(p0, cx, cy);
    const double a1 = degrees_about(p1, cx, cy);
    const double a2 = degrees_about(p2, cx, cy);
    // DXF arcs run counter-clockwise from group 50 to group 51.
    double start = a0;
    double end = a1;
    if (!(wrap_degrees(a2 - a0) <= wrap_degrees(a1 - a0))) {
        start = a1;
        end = a0;
    }
    // Non-finite input or nearly collinear points with huge coordinates
    // would otherwise be written as "nan" or "inf", which readers reject.
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || !std::isfinite(start) ||
        !std::isfinite(end)) {
        return;
    }
    write_entity_start(out, "ARC", kLayer);
    write_point_groups(out, 10, Point{cx, cy});
    write_real_group(out, 40, r);
    write_real_group(out, 50, start);
    write_real_group(out, 51, end);
}

}  // namespace

void write_annotation(std::ostream& out, const Annotation& annotation) {
    switch (annotation.kind) {
        case AnnotationKind::line:
            write_line(out, annotation.p0, annotation.p1, kLayer);
            break;
        case AnnotationKind::rectangle:
            write_rectangle(out, annotation.p0, annotation.p1);
            break;
        case AnnotationKind::circle:
            write_circle(out, annotation.p0, annotation.p1);
            break;
        case AnnotationKind::dimension:
            write_dimension(out, annotation);
            break;
        case AnnotationKind::text:
            write_text(out, annotation.p0, 12.0, annotation.text, kLayer);
            break;
        case AnnotationKind::arc:
            write_arc(out, annotation.p0, annotation.p1, annotation.p2);
            break;
        case AnnotationKind::polyline:
            for (std::size_t j = 1; j < annotation.points.size(); ++j) {
                write_line(out, annotation.points[j - 1], annotation.points[j], kLayer);
            }
            break;
        default:
            break;
    }
}

}  // namespace plv
