#include "app/core/run_settings.hpp"

#include "app/core/control_ids.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace app {

double parse_number(const std::string& text, std::size_t* consumed) {
    if (text.empty()) {
        if (consumed != nullptr) *consumed = 0;
        return 0.0;
    }
    std::string normalised = text;
    std::replace(normalised.begin(), normalised.end(), ',', '.');
    std::istringstream in(normalised);
    in.imbue(std::locale::classic());
    double value = 0.0;
    in >> value;
    if (in.fail()) throw std::invalid_argument("Numero invalido: " + normalised);
    if (consumed != nullptr) {
        if (in.eof()) {
            *consumed = normalised.size();
        } else {
            *consumed = static_cast<std::size_t>(in.tellg());
        }
    }
    return value;
}

double plain_double(const std::string& text) {
    const double value = std::stod(text);
    if (!std::isfinite(value)) throw std::invalid_argument("stod");
    return value;
}

std::int32_t plain_int(const std::string& text) { return std::stoi(text); }

std::vector<double> rotation_angles(std::int32_t count) {
    const std::int32_t n = std::max<std::int32_t>(count, 1);
    std::vector<double> angles;
    angles.reserve(static_cast<std::size_t>(n));
    // 360 / n first, then times i: the other order gives other bits, and
    // angle bits change layouts.
    for (std::int32_t i = 0; i < n; ++i) angles.push_back(360.0 / n * i);
    return angles;
}

std::int32_t iterations_from(std::int32_t value) {
    return value < 1 ? std::numeric_limits<std::int32_t>::max() : value;
}

std::int32_t thread_count_from(std::int32_t value, unsigned hardware_threads) {
    std::int32_t t = std::max<std::int32_t>(value, 1);
    if (hardware_threads > 2) {
        const auto cap = static_cast<std::int64_t>(hardware_threads) - 1;
        if (t > cap) t = static_cast<std::int32_t>(cap);
    }
    return t;
}

std::int32_t solver_from_text(const std::string& text) {
    if (text == "dual-gpu") return plv::Solver::dual_gpu;
    if (text == "random") return plv::Solver::random;
    if (text == "gpu") return plv::Solver::gpu;
    return plv::Solver::cpu;
}

std::int32_t optimization_from_text(const std::string& text) {
    return text == "Area compacta" ? plv::OptimizationType::compact_area
                                   : plv::OptimizationType::bounding_box;
}

double input_scale_from_text(const std::string& text) { return text == "inches" ? 25.4 : 1.0; }

double unit_factor(bool inches_checked) { return inches_checked ? 25.4 : 1.0; }

namespace {

double clamped(double value, double low, double high) {
    if (value < low) return low;
    if (value > high) return high;
    return value;
}

// A cost input: parse_number, or the field's current value when unreadable.
void read_cost(PanelSource& panel, int id, double& field) {
    try {
        field = parse_number(panel.text(id));
    } catch (const std::exception&) {
        // keeps its default
    }
}

}  // namespace

RunSettings read_run_settings(PanelSource& panel, const std::vector<SelectedFile>& files,
                              const std::vector<EditorEntity>& drawing, unsigned hardware_threads) {
    RunSettings s;
    s.files = files;
    s.drawing = drawing;
    s.output_path = panel.text(IDC_OUTPUT_PATH);
    const double u = unit_factor(panel.checked(IDC_UNIT_INCHES));
    s.sheet.width = plain_double(panel.text(IDC_SHEET_WIDTH)) * u;
    s.sheet.height = plain_double(panel.text(IDC_SHEET_HEIGHT)) * u;
    s.options.spacing = plain_double(panel.text(IDC_SPACING)) * u;
    s.import_settings.curve_tolerance = plain_double(panel.text(IDC_CURVE_TOLERANCE)) * u;
    s.import_settings.join_tolerance = plain_double(panel.text(IDC_JOIN_TOLERANCE)) * u;
    s.options.rotations = rotation_angles(plain_int(panel.text(IDC_ROTATIONS)));
    s.options.opt_ratio = clamped(plain_double(panel.text(IDC_OPTIMIZATION_RATIO)), 0.0, 1.0);
    s.options.optimization = optimization_from_text(panel.combo_text(IDC_OPTIMIZATION_TYPE));
    s.options.iterations = iterations_from(plain_int(panel.text(IDC_MAX_ITERATIONS)));
    s.input_scale = input_scale_from_text(panel.combo_text(IDC_INPUT_UNITS));
    read_cost(panel, IDC_PRICE_PER_KG, s.price_per_kg);
    read_cost(panel, IDC_DENSITY, s.density_kg_m3);
    read_cost(panel, IDC_THICKNESS, s.thickness_mm);
    const std::int32_t threads = thread_count_from(plain_int(panel.text(IDC_THREADS)), hardware_threads);
    s.load_threads = threads;
    s.options.threads = threads;
    s.options.population = std::max<std::int32_t>(plain_int(panel.text(IDC_POPULATION)), 1);
    s.options.mutation_percent = clamped(plain_double(panel.text(IDC_MUTATION_PERCENT)), 0.0, 100.0);
    s.options.shuffle_percent = clamped(plain_double(panel.text(IDC_SHUFFLE_PERCENT)), 0.0, 100.0);
    s.options.shuffle_intensity_percent =
        clamped(plain_double(panel.text(IDC_SHUFFLE_INTENSITY)), 0.0, 100.0);
    s.solver = solver_from_text(panel.combo_text(IDC_SOLVER));
    s.options.solver = s.solver;
    s.merge_common_lines = panel.checked(IDC_MERGE_COMMON_LINES);
    s.rough_curves = panel.checked(IDC_ROUGH_CURVES);
    if (s.rough_curves) {
        s.import_settings.curve_tolerance *= 3.0;
        s.import_settings.join_tolerance *= 2.0;
    }
    return s;
}

