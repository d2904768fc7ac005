#include "dxf/dxf_groups.hpp"
#include "dxf/dxf_writer.hpp"

#include "writer_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#else
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using plv::Annotation;
using plv::NestingResult;
using plv::Placement;
using plv::Point;
using plv::Polygon;
using plv::Ring;
using plv::TextLabel;
namespace Kind = plv::AnnotationKind;
using writer_test::Entity;
using writer_test::entities_of;
using writer_test::Group;
using writer_test::OutputFolder;
using writer_test::parse_groups;
using writer_test::place;
using writer_test::read_file;
using writer_test::rect;

std::string utf8(const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

void write(const NestingResult& r, const fs::path& path, bool merge = false, std::vector<TextLabel> labels = {},
           std::vector<Annotation> annotations = {}, std::int32_t units = 4) {
    plv::write_dxf(r, path, 250.0, labels, units, merge, annotations);
}

// Two sheets, a part with a hole with a neighbour touching it, a label and
// one annotation of each kind.
struct SmallLayout {
    NestingResult result;
    std::vector<TextLabel> labels;
    std::vector<Annotation> annotations;

    SmallLayout() {
        result.sheet = plv::Sheet{1000.0, 500.0};
        result.placements = {
            place(Polygon{rect(0, 0, 100, 100), {rect(30, 30, 70, 70)}}, 0),
            place(Polygon{rect(100, 0, 200, 50), {}}, 0),
            place(Polygon{Ring{{10, 10}, {110, 10}, {60, 90}}, {}}, 1),
        };
        labels = {TextLabel{{0, -40}, "Job 42"}};
        auto add = [&](std::uint32_t kind, Point p0, Point p1, Point p2, std::string text,
                       std::vector<Point> points = {}) {
            annotations.push_back(Annotation{kind, p0, p1, p2, std::move(text), std::move(points)});
        };
        add(Kind::line, {0, 600}, {100, 600}, {}, "");
        add(Kind::rectangle, {150, 600}, {250, 650}, {}, "");
        add(Kind::circle, {300, 625}, {325, 625}, {}, "");
        add(Kind::dimension, {0, 0}, {200, 0}, {100, -30}, "");
        add(Kind::text, {400, 600}, {}, {}, "Nota");
        add(Kind::arc, {500, 600}, {540, 600}, {520, 620}, "");
        add(Kind::polyline, {}, {}, {}, "", {{600, 600}, {650, 650}, {700, 600}});
    }
};

// Where two texts part: the first line (1-based) that differs, shown from both
// sides with its line end, or where one text stops while the other goes on.
std::string first_difference(const std::string& written, const std::string& golden) {
    auto quoted = [](std::string_view line) {
        std::string out = "\"";
        for (const char c : line) {
            if (c == '\r') {
                out += "\\r";
            } else if (c == '\n') {
                out += "\\n";
            } else {
                out += c;
            }
        }
        return out + "\"";
    };
    // A line keeps its '\n' so that a changed line end shows too.
    auto line_at = [](const std::string& text, std::size_t pos) {
        const std::size_t end = text.find('\n', pos);
        return std::string_view(text).substr(pos, end == std::string::npos ? std::string::npos : end + 1 - pos);
    };
    std::size_t pos = 0;
    for (int line = 1;; ++line) {
        const std::string_view w = pos < written.size() ? line_at(written, pos) : std::string_view();
        const std::string_view g = pos < golden.size() ? line_at(golden, pos) : std::string_view();
        if (w.empty() && g.empty()) return "no difference";
        if (w != g) {
            if (w.empty()) return "the written file ends before line " + std::to_string(line) + ", golden " + quoted(g);
            if (g.empty()) return "the golden file ends before line " + std::to_string(line) + ", written " + quoted(w);
            return "line " + std::to_string(line) + ": written " + quoted(w) + ", golden " + quoted(g);
        }
        pos += w.size();
    }
}

// The writer's output for a small layout, byte for byte. After a deliberate
// change to the output, regenerate the two files from the native build with
//   PLV_UPDATE_GOLDEN=1 build/linux/tests/dxf_tests --gtest_filter=DxfDocument.MatchesTheGoldenFiles*
// and read the change in `git diff tests/data/golden` before committing it;
// the Windows build must then match the same files.
TEST(DxfDocument, MatchesTheGoldenFilesByteForByte) {
    const OutputFolder folder("golden");
    const SmallLayout layout;
    const struct {
        const char* name;
        bool merge;
        int parts_entities;
        int holes_entities;
    } cases[] = {
        {"layout_polylines.dxf", false, 3, 1},
        // The bottom sides of the two touching parts become one line, and
        // their shared side (x = 100, 0..50) joins the rest of x = 100.
        {"layout_merged.dxf", true, 9, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = folder.file(c.name);
        write(layout.result, path, c.merge, layout.labels, layout.annotations);
        const fs::path golden_path = fs::u8path(std::string(PLV_TEST_DATA_DIR) + "/golden/" + c.name);
        const std::string written = read_file(path);
        const char* update = std::getenv("PLV_UPDATE_GOLDEN");
        if (update != nullptr && *update != '\0') {
            std::ofstream(golden_path, std::ios::binary) << written;
        }
        const std::string golden = read_file(golden_path);
        EXPECT_FALSE(golden.empty()) << "missing golden file";
        EXPECT_TRUE(written == golden) << "differs from tests/data/golden/" << c.name << ": "
                                       << first_difference(written, golden);

        const writer_test::Summary s = folder.summarize_file(path);
        EXPECT_EQ(s.count("SHEET", "POLYLINE"), 2);
        EXPECT_EQ(s.count("SHEET", "TEXT"), 2);
        const char* part_type = c.merge ? "LINE" : "POLYLINE";
        EXPECT_EQ(s.count("PARTS", part_type), c.parts_entities);
        EXPECT_EQ(s.count("HOLES", part_type), c.holes_entities);
        // 1 + 4 + 7 + 2 lines, a circle, an arc, the dimension text, the
        // text item and the label.
        EXPECT_EQ(s.count("ANNOTATION", "LINE"), 14);
        EXPECT_EQ(s.count("ANNOTATION", "CIRCLE"), 1);
        EXPECT_EQ(s.count("ANNOTATION", "ARC"), 1);
        EXPECT_EQ(s.count("ANNOTATION", "TEXT"), 3);
        EXPECT_DOUBLE_EQ(s.min_x, 0.0);
        EXPECT_DOUBLE_EQ(s.min_y, -40.0);  // the label
        EXPECT_DOUBLE_EQ(s.max_x, 2250.0);
        EXPECT_DOUBLE_EQ(s.max_y, 650.0);
    }
}

TEST(DxfDocument, SheetsLieSideBySide) {
    const OutputFolder folder("two-sheets");
    NestingResult r;
    r.placements = {place(Polygon{rect(0, 0, 500, 300), {}}, 0),
                    place(Polygon{Ring{{10.25, 20.5}, {400, 20.5}, {400, 700.125}}, {rect(300, 100, 350, 150)}}, 1)};
    const fs::path path = folder.file("two-sheets.dxf");
    write(r, path);
    const std::vector<Entity> e = entities_of(read_file(path));
    folder.summarize_file(path);

    std::vector<const Entity*> sheets, captions, parts, holes;
    for (const Entity& x : e) {
        if (x.layer == "SHEET" && x.type == "POLYLINE") sheets.push_back(&x);
        if (x.layer == "SHEET" && x.type == "TEXT") captions.push_back(&x);
        if (x.layer == "PARTS") parts.push_back(&x);
        if (x.layer == "HOLES") holes.push_back(&x);
    }
    ASSERT_EQ(sheets.size(), 2u);
    ASSERT_EQ(captions.size(), 2u);
    using V = std::vector<std::pair<double, double>>;
    EXPECT_EQ(sheets[0]->vertices, (V{{0, 0}, {3000, 0}, {3000, 1500}, {0, 1500}}));
    EXPECT_EQ(sheets[1]->vertices, (V{{3250, 0}, {6250, 0}, {6250, 1500}, {3250, 1500}}));
    EXPECT_EQ(captions[0]->text(1), "Sheet 1");
    EXPECT_EQ(captions[1]->text(1), "Sheet 2");
    EXPECT_EQ(captions[1]->text(10), "3250.000000");
    EXPECT_EQ(captions[1]->text(20), "1535.000000");
    EXPECT_EQ(captions[1]->text(40), "24.000000");

    // The part on sheet 1 moves right by exactly W + gap, holes with it.
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1]->vertices, (V{{3260.25, 20.5}, {3650, 20.5}, {3650, 700.125}}));
    ASSERT_EQ(holes.size(), 1u);
    EXPECT_EQ(holes[0]->vertices, (V{{3550, 100}, {3600, 100}, {3600, 150}, {3550, 150}}));
}

