#include "app/core/run_summary.hpp"

#include "gpu/gpu_accelerator.hpp"

#include <iomanip>
#include <locale>
#include <sstream>

namespace app {

RunCosts run_costs(const plv::NestingResult& layout, double price_per_kg, double density_kg_m3,
                   double thickness_mm) {
    RunCosts costs;
    if (!(density_kg_m3 > 0.0) || !(thickness_mm > 0.0)) return costs;
    const double n = layout.sheets_used();
    const double sheet_area = layout.sheet.width * layout.sheet.height;
    const double u = layout.utilization();
    const double a = layout.occupied_area();
    costs.net_parts = n * sheet_area * u * thickness_mm / 1e9 * density_kg_m3 * price_per_kg;
    costs.occupied_area = a * thickness_mm / 1e9 * density_kg_m3 * price_per_kg;
    costs.whole_sheets =
        n * (layout.sheet.width * layout.sheet.height * thickness_mm / 1e9 * density_kg_m3 * price_per_kg);
    return costs;
}

std::string solver_name(std::int32_t solver) {
    switch (solver) {
        case plv::Solver::cpu: return "cpu";
        case plv::Solver::gpu: return "gpu";
        case plv::Solver::dual_gpu: return "dual-gpu";
        case plv::Solver::random: return "random";
        default: return "unknown";
    }
}

std::string run_summary_text(bool stopped, const RunSettings& settings, std::size_t part_count,
                             std::size_t drawn_count, const plv::IterativeNestingResult& result) {
    const plv::NestingResult& layout = result.result;
    const RunCosts costs =
        run_costs(layout, settings.price_per_kg, settings.density_kg_m3, settings.thickness_mm);
    const double improvement = result.history.empty() ? 0.0 : result.history.back().improvement;
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << (stopped ? "Detenido por usuario.\r\n" : "Listo.\r\n");
    out << "Archivos DXF elegidos: " << settings.files.size() << "\r\n";
    out << "Perfiles cargados: " << part_count << "\r\n";
    out << "Piezas dibujadas usadas: " << drawn_count << "\r\n";
    out << "Piezas ubicadas: " << layout.placements.size() << "\r\n";
    out << "Chapas usadas: " << layout.sheets_used() << "\r\n";
    out << "Iteraciones ejecutadas: " << result.history.size() << "\r\n";
    out << "Poblacion GA: " << settings.options.population << "\r\n";
    out << "CPU cores usados: " << settings.options.threads << "\r\n";
    out << "Mutation rate: " << settings.options.mutation_percent << "%\r\n";
    out << "Solver: " << solver_name(settings.solver) << "\r\n";
    out << "Aprovechamiento: " << layout.utilization() * 100.0 << "%\r\n";
    out << "Area ocupada final: " << layout.occupied_area() << " mm2\r\n";
    out << std::fixed << std::setprecision(2);
    out << "Costo neto de las piezas: $" << costs.net_parts << "\r\n";
    out << "Costo area ocupada (piezas + scrap): $" << costs.occupied_area << "\r\n";
    out << "Costo chapas enteras necesarias: $" << costs.whole_sheets << "\r\n";
    out << "Ahorro vs primera solucion: " << improvement << " mm2\r\n";
    out << "No se guardo automaticamente. Usa Guardar DXF cuando quieras exportar.\r\n";
    return out.str();
}

std::string gpu_device_line(std::size_t index, const GpuDeviceInfo& device) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << "GPU[" << index << "]: " << device.name << " (" << device.compute_units << " CUs, "
        << (device.global_mem_bytes >> 20) << " MB)\r\n";
    return out.str();
}

namespace {

class AcceleratorProbe : public GpuProbe {
public:
    bool initialize() override { return plv::GpuAccelerator::instance().initialize(); }
    std::vector<GpuDeviceInfo> devices() override {
        std::vector<GpuDeviceInfo> out;
        for (const plv::GpuDevice& d : plv::GpuAccelerator::instance().devices())
            out.push_back({d.name, d.compute_units, d.global_mem_bytes});
        return out;
    }
};

}  // namespace

GpuProbe& process_gpu() {
    static AcceleratorProbe* const probe = new AcceleratorProbe();
    return *probe;
}

void log_run_start(RunSettings& settings, GpuProbe& gpu, const LogLine& log) {
    log("Cargando DXF seleccionados...\r\n");
    if (settings.merge_common_lines && settings.options.spacing > 1e-6) {
        log("Aviso: Merge common lines solo puede unir bordes que queden tocandose; con separacion "
            "mayor a 0 mm casi no habra lineas comunes.\r\n");
    }
    if (settings.solver != plv::Solver::gpu && settings.solver != plv::Solver::dual_gpu) {
        // cpu and random; the reader never gives another value.
        log("Solver: " + solver_name(settings.solver) + "\r\n");
        return;
    }
    log("Inicializando GPU...\r\n");
    if (!gpu.initialize()) {
        log("GPU no disponible, usando CPU.\r\n");
        settings.solver = plv::Solver::cpu;
        settings.options.solver = plv::Solver::cpu;
        return;
    }
    const std::vector<GpuDeviceInfo> devices = gpu.devices();
    for (std::size_t i = 0; i < devices.size(); ++i) log(gpu_device_line(i, devices[i]));
    if (settings.solver == plv::Solver::dual_gpu && devices.size() < 2) {
        log("Dual GPU requiere 2 GPUs disponibles; usando GPU simple.\r\n");
        settings.solver = plv::Solver::gpu;
        settings.options.solver = plv::Solver::gpu;
    }
    log("Solver: " + solver_name(settings.solver) + "\r\n");
}

}  // namespace app
