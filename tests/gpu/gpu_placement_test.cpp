// The GPU route and the GPU-assisted placer: against the fake OpenCL library
// (which answers every position invalid, and records what it was sent), and
// end to end on the machine's real OpenCL runtime.

#include "engine/cpu_placement.hpp"
#include "engine/gpu_placement.hpp"
#include "engine/gpu_route.hpp"
#include "engine/iterative_search.hpp"
#include "engine/positions.hpp"
#include "engine/single_pass.hpp"
#include "fake_opencl.hpp"
#include "geometry/primitives.hpp"
#include "gpu/gpu_accelerator.hpp"
#include "pocl_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

using plv::GpuAccelerator;
using plv::IterativeNestingOptions;
using plv::NestingItem;
using plv::NestingResult;
using plv::Part;
using plv::Placement;
using plv::Polygon;
using plv::Ring;
using plv::Sheet;

Ring closed_rect(double x, double y, double w, double h) {
    return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
}

// A w x h rectangle outline of exactly `points` stored points (closed), the
// extra ones on its bottom edge.
Ring rect_with_points(int points, double w, double h) {
    Ring ring{{0, 0}};
    const int extra = points - 5;
    for (int i = 1; i <= extra; ++i) ring.push_back({w * i / (extra + 1), 0});
    ring.insert(ring.end(), {{w, 0}, {w, h}, {0, h}, {0, 0}});
    return ring;
}

// A closed regular polygon of n corners inside a d x d box at the origin.
Ring round_ring(int n, double d) {
    Ring ring;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * 3.14159265358979323846 * i / n;
        ring.push_back({d / 2 + d / 2 * std::cos(a), d / 2 + d / 2 * std::sin(a)});
    }
    ring.push_back(ring.front());
    return geom::normalize_polygon(Polygon{ring, {}}).outer;
}

Part make_part(const std::string& name, Polygon shape, int quantity = 1) {
    Part p;
    p.name = name;
    p.shape = std::move(shape);
    p.quantity = quantity;
    p.source = "editor";
    return p;
}

Placement placed_at(const Part& part, double x, double y) {
    Placement p;
    p.part_name = part.name;
    p.source = part.source;
    p.shape = geom::translate_polygon(part.shape, x, y);
    p.x = x;
    p.y = y;
    p.net_area = plv::part_net_area(part);
    return p;
}

void expect_same_placement(const Placement& a, const Placement& b) {
    EXPECT_EQ(a.part_name, b.part_name);
    EXPECT_EQ(a.sheet_index, b.sheet_index);
    EXPECT_EQ(a.copy_number, b.copy_number);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.angle, b.angle);
    EXPECT_EQ(a.net_area, b.net_area);
    ASSERT_EQ(a.shape.outer.size(), b.shape.outer.size());
    for (std::size_t i = 0; i < a.shape.outer.size(); ++i) {
        EXPECT_EQ(a.shape.outer[i].x, b.shape.outer[i].x);
        EXPECT_EQ(a.shape.outer[i].y, b.shape.outer[i].y);
    }
    EXPECT_EQ(a.shape.holes.size(), b.shape.holes.size());
}