TEST(DxfDocument, EverySheetUpToTheLastUsedOneIsDrawn) {
    const OutputFolder folder("sheet-gaps");
    NestingResult r;
    r.sheet = plv::Sheet{100, 50};
    r.placements = {place(Polygon{rect(0, 0, 10, 10), {}}, 2), place(Polygon{rect(0, 0, 10, 10), {}}, 0)};
    const fs::path path = folder.file("sheets-0-and-2.dxf");
    plv::write_dxf(r, path, 10.0, {}, 4, false, {});
    const auto s = folder.summarize_file(path);
    EXPECT_EQ(s.count("SHEET", "POLYLINE"), 3);
    EXPECT_EQ(s.count("PARTS", "POLYLINE"), 2);
    EXPECT_DOUBLE_EQ(s.max_x, 320.0);
}

TEST(DxfDocument, EmptyLayoutHasNoSheets) {
    const OutputFolder folder("empty");
    const fs::path path = folder.file("empty.dxf");
    write(NestingResult{}, path, false, {TextLabel{{5, 5}, "solo"}},
          {Annotation{Kind::line, {0, 0}, {10, 0}, {}, "", {}}});
    const std::string text = read_file(path);
    ASSERT_GE(text.size(), 5u);
    EXPECT_EQ(text.substr(text.size() - 5), "EOF\r\n");
    const auto s = folder.summarize_file(path);
    EXPECT_EQ(s.total(), 2);
    EXPECT_EQ(s.count("ANNOTATION", "TEXT"), 1);
    EXPECT_EQ(s.count("ANNOTATION", "LINE"), 1);

    const std::string bare_path = utf8(folder.file("bare.dxf"));
    write(NestingResult{}, fs::u8path(bare_path));
    const std::vector<Group> g = parse_groups(read_file(fs::u8path(bare_path)));
    ASSERT_GE(g.size(), 4u);
    const std::vector<Group> tail(g.end() - 4, g.end());
    EXPECT_EQ(tail, (std::vector<Group>{{0, "SECTION"}, {2, "ENTITIES"}, {0, "ENDSEC"}, {0, "EOF"}}));
    folder.summarize_file(fs::u8path(bare_path));
}

