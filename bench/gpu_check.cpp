// The OpenCL route checked on this machine's device: the kernel's answers
// against the double-precision reference, and the gpu and dual-gpu solvers
// against cpu on the typical search job.
//
//   gpu_check [--quick] [--iterations N]
//
// Takes the graphics devices that the program itself would take; without one
// it adopts the first OpenCL device of any type (PoCL's CPU device) and says
// so. The search runs 5 iterations on a graphics device and 1 on a CPU
// device unless told; --quick searches a job of one copy per part, once, for
// the test run.
// Ends with one line
//   gpu_check device=NAME kernel_mismatch=A/B max_area_err=E cpu_s=T1 gpu_s=T2
//             gpu_occupied=O1 cpu_occupied=O2 violations=V
// where A counts positions the device accepts and the reference rejects
// (harmless: the engine checks them again), B positions it rejects and the
// reference accepts (lost positions), E is the largest union-area error in
// mm2, T the seconds per layout. Exits with 1 when the case table or the
// answer count disagrees or when a layout breaks the spacing.

#include "engine/iterative_search.hpp"
#include "engine/positions.hpp"
#include "engine/single_pass.hpp"
#include "geometry/primitives.hpp"
#include "gpu/gpu_accelerator.hpp"
#include "gpu/gpu_testing.hpp"
#include "kernel_cases.hpp"
#include "typical_job.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Kernel answers against the reference, over one set of positions.
struct Tally {
    long long positions = 0;
    long long accepted = 0;            // by the device
    long long accepted_not_free = 0;   // device valid, reference not
    long long rejected_free = 0;       // device invalid, reference valid
    long long wrong_count = 0;         // evaluations answering the wrong number
    double max_area_err = 0.0;         // mm2, over positions both accept
    double max_relative_err = 0.0;

    void add(const Tally& o) {
        positions += o.positions;
        accepted += o.accepted;
        accepted_not_free += o.accepted_not_free;
        rejected_free += o.rejected_free;
        wrong_count += o.wrong_count;
        max_area_err = std::max(max_area_err, o.max_area_err);
        max_relative_err = std::max(max_relative_err, o.max_relative_err);
    }
};

void compare(const pocl::Inputs& in, float width, float height, float spacing, Tally& t) {
    const std::vector<plv::GpuPositionResult> answers = in.evaluate(width, height, spacing);
    const std::size_t n = in.position_count();
    if (answers.size() != n) {
        ++t.wrong_count;
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const pocl::Reference::Answer ref = pocl::Reference::evaluate(in, i, width, height, spacing);
        const plv::GpuPositionResult& a = answers[i];
        ++t.positions;
        if (a.valid) ++t.accepted;
        if (a.valid && !ref.valid) ++t.accepted_not_free;
        if (!a.valid && ref.valid) ++t.rejected_free;
        if (a.valid && ref.valid) {
            const double err = std::fabs(a.union_area - ref.union_area);
            t.max_area_err = std::max(t.max_area_err, err);
            if (ref.union_area > 0) t.max_relative_err = std::max(t.max_relative_err, err / ref.union_area);
        }
    }
}

void print_tally(const char* what, const Tally& t) {
    std::printf("%s: positions=%lld accepted=%lld accepted_not_free=%lld rejected_free=%lld "
                "max_area_err=%.4g mm2 (relative %.3g)%s\n",
                what, t.positions, t.accepted, t.accepted_not_free, t.rejected_free,
                t.max_area_err, t.max_relative_err,
                t.wrong_count > 0 ? "  WRONG ANSWER COUNT" : "");
}

pocl::Outline outline(const plv::Ring& ring) {
    pocl::Outline out;
    for (const plv::Point& p : ring) out.push_back({static_cast<float>(p.x), static_cast<float>(p.y)});
    if (out.size() > 1 && out.front() == out.back()) out.pop_back();
    return out;
}

