// Model drawing under Xvfb: flat and textured polygons, the flash colour, instances, skipped polygons, the 3D view.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "app/app_state.h"
#include "demo/level_builder.h"
#include "gui/window.h"
#include "render/gl_textures.h"
#include "level/level.h"
#include "render/model_render.h"
#include "views/draw_test_window.h"

namespace {

// Corners listed so that, reversed by the decoder and with x and y negated,
// they face the camera and cover the view's centre.
builder_model flat_triangle(unsigned char r, unsigned char g, unsigned char b, int instance_of = -1, int type = 0)
{
    builder_model m;
    if (instance_of < 0) m.vertices = {{-400, -400, 0}, {400, -400, 0}, {0, 400, 0}};
    m.instance_of = instance_of;
    builder_polygon p;
    p.type = type;
    p.corners[0] = 0; p.corners[1] = 2; p.corners[2] = 1;
    p.colour[0][0] = r; p.colour[0][1] = g; p.colour[0][2] = b;
    m.polygons.push_back(p);
    return m;
}

builder_model textured_quad(int type, int page, unsigned char r, unsigned char g, unsigned char b)
{
    builder_model m;
    m.vertices = {{-300, -300, 0}, {300, -300, 0}, {300, 300, 0}, {-300, 300, 0}};
    builder_polygon p;
    p.type = type;
    p.corners[0] = 3; p.corners[1] = 2; p.corners[2] = 1; p.corners[3] = 0;
    p.texture = page;
    const unsigned char uv[4][2] = {{0, 0}, {255, 0}, {255, 255}, {0, 255}};
    memcpy(p.uv, uv, sizeof uv);
    p.colour[0][0] = r; p.colour[0][1] = g; p.colour[0][2] = b;
    m.polygons.push_back(p);
    m.textures_used.push_back((unsigned char)page);
    return m;
}

enum {
    M_RED_TRIANGLE,      // flat (255, 0, 0)
    M_TEXTURED_QUAD,     // kind 5 on the white page 0, colour (128, 64, 32)
    M_INSTANCE,          // instance of the red triangle, own green polygon
    M_CHAIN,             // instance of M_INSTANCE, yellow
    M_LOOP_A,            // instance of M_LOOP_B and back
    M_LOOP_B,
    M_BAD_CORNERS,       // instance of the red triangle with a corner past its 3 vertices
    M_MISSING_PAGE,      // kind 5 on page 200, colour (0, 0, 255)
    M_UNSUPPORTED,       // a kind-2 and a kind-3 polygon, then a flat blue triangle
    M_CORNER_COLOURS,    // kind 7, corner 0 white, corners 1-3 black
    M_COUNT
};

const rgb LIGHT_BLUE = {100, 200, 255};

#define EXPECT_COLOUR(actual, expected) \
    EXPECT_TRUE(near_colour(actual, expected)) << colour_text(actual) << " vs " << colour_text(expected)

class model_drawing : public ::testing::Test {
protected:
    level lvl{};
    gl_texture_set set{};
    render3d view;

    void SetUp() override
    {
        QTE_REQUIRE_DRAW_WINDOW();
        builder_palette white = make_palette(0);
        for (auto &e : white.entries) e = {255, 255, 255, 0};
        builder_page blank;
        blank.flags = 0x10;
        blank.indices.assign(65536, 0);
        std::vector<builder_model> models = {
            flat_triangle(255, 0, 0), textured_quad(5, 0, 128, 64, 32), flat_triangle(0, 255, 0, M_RED_TRIANGLE),
            flat_triangle(255, 255, 0, M_INSTANCE), flat_triangle(0, 255, 0, M_LOOP_B),
            flat_triangle(0, 255, 0, M_LOOP_A), flat_triangle(0, 255, 0, M_RED_TRIANGLE),
            textured_quad(5, 200, 0, 0, 255), flat_triangle(0, 0, 255), textured_quad(7, 0, 10, 20, 30)};
        models[M_BAD_CORNERS].polygons[0].corners[1] = 7;
        builder_polygon two, three;
        two.type = 2;
        three.type = 35;
        models[M_UNSUPPORTED].polygons.insert(models[M_UNSUPPORTED].polygons.begin(), {two, three});
        byte_buffer lev = encode_level({
            {BLOCK_TEXTURES, encode_texture_block({white}, {blank, make_paletted_page(1)})},
            {BLOCK_MODELS, encode_model_block(models)},
            {BLOCK_EVENT_MODELS, encode_model_block({flat_triangle(0, 0, 255)})},
        });
        byte_buffer d3d = encode_palette_lists({{0, {0}}, {1, {0}}});
        ASSERT_EQ(load_level_from_memory(&lvl, lev.data(), lev.size(), d3d.data(), d3d.size(), LOAD_ALL), 0)
            << load_failure_reason();
        build_gl_textures(&set, &lvl);
        current_level = &lvl;
        current_textures = &set;
        show_event_model = false;
        selected_event_model = -1;
        flash_phase = false;
        flash_page = -1;
        view.x = 5; view.y = 25; view.w = 600; view.h = 570;
    }
    void TearDown() override
    {
        current_level = nullptr;
        current_textures = nullptr;
        flash_phase = false;
        flash_page = -1;
        release_gl_textures(&set);
        cleanup_level(&lvl);
    }
    rgb centre() { return pixel_at(5 + 300, 25 + 285); }
    rgb show(int model)
    {
        selected_model = model;
        begin_test_frame();
        allegro_gl_set_allegro_mode();
        draw_model_view(&view, &view.yaw, &view.pitch, &view.pan_x, &view.pan_y, &view.distance);
        allegro_gl_unset_allegro_mode();
        return centre();
    }
};

}  // namespace