TEST(DxfDocument, HeaderAndTables) {
    const OutputFolder folder("header");
    const struct {
        std::int32_t units;
        const char* insunits;
        const char* measurement;
    } cases[] = {{1, "1", "0"}, {4, "4", "1"}, {0, "4", "1"}, {25, "4", "1"}};
    std::string previous_entities;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.units);
        const fs::path path = folder.file("units-" + std::to_string(c.units) + ".dxf");
        const SmallLayout layout;
        write(layout.result, path, false, {}, {}, c.units);
        folder.summarize_file(path);
        const std::string text = read_file(path);
        const std::vector<Group> g = parse_groups(text);
        const std::vector<Group> header(g.begin(), g.begin() + 16);
        EXPECT_EQ(header, (std::vector<Group>{{999, "Created by Plavorin"},
                                              {0, "SECTION"},
                                              {2, "HEADER"},
                                              {9, "$ACADVER"},
                                              {1, "AC1009"},
                                              {9, "$DWGCODEPAGE"},
                                              {3, "ANSI_1252"},
                                              {9, "$INSUNITS"},
                                              {70, c.insunits},
                                              {9, "$MEASUREMENT"},
                                              {70, c.measurement},
                                              {9, "$LUNITS"},
                                              {70, "2"},
                                              {9, "$LUPREC"},
                                              {70, "3"},
                                              {0, "ENDSEC"}}));
        // The coordinates do not depend on the units.
        const std::string entities = text.substr(text.find("ENTITIES"));
        if (!previous_entities.empty()) {
            EXPECT_EQ(entities, previous_entities);
        }
        previous_entities = entities;

        std::vector<std::string> layers;
        for (std::size_t i = 0; i + 1 < g.size(); ++i) {
            if (g[i] == Group{0, "LAYER"}) layers.push_back(g[i + 1].value);
        }
        EXPECT_EQ(layers, (std::vector<std::string>{"0", "SHEET", "PARTS", "HOLES", "ANNOTATION"}));
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));
    }
}