// Random copies of the job's parts, at random rotations, against the first
// sheet of a layout of the whole job: half of the positions are the engine's
// own candidates (parts touching or at the spacing, where single precision
// can tip the answer), half fall anywhere on the sheet (and a little past
// its edges). Alternately at spacing 5 and 0. Seeded: the same set each run.
Tally random_positions(const std::vector<plv::Part>& parts, const std::vector<plv::Placement>& placed,
                       const plv::Sheet& sheet, long long wanted) {
    pocl::Inputs scene;
    for (const plv::Placement& p : placed) scene.place(outline(p.shape.outer));

    std::mt19937 rng(20261210);
    Tally tally;
    const int per_kind = 500;
    for (int round = 0; tally.positions < wanted; ++round) {
        const plv::Part& part = parts[rng() % parts.size()];
        const double angle = 90.0 * static_cast<double>(rng() % 4);
        const plv::Polygon rotated = geom::rotate_polygon(part.shape, angle);
        const float spacing = round % 2 == 0 ? 5.0f : 0.0f;

        pocl::Inputs in = scene;
        in.add_slot(outline(rotated.outer));
        std::vector<plv::Point> near = plv::candidate_positions(placed, rotated, spacing, true);
        std::shuffle(near.begin(), near.end(), rng);
        near.resize(std::min<std::size_t>(near.size(), per_kind));
        for (const plv::Point& p : near) in.at(static_cast<float>(p.x), static_cast<float>(p.y), 0);

        const plv::BoundingBox box = geom::polygon_bounds(rotated);
        std::uniform_real_distribution<double> x(-5.0, sheet.width - box.width() + 5.0);
        std::uniform_real_distribution<double> y(-5.0, sheet.height - box.height() + 5.0);
        for (int k = 0; k < per_kind; ++k) {
            in.at(static_cast<float>(x(rng)), static_cast<float>(y(rng)), 0);
        }
        compare(in, static_cast<float>(sheet.width), static_cast<float>(sheet.height), spacing, tally);
        if (tally.wrong_count > 0) break;
    }
    return tally;
}

struct SolverRun {
    const char* name;
    std::int32_t solver;
    plv::NestingResult best;
    double seconds_per_layout = 0.0;
    std::size_t violations = 0;
};

