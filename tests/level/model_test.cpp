// The model decoder: header and tables, every polygon kind, reversal, hostile models, instance chains.
#include <gtest/gtest.h>
#include <string.h>

#include "demo/level_builder.h"
#include "level/model.h"

namespace {

struct decoded {
    model m;
    int result;
    decoded(const byte_buffer &bytes)
    {
        clear_model(&m);
        result = decode_model(bytes.data(), bytes.size(), &m);
    }
    ~decoded() { free_model(&m); }
};

builder_model one_polygon_model(const builder_polygon &p)
{
    builder_model m;
    for (int i = 0; i < 20; i++) m.vertices.push_back({(float)i, 0, 0});
    for (int i = 0; i < 20; i++) m.normals.push_back({0, (float)i, 0});
    m.polygons.push_back(p);
    return m;
}

builder_polygon full_polygon(int type)
{
    builder_polygon p;
    p.type = type;
    for (int k = 0; k < 4; k++) {
        p.corners[k] = 10 + k;
        p.normals[k] = 4 + k;
        p.uv[k][0] = (unsigned char)(20 * k + 1);
        p.uv[k][1] = (unsigned char)(200 - k);
        p.colour[k][0] = (unsigned char)(100 + k);
        p.colour[k][1] = (unsigned char)(150 + k);
        p.colour[k][2] = (unsigned char)(50 + k);
    }
    p.texture = 7;
    return p;
}

}  // namespace

TEST(model_decode, header_fields_and_tables_with_x_and_y_negated)
{
    builder_model b = make_cube_model(3);
    b.draw_flags = 1u << 28 | 5;
    b.extra_word = 0xDEADBEEF;
    b.vertices[1] = {1.5f, -2.0f, 3.0f};
    b.normals[0] = {0.5f, 0.25f, -1.0f};
    b.has_extra_table = true;
    b.extra_records.resize(2);
    b.extra_records[1][19] = 0x77;
    b.polygon_info.resize(6);
    b.polygon_info[5][0] = 0x66;
    decoded d(encode_model(b));
    ASSERT_EQ(d.result, DECODE_OK);
    const model &m = d.m;
    EXPECT_EQ(m.draw_flags, (1u << 28 | 5));
    EXPECT_EQ(m.extra_word, 0xDEADBEEFu);
    EXPECT_EQ(m.instance_of, -1);
    ASSERT_EQ(m.vertex_count, 8);
    EXPECT_FLOAT_EQ(m.vertices[1][0], -1.5f);
    EXPECT_FLOAT_EQ(m.vertices[1][1], 2.0f);
    EXPECT_FLOAT_EQ(m.vertices[1][2], 3.0f);   // z keeps its sign
    EXPECT_FLOAT_EQ(m.normals[0][0], -0.5f);
    EXPECT_FLOAT_EQ(m.normals[0][1], -0.25f);
    EXPECT_EQ(m.textures_used[0], 3);
    ASSERT_EQ(m.extra_record_count, 2);
    EXPECT_EQ(m.extra_records[1].bytes[19], 0x77);
    EXPECT_EQ(m.polygon_info[5].bytes[0], 0x66);
}

TEST(model_decode, an_instancing_model_owns_no_vertices)
{
    builder_model b = make_cube_model(0);
    b.instance_of = 5;
    b.has_extra_table = true;
    b.extra_records.resize(1);
    decoded d(encode_model(b));   // its vertex table is present but not read
    ASSERT_EQ(d.result, DECODE_OK);
    EXPECT_EQ(d.m.vertices, nullptr);
    EXPECT_EQ(d.m.polygon_info, nullptr);
    EXPECT_EQ(d.m.extra_records, nullptr);
    EXPECT_EQ(d.m.polygon_count, 6);
    EXPECT_FALSE(d.m.polygons[0].unsafe);   // vertex indices wait for the list
}

