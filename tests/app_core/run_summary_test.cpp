#include "app/core/run_summary.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace app;

plv::Placement box_placement(double w, double h, double net, int sheet = 0) {
    plv::Placement p;
    p.part_name = "plate";
    p.shape.outer = {{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}};
    p.net_area = net;
    p.sheet_index = sheet;
    return p;
}

// One 3000 x 1500 sheet, 4,000,000 mm2 placed, occupied box 4,500,000.
plv::IterativeNestingResult example_result() {
    plv::IterativeNestingResult r;
    r.result.sheet = {3000, 1500};
    r.result.placements.push_back(box_placement(3000, 1500, 4e6));
    return r;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "line without \\r\\n";
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(RunCostsTest, Formulas) {
    const auto r = example_result();
    const RunCosts c = run_costs(r.result, 6500, 8000, 2.5);
    EXPECT_NEAR(c.net_parts, 520000.0, 1e-6);
    EXPECT_NEAR(c.occupied_area, 585000.0, 1e-6);
    EXPECT_NEAR(c.whole_sheets, 585000.0, 1e-6);

    plv::NestingResult two = r.result;
    two.placements.push_back(box_placement(1000, 1000, 1e6, 1));
    const RunCosts c2 = run_costs(two, 1, 1000, 1);
    // 2 sheets x 4.5e6 x (5e6 / 9e6) = 5e6 mm2 x 1 mm = 0.005 m3 x 1000 kg/m3 x 1.
    EXPECT_NEAR(c2.net_parts, 5.0, 1e-9);
    EXPECT_NEAR(c2.occupied_area, 5.5, 1e-9);
    EXPECT_NEAR(c2.whole_sheets, 9.0, 1e-9);

    for (const auto& [density, thickness] : {std::pair{0.0, 2.5}, std::pair{8000.0, 0.0}, std::pair{-1.0, 2.5}}) {
        const RunCosts zero = run_costs(r.result, 6500, density, thickness);
        EXPECT_EQ(zero.net_parts, 0.0);
        EXPECT_EQ(zero.occupied_area, 0.0);
        EXPECT_EQ(zero.whole_sheets, 0.0);
    }
}

TEST(RunSummary, ExactText) {
    RunSettings s;
    s.files = {{"a.dxf", 1}, {"b.dxf", 2}};
    s.options.population = 4;
    s.options.threads = 7;
    s.options.mutation_percent = 8;
    s.solver = plv::Solver::gpu;
    auto r = example_result();
    plv::IterationStats first, last;
    first.improvement = 0;
    last.improvement = 1234.5678;
    r.history = {first, last};
    const std::vector<std::string> lines = lines_of(run_summary_text(false, s, 3, 1, r));
    const std::vector<std::string> expected{
        "Listo.",
        "Archivos DXF elegidos: 2",
        "Perfiles cargados: 3",
        "Piezas dibujadas usadas: 1",
        "Piezas ubicadas: 1",
        "Chapas usadas: 1",
        "Iteraciones ejecutadas: 2",
        "Poblacion GA: 4",
        "CPU cores usados: 7",
        "Mutation rate: 8%",
        "Solver: gpu",
        "Aprovechamiento: 88.8889%",
        "Area ocupada final: 4.5e+06 mm2",
        "Costo neto de las piezas: $520000.00",
        "Costo area ocupada (piezas + scrap): $585000.00",
        "Costo chapas enteras necesarias: $585000.00",
        "Ahorro vs primera solucion: 1234.57 mm2",
        "No se guardo automaticamente. Usa Guardar DXF cuando quieras exportar.",
    };
    EXPECT_EQ(lines, expected);
}

TEST(RunSummary, StoppedEmptyHistoryNoCostsUnknownSolver) {
    RunSettings s;
    s.density_kg_m3 = 0;
    s.solver = 7;
    s.options.mutation_percent = 12.5;
    const auto r = example_result();
    const std::vector<std::string> lines = lines_of(run_summary_text(true, s, 1, 0, r));
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[0], "Detenido por usuario.");
    EXPECT_EQ(lines[6], "Iteraciones ejecutadas: 0");
    EXPECT_EQ(lines[9], "Mutation rate: 12.5%");
    EXPECT_EQ(lines[10], "Solver: unknown");
    EXPECT_EQ(lines[13], "Costo neto de las piezas: $0.00");
    EXPECT_EQ(lines[14], "Costo area ocupada (piezas + scrap): $0.00");
    EXPECT_EQ(lines[15], "Costo chapas enteras necesarias: $0.00");
    EXPECT_EQ(lines[16], "Ahorro vs primera solucion: 0.00 mm2");
}

