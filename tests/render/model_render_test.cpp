// Drawing one model under Xvfb: flat and textured polygons, the flash colour, instances, polygons skipped.
#include "gl_test_window.h"

#include "level_test_support.h"
#include "render/gl_textures.h"
#include "render/model_render.h"

// One quad of a polygon type over the screen's centre; with its corners reversed and x and y
// negated by the decoder it faces the camera.
static builder_model quad(int type, int page, unsigned char r, unsigned char g, unsigned char b, int instance_of = -1)
{
    builder_model m;
    if (instance_of < 0) m.vertices = {{-300, -300, 0}, {300, -300, 0}, {300, 300, 0}, {-300, 300, 0}};
    m.instance_of = instance_of;
    builder_polygon p{type, {3, 2, 1, 0}, {}, page};
    p.uv[1][0] = p.uv[2][0] = p.uv[2][1] = p.uv[3][1] = 255;  // the whole page
    p.colour[0][0] = r; p.colour[0][1] = g; p.colour[0][2] = b;
    m.polygons.push_back(p);
    return m;
}

TEST(model_drawing, colours_pages_flashing_instances_and_what_cannot_be_drawn)
{
    QTE_REQUIRE_GL_WINDOW();
    // Models: 0 flat red; 1 textured (kind 5) with (128, 64, 32); 2 green over 0's corners;
    // 3 and 4 instances of each other; 5 a corner past 0's four; 6 textured on a page the level lacks;
    // 7 a kind-2 and a kind-3 polygon, then flat blue. Event model 0: flat blue.
    std::vector<builder_model> models = {quad(1, 0, 255, 0, 0), quad(5, 0, 128, 64, 32), quad(1, 0, 0, 255, 0, 0), quad(1, 0, 0, 255, 0, 4),
                                         quad(1, 0, 0, 255, 0, 3), quad(1, 0, 0, 255, 0, 0), quad(5, 200, 0, 0, 255), quad(1, 0, 0, 0, 255)};
    models[5].polygons[0].corners[1] = 7;
    models[7].polygons.insert(models[7].polygons.begin(), {quad(2, 0, 0, 0, 0).polygons[0], quad(35, 0, 0, 0, 0).polygons[0]});
    builder_page page{0x10, std::vector<unsigned char>(65536, 30), {}};  // (90, 225, 210) through palette 0
    byte_buffer lev = encode_level({{BLOCK_TEXTURES, encode_texture_block({make_palette(0)}, {page})},
                                    {BLOCK_MODELS, encode_model_block(models)},
                                    {BLOCK_EVENT_MODELS, encode_model_block({quad(1, 0, 0, 0, 255)})}});
    level lvl;
    ASSERT_EQ(load_bytes(&lvl, lev, encode_palette_lists({{0, {0}}})), LOAD_OK);
    gl_texture_set set{};
    build_gl_textures(&set, &lvl);
    glMatrixMode(GL_PROJECTION);  // one unit a pixel, the origin at the screen's centre
    glLoadIdentity();
    glOrtho(-400, 400, -300, 300, -1, 1);
    glClearColor(0, 0, 0, 1);
    auto show = [&](int index, bool event, int flash_page = -1) {
        glClear(GL_COLOR_BUFFER_BIT);
        draw_model(&set, &lvl, index, event, flash_page);
        glFinish();
        return read_pixel(400, 300);
    };
    const gl_pixel none{0, 0, 0}, red{254, 0, 0}, green{0, 254, 0}, blue{0, 0, 254}, texel_by_flat{45, 56, 26};
    // Model, whether from the event list, the page drawn flashing, then the colour at the centre.
    struct { int index; bool event; int flash_page; gl_pixel colour; } cases[] = {
        {0, false, -1, red} /* 255/256 of full red */, {1, false, -1, texel_by_flat}, {2, false, -1, green},
        {1, false, 0, gl_pixel{90, 0, 210}} /* magenta for the flat colour */, {0, false, 0, red},
        {1, false, 1, texel_by_flat}, {3, false, -1, none} /* a loop */, {5, false, -1, none},
        {6, false, -1, blue} /* untextured */, {0, true, -1, blue}, {8, false, -1, none},
        {1, true, -1, none}, {-3, false, -1, none} /* outside the lists */,
    };
    for (const auto &c : cases)
        EXPECT_PRED2(near, show(c.index, c.event, c.flash_page), c.colour) << c.index << (c.event ? " event" : "");
    testing::internal::CaptureStdout();
    EXPECT_PRED2(near, show(7, false), blue);  // what follows the polygons it cannot draw, which it skips quietly
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    draw_model(nullptr, &lvl, 1, false);  // without textures: untextured
    release_gl_textures(&set);
    cleanup_level(&lvl);
}
