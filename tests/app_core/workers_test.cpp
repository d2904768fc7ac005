#include "app/core/gui_state.hpp"
#include "app/core/worker_messages.hpp"
#include "app/core/workers.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(WorkerTracker, TicketsCountUntilDestroyed) {
    app::WorkerTracker tracker;
    {
        auto run = tracker.begin(app::WorkerKind::run);
        auto preview = tracker.begin(app::WorkerKind::preview);
        EXPECT_EQ(tracker.live(app::WorkerKind::run), 1);
        EXPECT_EQ(tracker.live_total(), 2);
        auto moved = std::move(preview);
        EXPECT_EQ(tracker.live_total(), 2);
        moved.finish();
        moved.finish();
        EXPECT_EQ(tracker.live(app::WorkerKind::preview), 0);
    }
    EXPECT_EQ(tracker.live_total(), 0);
    EXPECT_TRUE(tracker.wait_idle_for(0ms));
}

TEST(Shutdown, WaitsForAWorkerThatEndsInTime) {
    app::WorkerTracker tracker;
    int releases = 0;
    app::GpuReleaseGate gpu(tracker, [&] { ++releases; });
    std::thread worker([ticket = tracker.begin(app::WorkerKind::run)]() mutable {
        std::this_thread::sleep_for(50ms);
        ticket.finish();
    });
    worker.detach();
    // At window destruction the run is live: no release yet.
    EXPECT_FALSE(gpu.request());
    EXPECT_TRUE(gpu.pending());
    EXPECT_EQ(releases, 0);
    int pumps = 0;
    EXPECT_TRUE(app::finish_workers(tracker, gpu, 5000ms, 10ms, [&] { ++pumps; }));
    EXPECT_GE(pumps, 1);
    EXPECT_EQ(releases, 1);
    EXPECT_TRUE(gpu.retry());
    EXPECT_EQ(releases, 1);
}

TEST(Shutdown, GivesUpOnAWorkerThatOutlivesTheWait) {
    // Static: the detached worker may still run after this test returns.
    static app::WorkerTracker tracker;
    static std::atomic<bool> let_go{false};
    int releases = 0;
    app::GpuReleaseGate gpu(tracker, [&] { ++releases; });
    std::thread([ticket = tracker.begin(app::WorkerKind::run)]() mutable {
        while (!let_go) std::this_thread::sleep_for(1ms);
    }).detach();
    EXPECT_FALSE(gpu.request());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(app::finish_workers(tracker, gpu, 100ms, 20ms, {}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    // The accelerator stays untouched while the run may be using it.
    EXPECT_EQ(releases, 0);
    EXPECT_TRUE(gpu.pending());
    let_go = true;
    EXPECT_TRUE(tracker.wait_idle_for(5s));
}

TEST(Shutdown, PreviewsAloneDoNotHoldTheGpuBack) {
    app::WorkerTracker tracker;
    int releases = 0;
    app::GpuReleaseGate gpu(tracker, [&] { ++releases; });
    auto preview = tracker.begin(app::WorkerKind::preview);
    EXPECT_TRUE(gpu.request());
    EXPECT_EQ(releases, 1);
    EXPECT_FALSE(app::finish_workers(tracker, gpu, 0ms, 10ms, {}));
    EXPECT_EQ(releases, 1);
    // Nothing pending: finishing asks for no second release.
    EXPECT_FALSE(gpu.pending());
}

TEST(GuiState, ProcessWideRecordStartsEmpty) {
    app::GuiState& state = app::gui_state();
    EXPECT_EQ(&state, &app::gui_state());
    std::lock_guard<std::mutex> lock(state.state_mutex);
    EXPECT_EQ(state.shown_result.sheet.width, 3000.0);
    EXPECT_EQ(state.preview_layout.sheet.height, 1500.0);
    EXPECT_EQ(state.selected_solution, -1);
    EXPECT_FALSE(state.has_result);
    EXPECT_EQ(state.panel.parts_list_height, 150);
    EXPECT_GE(state.help_markers.capacity(), 32u);
}

TEST(MessageQueue, MessagesArriveInPostingOrder) {
    app::MessageQueue queue;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) queue.post(app::WM_RUN_PROGRESS);
        queue.post(app::WM_RUN_FINISHED);
    });
    int progress = 0;
    for (;;) {
        auto m = queue.take(5s);
        ASSERT_TRUE(m.has_value());
        if (*m == app::WM_RUN_FINISHED) break;
        EXPECT_EQ(*m, app::WM_RUN_PROGRESS);
        ++progress;
    }
    poster.join();
    EXPECT_EQ(progress, 100);
    EXPECT_FALSE(queue.take(0ms).has_value());
    EXPECT_EQ(app::WM_RUN_PROGRESS, 0x8000u + 1);
    EXPECT_EQ(app::WM_PREVIEW_READY, 0x8000u + 3);
}

}  // namespace
