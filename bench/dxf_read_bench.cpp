// Reads generated drawings through the whole DXF load (file reading, chain
// joining, hole assignment, part building) and prints one line per case:
//   dxf_read case=NAME mb=M seconds=T mb_per_s=R first_mb_per_s=F peak_mb=P parts=N
// (or error="..." in place of parts= when the load refuses the file).
// "plates" is the ordinary drawing: a grid of rounded plates of LINE and ARC
// entities, each with two CIRCLE holes and an obround slot, written like a CAD
// program writes them (handles, layers, subclass markers, z values). The other
// cases are drawings on which the work of one stage could get out of hand.
// The best of three loads is reported, and the first apart (for "plates",
// which runs first, the first read of the fresh process); peak_mb is the peak
// resident memory while the case was read (on Linux; elsewhere the process
// peak so far).
// Arguments: optionally the number of plates (default 20000, about 45 MB),
// then the names of the cases to run (default all).
#include "dxf/part_builder.hpp"
#include "dxf/paths.hpp"
#include "peak_memory.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class Writer {
public:
    void group(int code, const std::string& value) {
        char c[8];
        std::snprintf(c, sizeof c, "%3d", code);
        out_ += c;
        out_ += '\n';
        out_ += value;
        out_ += '\n';
    }
    void real(int code, double v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.6f", v);
        group(code, buf);
    }
    void entity(const char* type, const char* subclass) {
        char handle[16];
        std::snprintf(handle, sizeof handle, "%X", next_handle_++);
        group(0, type);
        group(5, handle);
        group(330, "1F");
        group(100, "AcDbEntity");
        group(8, "PARTS");
        group(100, subclass);
    }
    void line(double x1, double y1, double x2, double y2) {
        entity("LINE", "AcDbLine");
        real(10, x1);
        real(20, y1);
        real(30, 0.0);
        real(11, x2);
        real(21, y2);
        real(31, 0.0);
    }
    void circle_body(double cx, double cy, double r) {
        real(10, cx);
        real(20, cy);
        real(30, 0.0);
        real(40, r);
    }
    void circle(double cx, double cy, double r) {
        entity("CIRCLE", "AcDbCircle");
        circle_body(cx, cy, r);
    }
    void arc(double cx, double cy, double r, double a0, double a1) {
        entity("ARC", "AcDbCircle");
        circle_body(cx, cy, r);
        group(100, "AcDbArc");
        real(50, a0);
        real(51, a1);
    }
    void integer(int code, long long v) { group(code, std::to_string(v)); }
    void begin() {
        group(0, "SECTION");
        group(2, "ENTITIES");
    }
    std::string finish() {
        group(0, "ENDSEC");
        group(0, "EOF");
        return std::move(out_);
    }

private:
    std::string out_;
    unsigned next_handle_ = 0x100;
};

std::string plates_drawing(int plates) {
    Writer w;
    w.begin();
    const int per_row = 100;
    for (int i = 0; i < plates; ++i) {
        const double x = (i % per_row) * 130.0;
        const double y = (i / per_row) * 90.0;
        const double wd = 100.0 + (i % 7);
        const double ht = 60.0 + (i % 5);
        const double r = 8.0;
        // Outline: lines and corner arcs, some lines drawn backwards.
        w.line(x + r, y, x + wd - r, y);
        w.arc(x + wd - r, y + r, r, 270.0, 360.0);
        w.line(x + wd, y + ht - r, x + wd, y + r);
        w.arc(x + wd - r, y + ht - r, r, 0.0, 90.0);
        w.line(x + wd - r, y + ht, x + r, y + ht);
        w.arc(x + r, y + ht - r, r, 90.0, 180.0);
        w.line(x, y + r, x, y + ht - r);
        w.arc(x + r, y + r, r, 180.0, 270.0);
        // Holes.
        w.circle(x + 20.0, y + ht / 2, 6.0);
        w.circle(x + wd - 20.0, y + ht / 2, 6.0);
        const double sx = x + wd / 2;
        const double sy = y + ht / 2;
        w.line(sx - 15.0, sy - 5.0, sx + 15.0, sy - 5.0);
        w.arc(sx + 15.0, sy, 5.0, 270.0, 90.0);
        w.line(sx - 15.0, sy + 5.0, sx + 15.0, sy + 5.0);
        w.arc(sx - 15.0, sy, 5.0, 90.0, 270.0);
    }
    return w.finish();
}

// One LINE written 80 000 times, as CAD exports with stacked duplicates
// have it: every chain end lies on one of two points.
std::string duplicated_lines() {
    Writer w;
    w.begin();
    for (int i = 0; i < 80000; ++i) w.line(10.0, 10.0, 60.0, 10.0);
    return w.finish();
}

