// Drawing under a real GL window: themed frame, list rows, text, flat widgets, scroll bars, images.
#include "gl_test_window.h"

#include <string>

#include "gui/button.h"
#include "gui/listbox.h"
#include "gui/scrollbar.h"
#include "test_support.h"

namespace {

const gl_pixel BLACK(0, 0, 0), WHITE(255, 255, 255), BACKGROUND(51, 51, 51);
const gl_pixel FRAME_OUTER(40, 44, 60), FRAME_INNER(168, 172, 188);
const gl_pixel SELECTED_ROW(100, 200, 255);

// A plain filled panel that frames itself, for frame tests.
class framed_panel : public object {
public:
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

// Darkest red channel in a rectangle: text leaves dark pixels.
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
    save_screenshot(binary_path(std::string("gui_") + name + ".ppm").c_str());
}

TEST(drawing, themed_frame_has_outer_and_inner_lines_at_every_corner_and_edge)
{
    QTE_REQUIRE_GL_WINDOW();
    int theme = theme_texture();
    ASSERT_NE(theme, -1);
    gui_manager manager;
    manager.set_theme(theme);
    framed_panel panel;
    panel.x = 100; panel.y = 100; panel.w = 200; panel.h = 150;
    manager.add(&panel);
    draw_gui_frame(manager, theme);
    keep_screenshot("themed_frame");

    // Corners: the outer line on the rectangle's own border rows and columns.
    EXPECT_EQ(read_pixel(100, 100), FRAME_OUTER);
    EXPECT_EQ(read_pixel(101, 101), FRAME_INNER);
    EXPECT_EQ(read_pixel(299, 100), FRAME_OUTER);
    EXPECT_EQ(read_pixel(298, 101), FRAME_INNER);
    EXPECT_EQ(read_pixel(100, 249), FRAME_OUTER);
    EXPECT_EQ(read_pixel(101, 248), FRAME_INNER);
    EXPECT_EQ(read_pixel(299, 249), FRAME_OUTER);
    EXPECT_EQ(read_pixel(298, 248), FRAME_INNER);
    // Edges, stretched and turned.
    EXPECT_EQ(read_pixel(200, 100), FRAME_OUTER);
    EXPECT_EQ(read_pixel(200, 101), FRAME_INNER);
    EXPECT_EQ(read_pixel(200, 249), FRAME_OUTER);
    EXPECT_EQ(read_pixel(200, 248), FRAME_INNER);
    EXPECT_EQ(read_pixel(100, 175), FRAME_OUTER);
    EXPECT_EQ(read_pixel(101, 175), FRAME_INNER);
    EXPECT_EQ(read_pixel(299, 175), FRAME_OUTER);
    EXPECT_EQ(read_pixel(298, 175), FRAME_INNER);
    // The inside is the caller's, the outside untouched.
    EXPECT_EQ(read_pixel(102, 102), WHITE);
    EXPECT_EQ(read_pixel(200, 175), WHITE);
    EXPECT_EQ(read_pixel(99, 175), BACKGROUND);
    EXPECT_EQ(read_pixel(300, 175), BACKGROUND);
    EXPECT_EQ(read_pixel(200, 250), BACKGROUND);
    // The themed menu-bar strip comes from the grey column.
    gl_pixel bar = read_pixel(400, 5);
    EXPECT_GT(bar.r, 180);
    EXPECT_EQ(bar.r, read_pixel(10, 5).r);
}

TEST(drawing, tiny_themed_frame_draws_without_failing)
{
    QTE_REQUIRE_GL_WINDOW();
    int theme = theme_texture();
    ASSERT_NE(theme, -1);
    gui_manager manager;
    manager.set_theme(theme);
    framed_panel a, b;
    a.x = 50; a.y = 50; a.w = 3; a.h = 2;
    b.x = 60; b.y = 50; b.w = 0; b.h = 0;
    manager.add(&a);
    manager.add(&b);
    draw_gui_frame(manager, theme);
    EXPECT_EQ(read_pixel(50, 50), FRAME_OUTER);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST(drawing, flat_frame_is_a_one_pixel_black_rect)
{
    QTE_REQUIRE_GL_WINDOW();
    gui_manager manager;
    framed_panel panel;
    panel.x = 100; panel.y = 100; panel.w = 200; panel.h = 150;
    manager.add(&panel);
    draw_gui_frame(manager, -1);
    EXPECT_EQ(read_pixel(100, 100), BLACK);
    EXPECT_EQ(read_pixel(300, 250), BLACK);
    EXPECT_EQ(read_pixel(200, 100), BLACK);
    EXPECT_EQ(read_pixel(100, 175), BLACK);
    EXPECT_EQ(read_pixel(101, 101), WHITE);
    EXPECT_EQ(read_pixel(299, 249), WHITE);
    // The flat menu-bar strip.
    EXPECT_EQ(read_pixel(400, 10), gl_pixel(200, 200, 200));
}

class list_drawing : public ::testing::Test {
protected:
    const char *names[30];
    std::string storage[30];
    listbox list;
    void fill()
    {
        for (int i = 0; i < 30; i++) {
            storage[i] = "Item " + std::to_string(i);
            names[i] = storage[i].c_str();
        }
        list.x = 610; list.y = 200; list.w = 185; list.h = 395;
        list.items = names;
        list.count = 30;
    }
};

TEST_F(list_drawing, selected_row_is_light_blue_and_text_is_dark_on_white)
{
    QTE_REQUIRE_GL_WINDOW();
    fill();
    gui_manager manager;
    manager.add(&list);
    list.select(3);
    draw_gui_frame(manager, -1);
    keep_screenshot("list_flat");
    int rh = gui_text_height() + 2;
    int ry = list.y + 3 * rh;
    // Right part of the highlight, past the short text.
    EXPECT_EQ(read_pixel(list.x + list.w - 16, ry + 5), SELECTED_ROW);
    // AllegroGL fills up to, not including, the far corner.
    EXPECT_EQ(read_pixel(list.x + 4, ry + 4), SELECTED_ROW);
    EXPECT_EQ(read_pixel(list.x + list.w - 15, ry + 12), SELECTED_ROW);
    EXPECT_EQ(read_pixel(list.x + list.w - 15, ry + 13), WHITE);
    EXPECT_EQ(read_pixel(list.x + list.w - 13, ry + 8), WHITE);
    // Row 0 is plain white with dark text: "0: Item 0".
    int row0 = list.y;
    EXPECT_EQ(read_pixel(list.x + list.w - 16, row0 + 8), WHITE);
    EXPECT_LT(darkest(list.x + 5, row0 + 5, 60, gui_text_height()), 40);
    // The selected row's text is dark too.
    EXPECT_LT(darkest(list.x + 5, ry + 5, 60, gui_text_height()), 40);
    // Flat frame and scroll bar (black thumb: 30 items but ~39 rows fit, so none).
    EXPECT_EQ(read_pixel(list.x, list.y + 100), BLACK);
    EXPECT_EQ(read_pixel(list.scroll.x, list.y + 100), BLACK);
    EXPECT_EQ(read_pixel(list.scroll.x + 5, list.y + 100), WHITE);
}

TEST_F(list_drawing, scrolled_list_shows_from_its_top_and_a_black_flat_thumb)
{
    QTE_REQUIRE_GL_WINDOW();
    fill();
    list.h = 104;   // ten rows or so
    gui_manager manager;
    manager.add(&list);
    list.select(12);
    draw_gui_frame(manager, -1);
    EXPECT_EQ(list.top, list.scroll.get_offset(30, list.rows()));
    EXPECT_GT(list.top, 0);
    EXPECT_EQ(read_pixel(list.x + list.w - 16, list.y + (12 - list.top) * (gui_text_height() + 2) + 6),
              SELECTED_ROW);
    int thumb_y = list.y + 10 + (int)list.scroll.position + 2;
    EXPECT_EQ(read_pixel(list.scroll.x + 5, thumb_y), BLACK);
}

TEST(drawing, themed_scroll_bar_shows_arrows_trough_and_thumb)
{
    QTE_REQUIRE_GL_WINDOW();
    int theme = theme_texture();
    ASSERT_NE(theme, -1);
    gui_manager manager;
    manager.set_theme(theme);
    scrollbar v, hbar;
    v.x = 400; v.y = 100; v.w = 11; v.h = 200;
    hbar.vertical = false;
    hbar.x = 450; hbar.y = 100; hbar.w = 200; hbar.h = 11;
    manager.add(&v);
    manager.add(&hbar);
    v.set_range(100, 25);
    hbar.set_range(100, 25);
    v.position = 100;
    hbar.position = 100;
    draw_gui_frame(manager, theme);
    keep_screenshot("themed_scrollbars");
    // The arrow marks point outwards: dark near the outer end's middle column.
    EXPECT_EQ(read_pixel(405, 100 + 4), gl_pixel(30, 30, 36));
    EXPECT_EQ(read_pixel(405, 300 - 5), gl_pixel(30, 30, 36));
    EXPECT_EQ(read_pixel(450 + 4, 105), gl_pixel(30, 30, 36));
    EXPECT_EQ(read_pixel(650 - 5, 105), gl_pixel(30, 30, 36));
    // Trough before the thumb, thumb face inside it.
    EXPECT_EQ(read_pixel(405, 150), gl_pixel(228, 228, 232));
    int p = 100 + 11 + 100;   // thumb start
    EXPECT_EQ(read_pixel(405, p + 10), gl_pixel(140, 146, 166));
    EXPECT_EQ(read_pixel(400, p + 10), gl_pixel(188, 192, 206));   // column 7 at the left
    EXPECT_EQ(read_pixel(405, p), gl_pixel(82, 86, 104));           // start cap
    EXPECT_EQ(read_pixel(450 + 11 + 100 + 10, 105), gl_pixel(140, 146, 166));
    EXPECT_EQ(read_pixel(450 + 11 + 100 + 10, 100), gl_pixel(188, 192, 206));   // column 7 on top
}

TEST(drawing, flat_button_and_checkbox)
{
    QTE_REQUIRE_GL_WINDOW();
    gui_manager manager;
    button b;
    b.x = 100; b.y = 300; b.w = 60; b.h = 20;
    b.label = "Done";
    checkbox c;
    c.x = 100; c.y = 350; c.w = 100; c.h = 10;
    c.label = "Fast quit";
    c.checked = true;
    c.label_colour = makecol(255, 255, 255);
    checkbox r;
    r.x = 100; r.y = 380; r.w = 100; r.h = 12;
    int group = 2;
    r.flags = CHECKBOX_RADIO;
    r.group = &group;
    r.value = 2;
    manager.add(&b);
    manager.add(&c);
    manager.add(&r);
    draw_gui_frame(manager, -1);
    keep_screenshot("flat_widgets");
    EXPECT_EQ(read_pixel(103, 303), gl_pixel(200, 200, 200));
    EXPECT_EQ(read_pixel(100, 300), BLACK);
    EXPECT_EQ(read_pixel(130, 320), gl_pixel(50, 50, 50));   // shadow row y + h
    EXPECT_LT(darkest(115, 302, 30, 16), 40);                // "Done"
    EXPECT_EQ(read_pixel(100, 350), BLACK);
    EXPECT_EQ(read_pixel(105, 355), BLACK);                  // the cross
    EXPECT_EQ(read_pixel(103, 352), WHITE);
    EXPECT_LT(darkest(114, 350, 40, 10), 40);                // label text
    EXPECT_EQ(read_pixel(106, 386), gl_pixel(50, 100, 255)); // radio dot
    b.hovered = true;
    b.pressed = true;
    draw_gui_frame(manager, -1);
    EXPECT_EQ(read_pixel(104, 304), gl_pixel(230, 230, 230));
    EXPECT_EQ(read_pixel(130, 320), BLACK);                  // pushed: the outline moved, no shadow
}

TEST(drawing, image_loads_a_bitmap_and_shows_a_region)
{
    QTE_REQUIRE_GL_WINDOW();
    image missing;
    EXPECT_EQ(missing.load("no/such/picture.bmp"), 1);
    EXPECT_EQ(missing.texture, -1);

    // Two 32 x 16 pictures one above the other: red over blue.
    BITMAP *bmp = create_bitmap_ex(24, 32, 32);
    rectfill(bmp, 0, 0, 31, 15, makecol24(255, 0, 0));
    rectfill(bmp, 0, 16, 31, 31, makecol24(0, 0, 255));
    putpixel(bmp, 0, 0, makecol24(0, 255, 0));
    std::string path = make_temp_folder() + "/two.bmp";
    ASSERT_EQ(save_bitmap(path.c_str(), bmp, nullptr), 0);
    destroy_bitmap(bmp);

    image im;
    allegro_gl_flip_texture(TRUE);
    ASSERT_EQ(im.load(path.c_str()), 0);
    EXPECT_NE(im.texture, -1);
    EXPECT_EQ(im.w, 32);
    EXPECT_EQ(im.h, 32);
    glBindTexture(GL_TEXTURE_2D, (GLuint)im.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    im.x = 200;
    im.y = 200;
    im.set_region(0, 16, 32, 16);
    gui_manager manager;
    manager.add(&im);
    draw_gui_frame(manager, -1);
    EXPECT_EQ(read_pixel(210, 208), gl_pixel(0, 0, 255));
    EXPECT_EQ(read_pixel(210, 217), BACKGROUND);
    im.set_region(0, 0, 32, 16);
    draw_gui_frame(manager, -1);
    EXPECT_EQ(read_pixel(200, 200), gl_pixel(0, 255, 0));
    EXPECT_EQ(read_pixel(210, 208), gl_pixel(255, 0, 0));
    // Flat drawing after the image is not tinted by its texture.
    EXPECT_EQ(read_pixel(400, 10), gl_pixel(200, 200, 200));
}

}  // namespace