TEST(DxfDocument, MergedAndPolylineOutputsDifferOnlyInTheParts) {
    const OutputFolder folder("merge-switch");
    const SmallLayout layout;
    const fs::path plain = folder.file("plain.dxf");
    const fs::path merged = folder.file("merged.dxf");
    write(layout.result, plain, false, layout.labels, layout.annotations);
    write(layout.result, merged, true, layout.labels, layout.annotations);
    folder.summarize_file(plain);
    folder.summarize_file(merged);
    auto others = [](const fs::path& p) {
        std::vector<Entity> kept;
        for (Entity& e : entities_of(read_file(p))) {
            if (e.layer != "PARTS" && e.layer != "HOLES") kept.push_back(std::move(e));
        }
        return kept;
    };
    const auto a = others(plain);
    const auto b = others(merged);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].type, b[i].type);
        EXPECT_EQ(a[i].groups, b[i].groups);
        EXPECT_EQ(a[i].vertices, b[i].vertices);
    }
}

TEST(DxfDocument, HandleStateIsResetForEveryFile) {
    const OutputFolder folder("handles");
    plv::dxf_handle_state() = plv::DxfHandleState{99, true};
    const fs::path path = folder.file("handles.dxf");
    write(SmallLayout().result, path);
    folder.summarize_file(path);
    for (const Group& g : parse_groups(read_file(path))) EXPECT_NE(g.code, 5);
    EXPECT_EQ(plv::dxf_handle_state().next_handle, 16);
    EXPECT_FALSE(plv::dxf_handle_state().write_handles);
}

bool only_file_in(const fs::path& dir, const fs::path& file) {
    int n = 0;
    bool found = false;
    for (const auto& entry : fs::directory_iterator(dir)) {
        ++n;
        if (entry.path().filename() == file.filename()) found = true;
    }
    return n == 1 && found;
}

TEST(DxfDocument, CreatesFoldersAndReplacesAnExistingFile) {
    const OutputFolder folder("replace");
    const fs::path dir = folder.dir() / "out" / "nested";
    const fs::path path = dir / "layout.dxf";
    write(SmallLayout().result, path);
    EXPECT_TRUE(fs::is_regular_file(path));
    const std::string first = read_file(path);

    // A longer file in the way is replaced whole, and no temporary stays.
    {
        std::ofstream old(path, std::ios::binary | std::ios::trunc);
        old << std::string(first.size() * 3, 'x');
    }
    write(SmallLayout().result, path);
    EXPECT_TRUE(read_file(path) == first);
    EXPECT_TRUE(only_file_in(dir, path));
    folder.summarize_file(path);
}

TEST(DxfDocument, UnusualFileNames) {
    const OutputFolder folder("file-names");
    const fs::path path = folder.dir() / fs::path(u8"chapa ñandú €.dxf");
    write(SmallLayout().result, path);
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(folder.summarize_file(path).count("PARTS", "POLYLINE"), 3);

    // A name near the limit still leaves room for the temporary beside it.
    const fs::path dir = folder.dir() / "long";
    const fs::path long_name = dir / (std::string(240, 'l') + ".dxf");
    write(SmallLayout().result, long_name);
    EXPECT_TRUE(only_file_in(dir, long_name));
    folder.summarize_file(long_name);
}

bool is_link(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    return fs::is_symlink(path);
#endif
}

// A symbolic link at link leading to target (as written, relative or not);
// false where links cannot be made. (Wine 8 reports success and makes none.)
bool make_link(const fs::path& target, const fs::path& link) {
#ifdef _WIN32
    CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
#else
    std::error_code ec;
    fs::create_symlink(target, link, ec);
#endif
    return is_link(link);
}