bool same_layout(const NestingResult& a, const NestingResult& b) {
    if (a.placements.size() != b.placements.size() || a.unplaced.size() != b.unplaced.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.placements.size(); ++i) {
        const Placement& p = a.placements[i];
        const Placement& q = b.placements[i];
        if (p.part_name != q.part_name || p.sheet_index != q.sheet_index ||
            p.copy_number != q.copy_number || p.x != q.x || p.y != q.y || p.angle != q.angle) {
            return false;
        }
    }
    for (std::size_t i = 0; i < a.unplaced.size(); ++i) {
        if (a.unplaced[i].name != b.unplaced[i].name) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Against the fake library: every answer comes back invalid.

class FakeDeviceTest : public fake_cl::FakeLibraryTest {
protected:
    static void devices(int n) {
        fake_cl::Platform platform{"P", {}};
        for (int i = 0; i < n; ++i) {
            platform.devices.push_back({std::string(1, static_cast<char>('A' + i)), "NVIDIA", 1u << 30, 8});
        }
        fake_cl::state().platforms = {platform};
        ::testing::internal::CaptureStderr();
        ASSERT_TRUE(GpuAccelerator::instance().initialize());
        ::testing::internal::GetCapturedStderr();
    }
};

struct RouteCase {
    const char* what;
    int item_points;
    int placed_points;
    int hole_points;  // stored points of one hole of the placed part, 0: none
    std::int32_t solver;
    int devices;
    std::int32_t position_seed;
    const char* evaluated_on;  // null: the CPU placer alone
};

TEST_F(FakeDeviceTest, RouteChoosesPlacerAndDeviceAndEqualsCpuWhenAllAnswersAreInvalid) {
    using plv::Solver::dual_gpu;
    using plv::Solver::gpu;
    const std::vector<RouteCase> cases{
        {"empty sheet", 50, 0, 0, gpu, 1, 0, nullptr},
        {"work 25", 5, 5, 0, gpu, 1, 0, nullptr},
        {"work 2450", 49, 50, 0, gpu, 1, 0, nullptr},
        {"work 2500", 50, 50, 0, gpu, 1, 0, "A"},
        {"holes count as sheet points", 5, 5, 495, gpu, 1, 0, "A"},
        {"dual-gpu, two devices, seed 7", 50, 50, 0, dual_gpu, 2, 7, "B"},
        {"dual-gpu, two devices, seed 6", 50, 50, 0, dual_gpu, 2, 6, "A"},
        {"dual-gpu, two devices, seed -1", 50, 50, 0, dual_gpu, 2, -1, nullptr},
        {"dual-gpu, one device, seed 7", 50, 50, 0, dual_gpu, 1, 7, "A"},
        {"gpu, two devices, seed 7", 50, 50, 0, gpu, 2, 7, "A"},
    };
    for (const RouteCase& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        devices(c.devices);

        const Part item_part = make_part("item", Polygon{rect_with_points(c.item_points, 60, 40), {}});
        std::vector<Placement> placed;
        if (c.placed_points > 0) {
            Polygon plate{rect_with_points(c.placed_points, 300, 300), {}};
            if (c.hole_points > 0) {
                Ring hole = rect_with_points(c.hole_points, 100, 100);
                for (plv::Point& p : hole) p = {p.x + 100, p.y + 100};
                plate.holes.push_back(hole);
            }
            placed.push_back(placed_at(make_part("plate", plate), 0, 0));
        }
        const NestingItem item{&item_part, 1, false, 0.0};
        IterativeNestingOptions options;
        options.solver = c.solver;
        options.position_seed = c.position_seed;
        options.top_k = 3;
        const Sheet sheet{1000, 1000};

        Placement by_route;
        Placement by_cpu;
        ASSERT_TRUE(plv::place_item_gpu_route(sheet, item, placed, 0, options, by_route));
        ASSERT_TRUE(plv::place_item_cpu(sheet, item, placed, 0, options, by_cpu));
        expect_same_placement(by_route, by_cpu);
        EXPECT_EQ(fake_cl::state().launches.empty(), c.evaluated_on == nullptr);
        if (c.evaluated_on) {
            EXPECT_EQ(fake_cl::state().last_buffer_device, c.evaluated_on);
        }
    }
}

// The exact check of the device's answers has two halves: inside the sheet
// within 1e-6, and the free test. Here the device's best answer lies off the
// sheet (clear of the plate), so the next one is taken.
TEST_F(FakeDeviceTest, AnAnswerOffTheSheetIsDropped) {
    devices(1);
    const Part item_part = make_part("item", Polygon{closed_rect(0, 0, 60, 40), {}});
    const std::vector<Placement> placed{placed_at(make_part("plate", Polygon{closed_rect(0, 0, 300, 300), {}}), 0, 0)};
    IterativeNestingOptions options;
    options.rotations = {0};
    const Sheet sheet{1000, 1000};
    const std::size_t n = plv::candidate_positions(placed, item_part.shape, options.spacing,
                                                   options.extra_positions)
                              .size();
    ASSERT_GE(n, 2u);
    std::vector<float>& answers = fake_cl::state().read_back;
    answers.assign(6 * n, 0.0f);
    // valid, union area, height, width, y, x
    const float off_sheet[] = {1, 1, 1, 1, 0, 990};
    const float on_sheet[] = {1, 2, 2, 2, 0, 700};
    std::copy(std::begin(off_sheet), std::end(off_sheet), answers.begin());
    std::copy(std::begin(on_sheet), std::end(on_sheet), answers.begin() + 6);

    Placement out;
    ASSERT_TRUE(plv::place_item_gpu(sheet, NestingItem{&item_part, 1, false, 0.0}, placed, 0, options,
                                    out, 0));
    EXPECT_EQ(out.x, 700.0);
    EXPECT_EQ(out.y, 0.0);
    EXPECT_FALSE(fake_cl::state().launches.empty());
}

TEST_F(FakeDeviceTest, WithoutAUsableDeviceThePlacerIsTheCpuPlacer) {
    const Part plate = make_part("plate", Polygon{closed_rect(0, 0, 300, 300), {}});
    const Part small = make_part("small", Polygon{closed_rect(0, 0, 40, 30), {}});
    const std::vector<Placement> placed{placed_at(plate, 0, 0)};
    const NestingItem item{&small, 2, false, 0.0};
    IterativeNestingOptions options;
    options.top_k = 3;
    options.position_seed = 5;
    const Sheet sheet{1000, 600};
    Placement by_cpu;
    ASSERT_TRUE(plv::place_item_cpu(sheet, item, placed, 0, options, by_cpu));

    // Never initialised: no device at all.
    Placement out;
    ASSERT_TRUE(plv::place_item_gpu(sheet, item, placed, 0, options, out, 0));
    expect_same_placement(out, by_cpu);

    devices(1);
    for (const std::int32_t device : {1, -1, 0}) {
        SCOPED_TRACE(device);
        fake_cl::state().launches.clear();
        Placement o;
        ASSERT_TRUE(plv::place_item_gpu(sheet, item, placed, 0, options, o, device));
        expect_same_placement(o, by_cpu);
        EXPECT_EQ(fake_cl::state().launches.size(), device == 0 ? 1u : 0u);
    }

    // Nothing fits anywhere: false, and out untouched.
    const Part huge = make_part("huge", Polygon{closed_rect(0, 0, 2000, 2000), {}});
    Placement untouched;
    untouched.part_name = "before";
    EXPECT_FALSE(plv::place_item_gpu(sheet, NestingItem{&huge, 1, false, 0.0}, placed, 0, options,
                                     untouched, 0));
    EXPECT_EQ(untouched.part_name, "before");
}

template <class T>
std::vector<T> sent_array(unsigned arg) {
    const auto& bytes = fake_cl::state().kernel_args.at(arg);
    plv::ocl::cl_mem mem;
    std::memcpy(&mem, bytes.data(), sizeof mem);
    const std::vector<unsigned char>& data = fake_cl::state().buffer_data.at(mem);
    std::vector<T> out(data.size() / sizeof(T));
    std::memcpy(out.data(), data.data(), out.size() * sizeof(T));
    return out;
}

template <class T>
T sent_scalar(unsigned arg) {
    T value;
    std::memcpy(&value, fake_cl::state().kernel_args.at(arg).data(), sizeof value);
    return value;
}

// What the placer hands the device: outer rings only, one slot per angle,
// every candidate position of every angle with its slot, in single precision.
TEST_F(FakeDeviceTest, InputsSentToTheDevice) {
    devices(1);
    const Part rect = make_part("rect", Polygon{closed_rect(0, 0, 100, 50), {}});
    Polygon framed{closed_rect(0, 0, 300, 200), {closed_rect(50, 50, 200, 100)}};
    const Part frame = make_part("frame", framed);
    const std::vector<Placement> placed{placed_at(rect, 0, 0), placed_at(frame, 400.25, 0)};
    const NestingItem item{&rect, 3, false, 0.0};
    IterativeNestingOptions options;
    options.spacing = 2.5;
    const Sheet sheet{1500.5, 800};
    Placement out;
    ASSERT_TRUE(plv::place_item_gpu(sheet, item, placed, 0, options, out, 0));

    const auto f = [](double v) { return static_cast<float>(v); };
    std::vector<float> segments;
    std::vector<float> bounds;
    for (const Placement& p : placed) {
        const Ring& r = p.shape.outer;
        for (std::size_t i = 0; i + 1 < r.size(); ++i) {
            segments.insert(segments.end(), {f(r[i].x), f(r[i].y), f(r[i + 1].x), f(r[i + 1].y)});
        }
        const plv::BoundingBox b = plv::placement_bounds(p);
        bounds.insert(bounds.end(), {f(b.min_x), f(b.min_y), f(b.max_x), f(b.max_y)});
    }
    EXPECT_EQ(sent_array<float>(0), segments);
    EXPECT_EQ(sent_array<float>(1), bounds);
    EXPECT_EQ(sent_array<std::int32_t>(2), (std::vector<std::int32_t>{0, 4, 8}));
    EXPECT_EQ(sent_scalar<std::int32_t>(3), 2);
    EXPECT_EQ(sent_array<float>(13), (std::vector<float>{0, 0, 700.25f, 200}));
    EXPECT_EQ(sent_scalar<std::int32_t>(14), 1);
    EXPECT_EQ(sent_scalar<float>(10), 1500.5f);
    EXPECT_EQ(sent_scalar<float>(11), 800.0f);
    EXPECT_EQ(sent_scalar<float>(12), 2.5f);

    std::vector<float> positions;
    std::vector<std::int32_t> slots;
    std::vector<float> slot_bounds;
    for (std::size_t s = 0; s < options.rotations.size(); ++s) {
        const Polygon rotated = geom::rotate_polygon(rect.shape, options.rotations[s]);
        const plv::BoundingBox b = geom::polygon_bounds(rotated);
        slot_bounds.insert(slot_bounds.end(), {f(b.width()), f(b.height()), f(b.min_x), f(b.min_y)});
        for (const plv::Point& p : plv::candidate_positions(placed, rotated, 2.5, true)) {
            positions.insert(positions.end(), {f(p.x), f(p.y)});
            slots.push_back(static_cast<std::int32_t>(s));
        }
    }
    EXPECT_EQ(sent_array<std::int32_t>(6), (std::vector<std::int32_t>{0, 4, 8, 12, 16}));
    EXPECT_EQ(sent_array<float>(7), slot_bounds);
    EXPECT_EQ(sent_array<float>(8), positions);
    EXPECT_EQ(sent_array<std::int32_t>(9), slots);
    EXPECT_EQ(sent_scalar<std::int32_t>(16), static_cast<std::int32_t>(slots.size()));
}

std::vector<Part> mixed_job() {
    Polygon frame{closed_rect(0, 0, 300, 200), {closed_rect(40, 40, 220, 120)}};
    return {
        make_part("frame", frame, 2),
        make_part("disc", Polygon{round_ring(48, 90), {}}, 5),
        make_part("ell", Polygon{{{0, 0}, {120, 0}, {120, 40}, {40, 40}, {40, 100}, {0, 100}, {0, 0}}, {}}, 5),
        make_part("tab", Polygon{closed_rect(0, 0, 50, 30), {}}, 8),
    };
}

// The mixed job as both solver tests lay it out: one 1000 x 600 sheet size,
// three picks per position, position seed 1.
const Sheet kMixedSheet{1000, 600};

IterativeNestingOptions mixed_options(std::int32_t solver) {
    IterativeNestingOptions options;
    options.top_k = 3;
    options.position_seed = 1;
    options.solver = solver;
    return options;
}

NestingResult nest_mixed_job(std::int32_t solver) {
    return plv::nest_parts(kMixedSheet, mixed_job(), mixed_options(solver));
}

TEST_F(FakeDeviceTest, SolverWithEveryAnswerInvalidLaysOutAsTheCpuSolver) {
    devices(1);
    const NestingResult cpu = nest_mixed_job(plv::Solver::cpu);
    const NestingResult gpu = nest_mixed_job(plv::Solver::gpu);
    EXPECT_FALSE(fake_cl::state().launches.empty());
    EXPECT_TRUE(same_layout(gpu, cpu));
}

// ---------------------------------------------------------------------------
// On the real runtime's adopted device.

using AdoptedPlacementTest = pocl::AdoptedDevice;

// Inside a frame's outline the device sees no conflict (it compares outlines
// only); the exact check drops the places that cross the hole's edges and
// keeps those inside the hole. The best survivor wins whatever top_k says.
TEST_F(AdoptedPlacementTest, ExactCheckKeepsTheHoleDropsTheSolidAndTheBestWins) {
    const Part frame = make_part(
        "frame", Polygon{closed_rect(0, 0, 200, 200), {closed_rect(50, 50, 100, 100)}});
    const Part square = make_part("square", Polygon{closed_rect(0, 0, 40, 40), {}});
    const std::vector<Placement> placed{placed_at(frame, 0, 0)};
    const NestingItem item{&square, 1, false, 0.0};
    IterativeNestingOptions options;
    options.top_k = 3;
    options.rotations = {0};  // a square's turns would tie with it
    const Sheet sheet{1000, 1000};

    Placement by_gpu;
    ASSERT_TRUE(plv::place_item_gpu(sheet, item, placed, 0, options, by_gpu, 0));
    const plv::BoundingBox b = plv::placement_bounds(by_gpu);
    EXPECT_GE(b.min_x, 55.0);
    EXPECT_GE(b.min_y, 55.0);
    EXPECT_LE(b.max_x, 145.0);
    EXPECT_LE(b.max_y, 145.0);
    EXPECT_TRUE(plv::is_position_free(by_gpu.shape, placed, options.spacing));

    Placement best_on_cpu;
    Placement picked_on_cpu;
    options.top_k = 1;
    ASSERT_TRUE(plv::place_item_cpu(sheet, item, placed, 0, options, best_on_cpu));
    options.top_k = 3;
    ASSERT_TRUE(plv::place_item_cpu(sheet, item, placed, 0, options, picked_on_cpu));
    expect_same_placement(by_gpu, best_on_cpu);
    EXPECT_FALSE(by_gpu.x == picked_on_cpu.x && by_gpu.y == picked_on_cpu.y);
}

// The chosen place is the candidate position rounded to single precision.
TEST_F(AdoptedPlacementTest, PlaceIsThePositionInSinglePrecision) {
    const Part block = make_part("block", Polygon{closed_rect(0, 0, 100.1, 100.1), {}});
    const Part item_part = make_part("item", Polygon{round_ring(60, 50), {}});
    const std::vector<Placement> placed{placed_at(block, 0, 0)};
    IterativeNestingOptions options;
    options.spacing = 0.3;
    options.rotations = {0};
    Placement out;
    ASSERT_TRUE(plv::place_item_gpu(Sheet{1000, 1000}, NestingItem{&item_part, 1, false, 0.0}, placed,
                                    0, options, out, 0));
    EXPECT_EQ(out.x, static_cast<double>(static_cast<float>(out.x)));
    EXPECT_EQ(out.y, static_cast<double>(static_cast<float>(out.y)));
    // 100.4 is the double candidate; the float is not.
    EXPECT_TRUE(out.x == static_cast<double>(100.4f) || out.y == static_cast<double>(100.4f))
        << out.x << ", " << out.y;
    EXPECT_TRUE(plv::is_position_free(out.shape, placed, options.spacing));
}

TEST_F(AdoptedPlacementTest, GpuSolverLayoutsKeepTheSpacing) {
    const NestingResult gpu = nest_mixed_job(plv::Solver::gpu);
    EXPECT_TRUE(plv::find_spacing_violations(gpu, mixed_options(plv::Solver::gpu).spacing).empty());
    EXPECT_EQ(gpu.placements.size() + gpu.unplaced.size(), 20u);
    EXPECT_TRUE(gpu.unplaced.empty());
    for (const Placement& p : gpu.placements) {
        EXPECT_TRUE(plv::box_inside_sheet(plv::placement_bounds(p), kMixedSheet)) << p.part_name;
    }
    // The device's picks ignore top_k, so the layout is not the CPU one.
    EXPECT_FALSE(same_layout(gpu, nest_mixed_job(plv::Solver::cpu)));
}

// The search with parallel candidates on two devices (the adopted device
// taken twice, each with its own context and kernel).
TEST_F(AdoptedPlacementTest, DualGpuSearchKeepsTheSpacing) {
    for (const pocl::PlatformDevice& pd : pocl::platforms()) {
        if (!pd.device) continue;
        ASSERT_TRUE(plv::gpu_testing::adopt_device(pd.platform, pd.device));
        break;
    }
    ASSERT_EQ(GpuAccelerator::instance().device_count(), 2u);

    IterativeNestingOptions options;
    options.solver = plv::Solver::dual_gpu;
    options.iterations = 2;
    options.population = 4;
    options.threads = 4;
    options.spacing = 3;
    const Sheet sheet{900, 600};
    const plv::IterativeNestingResult run = plv::nest_parts_iterative(sheet, mixed_job(), options);
    EXPECT_TRUE(plv::find_spacing_violations(run.result, options.spacing).empty());
    EXPECT_EQ(run.result.placements.size() + run.result.unplaced.size(), 20u);
}

}  // namespace