// Every kind against its byte layout: which fields it takes, reversed or not.
TEST(model_decode, every_kind_takes_the_fields_of_its_layout)
{
    struct expectation {
        int type, corners, normals;   // normals: 0 none, 1 one, else per corner
        bool uv, textured, has_texture;
        int colours;
    };
    const expectation kinds[] = {
        {0, 3, 0, false, false, false, 1},  {1, 4, 0, false, false, false, 1},
        {4, 3, 0, true, true, true, 1},     {5, 4, 0, true, true, true, 1},
        {6, 3, 0, true, true, true, 3},     {7, 4, 0, true, true, true, 4},
        {16, 3, 1, false, false, false, 1}, {17, 4, 1, false, false, true, 1},
        {18, 3, 3, false, false, true, 1},  {19, 4, 4, false, false, true, 1},
        {20, 3, 1, true, true, true, 1},    {21, 4, 1, true, true, true, 1},
        {22, 3, 3, true, true, true, 1},    {23, 4, 4, true, true, true, 1},
    };
    for (const expectation &e : kinds)
        for (int type : {e.type, e.type + 32}) {
            SCOPED_TRACE(type);
            decoded d(encode_model(one_polygon_model(full_polygon(type))));
            ASSERT_EQ(d.result, DECODE_OK);
            ASSERT_EQ(d.m.polygon_count, 1);
            const model_polygon &q = d.m.polygons[0];
            int n = e.corners;
            EXPECT_EQ(q.type, type);
            for (int k = 0; k < n; k++) EXPECT_EQ(q.corners[n - 1 - k], 10 + k);
            for (int k = 0; k < (e.normals > 1 ? n : e.normals); k++)
                EXPECT_EQ(q.normal_index[e.normals > 1 ? n - 1 - k : 0], 4 + k);
            for (int k = 0; e.uv && k < n; k++) {
                EXPECT_FLOAT_EQ(q.uv[n - 1 - k].u, 20 * k + 1);
                EXPECT_FLOAT_EQ(q.uv[n - 1 - k].v, 200 - k);
            }
            EXPECT_EQ(q.textured, e.textured);
            EXPECT_EQ(q.texture, e.has_texture ? 7 : 0);
            for (int k = 0; k < e.colours; k++) {   // colours are not reversed
                EXPECT_FLOAT_EQ(q.red[k], 100 + k);
                EXPECT_FLOAT_EQ(q.green[k], 150 + k);
                EXPECT_FLOAT_EQ(q.blue[k], 50 + k);
            }
            EXPECT_FALSE(q.unsafe);
        }
}

// Kinds 2 and 3 are skipped by their size with a console line; unknown types stop the stream.
TEST(model_decode, unimplemented_types_are_skipped_and_unknown_ones_end_the_polygons)
{
    builder_model b = one_polygon_model(full_polygon(2));
    b.polygons.push_back(full_polygon(35));
    b.polygons.push_back(full_polygon(4));
    testing::internal::CaptureStdout();
    decoded d(encode_model(b));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Model uses unimplemented type 2\nModel uses unimplemented type 3\n");
    ASSERT_EQ(d.m.polygon_count, 3);
    EXPECT_EQ(d.m.polygons[1].corners[0], 13);
    EXPECT_TRUE(d.m.polygons[2].textured);   // the stream advanced by 20 and 28 bytes
    for (int bad : {8, 15, 24, 31, 40, 47, 56, 200, 255}) {
        b = one_polygon_model(full_polygon(4));
        b.polygons.push_back(full_polygon(bad));
        b.polygons.push_back(full_polygon(0));
        decoded e(encode_model(b));
        EXPECT_EQ(e.result, DECODE_OK) << bad;
        EXPECT_EQ(e.m.polygon_count, 1) << bad;
    }
    EXPECT_EQ(decoded(encode_model(one_polygon_model(full_polygon(99)))).m.polygons, nullptr);
}

