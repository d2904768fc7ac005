// Reads a large generated drawing through the whole DXF load (file reading,
// chain joining, hole assignment, part building) and prints
//   dxf_read mb=M seconds=T mb_per_s=R parts=P
// The drawing is a grid of rounded plates of LINE and ARC entities, each with
// two CIRCLE holes and an obround slot, written like a CAD program writes
// them (handles, layers, subclass markers, z values). Optional argument: the
// number of plates (default 20000, about 45 MB). The best of three loads is
// reported.

#include "dxf/part_builder.hpp"
#include "dxf/paths.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

}  // namespace

int main(int argc, char** argv) {
    const int plates = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    const std::string drawing = make_drawing(plates);
    const auto file = std::filesystem::temp_directory_path() / "plv_dxf_read_bench.dxf";
    {
        std::ofstream out(file, std::ios::binary);
        out.write(drawing.data(), static_cast<std::streamsize>(drawing.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", plv::path_to_utf8(file).c_str());
            return 1;
        }
    }

    double best = 1e300;
    std::size_t parts = 0;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto loaded = plv::load_dxf_parts({file}, plv::DxfImportSettings{});
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
        parts = loaded.size();
    }
    std::error_code ec;
    std::filesystem::remove(file, ec);

    const double mb = static_cast<double>(drawing.size()) / 1e6;
    std::printf("dxf_read mb=%.2f seconds=%.3f mb_per_s=%.1f parts=%zu\n", mb, best, mb / best, parts);
    return parts == static_cast<std::size_t>(plates) ? 0 : 1;
}
