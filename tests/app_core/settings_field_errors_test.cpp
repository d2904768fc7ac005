// A setting that cannot be read is reported with the name the panel shows
// beside its field and the text that was typed there, whether the run
// start, a resume after a pause or a preview reads it.

#include "app/core/run_settings.hpp"

#include "app_core/run_panel_source.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace {

using namespace app;
using runtest::TablePanel;

struct BadField {
    int id;
    const char* typed;
    const char* message;
};

// Every field read with the plain conversion, with a text that fails it.
const BadField kBadFields[] = {
    {IDC_SHEET_WIDTH, "O3000", "Valor no valido en \"Ancho chapa\": O3000"},
    {IDC_SHEET_HEIGHT, "", "Valor no valido en \"Alto chapa\": "},
    {IDC_SPACING, "nan", "Valor no valido en \"Space between\": nan"},
    {IDC_CURVE_TOLERANCE, "dos", "Valor no valido en \"Curve tolerance\": dos"},
    {IDC_JOIN_TOLERANCE, ",2", "Valor no valido en \"Endpoint tol.\": ,2"},
    {IDC_ROTATIONS, "99999999999", "Valor no valido en \"Part rotations\": 99999999999"},
    {IDC_OPTIMIZATION_RATIO, "-", "Valor no valido en \"Opt. ratio\": -"},
    {IDC_MAX_ITERATIONS, "mil", "Valor no valido en \"Iterations\": mil"},
    {IDC_THREADS, "x4", "Valor no valido en \"CPU cores\": x4"},
    {IDC_POPULATION, "cuatro", "Valor no valido en \"GA population\": cuatro"},
    {IDC_MUTATION_PERCENT, "%8", "Valor no valido en \"Mutation %\": %8"},
    {IDC_SHUFFLE_PERCENT, "inf", "Valor no valido en \"Shuffle %\": inf"},
    {IDC_SHUFFLE_INTENSITY, "1e999", "Valor no valido en \"Intensity %\": 1e999"},
};

std::string failure_of(const std::function<void()>& read) {
    try {
        read();
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "(no failure)";
}

TEST(SettingsFieldErrors, RunStartNamesTheFieldAndTheText) {
    for (const BadField& bad : kBadFields) {
        SCOPED_TRACE(bad.message);
        TablePanel panel;
        panel.set_text(bad.id, bad.typed);
        EXPECT_EQ(failure_of([&] { read_run_settings(panel, {}, {}, 8); }), bad.message);
    }
}

TEST(SettingsFieldErrors, ResumeAndPreviewReadersSayTheSame) {
    for (const BadField& bad : kBadFields) {
        SCOPED_TRACE(bad.message);
        TablePanel panel;
        panel.set_text(bad.id, bad.typed);
        const bool search_field = bad.id != IDC_SHEET_WIDTH && bad.id != IDC_SHEET_HEIGHT &&
                                  bad.id != IDC_CURVE_TOLERANCE && bad.id != IDC_JOIN_TOLERANCE &&
                                  bad.id != IDC_MAX_ITERATIONS;
        if (search_field) {
            EXPECT_EQ(failure_of([&] { read_search_settings(panel, 8); }), bad.message);
        }
        const bool loading_field =
            bad.id == IDC_CURVE_TOLERANCE || bad.id == IDC_JOIN_TOLERANCE || bad.id == IDC_THREADS;
        RunSettings settings;
        if (loading_field) {
            EXPECT_EQ(failure_of([&] { read_loading_settings(panel, 8, settings); }), bad.message);
        }
    }
}

TEST(SettingsFieldErrors, TrailingTextAfterANumberIsStillIgnored) {
    TablePanel panel;
    panel.set_text(IDC_SHEET_WIDTH, "2500 mm");
    EXPECT_DOUBLE_EQ(read_run_settings(panel, {}, {}, 8).sheet.width, 2500.0);
}

}  // namespace