TEST(model_decode, indices_outside_the_tables_mark_the_polygon_unsafe)
{
    struct index_case {
        int type, corner_slot, corner, normal_slot, normal;
        bool unsafe;
    };
    const index_case cases[] = {
        {0, 0, 19, -1, 0, false}, {0, 0, 20, -1, 0, true}, {0, 2, -1, -1, 0, true},
        {1, 3, 20, -1, 0, true},  {4, 1, 19, -1, 0, false},
        {16, -1, 0, 0, 19, false}, {16, -1, 0, 0, 20, true}, {16, -1, 0, 1, 99, false},  // one normal only
        {18, -1, 0, 2, 20, true},  {19, -1, 0, 3, -1, true},  {23, -1, 0, 3, 20, true},
        {2, 1, 50, -1, 0, true},
    };
    for (const index_case &c : cases) {
        SCOPED_TRACE(c.type);
        builder_polygon p = full_polygon(c.type);
        if (c.corner_slot >= 0) p.corners[c.corner_slot] = c.corner;
        if (c.normal_slot >= 0) p.normals[c.normal_slot] = c.normal;
        testing::internal::CaptureStdout();
        decoded d(encode_model(one_polygon_model(p)));
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(d.m.polygon_count, 1);
        EXPECT_EQ(d.m.polygons[0].unsafe, c.unsafe);
    }
}

TEST(model_decode, models_outside_their_bytes_are_refused)
{
    byte_buffer good = encode_model(make_cube_model(0));
    for (size_t cut = 0; cut < good.size(); cut++) {
        decoded d(byte_buffer(good.begin(), good.begin() + (long)cut));
        EXPECT_NE(d.result, DECODE_OK) << cut;
        EXPECT_EQ(d.m.polygon_count, 0);
        EXPECT_EQ(d.m.vertices, nullptr);
    }
    struct offset_case { size_t field; uint32_t value; };
    for (offset_case c : {offset_case{28, 0xFFFFFFFF}, {32, 0xFFFFFFF0}, {36, (uint32_t)good.size()},
                          {40, (uint32_t)good.size() - 10}, {44, 0x80000000}, {52, (uint32_t)good.size() - 3}}) {
        byte_buffer b = good;
        patch32le(b, c.field, c.value);
        decoded d(b);
        EXPECT_EQ(d.result, DECODE_TRUNCATED) << c.field;
    }
    byte_buffer b = good;
    patch32le(b, 52, (uint32_t)good.size() - 4);
    patch32le(b, good.size() - 4, 1);   // one extra record, no room for it
    EXPECT_EQ(decoded(b).result, DECODE_TRUNCATED);
    for (size_t field : {20u, 22u, 24u, 26u}) {
        b = good;
        b[field + 1] = 0x80;
        EXPECT_EQ(decoded(b).result, DECODE_BAD_COUNT) << field;
    }
    // Tables with no entries are not looked at.
    builder_model empty;
    b = encode_model(empty);
    for (size_t field : {28u, 32u, 36u, 40u, 44u}) patch32le(b, field, 0xFFFFFFFF);
    EXPECT_EQ(decoded(b).result, DECODE_OK);
    model m;
    clear_model(&m);
    EXPECT_EQ(decode_model(nullptr, 0, &m), DECODE_TRUNCATED);
    // Decoding again frees the first result; freeing twice is harmless.
    ASSERT_EQ(decode_model(good.data(), good.size(), &m), DECODE_OK);
    ASSERT_EQ(decode_model(good.data(), good.size(), &m), DECODE_OK);
    free_model(&m);
    free_model(&m);
    EXPECT_EQ(m.polygons, nullptr);
}

TEST(model_vertex_source, follows_chains_and_never_hangs)
{
    model list[5];
    const int instance_of[5] = {-1, 0, 1, 4, 3};   // 2 -> 1 -> 0, and 3 <-> 4
    for (int i = 0; i < 5; i++) clear_model(&list[i]), list[i].instance_of = instance_of[i];
    EXPECT_EQ(model_vertex_source(list, 5, 0), 0);
    EXPECT_EQ(model_vertex_source(list, 5, 2), 0);
    EXPECT_EQ(model_vertex_source(list, 5, 3), -1);
    EXPECT_EQ(model_vertex_source(list, 5, 5), -1);
    EXPECT_EQ(model_vertex_source(list, 5, -1), -1);
    list[1].instance_of = 7;
    EXPECT_EQ(model_vertex_source(list, 5, 2), -1);
    list[1].instance_of = 1;   // itself
    EXPECT_EQ(model_vertex_source(list, 5, 2), -1);
    EXPECT_EQ(model_vertex_source(nullptr, 0, 0), -1);
}
