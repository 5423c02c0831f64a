// The texture selector: which rectangles prepare collects and which a click toggles.
#include <gtest/gtest.h>

#include <allegro.h>
#include <string.h>

#include "level/level.h"
#include "views/texture_selector.h"

namespace {

class selector_test : public ::testing::Test {
protected:
    level lvl{};
    texture_name names[5]{};
    texture_selector selector;
    gui_input_state input;

    void name(int i, int page, int x, int y, int w, int h)
    {
        names[i].texture = page;
        names[i].x = x; names[i].y = y; names[i].w = w; names[i].h = h;
    }
    void SetUp() override
    {
        name(0, 3, 10, 20, 30, 40);    // page 3
        name(1, 1, 0, 0, 16, 16);      // another page
        name(2, 3, 30, 50, 20, 20);    // page 3, overlaps 0 at (31..39, 51..59)
        name(3, 3, 200, 200, 56, 56);  // page 3
        name(4, 300, 0, 0, 8, 8);      // a page the level lacks
        lvl.texture_names = names;
        lvl.texture_name_count = 5;
        selector.level = &lvl;
        // 256 x 256 with its corner at (100, 50).
        selector.x = 100; selector.y = 50; selector.w = 256; selector.h = 256;
        gui_set_input(&input);
    }
    void TearDown() override { gui_set_input(nullptr); }

    std::string marks()
    {
        std::string s;
        for (bool m : selector.selected) s += m ? '1' : '0';
        return s;
    }
    void click(int page_x, int page_y)
    {
        input.mouse_x = 100 + page_x;
        input.mouse_y = 50 + page_y;
        selector.handle_event(EVENT_LEFT_BUTTON, 1);
    }
};

TEST_F(selector_test, prepare_collects_the_page_rectangles_in_level_order)
{
    selector.selected.push_back(true);  // left over from last time
    selector.prepare(3, 2);
    EXPECT_EQ(selector.palette_slot, 2);
    ASSERT_EQ(selector.names.size(), 3u);
    EXPECT_EQ(selector.names[0], &names[0]);
    EXPECT_EQ(selector.names[1], &names[2]);
    EXPECT_EQ(selector.names[2], &names[3]);
    EXPECT_EQ(marks(), "000");
    selector.prepare(9, 0);
    EXPECT_TRUE(selector.names.empty());
    click(5, 5);  // nothing to toggle
    selector.level = nullptr;
    selector.prepare(3, 1);
    EXPECT_TRUE(selector.names.empty());
}

TEST_F(selector_test, clicks_toggle_every_rectangle_strictly_containing_the_point)
{
    selector.prepare(3, 0);
    // Rectangle 0 spans 10 < x < 40, 20 < y < 60; its borders do not count.
    struct { int x, y; const char *marks; } clicks[] = {
        {10, 30, "000"}, {40, 30, "000"}, {25, 20, "000"}, {25, 60, "000"},
        {11, 21, "100"}, {39, 39, "000"}, {35, 55, "110"}, {255, 255, "111"},
    };
    for (const auto &c : clicks) {
        click(c.x, c.y);
        EXPECT_EQ(marks(), c.marks) << c.x << "," << c.y;
    }
    // The page is centred in a larger widget: the corner moves by (22, 12).
    selector.w = 300; selector.h = 280;
    click(22 + 35, 12 + 55);
    EXPECT_EQ(marks(), "001");
    // Only left presses act.
    selector.handle_event(EVENT_LEFT_BUTTON, 0);
    selector.handle_event(EVENT_RIGHT_BUTTON, 1);
    EXPECT_EQ(marks(), "001");
    selector.select_all();
    EXPECT_EQ(marks(), "111");
}

} // namespace
