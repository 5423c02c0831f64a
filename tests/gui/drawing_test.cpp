// Drawing under a real GL window, checked by reading pixels back: one or two
// pixels for each kind of thing drawn, themed and flat.
#include "gl_test_window.h"

#include <algorithm>
#include <string>

#include "gui/button.h"
#include "gui/listbox.h"
#include "gui/menu.h"
#include "gui/textbox.h"
#include "gui/window.h"
#include "test_support.h"

namespace {

const gl_pixel BLACK(0, 0, 0), WHITE(255, 255, 255), BACKGROUND(51, 51, 51), FACE(200, 200, 200);
const gl_pixel FRAME_OUTER(40, 44, 60), FRAME_INNER(168, 172, 188), SELECTED_ROW(100, 200, 255);

// A white panel that frames itself.
class framed_panel : public object {
public:
    framed_panel(int px, int py, int pw, int ph) { x = px; y = py; w = pw; h = ph; }
    int handle_event(int, int) override { return 0; }
    int update() override { return 0; }
    int draw(BITMAP *target) override
    {
        glDisable(GL_TEXTURE_2D);
        rectfill(target, x, y, x + w, y + h, makecol(255, 255, 255));
        draw_frame(target, theme, x, y, w, h);
        return 0;
    }
    void attach(gui_manager *) override {}
    void show() override { visible = true; }
    void hide() override { visible = false; }
};

int theme_texture()
{
    return load_gl_test_theme(source_path("assets/themes/grey.bmp").c_str());
}

// Darkest channel in a rectangle: text leaves dark pixels.
int darkest(int x0, int y0, int w, int h)
{
    int best = 255;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++)
            best = std::min({best, read_pixel(x, y).r, read_pixel(x, y).g, read_pixel(x, y).b});
    return best;
}

struct scripted_input {
    gui_input_state input;
    scripted_input() { gui_set_input(&input); }
    ~scripted_input() { gui_set_input(nullptr); }
};

void nothing() {}

