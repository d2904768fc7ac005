#include "dxf/dxf_reader.hpp"

#include "dxf/paths.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

namespace plv {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

bool is_trim_char(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim_view(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && is_trim_char(s[b])) ++b;
    while (e > b && is_trim_char(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// std::stoi semantics (strtol then the int range) without exceptions.
bool try_parse_int(std::string_view text, std::int32_t& out) {
    const std::string_view s = trim_view(text);
    std::size_t i = 0;
    // strtol also skips the other C white-space characters.
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i >= s.size() || !is_digit(s[i])) return false;
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    bool overflow = false;
    for (; i < s.size() && is_digit(s[i]); ++i) {
        if (!overflow) {
            value = value * 10 + (s[i] - '0');
            if (value > kLimit) overflow = true;
        }
    }
    if (overflow) return false;
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    out = static_cast<std::int32_t>(value);
    return true;
}

// std::stod semantics in the classic locale, and finite values only. Plain
// decimal text goes through from_chars (locale-free, correctly rounded, the
// same on every platform); the rare other spellings (a '+' sign, hex, other
// leading white space) through strtod.
bool try_parse_double(std::string_view text, double& out) {
    const std::string_view s = trim_view(text);
    if (s.empty()) return false;
    std::size_t lead = s[0] == '-' ? 1 : 0;
    const bool plain = lead < s.size() && (is_digit(s[lead]) || s[lead] == '.') &&
                       !(s[lead] == '0' && lead + 1 < s.size() && (s[lead + 1] == 'x' || s[lead + 1] == 'X'));
    double value = 0.0;
    if (plain) {
        const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
        (void)ptr;
        if (ec != std::errc{}) return false;
        // strtod reports subnormal results as out of range.
        if (value != 0.0 && std::abs(value) < std::numeric_limits<double>::min()) return false;
    } else {
        const std::string copy(s);
        char* end = nullptr;
        errno = 0;
        value = std::strtod(copy.c_str(), &end);
        if (end == copy.c_str() || errno == ERANGE) return false;
    }
    if (!std::isfinite(value)) return false;
    out = value;
    return true;
}

struct PairView {
    std::int32_t code;
    std::string_view value;
};

// The lines of a text in memory, each without its line feed.
class TextLines {
public:
    explicit TextLines(std::string_view text) : text_(text) {}

    bool next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        const std::size_t nl = text_.find('\n', pos_);
        const std::size_t end = nl == std::string_view::npos ? text_.size() : nl;
        line = text_.substr(pos_, end - pos_);
        pos_ = nl == std::string_view::npos ? text_.size() : nl + 1;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Lines are taken two at a time; a code line without a value line ends
// reading. The code line is read before the value line is fetched, which
// may move the text the code line lay in.
template <class Lines>
bool next_pair(Lines& lines, PairView& pair) {
    std::string_view code_line;
    std::string_view value_line;
    for (;;) {
        if (!lines.next(code_line)) return false;
        std::int32_t code = 0;
        const bool is_code = try_parse_int(code_line, code);
        if (!lines.next(value_line)) return false;
        if (is_code) {
            pair.code = code;
            pair.value = trim_view(value_line);
            return true;
        }
    }
}

// Segment counts are clamped in double, so huge or NaN values never reach an
// integer conversion.
std::int32_t clamp_count(double value, std::int32_t lo, std::int32_t hi) {
    if (value > hi) return hi;
    if (value >= lo) return static_cast<std::int32_t>(value);
    return lo;
}

// Segments of an arc of radius r sweeping `sweep` degrees: one per curve
// tolerance of arc length, 4 to 128. ARC entities and bulged polyline
// segments are flattened alike.
std::int32_t arc_segment_count(double r, double sweep, double curve_tolerance) {
    const double tol = std::max(curve_tolerance, 0.1);
    return clamp_count(std::ceil(r * kTwoPi * sweep / 360.0 / tol), 4, 128);
}

using Group = std::vector<PairView>;

// The real values of the given codes, in their order, every one required; a
// code given twice takes its last value. False when one is missing or any of
// them is not a number.
template <std::size_t N>
bool read_reals(const Group& g, const std::array<int, N>& codes, std::array<double, N>& values) {
    std::array<bool, N> have{};
    for (const PairView& p : g) {
        const auto it = std::find(codes.begin(), codes.end(), p.code);
        if (it == codes.end()) continue;
        const auto slot = static_cast<std::size_t>(it - codes.begin());
        if (!try_parse_double(p.value, values[slot])) return false;
        have[slot] = true;
    }
    return std::all_of(have.begin(), have.end(), [](bool h) { return h; });
}

bool read_line(const Group& g, geom::Ring& chain) {
    std::array<double, 4> v;
    if (!read_reals(g, std::array{10, 20, 11, 21}, v)) return false;
    chain = {geom::Point{v[0], v[1]}, geom::Point{v[2], v[3]}};
    return true;
}

bool read_arc(const Group& g, const DxfImportSettings& settings, geom::Ring& chain) {
    std::array<double, 5> v;
    if (!read_reals(g, std::array{10, 20, 40, 50, 51}, v)) return false;
    const double cx = v[0];
    const double cy = v[1];
    const double r = v[2];
    const double start = v[3];
    double end = v[4];
    if (!(r > 0.0)) return false;

    // Bring the end angle past the start one turn at a time, as drawings
    // expect; an angle pair thousands of turns apart is moved in one step so
    // that a hostile file cannot keep the loop running.
    int turns = 0;
    while (start > end && turns < 1024) {
        end += 360.0;
        ++turns;
    }
    if (start > end) {
        end += std::ceil((start - end) / 360.0) * 360.0;
        for (int i = 0; start > end && i < 4; ++i) end += 360.0;
        if (start > end) return false;
    }
    const double sweep = end - start;
    if (!std::isfinite(sweep)) return false;

    const std::int32_t n = arc_segment_count(r, sweep, settings.curve_tolerance);
    chain.clear();
    chain.reserve(static_cast<std::size_t>(n) + 1);
    for (std::int32_t i = 0; i <= n; ++i) {
        const double angle = (i * sweep / n + start) * kPi / 180.0;
        chain.push_back(geom::Point{cx + r * std::cos(angle), cy + r * std::sin(angle)});
    }
    return true;
}

bool read_circle(const Group& g, const DxfImportSettings& settings, Contour& contour) {
    std::array<double, 3> v;
    if (!read_reals(g, std::array{10, 20, 40}, v)) return false;
    const double cx = v[0];
    const double cy = v[1];
    const double r = v[2];
    if (!(r > 0.0)) return false;
    const double tol = std::max(settings.curve_tolerance, 0.1);
    const std::int32_t n = clamp_count(std::ceil((r * kTwoPi) / tol), 24, 256);
    geom::Ring ring;
    ring.reserve(static_cast<std::size_t>(n) + 1);
    for (std::int32_t i = 0; i < n; ++i) {
        const double angle = i * kTwoPi / n;
        ring.push_back(geom::Point{cx + r * std::cos(angle), cy + r * std::sin(angle)});
    }
    ring.push_back(ring.front());
    contour.area = contour_area(ring);
    contour.ring = std::move(ring);
    return true;
}

// Vertices of LWPOLYLINE and control points of SPLINE: code 10 starts a
// point (y = 0, no bulge), code 20 sets the y of the pending one and code 42
// its bulge. A 20 or 42 with no point pending belongs to nothing and is
// passed over unread.
class PointCollector {
public:
    // Bulges, one per point, are kept only when a list for them is given.
    explicit PointCollector(std::vector<geom::Point>& points, std::vector<double>* bulges = nullptr)
        : points_(points), bulges_(bulges) {}
    // A code 10, 20 or 42 pair; false when its value is not a number.
    bool take(const PairView& p) {
        if (p.code != 10 && !pending_) return true;
        double value;
        if (!try_parse_double(p.value, value)) return false;
        if (p.code == 10) {
            if (pending_) push();
            point_ = geom::Point{value, 0.0};
            bulge_ = 0.0;
            pending_ = true;
        } else if (p.code == 20) {
            point_.y = value;
        } else {
            bulge_ = value;
        }
        return true;
    }
    void finish() {
        if (pending_) push();
        pending_ = false;
    }

private:
    void push() {
        points_.push_back(point_);
        if (bulges_ != nullptr) bulges_->push_back(bulge_);
    }

    std::vector<geom::Point>& points_;
    std::vector<double>* bulges_;
    geom::Point point_;
    double bulge_ = 0.0;
    bool pending_ = false;
};

// The arc between two polyline vertices whose bulge (the tangent of a
// quarter of its signed sweep) is given: counter-clockwise for a positive
// bulge, clockwise for a negative one, in n segments. A zero bulge or a zero
// chord gives no arc (n = 0).
struct BulgeArc {
    std::int32_t n = 0;
    double chord = 0.0;
    double sin_half = 0.0;  // sine of half the sweep
    double sweep = 0.0;     // radians, signed
    double ux = 0.0;        // chord direction
    double uy = 0.0;
};

BulgeArc bulge_arc(const geom::Point& a, const geom::Point& b, double bulge, double curve_tolerance) {
    BulgeArc arc;
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    arc.chord = std::hypot(dx, dy);
    if (bulge == 0.0 || !(arc.chord > 0.0)) return arc;
    const double m = std::abs(bulge);
    const double k = m + 1.0 / m;  // finite for every finite non-zero bulge
    arc.sin_half = 2.0 / k;
    arc.sweep = 4.0 * std::atan(bulge);
    const double r = arc.chord * k / 4.0;  // may overflow: the count is then 128
    arc.n = arc_segment_count(r, std::abs(arc.sweep) * 180.0 / kPi, curve_tolerance);
    arc.ux = dx / arc.chord;
    arc.uy = dy / arc.chord;
    return arc;
}

// Points the arc adds strictly between its ends.
std::size_t inner_points(const BulgeArc& arc) { return arc.n > 1 ? static_cast<std::size_t>(arc.n - 1) : 0; }

// Appends the points of the arc strictly between a and its other end. Each
// point is placed from a along its chord, which stays accurate for the huge
// radii of nearly straight arcs, where centre and radius would not.
void append_bulge_arc(const geom::Point& a, const BulgeArc& arc, geom::Ring& out) {
    for (std::int32_t i = 1; i < arc.n; ++i) {
        const double phi = i * arc.sweep / arc.n;
        const double length = arc.chord * (std::sin(std::abs(phi) / 2.0) / arc.sin_half);
        const double turn = (phi - arc.sweep) / 2.0;
        const double c = std::cos(turn);
        const double s = std::sin(turn);
        out.push_back(
            geom::Point{a.x + length * (arc.ux * c - arc.uy * s), a.y + length * (arc.ux * s + arc.uy * c)});
    }
}

// The points the entities of one file have flattened to so far, against the
// most they may reach.
class PointBudget {
public:
    explicit PointBudget(std::size_t max_points) : max_(max_points) {}
    // Refuses the file when n more points would go over the limit.
    void check(std::size_t n) const {
        if (n > max_ - used_) throw DxfTooLarge("DXF too large (over " + std::to_string(max_) + " points)");
    }
    void add(std::size_t n) {
        check(n);
        used_ += n;
    }

private:
    std::size_t max_;
    std::size_t used_ = 0;
};

// An outline can flatten to far more points than its vertices: the budget is
// checked before any of them is made.
bool read_lwpolyline(const Group& g, const DxfImportSettings& settings, const PointBudget& budget,
                     Contour& contour) {
    std::vector<geom::Point> vertices;
    std::vector<double> bulges;
    PointCollector collect(vertices, &bulges);
    std::int32_t flags = 0;
    for (const PairView& p : g) {
        switch (p.code) {
            case 10:
            case 20:
            case 42:
                if (!collect.take(p)) return false;
                break;
            case 70:
                if (!try_parse_int(p.value, flags)) return false;
                break;
            default: break;
        }
    }
    collect.finish();
    if ((flags & 1) == 0) return false;
    // The bulge of a vertex shapes the segment to the next one; the last
    // vertex's bulge shapes the closing segment.
    const std::size_t count = vertices.size();
    auto arc_after = [&](std::size_t i) {
        return bulge_arc(vertices[i], vertices[(i + 1) % count], bulges[i], settings.curve_tolerance);
    };
    std::size_t points = count;
    for (std::size_t i = 0; i < count; ++i) points += inner_points(arc_after(i));
    // The closing point counts too.
    budget.check(points + 1);
    geom::Ring ring;
    // Room for the closing point too, so that cleaning never reallocates.
    ring.reserve(points + 1);
    for (std::size_t i = 0; i < count; ++i) {
        ring.push_back(vertices[i]);
        append_bulge_arc(vertices[i], arc_after(i), ring);
    }
    // Two vertices joined by arcs (a circle drawn as a polyline) enclose area;
    // without arcs fewer than three vertices never do.
    if (ring.size() < 3) return false;
    return make_contour(std::move(ring), contour);
}

class BSpline {
public:
    // knots must hold at least n + p + 1 values; p = min(degree, n - 1).
    BSpline(const std::vector<geom::Point>& points, const std::vector<double>& knots, std::int32_t p)
        : points_(points), knots_(knots), p_(static_cast<std::size_t>(p)), work_(p_ + 1) {
        monotone_ = std::is_sorted(knots_.begin(), knots_.end());
    }

    geom::Point at(double t) {
        const std::size_t n = points_.size();
        const std::size_t p = p_;
        const std::vector<double>& u = knots_;
        if (t >= u[n]) return points_[n - 1];
        std::size_t k = p;
        if (monotone_) {
            // Sorted knots: the span holding t is unique, so the search may
            // start anywhere.
            const auto ub = static_cast<std::size_t>(std::upper_bound(u.begin(), u.end(), t) - u.begin());
            if (ub >= 1) {
                const std::size_t c = ub - 1;
                if (c >= p && c <= n - 1 && u[c] <= t && t < u[c + 1]) k = c;
            }
        } else {
            for (std::size_t c = p; c <= n - 1; ++c) {
                if (u[c] <= t && t < u[c + 1]) {
                    k = c;
                    break;
                }
            }
        }
        for (std::size_t j = 0; j <= p; ++j) work_[j] = points_[j + k - p];
        for (std::size_t r = 1; r <= p; ++r) {
            for (std::size_t j = p; j >= r; --j) {
                const double lo = u[j + k - p];
                const double denom = u[j + 1 + k - r] - lo;
                double alpha = std::abs(denom) <= 1e-12 ? 0.0 : (t - lo) / denom;
                if (alpha < 0.0) alpha = 0.0;
                if (alpha > 1.0) alpha = 1.0;
                const geom::Point a = work_[j - 1];
                const geom::Point b = work_[j];
                work_[j] = geom::Point{a.x + alpha * (b.x - a.x), a.y + alpha * (b.y - a.y)};
            }
        }
        return work_[p];
    }

private:
    const std::vector<geom::Point>& points_;
    const std::vector<double>& knots_;
    std::size_t p_;
    std::vector<geom::Point> work_;
    bool monotone_ = false;
};

std::vector<double> clamped_uniform_knots(std::size_t n, std::size_t p) {
    std::vector<double> u(n + p + 1);
    for (std::size_t i = 0; i < u.size(); ++i) {
        if (i <= p) {
            u[i] = 0.0;
        } else if (i < n) {
            u[i] = static_cast<double>(i - p) / static_cast<double>(n - p);
        } else {
            u[i] = 1.0;
        }
    }
    return u;
}

bool read_spline(const Group& g, const DxfImportSettings& settings, geom::Ring& chain) {
    std::vector<geom::Point> points;
    PointCollector collect(points);
    std::vector<double> knots;
    std::int32_t degree = 3;
    for (const PairView& p : g) {
        double value;
        switch (p.code) {
            case 10:
            case 20:
                if (!collect.take(p)) return false;
                break;
            case 40:
                if (!try_parse_double(p.value, value)) return false;
                knots.push_back(value);
                break;
            case 71:
                if (!try_parse_int(p.value, degree)) return false;
                if (degree < 1) degree = 1;
                break;
            default: break;
        }
    }
    collect.finish();
    const std::size_t n = points.size();
    if (n < 2) return false;
    const std::size_t p = std::min(static_cast<std::size_t>(degree), n - 1);
    if (p > static_cast<std::size_t>(kMaxSplineDegree)) return false;
    if (knots.size() < n + p + 1) knots = clamped_uniform_knots(n, p);

    double t0 = knots[p];
    double t1 = knots[n];
    if (!(t0 < t1)) {
        t0 = knots.front();
        t1 = knots.back();
        if (!(t0 < t1)) return false;
    }

    double length = 0.0;
    for (std::size_t i = 1; i < n; ++i) length += geom::point_distance(points[i - 1], points[i]);
    const double step = std::max(0.6 * settings.curve_tolerance, 0.35);
    const std::int32_t s = clamp_count(std::ceil(length / step), 32, 900);

    BSpline spline(points, knots, static_cast<std::int32_t>(p));
    chain.clear();
    for (std::int32_t i = 0; i <= s; ++i) {
        const double t = (static_cast<double>(i) / s) * (t1 - t0) + t0;
        const geom::Point sample = spline.at(t);
        if (chain.empty() || geom::point_distance(sample, chain.back()) > 1e-5) chain.push_back(sample);
    }
    return chain.size() >= 2;
}

// Appends what the group yields and returns the number of its points.
std::size_t interpret_group(const Group& g, const DxfImportSettings& settings, const PointBudget& budget,
                            DxfFileGeometry& out) {
    const std::string_view type = g.front().value;
    geom::Ring chain;
    Contour contour;
    auto keep_chain = [&] {
        const std::size_t n = chain.size();
        out.open_chains.push_back(std::move(chain));
        return n;
    };
    auto keep_contour = [&] {
        const std::size_t n = contour.ring.size();
        out.contours.push_back(std::move(contour));
        return n;
    };
    if (type == "LINE") {
        if (read_line(g, chain)) return keep_chain();
    } else if (type == "ARC") {
        if (read_arc(g, settings, chain)) return keep_chain();
    } else if (type == "CIRCLE") {
        if (read_circle(g, settings, contour)) return keep_contour();
    } else if (type == "LWPOLYLINE") {
        if (read_lwpolyline(g, settings, budget, contour)) return keep_contour();
    } else if (type == "SPLINE") {
        if (read_spline(g, settings, chain)) return keep_chain();
    }
    return 0;
}

}  // namespace

std::string trim(std::string_view text) { return std::string(trim_view(text)); }

std::int32_t parse_int(std::string_view text) {
    std::int32_t value = 0;
    if (!try_parse_int(text, value)) throw std::invalid_argument("parse_int: " + std::string(text));
    return value;
}

double parse_double(std::string_view text) {
    double value = 0.0;
    if (!try_parse_double(text, value)) throw std::invalid_argument("parse_double: " + std::string(text));
    return value;
}

std::vector<DxfPair> parse_dxf_pairs(std::string_view text) {
    std::vector<DxfPair> pairs;
    TextLines lines(text);
    PairView pair{};
    while (next_pair(lines, pair)) pairs.push_back(DxfPair{pair.code, std::string(pair.value)});
    return pairs;
}

geom::Point evaluate_bspline(double t, const std::vector<geom::Point>& control_points,
                             const std::vector<double>& knots, std::int32_t degree) {
    if (control_points.empty()) return geom::Point{0.0, 0.0};
    const std::size_t n = control_points.size();
    if (degree <= 0 || n == 1) return control_points.front();
    const std::size_t p = std::min(static_cast<std::size_t>(degree), n - 1);
    if (knots.size() < n + p + 1) {
        const std::vector<double> u = clamped_uniform_knots(n, p);
        return BSpline(control_points, u, static_cast<std::int32_t>(p)).at(t);
    }
    return BSpline(control_points, knots, static_cast<std::int32_t>(p)).at(t);
}

namespace {

// The lines of a file, read in blocks of 1 MB into one buffer that is used
// again and again, so that a large drawing is never held whole. Lines are
// views into the buffer; the pairs of the group being collected stay valid
// across a refill: their text is kept and their views moved with it. A group
// longer than a block makes the buffer grow with it.
class StreamLines {
public:
    StreamLines(std::istream& in, std::vector<PairView>& group) : in_(in), group_(group) {}

    bool next(std::string_view& line) {
        for (;;) {
            const std::size_t nl = buf_.find('\n', pos_);
            if (nl != std::string::npos) {
                line = std::string_view(buf_.data() + pos_, nl - pos_);
                pos_ = nl + 1;
                return true;
            }
            if (at_end_) {
                if (pos_ >= buf_.size()) return false;
                line = std::string_view(buf_.data() + pos_, buf_.size() - pos_);
                pos_ = buf_.size();
                return true;
            }
            refill();
        }
    }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;

    void refill() {
        const char* old = buf_.data();
        std::size_t keep = pos_;
        if (!group_.empty()) keep = std::min(keep, static_cast<std::size_t>(group_.front().value.data() - old));
        buf_.erase(0, keep);
        pos_ -= keep;
        const std::size_t have = buf_.size();
        buf_.resize(std::max(kBlock, 2 * have));
        in_.read(buf_.data() + have, static_cast<std::streamsize>(buf_.size() - have));
        const auto got = static_cast<std::size_t>(in_.gcount());
        // A short read is the end of the file or a read error: either ends
        // reading with what was read.
        if (have + got < buf_.size()) at_end_ = true;
        buf_.resize(have + got);
        for (PairView& p : group_) {
            const auto offset = static_cast<std::size_t>(p.value.data() - old) - keep;
            p.value = std::string_view(buf_.data() + offset, p.value.size());
        }
    }

    std::istream& in_;
    std::vector<PairView>& group_;
    std::string buf_;
    std::size_t pos_ = 0;
    bool at_end_ = false;
};

// Groups are cut at every code-0 pair and interpreted as soon as they are
// complete; each entity stands alone, so one that fails is simply dropped.
// Lack of memory is no fault of the entity: it ends the read, so that a part
// never goes missing in silence. The group is the caller's, so that the line
// source may keep its text.
template <class Lines>
DxfFileGeometry read_groups(Lines& lines, Group& group, const DxfImportSettings& settings, std::size_t max_points) {
    DxfFileGeometry out;
    PointBudget budget(max_points);
    auto flush = [&] {
        if (group.empty()) return;
        std::size_t points = 0;
        try {
            points = interpret_group(group, settings, budget, out);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const DxfTooLarge&) {
            throw;
        } catch (const std::exception&) {
            // A bad entity: drop it.
        }
        budget.add(points);
        group.clear();
    };
    PairView pair{};
    while (next_pair(lines, pair)) {
        if (pair.code == 0) {
            flush();
            group.push_back(pair);
        } else if (!group.empty()) {
            group.push_back(pair);
        }
    }
    flush();
    return out;
}

}  // namespace

DxfFileGeometry read_dxf_text(std::string_view text, const DxfImportSettings& settings, std::size_t max_points) {
    TextLines lines(text);
    Group group;
    return read_groups(lines, group, settings, max_points);
}

// Read in binary: every line ends at a line feed and a carriage return before
// it is trimmed, so both line ends read alike on every platform.
DxfFileGeometry read_dxf_file(const std::filesystem::path& path, const DxfImportSettings& settings) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) throw std::runtime_error("Cannot open DXF: " + path_to_utf8(path));
    Group group;
    StreamLines lines(in, group);
    try {
        return read_groups(lines, group, settings, kMaxDxfPoints);
    } catch (const DxfTooLarge& e) {
        throw DxfTooLarge(std::string(e.what()) + ": " + path_to_utf8(path));
    }
}

}  // namespace plv
