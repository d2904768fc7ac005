#include "app/core/control_table.hpp"

#include "app/core/control_ids.hpp"

#include <algorithm>
#include <string>
#include <thread>

namespace app {

int default_thread_count(unsigned hardware_threads) {
    if (hardware_threads < 3) return 8;
    return static_cast<int>(std::min(hardware_threads - 1, 8u));
}

namespace {

std::vector<ControlSpec> build_specs() {
    using K = ControlKind;
    auto push = [](int id, const char* caption) {
        ControlSpec s;
        s.id = id;
        s.kind = K::push;
        s.text = caption;
        return s;
    };
    auto edit = [](int id, std::string text) {
        ControlSpec s;
        s.id = id;
        s.kind = K::edit;
        s.text = std::move(text);
        return s;
    };
    auto combo = [](int id, std::vector<std::string> items) {
        ControlSpec s;
        s.id = id;
        s.kind = K::combo;
        s.items = std::move(items);
        return s;
    };
    auto button = [](int id, K kind, const char* caption, bool checked) {
        ControlSpec s;
        s.id = id;
        s.kind = kind;
        s.text = caption;
        s.checked = checked;
        return s;
    };
    auto hidden = [](ControlSpec s) {
        s.always_hidden = true;
        return s;
    };
    auto disabled = [](ControlSpec s) {
        s.disabled = true;
        return s;
    };

    std::vector<ControlSpec> v;
    ControlSpec list;
    list.id = IDC_PARTS_LIST;
    list.kind = K::parts_list;
    v.push_back(list);
    v.push_back(push(IDC_ADD_FOLDER, "Agregar carpeta"));
    v.push_back(push(IDC_ADD_DXF, "Agregar DXF"));
    v.push_back(hidden(push(IDC_IMPORT_CSV, "Importar CSV")));
    v.push_back(push(IDC_REMOVE_SELECTED, "Quitar seleccionado"));
    v.push_back(edit(IDC_QUANTITY, "1"));
    v.push_back(push(IDC_APPLY_QUANTITY, "Aplicar cantidad"));
    v.push_back(hidden(edit(IDC_OUTPUT_PATH, kDefaultOutputPath)));
    v.push_back(hidden(push(IDC_CHOOSE_OUTPUT, "Salida")));
    v.push_back(button(IDC_UNIT_INCHES, K::radio, "inches", false));
    v.push_back(button(IDC_UNIT_MM, K::radio, "mm", true));
    v.push_back(edit(IDC_SPACING, "5"));
    v.push_back(edit(IDC_CURVE_TOLERANCE, "2"));
    v.push_back(edit(IDC_ROTATIONS, "2"));
    v.push_back(combo(IDC_OPTIMIZATION_TYPE, {"Bounding Box", "Area compacta"}));
    v.push_back(button(IDC_ROUGH_CURVES, K::check, "", false));
    v.push_back(edit(IDC_THREADS,
                     std::to_string(default_thread_count(std::thread::hardware_concurrency()))));
    v.push_back(edit(IDC_MAX_ITERATIONS, "0"));
    v.push_back(edit(IDC_SVG_SCALE, "2.834645"));
    v.push_back(edit(IDC_JOIN_TOLERANCE, "0.2"));
    v.push_back(combo(IDC_INPUT_UNITS, {"mm", "inches"}));
    v.push_back(disabled(combo(IDC_OUTPUT_UNITS, {"mm"})));
    v.push_back(button(IDC_MERGE_COMMON_LINES, K::check, "", true));
    v.push_back(edit(IDC_OPTIMIZATION_RATIO, "0.5"));
    v.push_back(edit(IDC_POPULATION, "4"));
    v.push_back(edit(IDC_MUTATION_PERCENT, "8"));
    v.push_back(edit(IDC_SHUFFLE_PERCENT, "10"));
    v.push_back(edit(IDC_SHUFFLE_INTENSITY, "15"));
    v.push_back(combo(IDC_SOLVER, {"cpu", "gpu", "dual-gpu", "random"}));
    v.push_back(button(IDC_PERF_LOG, K::check, "Perf Log", false));
    v.push_back(hidden(push(IDC_FEEDBACK, "Enviar comentarios / Reportar error")));
    v.push_back(edit(IDC_SHEET_WIDTH, "3000"));
    v.push_back(edit(IDC_SHEET_HEIGHT, "1500"));
    v.push_back(edit(IDC_PRICE_PER_KG, "6500"));
    v.push_back(edit(IDC_DENSITY, "8000"));
    v.push_back(edit(IDC_THICKNESS, "2.5"));
    v.push_back(push(IDC_RUN, "Ejecutar nesting"));
    v.push_back(disabled(push(IDC_PAUSE, "Pausar")));
    v.push_back(push(IDC_SAVE, "Guardar"));
    v.push_back(push(IDC_TOOL_SELECT, "V Select"));
    v.push_back(push(IDC_TOOL_PAN, "H Pan"));
    v.push_back(push(IDC_FIT_VIEW, "F Fit"));
    v.push_back(push(IDC_TOOL_DIMENSION, "M Cota"));
    v.push_back(push(IDC_TOOL_LINE, "L Linea"));
    v.push_back(push(IDC_TOOL_RECT, "R Rect"));
    v.push_back(push(IDC_TOOL_CIRCLE, "C Circ"));
    v.push_back(push(IDC_TOOL_ARC, "A Arco"));
    v.push_back(push(IDC_TOOL_POLYLINE, "P Poli"));
    v.push_back(push(IDC_TOOL_TEXT, "T Texto"));
    v.push_back(push(IDC_TOOL_ERASE, "E Borrar"));
    v.push_back(push(IDC_UNDO, "Undo"));
    v.push_back(push(IDC_GRID, "Grilla ON"));
    v.push_back(push(IDC_CLEAR_DRAWING, "Limpiar"));
    ControlSpec log;
    log.id = IDC_LOG;
    log.kind = K::log;
    v.push_back(log);
    ControlSpec solutions;
    solutions.id = IDC_SOLUTIONS_LIST;
    solutions.kind = K::solutions_list;
    v.push_back(solutions);
    return v;
}

}  // namespace

const std::vector<ControlSpec>& control_specs() {
    static const std::vector<ControlSpec> specs = build_specs();
    return specs;
}

const ControlSpec* find_control_spec(int id) {
    for (const ControlSpec& s : control_specs())
        if (s.id == id) return &s;
    return nullptr;
}

}  // namespace app