std::string without_spaces(std::string s) {
    std::replace(s.begin(), s.end(), ' ', '_');
    return s.empty() ? "none" : s;
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    int iterations = 0;  // 0: chosen by the device below
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--iterations") == 0 && i + 1 < argc) {
            iterations = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: gpu_check [--quick] [--iterations N]\n");
            return 2;
        }
    }
    const long long random_wanted = 100000;
    const int copies = quick ? 1 : 6;
    const int threads = 8;

    // The device: what the program's own discovery takes, else any.
    plv::GpuAccelerator& gpu = plv::GpuAccelerator::instance();
    auto start = Clock::now();
    bool graphics = gpu.initialize();
    double setup_s = seconds_since(start);
    if (!graphics) {
        gpu.release();
        start = Clock::now();
        const bool adopted = plv::gpu_testing::adopt_first_device();
        setup_s = seconds_since(start);
        if (!adopted) {
            std::printf("no OpenCL device at all (or its kernel build failed): nothing to check\n");
            std::printf("gpu_check device=none kernel_mismatch=0/0 max_area_err=0 cpu_s=0 gpu_s=0 "
                        "gpu_occupied=0 cpu_occupied=0 violations=0\n");
            return 1;
        }
    }
    const std::vector<plv::GpuDevice> devices = gpu.devices();
    for (const plv::GpuDevice& d : devices) {
        std::printf("device: %s | vendor: %s | compute units: %u | memory: %llu MB\n", d.name.c_str(),
                    d.vendor.c_str(), d.compute_units,
                    static_cast<unsigned long long>(d.global_mem_bytes >> 20));
    }
    if (graphics) {
        std::printf("graphics devices: %zu (device 0 checked)\n", devices.size());
    } else {
        std::printf("no OpenCL graphics device here: the checks run on the CPU device above "
                    "(PoCL); its times say nothing about a graphics processor\n");
    }
    std::printf("kernel build (with device set-up): %.3f s\n", setup_s);
    // Five iterations keep the check within minutes on a graphics device; on
    // a CPU device one already takes two.
    if (iterations == 0) iterations = quick || !graphics ? 1 : 5;
    std::fflush(stdout);

    // The kernel against the reference.
    Tally cases;
    for (const pocl::KernelCase& c : pocl::kernel_cases()) {
        compare(c.inputs(), pocl::kCaseSheetWidth, pocl::kCaseSheetHeight, c.spacing, cases);
    }
    print_tally("case table", cases);

    // The random set is drawn on the first sheet of the whole typical job.
    const plv::Sheet sheet = bench::kTypicalSheet;
    const std::vector<plv::Part> full_job = bench::typical_job();
    plv::IterativeNestingOptions single = bench::typical_search_options(1, 1);
    single.compact = false;
    const plv::NestingResult layout = plv::nest_parts(sheet, full_job, single);
    std::vector<plv::Placement> first_sheet;
    for (const plv::Placement& p : layout.placements) {
        if (p.sheet_index == 0) first_sheet.push_back(p);
    }
    start = Clock::now();
    const Tally random = random_positions(full_job, first_sheet, sheet, random_wanted);
    std::printf("random set drawn against %zu placed parts, compared in %.2f s\n", first_sheet.size(),
                seconds_since(start));
    print_tally("random set", random);
    Tally all = cases;
    all.add(random);
    std::fflush(stdout);

    // The solvers on the typical search job (one copy of each part with
    // --quick).
    const std::vector<plv::Part> parts = bench::typical_job(copies);
    std::vector<SolverRun> runs{{"cpu", plv::Solver::cpu, {}},
                                {"gpu", plv::Solver::gpu, {}},
                                {"dual-gpu", plv::Solver::dual_gpu, {}}};
    std::size_t violations = 0;
    std::size_t copies_total = 0;
    for (const plv::Part& p : parts) copies_total += static_cast<std::size_t>(p.quantity);
    for (SolverRun& r : runs) {
        plv::IterativeNestingOptions o = bench::typical_search_options(iterations, threads);
        o.solver = r.solver;
        start = Clock::now();
        const plv::IterativeNestingResult result = plv::nest_parts_iterative(sheet, parts, o);
        const double seconds = seconds_since(start);
        const std::size_t layouts = result.history.size() * static_cast<std::size_t>(o.population);
        r.best = result.result;
        r.seconds_per_layout = seconds / static_cast<double>(std::max<std::size_t>(layouts, 1));
        r.violations = plv::find_spacing_violations(r.best, o.spacing).size();
        violations += r.violations;
        std::printf("solver=%s copies=%zu threads=%d iterations=%zu layouts=%zu sheets=%d "
                    "occupied=%.1f unplaced=%zu violations=%zu s_per_layout=%.3f\n",
                    r.name, copies_total, threads, result.history.size(), layouts, r.best.sheets_used(),
                    r.best.occupied_area(), r.best.unplaced.size(), r.violations, r.seconds_per_layout);
        std::fflush(stdout);
    }
    gpu.release();

    const SolverRun& cpu = runs[0];
    const SolverRun& on_gpu = runs[1];
    std::printf("gpu_check device=%s kernel_mismatch=%lld/%lld max_area_err=%.4g cpu_s=%.3f gpu_s=%.3f "
                "gpu_occupied=%.1f cpu_occupied=%.1f violations=%zu\n",
                without_spaces(devices.at(0).name).c_str(), all.accepted_not_free, all.rejected_free,
                all.max_area_err, cpu.seconds_per_layout, on_gpu.seconds_per_layout,
                on_gpu.best.occupied_area(), cpu.best.occupied_area(), violations);

    // Single precision may tip positions that touch or sit at the spacing
    // either way, so the random set is measured, not judged.
    const bool ok = cases.accepted_not_free == 0 && cases.rejected_free == 0 && all.wrong_count == 0 &&
                    violations == 0;
    std::printf("%s\n", ok ? "device check passed" : "device check FAILED");
    return ok ? 0 : 1;
}