SearchSettings read_search_settings(PanelSource& panel, unsigned hardware_threads) {
    SearchSettings s;
    const double u = unit_factor(panel.checked(IDC_UNIT_INCHES));
    s.spacing = plain_double(panel.text(IDC_SPACING)) * u;
    s.rotations = rotation_angles(plain_int(panel.text(IDC_ROTATIONS)));
    s.opt_ratio = clamped(plain_double(panel.text(IDC_OPTIMIZATION_RATIO)), 0.0, 1.0);
    s.optimization = optimization_from_text(panel.combo_text(IDC_OPTIMIZATION_TYPE));
    s.threads = thread_count_from(plain_int(panel.text(IDC_THREADS)), hardware_threads);
    s.population = std::max<std::int32_t>(plain_int(panel.text(IDC_POPULATION)), 1);
    s.mutation_percent = clamped(plain_double(panel.text(IDC_MUTATION_PERCENT)), 0.0, 100.0);
    s.shuffle_percent = clamped(plain_double(panel.text(IDC_SHUFFLE_PERCENT)), 0.0, 100.0);
    s.shuffle_intensity_percent = clamped(plain_double(panel.text(IDC_SHUFFLE_INTENSITY)), 0.0, 100.0);
    return s;
}

void apply_search_settings(const SearchSettings& search, plv::IterativeNestingOptions& options) {
    options.spacing = search.spacing;
    options.rotations = search.rotations;
    options.opt_ratio = search.opt_ratio;
    options.optimization = search.optimization;
    options.threads = search.threads;
    options.population = search.population;
    options.mutation_percent = search.mutation_percent;
    options.shuffle_percent = search.shuffle_percent;
    options.shuffle_intensity_percent = search.shuffle_intensity_percent;
}

void read_loading_settings(PanelSource& panel, unsigned hardware_threads, RunSettings& settings) {
    // Read into locals first so that a failure leaves `settings` untouched.
    const double u = unit_factor(panel.checked(IDC_UNIT_INCHES));
    double curve = plain_double(panel.text(IDC_CURVE_TOLERANCE)) * u;
    double join = plain_double(panel.text(IDC_JOIN_TOLERANCE)) * u;
    const double scale = input_scale_from_text(panel.combo_text(IDC_INPUT_UNITS));
    const std::int32_t threads = thread_count_from(plain_int(panel.text(IDC_THREADS)), hardware_threads);
    const bool rough = panel.checked(IDC_ROUGH_CURVES);
    if (rough) {
        curve *= 3.0;
        join *= 2.0;
    }
    settings.import_settings.curve_tolerance = curve;
    settings.import_settings.join_tolerance = join;
    settings.input_scale = scale;
    settings.load_threads = threads;
    settings.rough_curves = rough;
}

void reset_result_state(GuiState& state) {
    state.shown_result = plv::NestingResult{};
    state.iteration_history.clear();
    state.saved_solutions.clear();
    state.selected_solution = -1;
    state.has_result = false;
    state.live_stats = LiveStats{};
}

void reset_result_state() { reset_result_state(gui_state()); }

}  // namespace app
