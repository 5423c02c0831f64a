// Drawing under a real GL window: menu titles and drop-downs, the text box,
// the search box's red state, windows (flat and themed) and the 3D view's
// callback, checked by reading pixels back.
#include "gl_test_window.h"

#include <string>

#include "gui/menu.h"
#include "gui/textbox.h"
#include "gui/window.h"
#include "test_support.h"

namespace {

const gl_pixel BLACK(0, 0, 0), WHITE(255, 255, 255), FACE(200, 200, 200);
const gl_pixel HOVER_TITLE(0, 128, 255), HOVER_ROW(0, 200, 255), TITLE_BAR(230, 230, 230);

int theme_texture()
{
    return load_gl_test_theme(source_path("assets/themes/grey.bmp").c_str());
}

// Darkest channel in a rectangle: text leaves dark pixels.
int darkest(int x0, int y0, int w, int h)
{
    int best = 255;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++) {
            gl_pixel p = read_pixel(x, y);
            int v = p.r < p.g ? p.r : p.g;
            v = v < p.b ? v : p.b;
            if (v < best)
                best = v;
        }
    return best;
}

void keep_screenshot(const char *name)
{
    save_screenshot(binary_path(std::string("gui2_") + name + ".ppm").c_str());
}

void nothing() {}

struct scripted_input {
    gui_input_state input;
    scripted_input() { gui_set_input(&input); }
    ~scripted_input() { gui_set_input(nullptr); }
};

}  // namespace

TEST(menu_drawing, flat_titles_and_an_open_drop_down_with_a_hovered_row)
{
    QTE_REQUIRE_GL_WINDOW();
    scripted_input s;
    gui_manager manager;
    menu file, help;
    file.label = "File";
    file.x = 0; file.y = 0; file.w = 80; file.h = 20;
    file.add_entry("Save", nothing);
    file.add_entry("Exit", nothing);
    file.add_entry("(inert)", nullptr);
    help.label = "Help";
    help.x = 80; help.y = 0; help.w = 80; help.h = 20;
    manager.add(&file);
    manager.add(&help);

    file.hovered = true;
    file.press_count = 1;
    menu_chunk *top = file.chunks[0];
    top->visible = true;
    top->hovered_row = 1;
    draw_gui_frame(manager, -1);
    keep_screenshot("menu_flat");

    int rh = gui_text_height() + 2;
    EXPECT_EQ(read_pixel(3, 3), HOVER_TITLE);
    EXPECT_EQ(read_pixel(83, 3), FACE);
    EXPECT_LT(darkest(80 + 40 - 16, 5, 32, 10), 60);   // "Help" centred
    // The drop-down: black outline, white face, the hovered row lit.
    EXPECT_EQ(read_pixel(top->x, top->y + 5), BLACK);
    EXPECT_EQ(read_pixel(top->x + top->w - 1, top->y + 1), WHITE);
    EXPECT_EQ(read_pixel(top->x + top->w - 4, top->y + rh + 5), HOVER_ROW);
    EXPECT_EQ(read_pixel(top->x + top->w - 4, top->y + 5), WHITE);
    EXPECT_LT(darkest(top->x + 3, top->y + 3, 30, gui_text_height()), 60);   // "Save"

    // A row with neither command nor sub-menu lights grey.
    top->hovered_row = 2;
    draw_gui_frame(manager, -1);
    EXPECT_EQ(read_pixel(top->x + top->w - 4, top->y + 2 * rh + 5), FACE);
}

TEST(menu_drawing, themed_titles_use_the_blue_and_grey_gradients)
{
    QTE_REQUIRE_GL_WINDOW();
    int theme = theme_texture();
    ASSERT_NE(theme, -1);
    scripted_input s;
    gui_manager manager;
    manager.set_theme(theme);
    menu lit, plain;
    lit.label = "A";
    lit.x = 0; lit.y = 0; lit.w = 80; lit.h = 20;
    plain.label = "B";
    plain.x = 80; plain.y = 0; plain.w = 80; plain.h = 20;
    manager.add(&lit);
    manager.add(&plain);
    lit.hovered = true;
    draw_gui_frame(manager, theme);
    keep_screenshot("menu_themed");

    gl_pixel blue = read_pixel(5, 10), grey = read_pixel(85, 10);
    EXPECT_GT(blue.b, blue.r + 60) << blue;
    EXPECT_LT(abs(grey.r - grey.b), 20) << grey;
    EXPECT_GT(grey.r, 150) << grey;
    // Gradients: lighter at the top than at the bottom.
    EXPECT_GT(read_pixel(5, 1).r, read_pixel(5, 18).r);
    EXPECT_GT(read_pixel(85, 1).r, read_pixel(85, 18).r);
}

