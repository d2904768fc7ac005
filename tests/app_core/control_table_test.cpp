#include "app/core/control_ids.hpp"
#include "app/core/control_table.hpp"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(ControlTable, EveryIdOnceInCreationOrder) {
    const auto& specs = app::control_specs();
    ASSERT_EQ(specs.size(), static_cast<std::size_t>(app::kControlCount));
    std::set<int> ids;
    for (const auto& s : specs) ids.insert(s.id);
    EXPECT_EQ(ids.size(), specs.size());
    EXPECT_EQ(*ids.begin(), 100);
    EXPECT_EQ(*ids.rbegin(), 154);

    // The order breaks from numeric order in a few places.
    const int order[] = {127, 138, 140, 139, 128};
    auto it = specs.begin();
    while (it->id != 127) ++it;
    for (int id : order) EXPECT_EQ((it++)->id, id);
    EXPECT_EQ(specs[specs.size() - 5].id, app::IDC_UNDO);
    EXPECT_EQ(specs[specs.size() - 4].id, app::IDC_GRID);
    EXPECT_EQ(specs[specs.size() - 3].id, app::IDC_CLEAR_DRAWING);
    EXPECT_EQ(specs[specs.size() - 2].id, app::IDC_LOG);
    EXPECT_EQ(specs.back().id, app::IDC_SOLUTIONS_LIST);
}

TEST(ControlTable, StatesAndTexts) {
    auto desc = [](int id) { return *app::find_control_spec(id); };
    EXPECT_TRUE(desc(app::IDC_UNIT_MM).checked);
    EXPECT_FALSE(desc(app::IDC_UNIT_INCHES).checked);
    EXPECT_TRUE(desc(app::IDC_MERGE_COMMON_LINES).checked);
    EXPECT_TRUE(desc(app::IDC_PAUSE).disabled);
    EXPECT_TRUE(desc(app::IDC_OUTPUT_UNITS).disabled);
    std::set<int> hidden;
    for (const auto& s : app::control_specs())
        if (s.always_hidden) hidden.insert(s.id);
    EXPECT_EQ(hidden, (std::set<int>{app::IDC_IMPORT_CSV, app::IDC_OUTPUT_PATH,
                                     app::IDC_CHOOSE_OUTPUT, app::IDC_FEEDBACK}));
    EXPECT_EQ(desc(app::IDC_OUTPUT_PATH).text, "outputs\\cpp_gui_nesting_result.dxf");
    EXPECT_EQ(desc(app::IDC_SOLVER).items,
              (std::vector<std::string>{"cpu", "gpu", "dual-gpu", "random"}));
    EXPECT_EQ(desc(app::IDC_GRID).text, "Grilla ON");
    EXPECT_EQ(desc(app::IDC_ROUGH_CURVES).kind, app::ControlKind::check);
    EXPECT_EQ(app::find_control_spec(99), nullptr);
}

TEST(ControlTable, DefaultThreadCount) {
    struct Case {
        unsigned hardware;
        int threads;
    };
    const Case cases[] = {{0, 8}, {1, 8}, {2, 8}, {3, 2}, {4, 3}, {8, 7}, {9, 8}, {64, 8}};
    for (const Case& c : cases) EXPECT_EQ(app::default_thread_count(c.hardware), c.threads);
}

}  // namespace
