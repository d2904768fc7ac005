#pragma once

// Ids of the main window's child controls (100 to 154). They are also the
// menu handles the controls are created with and the tool ids of the help
// markers' tooltips.

namespace app {

inline constexpr int IDC_PARTS_LIST = 100;
inline constexpr int IDC_ADD_FOLDER = 101;
inline constexpr int IDC_ADD_DXF = 102;
inline constexpr int IDC_IMPORT_CSV = 103;
inline constexpr int IDC_REMOVE_SELECTED = 104;
inline constexpr int IDC_QUANTITY = 105;
inline constexpr int IDC_APPLY_QUANTITY = 106;
inline constexpr int IDC_OUTPUT_PATH = 107;
inline constexpr int IDC_CHOOSE_OUTPUT = 108;
inline constexpr int IDC_UNIT_INCHES = 109;
inline constexpr int IDC_UNIT_MM = 110;
inline constexpr int IDC_SPACING = 111;
inline constexpr int IDC_CURVE_TOLERANCE = 112;
inline constexpr int IDC_ROTATIONS = 113;
inline constexpr int IDC_OPTIMIZATION_TYPE = 114;
inline constexpr int IDC_ROUGH_CURVES = 115;
inline constexpr int IDC_THREADS = 116;
inline constexpr int IDC_MAX_ITERATIONS = 117;
inline constexpr int IDC_SVG_SCALE = 118;
inline constexpr int IDC_JOIN_TOLERANCE = 119;
inline constexpr int IDC_INPUT_UNITS = 120;
inline constexpr int IDC_OUTPUT_UNITS = 121;
inline constexpr int IDC_MERGE_COMMON_LINES = 122;
inline constexpr int IDC_OPTIMIZATION_RATIO = 123;
inline constexpr int IDC_POPULATION = 124;
inline constexpr int IDC_MUTATION_PERCENT = 125;
inline constexpr int IDC_SHUFFLE_PERCENT = 126;
inline constexpr int IDC_SHUFFLE_INTENSITY = 127;
inline constexpr int IDC_SHEET_WIDTH = 128;
inline constexpr int IDC_SHEET_HEIGHT = 129;
inline constexpr int IDC_PRICE_PER_KG = 130;
inline constexpr int IDC_DENSITY = 131;
inline constexpr int IDC_THICKNESS = 132;
inline constexpr int IDC_RUN = 133;
inline constexpr int IDC_PAUSE = 134;
inline constexpr int IDC_SAVE = 135;
inline constexpr int IDC_LOG = 136;
inline constexpr int IDC_SOLUTIONS_LIST = 137;
inline constexpr int IDC_SOLVER = 138;
inline constexpr int IDC_FEEDBACK = 139;
inline constexpr int IDC_PERF_LOG = 140;
inline constexpr int IDC_TOOL_SELECT = 141;
inline constexpr int IDC_TOOL_PAN = 142;
inline constexpr int IDC_FIT_VIEW = 143;
inline constexpr int IDC_TOOL_DIMENSION = 144;
inline constexpr int IDC_TOOL_LINE = 145;
inline constexpr int IDC_TOOL_RECT = 146;
inline constexpr int IDC_TOOL_CIRCLE = 147;
inline constexpr int IDC_TOOL_ARC = 148;
inline constexpr int IDC_TOOL_POLYLINE = 149;
inline constexpr int IDC_TOOL_TEXT = 150;
inline constexpr int IDC_TOOL_ERASE = 151;
inline constexpr int IDC_CLEAR_DRAWING = 152;
inline constexpr int IDC_GRID = 153;
inline constexpr int IDC_UNDO = 154;

inline constexpr int kFirstControlId = 100;
inline constexpr int kLastControlId = 154;
inline constexpr int kControlCount = kLastControlId - kFirstControlId + 1;

// The editor tool a tool button chooses (0 select, 1 pan, 2 dimension,
// 3 line, 4 rectangle, 5 circle, 6 arc, 7 polyline, 8 text, 9 erase), or -1
// for any other control.
constexpr int editor_tool_of_button(int id) {
    if (id >= IDC_TOOL_SELECT && id <= IDC_TOOL_PAN) return id - IDC_TOOL_SELECT;
    if (id >= IDC_TOOL_DIMENSION && id <= IDC_TOOL_ERASE) return id - IDC_TOOL_DIMENSION + 2;
    return -1;
}

}  // namespace app
