// The text window's answer, the defaults it leaves, new texts and editing a
// text under a double click.

#include "app/core/editor_input.hpp"
#include "app/core/editor_text.hpp"

#include "editor_fake_host.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using app::EditorEntity;
using app::EditorState;
using app::WindowAnswer;
using editor_test::FakeHost;
using editor_test::sx;
using editor_test::sy;
namespace Kind = app::EntityKind;

TEST(EditorTextWindow, SizeFieldAndFont) {
    struct Case {
        const char* size;
        double height;
    };
    for (const Case& k : std::vector<Case>{
             {"abc", 16}, {"200", 96}, {"2", 6}, {"", 6}, {"12,5", 12.5}, {"24", 24}}) {
        const app::TextStyleResult r = app::read_text_fields({"t", "Arial", k.size});
        EXPECT_TRUE(r.ok);
        EXPECT_DOUBLE_EQ(r.height, k.height) << k.size;
    }
    EXPECT_EQ(app::read_text_fields({"t", "", "16"}).font, "ISOCPEUR");
    // Shown without decimals, unless the height has some: then they are
    // kept so that confirming does not change the height.
    EXPECT_EQ(app::format_text_height(16), "16");
    EXPECT_EQ(app::format_text_height(12.5), "12.5");
    EXPECT_DOUBLE_EQ(app::read_text_fields({"", "", app::format_text_height(12.5)}).height, 12.5);
}

TEST(EditorTextWindow, DefaultsAndAnswers) {
    EditorState st;
    FakeHost host;
    // First open: empty text, ISOCPEUR, 16; Arial 24 confirmed becomes the
    // next window's defaults.
    host.text_answers.push_back({WindowAnswer::confirmed, {"x", "Arial", "24"}});
    app::TextStyleResult r = app::show_text_style_dialog(st, host);
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(host.text_windows.size(), 1u);
    EXPECT_EQ(host.text_windows[0].text, "");
    EXPECT_EQ(host.text_windows[0].font, "ISOCPEUR");
    EXPECT_EQ(host.text_windows[0].size, "16");
    host.text_answers.push_back({WindowAnswer::cancelled, {}});
    r = app::show_text_style_dialog(st, host);
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(host.text_windows.size(), 2u);
    EXPECT_EQ(host.text_windows[1].font, "Arial");
    EXPECT_EQ(host.text_windows[1].size, "24");
    EXPECT_EQ(st.text_font, "Arial");  // a cancel keeps them

    // A window that cannot be made.
    host.text_answers.push_back({WindowAnswer::not_created, {}});
    r = app::show_text_style_dialog(st, host);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(r.font, "ISOCPEUR");
    EXPECT_EQ(r.height, 16);

    // Initial values are normalised before they are shown.
    app::TextStyleResult initial{true, "abc", "", 200};
    host.text_answers.push_back({WindowAnswer::cancelled, {}});
    app::show_text_style_dialog(st, host, &initial);
    ASSERT_EQ(host.text_windows.size(), 4u);
    EXPECT_EQ(host.text_windows.back().font, "ISOCPEUR");
    EXPECT_EQ(host.text_windows.back().size, "96");
}

TEST(EditorTextWindow, NewTexts) {
    EditorState st = editor_test::zoomed_state();
    FakeHost host;
    // Cancel: nothing placed. Empty text confirmed: nothing placed, the
    // defaults change.
    EXPECT_FALSE(app::place_new_text(st, host, {0, 0}));
    host.text_answers.push_back({WindowAnswer::confirmed, {"", "Courier", "30"}});
    EXPECT_FALSE(app::place_new_text(st, host, {0, 0}));
    EXPECT_TRUE(st.entities.empty());
    EXPECT_TRUE(st.undo_history.snapshots.empty());
    EXPECT_EQ(st.text_font, "Courier");
    EXPECT_EQ(st.text_height, 30);
    host.text_answers.push_back({WindowAnswer::confirmed, {"ab", "Courier", "16"}});
    EXPECT_TRUE(app::place_new_text(st, host, {10, 20}));
    ASSERT_EQ(st.entities.size(), 1u);
    const EditorEntity& t = st.entities[0];
    EXPECT_EQ(t.kind, Kind::text);
    EXPECT_EQ(t.p0.x, 10);
    EXPECT_EQ(t.p1.y, 20);
    EXPECT_EQ(st.undo_history.snapshots.size(), 1u);
}

TEST(EditorTextWindow, EditingUnderADoubleClick) {
    EditorState st = editor_test::zoomed_state();
    FakeHost host;
    EditorEntity t;
    t.kind = Kind::text;
    t.p0 = t.p1 = {10, 20};
    t.text = "ab";
    t.font = "";
    t.height = 12.5;
    app::append_entity(st, t);

    // Off the text: not taken.
    EXPECT_FALSE(app::edit_text_entity_at(st, host, {sx(100), sy(100)}));
    // Cancelled: taken, selection and snapshot stay.
    EXPECT_TRUE(app::edit_text_entity_at(st, host, {sx(12), sy(18)}));
    EXPECT_EQ(st.selection, 0);
    EXPECT_EQ(st.undo_history.snapshots.size(), 1u);
    ASSERT_EQ(host.text_windows.size(), 1u);
    EXPECT_EQ(host.text_windows[0].text, "ab");
    EXPECT_EQ(host.text_windows[0].font, "ISOCPEUR");
    EXPECT_EQ(host.text_windows[0].size, "12.5");

    // Edited to an empty text: the entity stays and is still hit 24 + 8 px
    // right of its corner (16 mm at this zoom).
    host.text_answers.push_back({WindowAnswer::confirmed, {"", "Arial", "12,5"}});
    EXPECT_TRUE(app::edit_text_entity_at(st, host, {sx(12), sy(18)}));
    ASSERT_EQ(st.entities.size(), 1u);
    EXPECT_EQ(st.entities[0].text, "");
    EXPECT_EQ(st.entities[0].font, "Arial");
    EXPECT_EQ(st.entities[0].height, 12.5);
    EXPECT_TRUE(app::hit_test_entity(st.entities[0], {10 + 16, 20}, 2.0));
    EXPECT_FALSE(app::hit_test_entity(st.entities[0], {10 + 16.5, 20}, 2.0));
}

}  // namespace
