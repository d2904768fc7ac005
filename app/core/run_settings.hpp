#pragma once

// Everything one nesting run or one preview load needs, read from the
// settings panel when it starts. Each run thread and each preview thread
// owns its own copy, so later edits of the panel do not reach a load under
// way (the search fields are read again after a pause, see progress.hpp).
//
// Two number readers exist and which one a field uses matters:
// - the plain conversion (every length, count and percentage): the number
//   at the start of the text, '.' only, the rest ignored, failing with the
//   conversion's own error;
// - parse_number (the cost inputs and the editor's input windows): ',' is a
//   decimal point too, an empty text reads 0.

#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "dxf/import_settings.hpp"
#include "engine/model.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace app {

struct RunSettings {
    std::vector<SelectedFile> files;
    std::vector<EditorEntity> drawing;
    std::string output_path;
    plv::Sheet sheet;                        // 3000 x 1500
    plv::DxfImportSettings import_settings;  // quantity 1, curve 2.0, join 0.2, min area 1.0
    // spacing 5, rotations 0/90/180/270, max_sheets 50, extra positions and
    // compact on, bounding box, ratio 0.5, top_k 1, position seed 0, cpu,
    // 250 iterations, seed 42, 4 threads, population 1, mutation 10,
    // shuffle 0, shuffle intensity 25, no performance log.
    plv::IterativeNestingOptions options;
    double input_scale = 1.0;  // 25.4 for drawings in inches
    std::int32_t load_threads = 1;
    std::int32_t solver = plv::Solver::cpu;
    bool merge_common_lines = true;
    bool rough_curves = false;
    double price_per_kg = 6500.0;
    double density_kg_m3 = 8000.0;
    double thickness_mm = 2.5;
};

// The decimal reader of the cost inputs and the editor's input windows.
// Empty text reads 0; every ',' counts as '.'; the number at the start is
// read with the classic locale and the rest ignored. Throws
// std::invalid_argument("Numero invalido: " + text with ',' replaced) when
// nothing could be read. `consumed`, when given, receives the characters
// read (the whole length when the read reached the end).
double parse_number(const std::string& text, std::size_t* consumed = nullptr);

// The plain conversions: the number at the start of the text (leading
// white space skipped, the rest ignored, '.' the only decimal point).
// Throw the conversion's own error for a text that does not start with a
// number or a value out of range; a non-finite value ("nan", "inf") fails
// too, since it would pass every later check and stack parts on each other.
double plain_double(const std::string& text);
std::int32_t plain_int(const std::string& text);

// Rules of the single fields.
std::vector<double> rotation_angles(std::int32_t count);  // 360/n*i, n at least 1
std::int32_t iterations_from(std::int32_t value);          // below 1: run until stopped
// At least 1; with more than two hardware threads h, at most h - 1.
std::int32_t thread_count_from(std::int32_t value, unsigned hardware_threads);
std::int32_t solver_from_text(const std::string& text);
std::int32_t optimization_from_text(const std::string& text);
double input_scale_from_text(const std::string& text);
double unit_factor(bool inches_checked);

// What the panel reader reads its controls through: the Win32 shell reads
// the real controls, tests a table.
class PanelSource {
public:
    virtual ~PanelSource() = default;
    // Whole window text of a control; "" when empty.
    virtual std::string text(int control_id) = 0;
    // Text of the selected item of a drop-down combo box; "" with none.
    virtual std::string combo_text(int control_id) = 0;
    // True when a check box or radio button is ticked.
    virtual bool checked(int control_id) = 0;
};

// Reads every field at run start, in panel order. The first failing plain
// conversion throws and ends the reading; a cost input that cannot be read
// keeps its default.
RunSettings read_run_settings(PanelSource& panel, const std::vector<SelectedFile>& files,
                              const std::vector<EditorEntity>& drawing, unsigned hardware_threads);

// The search fields, read again when a pause ends; all are read before any
// is written.
struct SearchSettings {
    double spacing = 0.0;
    std::vector<double> rotations;
    double opt_ratio = 0.0;
    std::int32_t optimization = plv::OptimizationType::bounding_box;
    std::int32_t threads = 1;
    std::int32_t population = 1;
    double mutation_percent = 0.0;
    double shuffle_percent = 0.0;
    double shuffle_intensity_percent = 0.0;
};
SearchSettings read_search_settings(PanelSource& panel, unsigned hardware_threads);
void apply_search_settings(const SearchSettings& search, plv::IterativeNestingOptions& options);

// The loading fields a preview needs (unit factor, curve and join
// tolerances, input units, threads, rough curves) into `settings`; throws
// like read_run_settings. Fields it does not read are left as they are.
void read_loading_settings(PanelSource& panel, unsigned hardware_threads, RunSettings& settings);

// Empties the result part of the shared state: an empty layout on a
// 3000 x 1500 sheet shown, no history, no saved solutions, nothing selected,
// no result, zero live figures. The preview fields are left alone. Call with
// state_mutex held.
void reset_result_state(GuiState& state);
void reset_result_state();

}  // namespace app
