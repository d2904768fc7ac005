#include "app/core/run_settings.hpp"

#include "app_core/run_panel_source.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

using namespace app;
using runtest::TablePanel;

RunSettings read(TablePanel& panel, unsigned hardware = 8) {
    return read_run_settings(panel, {}, {}, hardware);
}

TEST(ParseNumber, ValuesAndCounts) {
    struct Case {
        const char* text;
        double value;
        std::size_t count;
    };
    const Case cases[] = {
        {"", 0.0, 0},          {" 7", 7.0, 2},         {"6500abc", 6500.0, 4},
        {"1,2,3", 1.2, 3},     {"6500,5", 6500.5, 6},  {"-2.5e2", -250.0, 6},
        {"0.2 mm", 0.2, 3},
    };
    for (const Case& c : cases) {
        std::size_t count = 99;
        EXPECT_DOUBLE_EQ(parse_number(c.text, &count), c.value) << c.text;
        EXPECT_EQ(count, c.count) << c.text;
        EXPECT_DOUBLE_EQ(parse_number(c.text), c.value) << c.text;
    }
}

TEST(ParseNumber, FailsWithTheReplacedText) {
    for (const char* text : {"abc", "ab,c", " ", "1e", "inf", "nan", ",x"}) {
        try {
            parse_number(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const std::invalid_argument& e) {
            std::string expected = std::string("Numero invalido: ") + text;
            for (char& ch : expected)
                if (ch == ',') ch = '.';
            EXPECT_EQ(e.what(), expected);
        }
    }
}

TEST(PlainConversion, TakesTheNumberAtTheStart) {
    EXPECT_EQ(plain_double("5 mm"), 5.0);
    EXPECT_EQ(plain_double("2,5"), 2.0);
    EXPECT_EQ(plain_double("  0.2"), 0.2);
    EXPECT_EQ(plain_int("2.9"), 2);
    EXPECT_EQ(plain_int("-4"), -4);
    for (const char* bad : {"", "abc", "mm 5", "nan", "inf", "-infinity", "1e999"})
        EXPECT_THROW(plain_double(bad), std::exception) << bad;
    for (const char* bad : {"", "x1", "99999999999"}) EXPECT_THROW(plain_int(bad), std::exception) << bad;
}

TEST(FieldRules, RotationsIterationsThreads) {
    EXPECT_EQ(rotation_angles(0), std::vector<double>{0.0});
    EXPECT_EQ(rotation_angles(1), std::vector<double>{0.0});
    EXPECT_EQ(rotation_angles(-4), std::vector<double>{0.0});
    EXPECT_EQ(rotation_angles(3), (std::vector<double>{0.0, 120.0, 240.0}));
    EXPECT_EQ(rotation_angles(6), (std::vector<double>{0, 60, 120, 180, 240, 300}));
    const std::vector<double> thirteen = rotation_angles(13);
    const double expected = 360.0 / 13 * 7;
    EXPECT_EQ(std::memcmp(&thirteen[7], &expected, sizeof expected), 0);

    EXPECT_EQ(iterations_from(0), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(iterations_from(-1), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(iterations_from(1), 1);

    struct ThreadCase {
        std::int32_t typed;
        unsigned hardware;
        std::int32_t expected;
    };
    for (const ThreadCase& c : {ThreadCase{0, 8, 1}, ThreadCase{16, 8, 7}, ThreadCase{16, 2, 16},
                                ThreadCase{16, 0, 16}, ThreadCase{7, 8, 7}, ThreadCase{5, 3, 2},
                                ThreadCase{-3, 1, 1}})
        EXPECT_EQ(thread_count_from(c.typed, c.hardware), c.expected) << c.typed << " on " << c.hardware;
}

TEST(FieldRules, TextMappingsAreExact) {
    EXPECT_EQ(solver_from_text("cpu"), 0);
    EXPECT_EQ(solver_from_text("gpu"), 1);
    EXPECT_EQ(solver_from_text("dual-gpu"), 2);
    EXPECT_EQ(solver_from_text("random"), 3);
    EXPECT_EQ(solver_from_text("GPU"), 0);
    EXPECT_EQ(solver_from_text(""), 0);
    EXPECT_EQ(optimization_from_text("Area compacta"), plv::OptimizationType::compact_area);
    EXPECT_EQ(optimization_from_text("area compacta"), plv::OptimizationType::bounding_box);
    EXPECT_EQ(optimization_from_text("Bounding Box"), plv::OptimizationType::bounding_box);
    EXPECT_EQ(input_scale_from_text("inches"), 25.4);
    EXPECT_EQ(input_scale_from_text("Inches"), 1.0);
    EXPECT_EQ(input_scale_from_text("mm"), 1.0);
}

TEST(RunSettingsRecord, Defaults) {
    const RunSettings s;
    EXPECT_EQ(s.sheet.width, 3000.0);
    EXPECT_EQ(s.sheet.height, 1500.0);
    EXPECT_EQ(s.import_settings.quantity, 1);
    EXPECT_EQ(s.import_settings.curve_tolerance, 2.0);
    EXPECT_EQ(s.import_settings.join_tolerance, 0.2);
    EXPECT_EQ(s.import_settings.min_area, 1.0);
    EXPECT_EQ(s.options.spacing, 5.0);
    EXPECT_EQ(s.options.rotations, (std::vector<double>{0, 90, 180, 270}));
    EXPECT_EQ(s.options.max_sheets, 50);
    EXPECT_TRUE(s.options.extra_positions);
    EXPECT_TRUE(s.options.compact);
    EXPECT_EQ(s.options.top_k, 1);
    EXPECT_EQ(s.options.iterations, 250);
    EXPECT_EQ(s.options.seed, 42);
    EXPECT_EQ(s.options.threads, 4);
    EXPECT_EQ(s.options.population, 1);
    EXPECT_EQ(s.options.mutation_percent, 10.0);
    EXPECT_EQ(s.options.shuffle_percent, 0.0);
    EXPECT_EQ(s.options.shuffle_intensity_percent, 25.0);
    EXPECT_EQ(s.options.perf_log, nullptr);
    EXPECT_EQ(s.input_scale, 1.0);
    EXPECT_EQ(s.load_threads, 1);
    EXPECT_EQ(s.solver, 0);
    EXPECT_TRUE(s.merge_common_lines);
    EXPECT_FALSE(s.rough_curves);
    EXPECT_EQ(s.price_per_kg, 6500.0);
    EXPECT_EQ(s.density_kg_m3, 8000.0);
    EXPECT_EQ(s.thickness_mm, 2.5);
}

TEST(ReadRunSettings, PanelStartTexts) {
    TablePanel panel;
    std::vector<SelectedFile> files{{"a.dxf", 3}};
    EditorEntity rect;
    rect.kind = EntityKind::rectangle;
    rect.p1 = {10, 20};
    const RunSettings s = read_run_settings(panel, files, {rect}, 8);
    ASSERT_EQ(s.files.size(), 1u);
    EXPECT_EQ(s.files[0].quantity, 3);
    ASSERT_EQ(s.drawing.size(), 1u);
    EXPECT_EQ(s.drawing[0].kind, EntityKind::rectangle);
    EXPECT_EQ(s.drawing[0].p1.y, 20.0);
    EXPECT_EQ(s.output_path, "outputs\\cpp_gui_nesting_result.dxf");
    EXPECT_EQ(s.sheet.width, 3000.0);
    EXPECT_EQ(s.options.spacing, 5.0);
    EXPECT_EQ(s.options.rotations, (std::vector<double>{0.0, 180.0}));
    EXPECT_EQ(s.options.iterations, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(s.load_threads, 3);
    EXPECT_EQ(s.options.threads, 3);
    EXPECT_EQ(s.options.population, 4);
    EXPECT_EQ(s.options.mutation_percent, 8.0);
    EXPECT_EQ(s.options.shuffle_percent, 10.0);
    EXPECT_EQ(s.options.shuffle_intensity_percent, 15.0);
    EXPECT_EQ(s.options.solver, 0);
    EXPECT_TRUE(s.merge_common_lines);
    // Never read from the panel.
    EXPECT_EQ(s.options.max_sheets, 50);
    EXPECT_EQ(s.options.seed, 42);
    EXPECT_EQ(s.import_settings.min_area, 1.0);
}

TEST(ReadRunSettings, FieldRulesFromTexts) {
    struct Case {
        int id;
        const char* text;
        void (*check)(const RunSettings&);
    };
    const Case cases[] = {
        {IDC_ROTATIONS, "3", [](const RunSettings& s) {
             EXPECT_EQ(s.options.rotations, (std::vector<double>{0, 120, 240}));
         }},
        {IDC_ROTATIONS, "-4", [](const RunSettings& s) { EXPECT_EQ(s.options.rotations.size(), 1u); }},
        {IDC_MAX_ITERATIONS, "1", [](const RunSettings& s) { EXPECT_EQ(s.options.iterations, 1); }},
        {IDC_MAX_ITERATIONS, "-1", [](const RunSettings& s) {
             EXPECT_EQ(s.options.iterations, std::numeric_limits<std::int32_t>::max());
         }},
        {IDC_THREADS, "0", [](const RunSettings& s) { EXPECT_EQ(s.options.threads, 1); }},
        {IDC_THREADS, "16", [](const RunSettings& s) {
             EXPECT_EQ(s.options.threads, 7);
             EXPECT_EQ(s.load_threads, 7);
         }},
        {IDC_POPULATION, "0", [](const RunSettings& s) { EXPECT_EQ(s.options.population, 1); }},
        {IDC_OPTIMIZATION_RATIO, "1.5", [](const RunSettings& s) { EXPECT_EQ(s.options.opt_ratio, 1.0); }},
        {IDC_OPTIMIZATION_RATIO, "-2", [](const RunSettings& s) { EXPECT_EQ(s.options.opt_ratio, 0.0); }},
        {IDC_MUTATION_PERCENT, "250", [](const RunSettings& s) { EXPECT_EQ(s.options.mutation_percent, 100.0); }},
        {IDC_SHUFFLE_PERCENT, "-1", [](const RunSettings& s) { EXPECT_EQ(s.options.shuffle_percent, 0.0); }},
        {IDC_SHUFFLE_INTENSITY, "101", [](const RunSettings& s) {
             EXPECT_EQ(s.options.shuffle_intensity_percent, 100.0);
         }},
        {IDC_SPACING, "2,5", [](const RunSettings& s) { EXPECT_EQ(s.options.spacing, 2.0); }},
        {IDC_SPACING, "5 mm", [](const RunSettings& s) { EXPECT_EQ(s.options.spacing, 5.0); }},
        {IDC_PRICE_PER_KG, "6500,5", [](const RunSettings& s) { EXPECT_EQ(s.price_per_kg, 6500.5); }},
        {IDC_PRICE_PER_KG, "", [](const RunSettings& s) { EXPECT_EQ(s.price_per_kg, 0.0); }},
        {IDC_PRICE_PER_KG, "abc", [](const RunSettings& s) { EXPECT_EQ(s.price_per_kg, 6500.0); }},
        {IDC_DENSITY, "x", [](const RunSettings& s) { EXPECT_EQ(s.density_kg_m3, 8000.0); }},
        {IDC_THICKNESS, "letters", [](const RunSettings& s) { EXPECT_EQ(s.thickness_mm, 2.5); }},
        {IDC_OUTPUT_PATH, "C:\\out\\r.dxf", [](const RunSettings& s) { EXPECT_EQ(s.output_path, "C:\\out\\r.dxf"); }},
    };
    for (const Case& c : cases) {
        TablePanel panel;
        panel.set_text(c.id, c.text);
        SCOPED_TRACE(std::to_string(c.id) + " = '" + c.text + "'");
        c.check(read(panel));
    }
}

TEST(ReadRunSettings, CombosAndBoxes) {
    TablePanel panel;
    panel.set_combo(IDC_SOLVER, "dual-gpu");
    panel.set_combo(IDC_OPTIMIZATION_TYPE, "Area compacta");
    panel.set_combo(IDC_INPUT_UNITS, "inches");
    panel.set_checked(IDC_MERGE_COMMON_LINES, false);
    RunSettings s = read(panel);
    EXPECT_EQ(s.solver, 2);
    EXPECT_EQ(s.options.solver, 2);
    EXPECT_EQ(s.options.optimization, plv::OptimizationType::compact_area);
    EXPECT_EQ(s.input_scale, 25.4);
    EXPECT_FALSE(s.merge_common_lines);
    // Input units scale the parts, not the panel's own lengths.
    EXPECT_EQ(s.sheet.width, 3000.0);
}

TEST(ReadRunSettings, InchesScaleLengthsNotCosts) {
    TablePanel panel;
    panel.set_checked(IDC_UNIT_INCHES, true);
    panel.set_text(IDC_SHEET_WIDTH, "100");
    RunSettings s = read(panel);
    EXPECT_EQ(s.sheet.width, 100 * 25.4);
    EXPECT_EQ(s.sheet.height, 1500 * 25.4);
    EXPECT_EQ(s.options.spacing, 5 * 25.4);
    EXPECT_EQ(s.import_settings.curve_tolerance, 2 * 25.4);
    EXPECT_EQ(s.thickness_mm, 2.5);
    EXPECT_EQ(s.price_per_kg, 6500.0);

    panel.set_checked(IDC_ROUGH_CURVES, true);
    s = read(panel);
    EXPECT_EQ(s.import_settings.curve_tolerance, 2 * 25.4 * 3);
    EXPECT_EQ(s.import_settings.join_tolerance, 0.2 * 25.4 * 2);
}

TEST(ReadRunSettings, RoughCurvesWidenTolerances) {
    TablePanel panel;
    panel.set_checked(IDC_ROUGH_CURVES, true);
    const RunSettings s = read(panel);
    EXPECT_TRUE(s.rough_curves);
    EXPECT_DOUBLE_EQ(s.import_settings.curve_tolerance, 6.0);
    EXPECT_DOUBLE_EQ(s.import_settings.join_tolerance, 0.4);
}

TEST(ReadRunSettings, FirstBadFieldEndsTheReading) {
    TablePanel panel;
    panel.set_text(IDC_SHEET_WIDTH, "");
    panel.set_text(IDC_POPULATION, "bad");
    EXPECT_THROW(read(panel), std::invalid_argument);
    // Nothing after the width was read.
    const std::vector<int> reads = panel.reads();
    EXPECT_EQ(reads.back(), IDC_SHEET_WIDTH);

    for (int id : {IDC_SHEET_HEIGHT, IDC_SPACING, IDC_CURVE_TOLERANCE, IDC_JOIN_TOLERANCE, IDC_ROTATIONS,
                   IDC_OPTIMIZATION_RATIO, IDC_MAX_ITERATIONS, IDC_THREADS, IDC_POPULATION,
                   IDC_MUTATION_PERCENT, IDC_SHUFFLE_PERCENT, IDC_SHUFFLE_INTENSITY}) {
        TablePanel p;
        p.set_text(id, "abc");
        EXPECT_THROW(read(p), std::exception) << id;
        TablePanel q;
        q.set_text(id, "nan");
        EXPECT_THROW(read(q), std::exception) << id;
    }
}

TEST(ReadRunSettings, ReadsInPanelOrder) {
    TablePanel panel;
    read(panel);
    const std::vector<int> expected{IDC_OUTPUT_PATH,       IDC_UNIT_INCHES,       IDC_SHEET_WIDTH,
                                    IDC_SHEET_HEIGHT,      IDC_SPACING,           IDC_CURVE_TOLERANCE,
                                    IDC_JOIN_TOLERANCE,    IDC_ROTATIONS,         IDC_OPTIMIZATION_RATIO,
                                    IDC_OPTIMIZATION_TYPE, IDC_MAX_ITERATIONS,    IDC_INPUT_UNITS,
                                    IDC_PRICE_PER_KG,      IDC_DENSITY,           IDC_THICKNESS,
                                    IDC_THREADS,           IDC_POPULATION,        IDC_MUTATION_PERCENT,
                                    IDC_SHUFFLE_PERCENT,   IDC_SHUFFLE_INTENSITY, IDC_SOLVER,
                                    IDC_MERGE_COMMON_LINES, IDC_ROUGH_CURVES};
    EXPECT_EQ(panel.reads(), expected);
}

TEST(SearchSettings, ReadAllThenApplyTogether) {
    TablePanel panel;
    panel.set_checked(IDC_UNIT_INCHES, true);
    panel.set_text(IDC_SPACING, "1");
    panel.set_text(IDC_ROTATIONS, "4");
    panel.set_text(IDC_POPULATION, "0");
    panel.set_text(IDC_THREADS, "64");
    panel.set_combo(IDC_OPTIMIZATION_TYPE, "Area compacta");
    const SearchSettings search = read_search_settings(panel, 4);
    plv::IterativeNestingOptions options;
    options.iterations = 17;
    apply_search_settings(search, options);
    EXPECT_EQ(options.spacing, 25.4);
    EXPECT_EQ(options.rotations, (std::vector<double>{0, 90, 180, 270}));
    EXPECT_EQ(options.population, 1);
    EXPECT_EQ(options.threads, 3);
    EXPECT_EQ(options.optimization, plv::OptimizationType::compact_area);
    EXPECT_EQ(options.mutation_percent, 8.0);
    EXPECT_EQ(options.shuffle_percent, 10.0);
    EXPECT_EQ(options.shuffle_intensity_percent, 15.0);
    EXPECT_EQ(options.iterations, 17);

    const std::vector<int> expected{IDC_UNIT_INCHES,   IDC_SPACING,          IDC_ROTATIONS,
                                    IDC_OPTIMIZATION_RATIO, IDC_OPTIMIZATION_TYPE, IDC_THREADS,
                                    IDC_POPULATION,    IDC_MUTATION_PERCENT, IDC_SHUFFLE_PERCENT,
                                    IDC_SHUFFLE_INTENSITY};
    EXPECT_EQ(panel.reads(), expected);
}

TEST(LoadingSettings, PreviewFieldsOnly) {
    TablePanel panel;
    panel.set_checked(IDC_ROUGH_CURVES, true);
    panel.set_combo(IDC_INPUT_UNITS, "inches");
    panel.set_text(IDC_SHEET_WIDTH, "not read");
    RunSettings s;
    read_loading_settings(panel, 8, s);
    EXPECT_DOUBLE_EQ(s.import_settings.curve_tolerance, 6.0);
    EXPECT_DOUBLE_EQ(s.import_settings.join_tolerance, 0.4);
    EXPECT_EQ(s.input_scale, 25.4);
    EXPECT_EQ(s.load_threads, 3);
    EXPECT_TRUE(s.rough_curves);
    EXPECT_EQ(s.options.threads, 4);

    TablePanel bad;
    bad.set_text(IDC_THREADS, "x");
    RunSettings untouched;
    EXPECT_THROW(read_loading_settings(bad, 8, untouched), std::exception);
    EXPECT_EQ(untouched.import_settings.curve_tolerance, 2.0);
}

TEST(ResetResultState, EmptiesResultsButNotThePreview) {
    GuiState state;
    state.shown_result.sheet = {100, 100};
    state.shown_result.placements.resize(2);
    state.iteration_history = std::vector<plv::IterationStats>(3);
    state.saved_solutions.resize(2);
    state.selected_solution = 1;
    state.has_result = true;
    state.live_stats.iteration = 9;
    state.live_stats.best_score = 5;
    state.preview_layout.placements.resize(4);
    state.preview_ready = true;
    state.preview_message = "kept";
    reset_result_state(state);
    EXPECT_EQ(state.shown_result.sheet.width, 3000.0);
    EXPECT_EQ(state.shown_result.sheet.height, 1500.0);
    EXPECT_TRUE(state.shown_result.placements.empty());
    EXPECT_TRUE(state.iteration_history.empty());
    EXPECT_TRUE(state.saved_solutions.empty());
    EXPECT_EQ(state.selected_solution, -1);
    EXPECT_FALSE(state.has_result);
    EXPECT_EQ(state.live_stats.iteration, 0);
    EXPECT_EQ(state.live_stats.best_score, 0.0);
    EXPECT_EQ(state.preview_layout.placements.size(), 4u);
    EXPECT_TRUE(state.preview_ready);
    EXPECT_EQ(state.preview_message, "kept");
}

}  // namespace