TEST(polygon_kinds, types_map_to_kinds_with_bit_5_ignored)
{
    const int cases[][2] = {{0, 0}, {32, 0}, {7, 7}, {39, 7}, {16, 8}, {55, 15},
                            {8, -1}, {31, -1}, {47, -1}, {56, -1}, {255, -1}};
    for (auto &c : cases) EXPECT_EQ(polygon_draw_kind(c[0]), c[1]) << c[0];
}

TEST_F(model_drawing, flat_triangle_over_light_blue_the_camera_and_the_gl_state_restored)
{
    GLint projection_depth = 0, modelview_depth = 0, depth = 0, viewport[4];
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projection_depth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelview_depth);
    EXPECT_COLOUR(show(M_RED_TRIANGLE), (rgb{254, 0, 0}));     // 255/256 of full red
    EXPECT_COLOUR(pixel_at(5 + 20, 25 + 20), LIGHT_BLUE);
    EXPECT_COLOUR(pixel_at(5, 25 + 100), (rgb{0, 0, 0}));   // the black outline
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 800, 600}));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, projection_depth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, modelview_depth);
    view.yaw = 180.0f;                                  // seen from behind: culled
    EXPECT_COLOUR(show(M_RED_TRIANGLE), LIGHT_BLUE);
    view.yaw = 0.0f;
    view.pan_x = 3000.0f;                               // moved out of sight
    EXPECT_COLOUR(show(M_RED_TRIANGLE), LIGHT_BLUE);
    view.pan_x = 0.0f;
    view.distance = 50000.0f;                           // beyond the far plane
    EXPECT_COLOUR(show(M_RED_TRIANGLE), LIGHT_BLUE);
}

TEST_F(model_drawing, textured_polygons_are_modulated_by_their_flat_colour_and_flash_magenta)
{
    EXPECT_COLOUR(show(M_TEXTURED_QUAD), (rgb{127, 64, 32}));
    flash_page = 0;
    flash_phase = true;
    EXPECT_COLOUR(show(M_TEXTURED_QUAD), (rgb{255, 0, 255}));
    EXPECT_COLOUR(show(M_RED_TRIANGLE), (rgb{254, 0, 0}));   // flat polygons never flash
    // Kind 7 keeps its corner colours, and corner 0 stays white, not magenta.
    show(M_CORNER_COLOURS);
    rgb near_0 = pixel_at(5 + 300 + 190, 25 + 285 - 190);
    rgb near_2 = pixel_at(5 + 300 - 190, 25 + 285 + 190);
    EXPECT_GT(near_0.g, 200);
    EXPECT_LT(near_2.r + near_2.g + near_2.b, 60);
    flash_phase = false;                                // the off phase
    EXPECT_COLOUR(show(M_TEXTURED_QUAD), (rgb{127, 64, 32}));
    flash_phase = true;
    flash_page = 1;                                     // another page flashes
    EXPECT_COLOUR(show(M_TEXTURED_QUAD), (rgb{127, 64, 32}));
}

TEST_F(model_drawing, instances_chains_loops_and_polygons_that_cannot_be_drawn)
{
    EXPECT_COLOUR(show(M_INSTANCE), (rgb{0, 254, 0}));
    EXPECT_COLOUR(show(M_CHAIN), (rgb{254, 254, 0}));
    EXPECT_COLOUR(show(M_LOOP_A), LIGHT_BLUE);          // a loop draws nothing and returns
    EXPECT_COLOUR(show(M_BAD_CORNERS), LIGHT_BLUE);     // corner 7 of 3 vertices: skipped
    EXPECT_COLOUR(show(M_MISSING_PAGE), (rgb{0, 0, 254}));   // a page the level lacks: untextured
    testing::internal::CaptureStdout();
    rgb c = show(M_UNSUPPORTED);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_COLOUR(c, (rgb{0, 0, 254}));                 // the rest is drawn
    std::string line = std::string(MODEL_RENDER_UNSUPPORTED) + "\n";
    EXPECT_EQ(out, line + line);
}

TEST_F(model_drawing, event_models_stale_selections_and_no_level)
{
    show_event_model = true;
    selected_event_model = 0;
    EXPECT_COLOUR(show(M_RED_TRIANGLE), (rgb{0, 0, 254}));   // the event model, not model 0
    selected_event_model = 1;                           // beyond the list
    EXPECT_COLOUR(show(M_RED_TRIANGLE), LIGHT_BLUE);
    show_event_model = false;
    EXPECT_COLOUR(show(M_COUNT), LIGHT_BLUE);
    EXPECT_COLOUR(show(-1), LIGHT_BLUE);
    lvl.load_mask = 0;                                  // no level: only the light blue rectangle
    EXPECT_COLOUR(show(M_RED_TRIANGLE), LIGHT_BLUE);
    EXPECT_COLOUR(pixel_at(5 + 600, 25 + 100), (rgb{0, 0, 0}));
    lvl.load_mask = LOAD_ALL;
    // Straight calls: nothing may be read outside the lists (the sanitizers watch this).
    draw_model(&set, &lvl, M_COUNT, false);
    draw_model(&set, &lvl, 1, true);
    draw_model(&set, &lvl, -3, false);
    draw_model(&set, nullptr, 0, false);
    draw_model(nullptr, &lvl, M_TEXTURED_QUAD, false);
}