// 25 000 squares of 10 x 10 on a 20 mm pitch, their 100 000 sides in a
// shuffled order and direction, offset by the given amount (exact even
// integers at 1e16, so that the squares themselves are still representable).
std::string shuffled_squares(double offset) {
    struct Side {
        double x1, y1, x2, y2;
    };
    std::vector<Side> sides;
    const int per_row = 158;
    for (int i = 0; i < 25000; ++i) {
        const double x = offset + (i % per_row) * 20.0;
        const double y = offset + (i / per_row) * 20.0;
        sides.push_back({x, y, x + 10.0, y});
        sides.push_back({x + 10.0, y, x + 10.0, y + 10.0});
        sides.push_back({x + 10.0, y + 10.0, x, y + 10.0});
        sides.push_back({x, y + 10.0, x, y});
    }
    // Fisher-Yates on the generator's raw output: the same order everywhere.
    std::uint32_t state = 12345u;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (std::size_t i = sides.size() - 1; i > 0; --i) {
        std::swap(sides[i], sides[next() % (i + 1)]);
        if (next() & 1) {
            std::swap(sides[i].x1, sides[i].x2);
            std::swap(sides[i].y1, sides[i].y2);
        }
    }
    Writer w;
    w.begin();
    for (const Side& s : sides) w.line(s.x1, s.y1, s.x2, s.y2);
    return w.finish();
}

// 20 000 circles about one centre, radii 1 to 20 000: every one lies inside
// all the larger ones (the nest gives no part: its net area is 0).
std::string concentric_circles() {
    Writer w;
    w.begin();
    for (int i = 1; i <= 20000; ++i) w.circle(0.0, 0.0, static_cast<double>(i));
    return w.finish();
}

// One closed LWPOLYLINE along the x axis: 400 000 vertices 200 apart, each
// segment a half circle (bulge 1, 314 long, so 128 points at the default
// tolerance), the closing segment straight: 51 million points once
// flattened, over the reader's limit.
std::string bulged_polyline() {
    const int vertices = 400000;
    Writer w;
    w.begin();
    w.group(0, "LWPOLYLINE");
    w.integer(90, vertices);
    w.integer(70, 1);
    for (int i = 0; i < vertices; ++i) {
        w.integer(10, 200LL * i);
        w.integer(20, 0);
        w.integer(42, i + 1 < vertices ? 1 : 0);
    }
    return w.finish();
}

struct Case {
    const char* name;
    std::function<std::string()> make;
    std::size_t parts;  // expected when the file is read
};

}  // namespace

int main(int argc, char** argv) {
    int arg = 1;
    int plates = 20000;
    if (argc > 1 && std::atoi(argv[1]) > 0) {
        plates = std::atoi(argv[1]);
        arg = 2;
    }
    const std::vector<Case> cases{
        {"plates", [plates] { return plates_drawing(plates); }, static_cast<std::size_t>(plates)},
        {"duplicated_lines", duplicated_lines, 0},
        {"shuffled_squares", [] { return shuffled_squares(0.0); }, 25000},
        {"shuffled_squares_1e16", [] { return shuffled_squares(1e16); }, 25000},
        {"concentric_circles", concentric_circles, 0},
        {"bulged_polyline", bulged_polyline, 1},
    };
    std::vector<std::string> wanted(argv + arg, argv + argc);
    // A name of its own: benchmarks run side by side must not share the file.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const auto file = std::filesystem::temp_directory_path() /
                      ("plv_dxf_read_bench_" + std::to_string(stamp) + ".dxf");
    int status = 0;
    for (const Case& c : cases) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), c.name) == wanted.end()) continue;
        double mb = 0.0;
        {
            const std::string drawing = c.make();
            mb = static_cast<double>(drawing.size()) / 1e6;
            std::ofstream out(file, std::ios::binary);
            out.write(drawing.data(), static_cast<std::streamsize>(drawing.size()));
            if (!out) {
                std::fprintf(stderr, "cannot write %s\n", plv::path_to_utf8(file).c_str());
                return 1;
            }
        }
        bench::reset_peak();
        double best = 1e300;
        double first = 0.0;
        std::size_t parts = 0;
        std::string error;
        for (int run = 0; run < 3; ++run) {
            const auto t0 = std::chrono::steady_clock::now();
            try {
                parts = plv::load_dxf_parts({file}, plv::DxfImportSettings{}).size();
            } catch (const std::exception& e) {
                error = e.what();
            }
            const auto t1 = std::chrono::steady_clock::now();
            const double seconds = std::chrono::duration<double>(t1 - t0).count();
            if (run == 0) first = seconds;
            best = std::min(best, seconds);
        }
        std::printf("dxf_read case=%s mb=%.2f seconds=%.3f mb_per_s=%.1f first_mb_per_s=%.1f peak_mb=%.0f ", c.name,
                    mb, best, mb / best, mb / first, bench::peak_mb());
        if (error.empty()) {
            std::printf("parts=%zu\n", parts);
            if (parts != c.parts) status = 1;
        } else {
            std::printf("error=\"%s\"\n", error.c_str());
        }
        std::fflush(stdout);
    }
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return status;
}
