// The preview's row layout, its messages, and the hand-over that lets only
// the newest preview load publish.

#include "app/core/preview_layout.hpp"
#include "app/core/worker_messages.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using plv::Part;

Part rectangle(double w, double h, const std::string& name = "p") {
    Part part;
    part.name = name;
    part.source = "/jobs/" + name + ".dxf";
    part.shape.outer = {{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}};
    return part;
}

// A part whose outline does not start at the origin, with a hole.
Part offset_frame() {
    Part part;
    part.name = "frame";
    part.shape.outer = {{10, 5}, {70, 5}, {70, 45}, {10, 45}, {10, 5}};
    part.shape.holes = {{{20, 15}, {30, 15}, {30, 25}, {20, 25}, {20, 15}}};
    return part;
}

TEST(PreviewLayout, OnePartWorkedExample) {
    const plv::NestingResult layout = app::layout_preview({rectangle(100, 50, "bracket")});
    ASSERT_EQ(layout.placements.size(), 1u);
    const plv::Placement& p = layout.placements[0];
    EXPECT_DOUBLE_EQ(p.x, 20.0);
    EXPECT_DOUBLE_EQ(p.y, 20.0);
    EXPECT_EQ(p.part_name, "bracket");
    EXPECT_EQ(p.source, "/jobs/bracket.dxf");
    EXPECT_EQ(p.sheet_index, 0);
    EXPECT_EQ(p.copy_number, 1);
    EXPECT_EQ(p.angle, 0.0);
    EXPECT_DOUBLE_EQ(p.net_area, 5000.0);
    EXPECT_DOUBLE_EQ(p.shape.outer[0].x, 20.0);
    EXPECT_DOUBLE_EQ(p.shape.outer[2].y, 70.0);
    EXPECT_DOUBLE_EQ(layout.sheet.width, 160.0);
    EXPECT_DOUBLE_EQ(layout.sheet.height, 100.0);
    EXPECT_TRUE(layout.unplaced.empty());
}