TEST(drawing, themed_frame_has_outer_and_inner_lines_and_tiny_frames_draw)
{
    QTE_REQUIRE_GL_WINDOW();
    int theme = theme_texture();
    ASSERT_NE(theme, -1);
    gui_manager manager;
    manager.set_theme(theme);
    framed_panel panel(100, 100, 200, 150), tiny(50, 50, 3, 2), empty(60, 50, 0, 0);
    for (object *o : std::initializer_list<object *>{&panel, &tiny, &empty})
        manager.add(o);
    draw_gui_frame(manager, theme);
    EXPECT_EQ(read_pixel(299, 249), FRAME_OUTER);   // far corner, on the rectangle's own border
    EXPECT_EQ(read_pixel(298, 248), FRAME_INNER);
    EXPECT_EQ(read_pixel(200, 175), WHITE);         // the inside is the caller's
    EXPECT_EQ(read_pixel(300, 175), BACKGROUND);
    EXPECT_EQ(read_pixel(50, 50), FRAME_OUTER);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST(drawing, scrolled_list_shows_the_selected_row_light_blue_and_dark_text_on_white)
{
    QTE_REQUIRE_GL_WINDOW();
    std::string storage[30];
    const char *names[30];
    for (int i = 0; i < 30; i++) {
        storage[i] = "Item " + std::to_string(i);
        names[i] = storage[i].c_str();
    }
    listbox list;
    list.x = 610; list.y = 200; list.w = 185; list.h = 104;   // ten rows or so
    list.items = names; list.count = 30;
    gui_manager manager;
    manager.add(&list);
    list.select(12);
    draw_gui_frame(manager, -1);
    EXPECT_EQ(list.top, list.scroll.get_offset(30, list.rows()));
    ASSERT_GT(list.top, 0);
    int rh = gui_text_height() + 2, ry = list.y + (12 - list.top) * rh;
    EXPECT_EQ(read_pixel(list.x + list.w - 16, ry + 6), SELECTED_ROW);
    EXPECT_LT(darkest(list.x + 5, ry + 5, 60, gui_text_height()), 40);
    EXPECT_EQ(read_pixel(list.x + list.w - 16, list.y + 8), WHITE);   // first row shown
    EXPECT_LT(darkest(list.x + 5, list.y + 5, 60, gui_text_height()), 40);
    int thumb_y = list.y + 10 + (int)list.scroll.position + 2;
    EXPECT_EQ(read_pixel(list.scroll.x + 5, thumb_y), BLACK);        // flat thumb
}

TEST(drawing, image_loads_a_bitmap_and_shows_a_region)
{
    QTE_REQUIRE_GL_WINDOW();
    image missing;
    EXPECT_EQ(missing.load("no/such/picture.bmp"), 1);
    EXPECT_EQ(missing.texture, -1);

    BITMAP *bmp = create_bitmap_ex(24, 32, 32);   // red over blue
    rectfill(bmp, 0, 0, 31, 31, makecol24(255, 0, 0));
    rectfill(bmp, 0, 16, 31, 31, makecol24(0, 0, 255));
    std::string path = make_temp_folder() + "/two.bmp";
    ASSERT_EQ(save_bitmap(path.c_str(), bmp, nullptr), 0);
    destroy_bitmap(bmp);

    image im;
    allegro_gl_flip_texture(TRUE);
    ASSERT_EQ(im.load(path.c_str()), 0);
    glBindTexture(GL_TEXTURE_2D, (GLuint)im.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    im.x = im.y = 200;
    im.set_region(0, 16, 32, 16);
    gui_manager manager;
    manager.add(&im);
    draw_gui_frame(manager, -1);
    EXPECT_EQ(read_pixel(210, 208), gl_pixel(0, 0, 255));
    EXPECT_EQ(read_pixel(210, 217), BACKGROUND);
    EXPECT_EQ(read_pixel(400, 10), FACE);   // flat drawing after it is not tinted
}

TEST(drawing, flat_widgets_without_a_theme)
{
    QTE_REQUIRE_GL_WINDOW();
    scripted_input s;
    gui_manager manager;
    framed_panel panel(450, 350, 200, 150);
    menu file;
    file.label = "File";
    file.w = 80; file.h = 20;
    file.add_entry("Save", nothing);
    file.add_entry("(inert)", nullptr);
    window win;
    win.x = 100; win.y = 100; win.w = 300; win.h = 200;
    win.flags = WINDOW_CLOSE | WINDOW_DRAG;
    win.title = "Really quit?";
    const char *const items[] = {"ROBOT"};
    searchbox box;
    box.x = 610; box.y = 185; box.w = 185; box.h = 15;
    box.items = items; box.count = 1;
    for (object *o : std::initializer_list<object *>{&panel, &file, &win, &box})
        manager.add(o);
    file.hovered = true;
    file.press_count = 1;
    menu_chunk *top = file.chunks[0];
    top->visible = true;
    top->hovered_row = 0;
    box.handle_event(EVENT_KEY, 'z');
    draw_gui_frame(manager, -1);
    EXPECT_EQ(read_pixel(650, 500), BLACK);   // a one-pixel outline
    EXPECT_EQ(read_pixel(649, 499), WHITE);
    int rh = gui_text_height() + 2, right = top->x + top->w - 4;
    EXPECT_EQ(read_pixel(3, 3), gl_pixel(0, 128, 255));   // lit title
    EXPECT_EQ(read_pixel(right, top->y + 5), gl_pixel(0, 200, 255));
    EXPECT_EQ(read_pixel(right, top->y + rh + 5), WHITE);
    EXPECT_EQ(read_pixel(110, 105), gl_pixel(230, 230, 230));   // title bar
    EXPECT_EQ(read_pixel(395, 105), BLACK);                     // centre of the close cross
    int title_w = gui_text_length("Really quit?");
    EXPECT_LT(darkest(250 - title_w / 2, 100, title_w, 10), 80);
    EXPECT_EQ(read_pixel(780, 192), WHITE);
    EXPECT_LT(darkest(612, 186, 10, 13), 60);   // the "Z"

    top->hovered_row = 1;   // neither command nor sub-menu: grey
    box.handle_event(EVENT_KEY, SEARCHBOX_KEY_ENTER);   // not found: red
    draw_gui_frame(manager, -1);
    EXPECT_EQ(read_pixel(right, top->y + rh + 5), FACE);
    EXPECT_EQ(read_pixel(780, 192), gl_pixel(255, 100, 100));
}

}  // namespace