TEST(DxfDocument, SavingThroughALinkReplacesTheFileItLeadsTo) {
    const OutputFolder folder("links", false);
    const fs::path drawings = folder.dir() / "drawings";
    fs::create_directories(drawings);
    const fs::path real = drawings / "real.dxf";
    const fs::path relative = folder.dir() / "relative.dxf";  // -> drawings/real.dxf
    const fs::path absolute = folder.dir() / "absolute.dxf";  // -> the full path of real.dxf
    const fs::path chained = folder.dir() / "chained.dxf";    // -> relative.dxf
    if (!make_link(fs::path("drawings") / "real.dxf", relative) || !make_link(real, absolute) ||
        !make_link("relative.dxf", chained)) {
        GTEST_SKIP() << "symbolic links cannot be made here";
    }
    const SmallLayout layout;
    const fs::path plain = folder.dir() / "plain.dxf";
    write(layout.result, plain);
    const std::string expected = read_file(plain);
    fs::remove(plain);
    for (const fs::path& link : {relative, absolute, chained}) {
        SCOPED_TRACE(utf8(link));
        { std::ofstream(real, std::ios::binary | std::ios::trunc) << "previous drawing"; }
        write(layout.result, link);
        EXPECT_TRUE(is_link(link)) << "the link became a plain file";
        EXPECT_TRUE(read_file(real) == expected) << "the file the link leads to kept its old drawing";
    }
    // Nothing but the drawing itself beside it, and only the links beside them.
    EXPECT_TRUE(only_file_in(drawings, real));
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(folder.dir())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 4);
}

TEST(DxfDocument, FailuresAreThrownAndNothingIsLeftBehind) {
    const OutputFolder folder("failures", false);
    const fs::path blocker = folder.dir() / "blocker.dxf";
    { std::ofstream(blocker, std::ios::binary) << "not a folder"; }

    // A parent folder that is a file: the file-system error passes out.
    EXPECT_THROW(write(SmallLayout().result, blocker / "x.dxf"), fs::filesystem_error);

    // A target that is a folder cannot be opened as a file.
    const fs::path taken = folder.dir() / "taken.dxf";
    fs::create_directories(taken);
    try {
        write(SmallLayout().result, taken);
        ADD_FAILURE() << "no error for a folder as target";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write DXF: " + utf8(taken));
    }
    EXPECT_TRUE(fs::is_directory(taken));

    // A name too long for any file system cannot be opened either.
    const fs::path too_long = folder.dir() / (std::string(300, 'n') + ".dxf");
    try {
        write(SmallLayout().result, too_long);
        ADD_FAILURE() << "no error for a name of 304 characters";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write DXF: " + utf8(too_long));
    }

    int entries = 0;
    for (const auto& entry : fs::directory_iterator(folder.dir())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2) << "only the blocker and the folder in the way";
}

#ifndef _WIN32
// Lowers the file-size limit for the lifetime of the object, so that a
// write fails half-way as it would on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_handler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit saved_{};
    void (*old_handler_)(int) = SIG_DFL;
    bool ok_ = false;
};
#endif

TEST(DxfDocument, FailedWriteIsReportedAndKeepsTheOldFile) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a file-size limit";
#else
    const OutputFolder folder("write-failure", false);
    const fs::path path = folder.dir() / "layout.dxf";
    { std::ofstream(path, std::ios::binary) << "previous drawing"; }
    NestingResult big;
    for (int i = 0; i < 200; ++i) big.placements.push_back(place(Polygon{rect(i, 0, i + 1, 1), {}}, 0));
    bool threw = false;
    {
        const FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.ok());
        try {
            write(big, path);
        } catch (const std::runtime_error& e) {
            threw = true;
            EXPECT_EQ(std::string(e.what()), "DXF write failed: " + utf8(path));
        }
    }
    EXPECT_TRUE(threw) << "a truncated file was reported as saved";
    EXPECT_EQ(read_file(path), "previous drawing");
    EXPECT_TRUE(only_file_in(folder.dir(), path));
#endif
}

}  // namespace