TEST(PreviewLayout, RowsGapsAndSheetSize) {
    struct Case {
        const char* what;
        std::vector<Part> parts;
        std::vector<std::pair<double, double>> positions;
        double sheet_width, sheet_height;
    };
    const Case cases[] = {
        // W = max(1.75 * 100, 140) = 175: the second part passes it.
        {"two 100 x 50", {rectangle(100, 50), rectangle(100, 50)}, {{20, 20}, {20, 90}}, 160, 160},
        // g = 0.12 * 2000 = 240, clamped to 180.
        {"one 2000 x 1000", {rectangle(2000, 1000)}, {{180, 180}}, 2540, 1360},
        // g = 24; W = max(1.75 * sqrt(20000 + 100), 248) = 248.1: a new row.
        {"wide then small",
         {rectangle(200, 100), rectangle(10, 10)},
         {{24, 24}, {24, 148}},
         272,
         182},
        // Small parts share a row until it is full.
        {"four 30 x 30",
         {rectangle(30, 30), rectangle(30, 30), rectangle(30, 30), rectangle(30, 30)},
         {{20, 20}, {70, 20}, {20, 70}, {70, 70}},
         140,
         120},
        // Holes count against the area; the outline is moved to its place.
        {"offset frame", {offset_frame()}, {{20, 20}}, 120, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const plv::NestingResult layout = app::layout_preview(c.parts);
        ASSERT_EQ(layout.placements.size(), c.positions.size());
        for (std::size_t i = 0; i < c.positions.size(); ++i) {
            const plv::Placement& p = layout.placements[i];
            EXPECT_DOUBLE_EQ(p.x, c.positions[i].first) << i;
            EXPECT_DOUBLE_EQ(p.y, c.positions[i].second) << i;
            const geom::BoundingBox box = geom::polygon_bounds(p.shape);
            EXPECT_DOUBLE_EQ(box.min_x, p.x);
            EXPECT_DOUBLE_EQ(box.min_y, p.y);
            EXPECT_EQ(p.copy_number, static_cast<int>(i) + 1);
        }
        EXPECT_NEAR(layout.sheet.width, c.sheet_width, 1e-9);
        EXPECT_NEAR(layout.sheet.height, c.sheet_height, 1e-9);
    }
    const plv::NestingResult frame = app::layout_preview({offset_frame()});
    EXPECT_DOUBLE_EQ(frame.placements[0].net_area, 2300.0);
    EXPECT_DOUBLE_EQ(frame.placements[0].shape.holes[0][0].x, 30.0);
}

TEST(PreviewLayout, UnusablePartsAreSkippedWithoutUsingANumber) {
    Part flat = rectangle(100, 0, "flat");
    Part empty;
    empty.name = "empty";
    Part huge_box = rectangle(50, 50, "inf");
    huge_box.shape.outer[1].x = std::numeric_limits<double>::infinity();
    const plv::NestingResult layout =
        app::layout_preview({rectangle(40, 40, "a"), flat, empty, huge_box, rectangle(40, 40, "b")});
    ASSERT_EQ(layout.placements.size(), 2u);
    EXPECT_EQ(layout.placements[0].part_name, "a");
    EXPECT_EQ(layout.placements[1].part_name, "b");
    EXPECT_EQ(layout.placements[1].copy_number, 2);
    EXPECT_EQ(app::preview_message_for(layout), "Previsualizacion DXF lista: 2 perfil(es) detectados.");

    const plv::NestingResult none = app::layout_preview({flat, empty});
    EXPECT_TRUE(none.placements.empty());
    EXPECT_EQ(app::preview_message_for(none), "No se encontraron perfiles cerrados para previsualizar.");
    EXPECT_DOUBLE_EQ(none.sheet.width, 100.0);
    EXPECT_DOUBLE_EQ(none.sheet.height, 100.0);
}

TEST(PreviewLayout, AtMost120PartsAllInsideTheSheet) {
    std::vector<Part> parts;
    for (int i = 0; i < 150; ++i) parts.push_back(rectangle(20 + i % 7 * 13, 15 + i % 5 * 11));
    const plv::NestingResult layout = app::layout_preview(parts);
    ASSERT_EQ(layout.placements.size(), 120u);
    EXPECT_EQ(app::preview_message_for(layout), "Previsualizacion DXF lista: 120 perfil(es) detectados.");
    for (std::size_t i = 0; i < layout.placements.size(); ++i) {
        const geom::BoundingBox box = geom::polygon_bounds(layout.placements[i].shape);
        EXPECT_EQ(layout.placements[i].copy_number, static_cast<int>(i) + 1);
        EXPECT_GT(box.min_x, 0.0);
        EXPECT_GT(box.min_y, 0.0);
        EXPECT_LT(box.max_x, layout.sheet.width);
        EXPECT_LT(box.max_y, layout.sheet.height);
    }
}

TEST(PreviewLoad, FailuresBecomeTheMessageAndAnEmptyLayout) {
    const app::PreviewOutcome failed = app::build_preview(
        []() -> std::vector<Part> { throw std::runtime_error("DXF input not found: /gone.dxf"); });
    EXPECT_EQ(failed.message, "No pude previsualizar los DXF: DXF input not found: /gone.dxf");
    EXPECT_TRUE(failed.layout.placements.empty());
    EXPECT_DOUBLE_EQ(failed.layout.sheet.width, 3000.0);
    EXPECT_DOUBLE_EQ(failed.layout.sheet.height, 1500.0);

    const app::PreviewOutcome odd = app::build_preview([]() -> std::vector<Part> { throw 7; });
    EXPECT_EQ(odd.message.rfind("No pude previsualizar los DXF: ", 0), 0u);
}

class PreviewHandOver : public ::testing::Test {
protected:
    void SetUp() override {
        state_.preview_generation = 0;
        state_.has_result = true;
        state_.shown_result.placements.resize(2);
        state_.saved_solutions.resize(3);
        state_.selected_solution = 1;
    }
    app::GuiState state_;
    app::MessageQueue queue_;
};

TEST_F(PreviewHandOver, StartEmptiesTheResultAndShowsTheLoadingText) {
    app::begin_preview(state_, false);
    EXPECT_FALSE(state_.has_result);
    EXPECT_TRUE(state_.shown_result.placements.empty());
    EXPECT_TRUE(state_.saved_solutions.empty());
    EXPECT_EQ(state_.selected_solution, -1);
    EXPECT_TRUE(state_.preview_loading);
    EXPECT_FALSE(state_.preview_ready);
    EXPECT_EQ(state_.preview_message, "Cargando previsualizacion de los DXF...");

    app::begin_preview(state_, true);
    EXPECT_FALSE(state_.preview_loading);
    EXPECT_EQ(state_.preview_message, "");

    state_.preview_ready = true;
    state_.preview_loading = true;
    app::fail_preview_start(state_);
    EXPECT_FALSE(state_.preview_ready);
    EXPECT_FALSE(state_.preview_loading);
    EXPECT_EQ(state_.preview_message,
              "No pude leer la configuracion de importacion para previsualizar.");
}

TEST_F(PreviewHandOver, OnlyTheNewestLoadPublishesEvenWhenTheOlderFinishesLast) {
    std::mutex m;
    std::condition_variable cv;
    bool second_done = false;

    const std::int32_t first = state_.preview_generation.fetch_add(1) + 1;
    std::thread slow([&] {
        app::run_preview(
            [&] {
                std::unique_lock<std::mutex> lock(m);
                cv.wait(lock, [&] { return second_done; });
                return std::vector<Part>{rectangle(10, 10), rectangle(10, 10), rectangle(10, 10)};
            },
            first, state_, queue_);
    });

    const std::int32_t second = state_.preview_generation.fetch_add(1) + 1;
    const bool published =
        app::run_preview([] { return std::vector<Part>{rectangle(100, 50)}; }, second, state_, queue_);
    EXPECT_TRUE(published);
    {
        std::lock_guard<std::mutex> lock(m);
        second_done = true;
    }
    cv.notify_all();
    slow.join();

    EXPECT_EQ(queue_.size(), 1u);
    EXPECT_EQ(queue_.take(std::chrono::milliseconds(0)), app::WM_PREVIEW_READY);
    std::lock_guard<std::mutex> lock(state_.state_mutex);
    EXPECT_TRUE(state_.preview_ready);
    EXPECT_FALSE(state_.preview_loading);
    EXPECT_EQ(state_.preview_layout.placements.size(), 1u);
    EXPECT_EQ(state_.preview_message, "Previsualizacion DXF lista: 1 perfil(es) detectados.");
}

TEST_F(PreviewHandOver, AnEmptyOrFailedLoadPublishesNotReady) {
    const std::int32_t n = state_.preview_generation.fetch_add(1) + 1;
    state_.preview_ready = true;
    EXPECT_TRUE(app::run_preview([] { return std::vector<Part>{}; }, n, state_, queue_));
    std::lock_guard<std::mutex> lock(state_.state_mutex);
    EXPECT_FALSE(state_.preview_ready);
    EXPECT_EQ(state_.preview_message, "No se encontraron perfiles cerrados para previsualizar.");
    EXPECT_EQ(queue_.size(), 1u);
}

}  // namespace