TEST(window_drawing, flat_window_with_title_bar_close_cross_and_title)
{
    QTE_REQUIRE_GL_WINDOW();
    scripted_input s;
    gui_manager manager;
    window win;
    win.x = 100; win.y = 100; win.w = 300; win.h = 200;
    win.flags = WINDOW_CLOSE | WINDOW_DRAG;
    win.title = "Really quit?";
    manager.add(&win);
    draw_gui_frame(manager, -1);
    keep_screenshot("window_flat");

    EXPECT_EQ(read_pixel(200, 200), FACE);             // body
    EXPECT_EQ(read_pixel(110, 105), TITLE_BAR);        // title bar
    EXPECT_EQ(read_pixel(150, 110), BLACK);            // line under it
    EXPECT_EQ(read_pixel(100, 200), BLACK);            // flat frame
    EXPECT_EQ(read_pixel(400 - 5, 105), BLACK);        // centre of the cross
    EXPECT_EQ(read_pixel(400 - 5, 102), TITLE_BAR);    // between its arms
    int title_w = gui_text_length("Really quit?");
    EXPECT_LT(darkest(250 - title_w / 2, 100, title_w, 10), 80);
}

TEST(window_drawing, themed_title_bar_is_a_light_gradient)
{
    QTE_REQUIRE_GL_WINDOW();
    int theme = theme_texture();
    ASSERT_NE(theme, -1);
    scripted_input s;
    gui_manager manager;
    manager.set_theme(theme);
    window win;
    win.x = 100; win.y = 100; win.w = 300; win.h = 200;
    manager.add(&win);
    draw_gui_frame(manager, theme);
    keep_screenshot("window_themed");

    gl_pixel top = read_pixel(200, 101), bottom = read_pixel(200, 109);
    EXPECT_GT(top.r, 235) << top;
    EXPECT_LT(bottom.r, top.r) << bottom;
    EXPECT_GT(bottom.b, bottom.r) << bottom;
    EXPECT_EQ(read_pixel(200, 200), FACE);
}

TEST(textbox_drawing, text_rows_and_a_right_scrolled_view)
{
    QTE_REQUIRE_GL_WINDOW();
    scripted_input s;
    gui_manager manager;
    textbox box;
    box.x = 100; box.y = 100; box.w = 200; box.h = 120;
    box.layout();
    manager.add(&box);
    box.text = "first\nsecond";
    box.length = 12;
    box.rebuild_lines();
    draw_gui_frame(manager, -1);
    keep_screenshot("textbox");

    int th = gui_text_height();
    EXPECT_EQ(read_pixel(100, 150), BLACK);                          // outline
    EXPECT_LT(darkest(102, 102, 40, th), 60);                       // "first"
    EXPECT_LT(darkest(102, 102 + th, 48, th), 60);                  // "second"
    EXPECT_EQ(darkest(102, 102 + 2 * th, 150, th), 255);            // nothing below

    // A last line twice the box's width: the view starts at its right end,
    // so the short first line is scrolled out of sight.
    std::string wide = "short\n" + std::string(50, 'M');
    box.text = wide.c_str();
    box.length = (int)wide.size();
    box.rebuild_lines();
    draw_gui_frame(manager, -1);
    keep_screenshot("textbox_scrolled");
    EXPECT_EQ(darkest(102, 102, 150, th), 255);
    EXPECT_LT(darkest(102, 102 + th, 150, th), 60);
}

TEST(searchbox_drawing, field_turns_red_when_nothing_is_found)
{
    QTE_REQUIRE_GL_WINDOW();
    scripted_input s;
    gui_manager manager;
    const char *const items[] = { "ROBOT" };
    searchbox box;
    box.x = 610; box.y = 185; box.w = 185; box.h = 15;
    box.items = items;
    box.count = 1;
    manager.add(&box);
    box.handle_event(EVENT_KEY, 'z');
    draw_gui_frame(manager, -1);
    EXPECT_EQ(read_pixel(780, 192), WHITE);
    EXPECT_EQ(read_pixel(610, 192), BLACK);
    EXPECT_LT(darkest(612, 186, 10, 13), 60);                       // the "Z"

    box.handle_event(EVENT_KEY, SEARCHBOX_KEY_ENTER);
    draw_gui_frame(manager, -1);
    keep_screenshot("searchbox_red");
    EXPECT_EQ(read_pixel(780, 192), gl_pixel(255, 100, 100));
}

namespace {

int view_draws = 0;

void paint_view(render3d *view, float *, float *, float *, float *, float *distance)
{
    view_draws++;
    *distance += 1.0f;
    rectfill(screen, view->x, view->y, view->x + view->w, view->y + view->h,
             makecol(10, 200, 30));
}

}  // namespace

TEST(render3d_drawing, the_callback_draws_in_the_frame)
{
    QTE_REQUIRE_GL_WINDOW();
    scripted_input s;
    gui_manager manager;
    render3d view;
    view.x = 5; view.y = 25; view.w = 600; view.h = 570;
    manager.add(&view);
    draw_gui_frame(manager, -1);
    EXPECT_EQ(read_pixel(300, 300), gl_pixel(51, 51, 51));          // no callback: nothing
    view.on_draw = paint_view;
    view_draws = 0;
    draw_gui_frame(manager, -1);
    EXPECT_EQ(view_draws, 1);
    EXPECT_EQ(view.distance, 1.0f);
    EXPECT_EQ(read_pixel(300, 300), gl_pixel(10, 200, 30));
    view.hide();
    draw_gui_frame(manager, -1);
    EXPECT_EQ(view_draws, 1);
}
