// Drawing under a real GL window, checked by reading pixels back: one pixel
// or two for each of the themed frame, a selection on a scrolled list and text.
#include "gl_test_window.h"

#include <algorithm>

#include "gui/listbox.h"
#include "test_support.h"

TEST(drawing, themed_list_shows_its_frame_its_selection_scrolled_into_view_and_dark_text)
{
    QTE_REQUIRE_GL_WINDOW();
    std::vector<const char *> names(30, "WWWW");
    listbox list;
    list.x = 600; list.y = 200; list.w = 185; list.h = 104;
    list.items = names.data(); list.count = 30;
    gui_manager manager;
    int theme = upload_theme(source_path("assets/themes/grey.bmp").c_str());   // as the editor loads it
    set_nearest_filtering(0, theme);
    manager.set_theme(theme);
    manager.add(&list);
    list.select(12);
    draw_gui_frame(manager, manager.theme);
    EXPECT_EQ(read_pixel(600, 250), (gl_pixel{40, 44, 60}));     // the frame's outer line
    EXPECT_EQ(read_pixel(601, 250), (gl_pixel{168, 172, 188}));  // and its inner line
    int ry = list.y + (12 - list.top_row()) * (gui_text_height() + 2);
    EXPECT_EQ(read_pixel(list.x + list.w - 16, ry + 6), (gl_pixel{100, 200, 255}));
    int darkest = 255;   // text leaves dark pixels
    for (int x = list.x + 5; x < list.x + 30; x++)
        darkest = std::min({darkest, read_pixel(x, ry + 8).r, read_pixel(x, ry + 8).g});
    EXPECT_LT(darkest, 40);
}
