// Runs on the real main window: the run button starts a real search on a
// small drawing, the test pumps messages until the finished message has
// been handled and reads back the log, the buttons, the saved-solutions
// list and the shared state; pause, resume and stop are pressed in between.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/canvas_model.hpp"
#include "app/core/control_ids.hpp"
#include "app/core/editor_model.hpp"
#include "app/core/gui_state.hpp"
#include "app/core/workers.hpp"
#include "app/win32/app_windows.hpp"
#include "app/win32/frame_hooks.hpp"
#include "app/win32/main_window.hpp"
#include "app/win32/run_control.hpp"
#include "app/win32/run_panel.hpp"

#include "tests/app_win32/run_window_support.hpp"
#include "tests/app_win32/window_test_support.hpp"

namespace {

using namespace std::chrono_literals;
using run_test::fixture;
using run_test::g_boxes;
using run_test::RunWindow;
using window_test::count_of;

TEST_F(RunWindow, RunOnASmallDrawingEndsWithSummaryAndResult) {
    app::gui_state().selected_files = {{fixture("dns__20x20outer10x10hole.dxf"), 4},
                                       {fixture("l_with_notch_square.dxf"), 1}};
    set_text(app::IDC_LOG, "old text");
    command(app::IDC_RUN);
    EXPECT_TRUE(app::gui_state().running.load());
    EXPECT_EQ(text(app::IDC_RUN), "Detener solver");
    EXPECT_TRUE(enabled(app::IDC_PAUSE));
    const std::string start = log();
    EXPECT_EQ(start.rfind("Cargando DXF seleccionados...\r\nAviso: Merge common lines", 0), 0u) << start;
    EXPECT_NE(start.find("\r\nSolver: cpu\r\n"), std::string::npos) << start;

    ASSERT_TRUE(wait_finished());
    const std::string done = log();
    EXPECT_EQ(done.find("old text"), std::string::npos);
    EXPECT_EQ(count_of(done, "Listo.\r\n"), 1) << done;
    EXPECT_NE(done.find("Archivos DXF elegidos: 2\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Perfiles cargados: 3\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Piezas ubicadas: 6\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Iteraciones ejecutadas: 3\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Poblacion GA: 2\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("No se guardo automaticamente."), std::string::npos) << done;
    expect_idle_buttons();
    EXPECT_TRUE(g_boxes.empty());
    {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        EXPECT_TRUE(app::gui_state().has_result);
        EXPECT_EQ(app::gui_state().shown_result.placements.size(), 6u);
        EXPECT_EQ(app::gui_state().iteration_history.size(), 3u);
        EXPECT_EQ(app::gui_state().run_message.rfind("Listo.", 0), 0u);
    }
    const std::vector<std::string> lines = solution_lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("#1  it ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("  costo $"), std::string::npos) << lines[0];

    // After the run a saved line can be shown; the painters are told, since a
    // copied layout may keep the storage and count of the one it replaces.
    const std::uint64_t generation_before = [] {
        std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
        return app::gui_state().display_generation;
    }();
    SendMessageA(control(app::IDC_SOLUTIONS_LIST), LB_SETCURSEL, 0, 0);
    command(app::IDC_SOLUTIONS_LIST, LBN_SELCHANGE);
    EXPECT_NE(log().find("Solucion de la lista cargada en la vista previa. Usa Guardar DXF para exportarla.\r\n"),
              std::string::npos);
    std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
    EXPECT_EQ(app::gui_state().selected_solution, 0);
    EXPECT_GT(app::gui_state().display_generation, generation_before);
}

TEST_F(RunWindow, NothingToNestOrBadSettingChangesNothing) {
    set_text(app::IDC_LOG, "kept");
    try {
        app::run_nesting(window_);
        FAIL() << "started";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Agrega una carpeta, archivos DXF o dibuja una pieza cerrada primero.");
    }
    app::gui_state().selected_files = {{fixture("dns__Donut.dxf"), 1}};
    set_text(app::IDC_SHEET_WIDTH, "");
    EXPECT_THROW(app::run_nesting(window_), std::exception);
    EXPECT_EQ(log(), "kept");
    expect_idle_buttons();
    EXPECT_EQ(app::worker_tracker().live(app::WorkerKind::run), 0);
}

TEST_F(RunWindow, DrawnRectangleAloneIsNested) {
    ASSERT_TRUE(run_drawn_rectangle());
    const std::string done = log();
    EXPECT_NE(done.find("Piezas dibujadas agregadas al nesting: 1\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Archivos DXF elegidos: 0\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Piezas dibujadas usadas: 1\r\n"), std::string::npos) << done;
}

TEST_F(RunWindow, FailedRunShowsTheErrorBoxOnce) {
    app::gui_state().selected_files = {{fixture("dxfp__arc1.dxf"), 1}};
    command(app::IDC_RUN);
    ASSERT_TRUE(wait_finished());
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "Error: No se encontraron perfiles cerrados.\r\n");
    EXPECT_EQ(g_boxes[0].caption, "Nesting error");
    // The flags and buttons are idle already while the box is open.
    EXPECT_FALSE(g_boxes[0].running);
    EXPECT_FALSE(g_boxes[0].stop_requested);
    EXPECT_FALSE(g_boxes[0].pause_requested);
    EXPECT_TRUE(g_boxes[0].run_enabled);
    EXPECT_EQ(g_boxes[0].run_caption, "Ejecutar nesting");
    EXPECT_FALSE(g_boxes[0].pause_enabled);
    EXPECT_EQ(g_boxes[0].pause_caption, "Pausar");
    EXPECT_NE(log().find("Error: No se encontraron perfiles cerrados.\r\n"), std::string::npos);
    expect_idle_buttons();
    std::lock_guard<std::mutex> lock(app::gui_state().state_mutex);
    EXPECT_FALSE(app::gui_state().has_result);
}

TEST_F(RunWindow, GpuSolverWithoutDeviceFallsBackToCpu) {
    app::gui_state().selected_files = {{fixture("dns__20x20outer10x10hole.dxf"), 2}};
    SendMessageA(control(app::IDC_SOLVER), CB_SETCURSEL, 1, 0);  // "gpu"
    ASSERT_EQ(app::get_combo_text(control(app::IDC_SOLVER)), "gpu");
    command(app::IDC_RUN);
    const std::string start = log();
    EXPECT_NE(start.find("Inicializando GPU...\r\n"), std::string::npos) << start;
    const bool gpu_found = start.find("GPU[0]: ") != std::string::npos;
    if (!gpu_found) {
        EXPECT_NE(start.find("GPU no disponible, usando CPU.\r\n"), std::string::npos) << start;
        EXPECT_EQ(start.find("Solver: "), std::string::npos) << start;
    }
    ASSERT_TRUE(wait_finished());
    EXPECT_NE(log().find(gpu_found ? "Solver: gpu\r\n" : "Solver: cpu\r\n"), std::string::npos) << log();
}

TEST_F(RunWindow, PauseTakesEditedSettingsThenStop) {
    app::gui_state().selected_files = {{fixture("dns__20x20outer10x10hole.dxf"), 3}};
    set_text(app::IDC_MAX_ITERATIONS, "0");  // until stopped
    command(app::IDC_RUN);
    ASSERT_TRUE(wait_until([] { return history_size() >= 1; }));

    // A saved line cannot be picked while the search is live.
    ASSERT_TRUE(wait_until([this] { return !solution_lines().empty(); }));
    SendMessageA(control(app::IDC_SOLUTIONS_LIST), LB_SETCURSEL, 0, 0);
    command(app::IDC_SOLUTIONS_LIST, LBN_SELCHANGE);
    EXPECT_NE(log().find("El solver sigue en vivo; detene para revisar una solucion guardada de la lista.\r\n"),
              std::string::npos);
    EXPECT_EQ(SendMessageA(control(app::IDC_SOLUTIONS_LIST), LB_GETCURSEL, 0, 0), LB_ERR);

    command(app::IDC_PAUSE);
    EXPECT_EQ(text(app::IDC_PAUSE), "Continuar");
    EXPECT_TRUE(app::gui_state().pause_requested.load());
    EXPECT_NE(log().find("Solver pausado. Podes inspeccionar, guardar y cambiar parametros de busqueda.\r\n"),
              std::string::npos);
    // The search holds after its current iteration.
    std::size_t held = 0;
    ASSERT_TRUE(wait_until(
        [&held] {
            const std::size_t before = history_size();
            std::this_thread::sleep_for(300ms);
            held = history_size();
            return held == before;
        },
        30s));
    pump();
    EXPECT_EQ(history_size(), held);

    set_text(app::IDC_POPULATION, "0");
    set_text(app::IDC_MUTATION_PERCENT, "50");
    command(app::IDC_PAUSE);
    EXPECT_EQ(text(app::IDC_PAUSE), "Pausar");
    EXPECT_NE(log().find("Solver reanudado. Aplico los parametros de busqueda editados.\r\n"), std::string::npos);
    ASSERT_TRUE(wait_until([held] { return history_size() > held + 1; }));

    command(app::IDC_RUN);  // stop
    EXPECT_EQ(text(app::IDC_RUN), "Deteniendo...");
    EXPECT_FALSE(enabled(app::IDC_RUN));
    EXPECT_FALSE(enabled(app::IDC_PAUSE));
    EXPECT_NE(log().find("Solicitud de detencion recibida. El solver se detiene sin guardar.\r\n"),
              std::string::npos);
    ASSERT_TRUE(wait_finished());
    const std::string done = log();
    EXPECT_NE(done.find("Detenido por usuario.\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Poblacion GA: 1\r\n"), std::string::npos) << done;
    EXPECT_NE(done.find("Mutation rate: 50%\r\n"), std::string::npos) << done;
    EXPECT_TRUE(g_boxes.empty());
    expect_idle_buttons();
}

// A stop pressed while the search is paused drops the pause: the flags and
// buttons are those of a stopping run, the canvas no longer says "Pausado",
// and the held run thread ends with a stopped summary.
TEST_F(RunWindow, StopWhilePausedClearsThePause) {
    app::gui_state().selected_files = {{fixture("dns__20x20outer10x10hole.dxf"), 3}};
    set_text(app::IDC_MAX_ITERATIONS, "0");  // until stopped
    command(app::IDC_RUN);
    ASSERT_TRUE(wait_until([] { return history_size() >= 1; }));
    command(app::IDC_PAUSE);
    ASSERT_TRUE(app::gui_state().pause_requested.load());
    ASSERT_EQ(app::canvas_status(app::take_canvas_snapshot(app::gui_state())).text.rfind("Pausado", 0), 0u);

    command(app::IDC_RUN);  // stop
    const app::GuiState& state = app::gui_state();
    EXPECT_TRUE(state.running.load());
    EXPECT_TRUE(state.stop_requested.load());
    EXPECT_FALSE(state.pause_requested.load());
    EXPECT_FALSE(enabled(app::IDC_RUN));
    EXPECT_EQ(text(app::IDC_RUN), "Deteniendo...");
    EXPECT_FALSE(enabled(app::IDC_PAUSE));
    EXPECT_EQ(text(app::IDC_PAUSE), "Continuar");  // the stop leaves the caption
    const std::string status = app::canvas_status(app::take_canvas_snapshot(app::gui_state())).text;
    EXPECT_EQ(status.rfind("Corriendo", 0), 0u) << status;

    ASSERT_TRUE(wait_finished());
    EXPECT_EQ(count_of(log(), "Detenido por usuario.\r\n"), 1) << log();
    EXPECT_TRUE(g_boxes.empty());
    expect_idle_buttons();
}

TEST_F(RunWindow, RunButtonBeforeTheFinishedMessageStops) {
    app::gui_state().selected_files = {{fixture("dns__20x20outer10x10hole.dxf"), 2}};
    command(app::IDC_RUN);
    // The run thread ends without needing the window; its finished message
    // waits in the queue.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (app::worker_tracker().live(app::WorkerKind::run) > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(app::worker_tracker().live(app::WorkerKind::run), 0);
    EXPECT_TRUE(app::gui_state().running.load());
    command(app::IDC_RUN);
    EXPECT_EQ(text(app::IDC_RUN), "Deteniendo...");
    EXPECT_EQ(app::worker_tracker().live(app::WorkerKind::run), 0);
    ASSERT_TRUE(wait_finished());
    expect_idle_buttons();
    EXPECT_EQ(count_of(log(), "Listo.\r\n") + count_of(log(), "Detenido por usuario.\r\n"), 1);
}

}  // namespace
