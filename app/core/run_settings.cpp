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

// The names the panel shows beside the fields read with the plain
// conversion, so that a bad value can be pointed out to the user.
const char* field_label(int control_id) {
    switch (control_id) {
        case IDC_SHEET_WIDTH: return "Ancho chapa";
        case IDC_SHEET_HEIGHT: return "Alto chapa";
        case IDC_SPACING: return "Space between";
        case IDC_CURVE_TOLERANCE: return "Curve tolerance";
        case IDC_JOIN_TOLERANCE: return "Endpoint tol.";
        case IDC_ROTATIONS: return "Part rotations";
        case IDC_OPTIMIZATION_RATIO: return "Opt. ratio";
        case IDC_MAX_ITERATIONS: return "Iterations";
        case IDC_THREADS: return "CPU cores";
        case IDC_POPULATION: return "GA population";
        case IDC_MUTATION_PERCENT: return "Mutation %";
        case IDC_SHUFFLE_PERCENT: return "Shuffle %";
        case IDC_SHUFFLE_INTENSITY: return "Intensity %";
        default: return "";
    }
}

// The conversion's own error ("stod", "stoi") tells the user nothing: the
// failure names the field and what was typed in it.
[[noreturn]] void throw_bad_field(int control_id, const std::string& text) {
    throw std::invalid_argument(std::string("Valor no valido en \"") + field_label(control_id) + "\": " + text);
}

double field_double(PanelSource& panel, int control_id) {
    const std::string text = panel.text(control_id);
    try {
        return plain_double(text);
    } catch (const std::logic_error&) {  // invalid_argument, out_of_range
        throw_bad_field(control_id, text);
    }
}

std::int32_t field_int(PanelSource& panel, int control_id) {
    const std::string text = panel.text(control_id);
    try {
        return plain_int(text);
    } catch (const std::logic_error&) {
        throw_bad_field(control_id, text);
    }
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
    s.sheet.width = field_double(panel, IDC_SHEET_WIDTH) * u;
    s.sheet.height = field_double(panel, IDC_SHEET_HEIGHT) * u;
    s.options.spacing = field_double(panel, IDC_SPACING) * u;
    s.import_settings.curve_tolerance = field_double(panel, IDC_CURVE_TOLERANCE) * u;
    s.import_settings.join_tolerance = field_double(panel, IDC_JOIN_TOLERANCE) * u;
    s.options.rotations = rotation_angles(field_int(panel, IDC_ROTATIONS));
    s.options.opt_ratio = clamped(field_double(panel, IDC_OPTIMIZATION_RATIO), 0.0, 1.0);
    s.options.optimization = optimization_from_text(panel.combo_text(IDC_OPTIMIZATION_TYPE));
    s.options.iterations = iterations_from(field_int(panel, IDC_MAX_ITERATIONS));
    s.input_scale = input_scale_from_text(panel.combo_text(IDC_INPUT_UNITS));
    read_cost(panel, IDC_PRICE_PER_KG, s.price_per_kg);
    read_cost(panel, IDC_DENSITY, s.density_kg_m3);
    read_cost(panel, IDC_THICKNESS, s.thickness_mm);
    const std::int32_t threads = thread_count_from(field_int(panel, IDC_THREADS), hardware_threads);
    s.load_threads = threads;
    s.options.threads = threads;
    s.options.population = std::max<std::int32_t>(field_int(panel, IDC_POPULATION), 1);
    s.options.mutation_percent = clamped(field_double(panel, IDC_MUTATION_PERCENT), 0.0, 100.0);
    s.options.shuffle_percent = clamped(field_double(panel, IDC_SHUFFLE_PERCENT), 0.0, 100.0);
    s.options.shuffle_intensity_percent =
        clamped(field_double(panel, IDC_SHUFFLE_INTENSITY), 0.0, 100.0);
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
    s.spacing = field_double(panel, IDC_SPACING) * u;
    s.rotations = rotation_angles(field_int(panel, IDC_ROTATIONS));
    s.opt_ratio = clamped(field_double(panel, IDC_OPTIMIZATION_RATIO), 0.0, 1.0);
    s.optimization = optimization_from_text(panel.combo_text(IDC_OPTIMIZATION_TYPE));
    s.threads = thread_count_from(field_int(panel, IDC_THREADS), hardware_threads);
    s.population = std::max<std::int32_t>(field_int(panel, IDC_POPULATION), 1);
    s.mutation_percent = clamped(field_double(panel, IDC_MUTATION_PERCENT), 0.0, 100.0);
    s.shuffle_percent = clamped(field_double(panel, IDC_SHUFFLE_PERCENT), 0.0, 100.0);
    s.shuffle_intensity_percent = clamped(field_double(panel, IDC_SHUFFLE_INTENSITY), 0.0, 100.0);
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
    double curve = field_double(panel, IDC_CURVE_TOLERANCE) * u;
    double join = field_double(panel, IDC_JOIN_TOLERANCE) * u;
    const double scale = input_scale_from_text(panel.combo_text(IDC_INPUT_UNITS));
    const std::int32_t threads = thread_count_from(field_int(panel, IDC_THREADS), hardware_threads);
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
    note_display_change(state);
}

void reset_result_state() { reset_result_state(gui_state()); }

}  // namespace app
