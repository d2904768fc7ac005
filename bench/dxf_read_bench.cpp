// Reads a large generated drawing through the whole DXF load (file reading,
// chain joining, hole assignment, part building) and prints
//   dxf_read mb=M seconds=T mb_per_s=R first_mb_per_s=F parts=P
// The drawing is a grid of rounded plates of LINE and ARC entities, each with
// two CIRCLE holes and an obround slot, written like a CAD program writes
// them (handles, layers, subclass markers, z values). Optional argument: the
// number of plates (default 20000, about 45 MB). The best of three loads is
// reported, and the first one (fresh process) apart.
//
// Then one closed LWPOLYLINE of 400000 bulged vertices, every segment a half
// circle flattened to 128 points, printed as
//   dxf_read case=bulged_polyline mb=M seconds=T peak_mb=P parts=N [refused="..."]
// with the peak resident memory of that load alone (Linux).

#include "dxf/part_builder.hpp"
#include "dxf/paths.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

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
    std::string& text() { return out_; }

private:
    std::string out_;
    unsigned next_handle_ = 0x100;
};

std::string make_drawing(int plates) {
    Writer w;
    w.group(0, "SECTION");
    w.group(2, "ENTITIES");
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
    w.group(0, "ENDSEC");
    w.group(0, "EOF");
    return std::move(w.text());
}

bool write_file(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (out) return true;
    std::fprintf(stderr, "cannot write %s\n", plv::path_to_utf8(file).c_str());
    return false;
}

// ---- Bulged polyline ----------------------------------------------------------

// Restarts the count of the peak resident memory (Linux: VmHWM), after
// handing the memory freed by earlier cases back; false where it cannot be
// restarted.
bool reset_peak() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    std::ofstream f("/proc/self/clear_refs");
    f << "5";
    f.close();
    return static_cast<bool>(f);
}

// Peak resident memory since the last reset, MB; -1 where unknown.
double peak_mb() {
    std::ifstream f("/proc/self/status");
    std::string key;
    while (f >> key) {
        if (key == "VmHWM:") {
            double kb = 0.0;
            f >> kb;
            return kb / 1024.0;
        }
    }
    return -1.0;
}

// One closed polyline along the x axis: vertices 200 apart, each segment a
// half circle (bulge 1, 314 long, so 128 points at the default tolerance),
// the closing segment straight.
std::string make_bulged_polyline(int vertices) {
    Writer w;
    w.group(0, "SECTION");
    w.group(2, "ENTITIES");
    w.group(0, "LWPOLYLINE");
    w.integer(90, vertices);
    w.integer(70, 1);
    for (int i = 0; i < vertices; ++i) {
        w.integer(10, 200LL * i);
        w.integer(20, 0);
        w.integer(42, i + 1 < vertices ? 1 : 0);
    }
    w.group(0, "ENDSEC");
    w.group(0, "EOF");
    return std::move(w.text());
}

bool bulged_polyline_case(const std::filesystem::path& file) {
    const int vertices = 400000;
    double mb = 0.0;
    {
        const std::string drawing = make_bulged_polyline(vertices);
        mb = static_cast<double>(drawing.size()) / 1e6;
        if (!write_file(file, drawing)) return false;
    }
    const bool reset = reset_peak();
    std::size_t parts = 0;
    std::string refused;
    const auto t0 = std::chrono::steady_clock::now();
    try {
        parts = plv::load_dxf_parts({file}, plv::DxfImportSettings{}).size();
    } catch (const std::exception& e) {
        refused = e.what();
    }
    const auto t1 = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(t1 - t0).count();
    std::error_code ec;
    std::filesystem::remove(file, ec);
    std::printf("dxf_read case=bulged_polyline mb=%.2f seconds=%.3f peak_mb=%.0f parts=%zu", mb, seconds,
                reset ? peak_mb() : -1.0, parts);
    if (!refused.empty()) std::printf(" refused=\"%s\"", refused.c_str());
    std::printf("\n");
    return parts == 1 || !refused.empty();
}

}  // namespace

int main(int argc, char** argv) {
    const int plates = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    const std::string drawing = make_drawing(plates);
    const auto file = std::filesystem::temp_directory_path() / "plv_dxf_read_bench.dxf";
    if (!write_file(file, drawing)) return 1;

    double best = 1e300;
    double first = 0.0;
    std::size_t parts = 0;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto loaded = plv::load_dxf_parts({file}, plv::DxfImportSettings{});
        const auto t1 = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(t1 - t0).count();
        if (run == 0) first = seconds;
        best = std::min(best, seconds);
        parts = loaded.size();
    }
    std::error_code ec;
    std::filesystem::remove(file, ec);

    const double mb = static_cast<double>(drawing.size()) / 1e6;
    std::printf("dxf_read mb=%.2f seconds=%.3f mb_per_s=%.1f first_mb_per_s=%.1f parts=%zu\n", mb, best, mb / best,
                mb / first, parts);
    bool ok = parts == static_cast<std::size_t>(plates);
    ok = bulged_polyline_case(std::filesystem::temp_directory_path() / "plv_dxf_read_bench_bulges.dxf") && ok;
    return ok ? 0 : 1;
}