TEST(RunSummary, EmptyLayout) {
    RunSettings s;
    plv::IterativeNestingResult r;
    const std::vector<std::string> lines = lines_of(run_summary_text(false, s, 2, 0, r));
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[4], "Piezas ubicadas: 0");
    EXPECT_EQ(lines[5], "Chapas usadas: 0");
    EXPECT_EQ(lines[11], "Aprovechamiento: 0%");
    EXPECT_EQ(lines[12], "Area ocupada final: 0 mm2");
}

TEST(SolverNames, AllValues) {
    EXPECT_EQ(solver_name(0), "cpu");
    EXPECT_EQ(solver_name(1), "gpu");
    EXPECT_EQ(solver_name(2), "dual-gpu");
    EXPECT_EQ(solver_name(3), "random");
    EXPECT_EQ(solver_name(-1), "unknown");
    EXPECT_EQ(solver_name(4), "unknown");
}

class FakeGpu : public GpuProbe {
public:
    bool ok = true;
    std::vector<GpuDeviceInfo> list;
    int initializations = 0;
    bool initialize() override {
        ++initializations;
        return ok;
    }
    std::vector<GpuDeviceInfo> devices() override { return list; }
};

std::string start_log(RunSettings& s, GpuProbe& gpu) {
    std::string log;
    log_run_start(s, gpu, [&log](const std::string& line) { log += line; });
    return log;
}

TEST(RunStartLog, SolversAndGpuFallbacks) {
    const std::string loading = "Cargando DXF seleccionados...\r\n";
    const std::string merge =
        "Aviso: Merge common lines solo puede unir bordes que queden tocandose; con separacion mayor a 0 mm "
        "casi no habra lineas comunes.\r\n";
    const GpuDeviceInfo big{"NAME", 40, 8589934592ull};
    const GpuDeviceInfo small{"Other GPU", 8, (1ull << 20) * 3 + 12345};
    struct Case {
        const char* what;
        std::int32_t solver;
        bool gpu_ok;
        std::vector<GpuDeviceInfo> devices;
        std::string log;
        std::int32_t solver_after;
        int initializations;
    };
    const Case cases[] = {
        {"cpu", 0, true, {}, loading + merge + "Solver: cpu\r\n", 0, 0},
        {"random", 3, true, {}, loading + merge + "Solver: random\r\n", 3, 0},
        {"gpu, no device", 1, false, {},
         loading + merge + "Inicializando GPU...\r\nGPU no disponible, usando CPU.\r\n", 0, 1},
        {"dual, no device", 2, false, {},
         loading + merge + "Inicializando GPU...\r\nGPU no disponible, usando CPU.\r\n", 0, 1},
        {"gpu, one device", 1, true, {big},
         loading + merge + "Inicializando GPU...\r\nGPU[0]: NAME (40 CUs, 8192 MB)\r\nSolver: gpu\r\n", 1, 1},
        {"dual, one device", 2, true, {big},
         loading + merge +
             "Inicializando GPU...\r\nGPU[0]: NAME (40 CUs, 8192 MB)\r\n"
             "Dual GPU requiere 2 GPUs disponibles; usando GPU simple.\r\nSolver: gpu\r\n",
         1, 1},
        {"dual, two devices", 2, true, {big, small},
         loading + merge +
             "Inicializando GPU...\r\nGPU[0]: NAME (40 CUs, 8192 MB)\r\nGPU[1]: Other GPU (8 CUs, 3 MB)\r\n"
             "Solver: dual-gpu\r\n",
         2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunSettings s;
        s.solver = c.solver;
        s.options.solver = c.solver;
        FakeGpu gpu;
        gpu.ok = c.gpu_ok;
        gpu.list = c.devices;
        EXPECT_EQ(start_log(s, gpu), c.log);
        EXPECT_EQ(s.solver, c.solver_after);
        EXPECT_EQ(s.options.solver, c.solver_after);
        EXPECT_EQ(gpu.initializations, c.initializations);
    }
}

TEST(RunStartLog, MergeWarningOnlyAboveZeroSpacing) {
    for (const auto& [spacing, merge, warned] :
         {std::tuple{0.0, true, false}, std::tuple{1e-6, true, false}, std::tuple{2e-6, true, true},
          std::tuple{5.0, true, true}, std::tuple{5.0, false, false}}) {
        RunSettings s;
        s.options.spacing = spacing;
        s.merge_common_lines = merge;
        FakeGpu gpu;
        EXPECT_EQ(start_log(s, gpu).find("Aviso: Merge") != std::string::npos, warned) << spacing;
    }
}

}  // namespace
