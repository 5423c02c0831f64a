// The model decoder: header and tables, every polygon kind, reversal, hostile models, instance chains.
#include <gtest/gtest.h>

#include "demo/level_builder.h"
#include "level_test_support.h"
#include "level/model.h"

namespace {

struct decoded {
    model m;
    int result;
    decoded(const byte_buffer &b) { clear_model(&m), result = decode_model(b.data(), b.size(), &m); }
    ~decoded() { free_model(&m); }
};

// Corners and normals 296-299 (the last just inside the tables of model_of;
// both bytes of each index matter), and distinct uv, colours and page.
builder_polygon full_polygon(int type)
{
    builder_polygon p;
    p.type = type;
    for (int k = 0; k < 4; k++) {
        p.corners[k] = p.normals[k] = 296 + k;
        p.uv[k][0] = (unsigned char)(20 * k + 1);
        p.uv[k][1] = (unsigned char)(200 - k);
        for (int c = 0; c < 3; c++) p.colour[k][c] = (unsigned char)(100 + 50 * c + k);
    }
    p.texture = 7;
    return p;
}

// Three hundred vertices and normals, and the polygons.
byte_buffer model_of(const std::vector<builder_polygon> &polygons)
{
    builder_model m;
    for (int i = 0; i < 300; i++) m.vertices.push_back({(float)i, 0, 0}), m.normals.push_back({0, (float)i, 0});
    m.polygons = polygons;
    return encode_model(m);
}

}  // namespace

TEST(model_decode, header_fields_and_tables_with_x_and_y_negated)
{
    builder_model b = make_cube_model(3);
    b.draw_flags = 1u << 28 | 5;
    b.extra_word = 0xDEADBEEF;
    b.vertices[1] = {1.5f, -2.0f, 3.0f};
    b.has_extra_table = true;
    b.extra_records.resize(2);
    decoded d(encode_model(b));
    ASSERT_EQ(d.result, DECODE_OK);
    const model &m = d.m;
    EXPECT_EQ(m.draw_flags, (1u << 28 | 5));
    EXPECT_EQ(m.extra_word, 0xDEADBEEFu);
    ASSERT_EQ(m.vertex_count, 8);
    EXPECT_EQ(std::vector<float>(m.vertices[1], m.vertices[1] + 3), (std::vector<float>{-1.5f, 2.0f, 3.0f}));
    EXPECT_EQ(m.extra_record_count, 2);
    // An instancing model owns no vertices, info or extra records, though its tables are present.
    b.instance_of = 5;
    decoded inst(encode_model(b));
    EXPECT_TRUE(inst.result == DECODE_OK && !inst.m.vertices && !inst.m.polygon_info && !inst.m.extra_records);
    EXPECT_FALSE(inst.m.polygons[5].unsafe);   // vertex indices wait for the list
}

// Every kind against its byte layout: which fields it takes, reversed or
// not, and which indices it checks against the model's tables.
TEST(model_decode, every_kind_takes_the_fields_of_its_layout)
{
    struct expectation { int type, corners; bool uv, textured, has_texture; int colours; };
    const expectation kinds[] = {
        {0, 3, false, false, false, 1},  {1, 4, false, false, false, 1},  {4, 3, true, true, true, 1},
        {5, 4, true, true, true, 1},     {6, 3, true, true, true, 3},     {7, 4, true, true, true, 4},
        {16, 3, false, false, false, 1}, {17, 4, false, false, true, 1},  {18, 3, false, false, true, 1},
        {19, 4, false, false, true, 1},  {20, 3, true, true, true, 1},    {21, 4, true, true, true, 1},
        {22, 3, true, true, true, 1},    {23, 4, true, true, true, 1},
    };
    for (const expectation &e : kinds)
        for (int type : {e.type, e.type + 32}) {
            SCOPED_TRACE(type);
            decoded d(model_of({full_polygon(type)}));
            ASSERT_TRUE(d.result == DECODE_OK && d.m.polygon_count == 1);
            const model_polygon &q = d.m.polygons[0];
            int n = e.corners;
            EXPECT_EQ(q.type, type);
            for (int k = 0; k < n; k++) EXPECT_EQ(q.corners[n - 1 - k], 296 + k);
            for (int k = 0; e.uv && k < n; k++)
                EXPECT_TRUE(q.uv[n - 1 - k].u == 20 * k + 1 && q.uv[n - 1 - k].v == 200 - k) << k;
            EXPECT_EQ(q.textured, e.textured);
            EXPECT_EQ(q.texture, e.has_texture ? 7 : 0);
            for (int k = 0; k < e.colours; k++)   // colours are not reversed
                EXPECT_EQ(std::vector<float>({q.red[k], q.green[k], q.blue[k]}),
                          std::vector<float>({100.0f + k, 150.0f + k, 200.0f + k}));
            EXPECT_FALSE(q.unsafe);
            // A corner just outside the vertex table makes the polygon unsafe; a normal outside its table
            // does not (normals take no part in drawing).
            for (int slot : {0, n - 1}) {
                builder_polygon p = full_polygon(type);
                p.corners[slot] = slot ? 300 : -1;
                EXPECT_TRUE(decoded(model_of({p})).m.polygons[0].unsafe) << slot;
                p = full_polygon(type);
                p.normals[slot] = slot ? 300 : -1;
                EXPECT_FALSE(decoded(model_of({p})).m.polygons[0].unsafe) << slot;
            }
        }
}

TEST(polygon_kinds, types_map_to_kinds_with_bit_5_ignored)
{
    const int cases[][2] = {{0, 0}, {32, 0}, {7, 7}, {39, 7}, {16, 8}, {55, 15}, {8, -1}, {31, -1}, {47, -1}, {56, -1}, {-1, -1}};
    for (auto &c : cases)
        EXPECT_EQ(polygon_kind(c[0]), c[1]) << c[0];
}

// Kinds 2 and 3 are skipped by their size with a log line; a type without a
// layout ends the polygons.
TEST(model_decode, unimplemented_types_are_skipped_and_unknown_ones_end_the_polygons)
{
    log_capture log;
    decoded d(model_of({full_polygon(2), full_polygon(35), full_polygon(4)}));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{" Model uses unimplemented type 2", " Model uses unimplemented type 3"}));
    ASSERT_EQ(d.m.polygon_count, 3);
    EXPECT_TRUE(d.m.polygons[2].textured);   // the stream advanced by 20 and 28 bytes
    for (int bad : {8, 15, 24, 31, 40, 47, 56, 255}) {
        decoded e(model_of({full_polygon(4), full_polygon(bad), full_polygon(0)}));
        EXPECT_TRUE(e.result == DECODE_OK && e.m.polygon_count == 1) << bad;
    }
}

TEST(model_decode, models_outside_their_bytes_are_refused)
{
    byte_buffer good = encode_model(make_cube_model(0));
    for (size_t cut = 0; cut < good.size(); cut++) {
        decoded d(byte_buffer(good.begin(), good.begin() + (long)cut));
        EXPECT_NE(d.result, DECODE_OK) << cut;
        EXPECT_TRUE(!d.m.polygons && !d.m.vertices);
    }
    struct field_case { size_t field; uint32_t value; int result; };
    const uint32_t size = (uint32_t)good.size();
    for (field_case c : {field_case{28, 0xFFFFFFFF, DECODE_TRUNCATED}, {32, 0xFFFFFFF0, DECODE_TRUNCATED},
                         {36, size, DECODE_TRUNCATED}, {40, size - 10, DECODE_TRUNCATED},
                         {44, 0x80000000, DECODE_TRUNCATED}, {52, size - 3, DECODE_TRUNCATED},
                         {20, 0x00068000, DECODE_BAD_COUNT}, {20, 0x80000008, DECODE_BAD_COUNT},
                         {24, 0x00018000, DECODE_BAD_COUNT}, {24, 0x80000000, DECODE_BAD_COUNT}}) {
        byte_buffer b = good;
        patch32le(b, c.field, c.value);
        EXPECT_EQ(decoded(b).result, c.result) << c.field;
    }
    byte_buffer b = good;
    patch32le(b, 52, size - 4);
    patch32le(b, good.size() - 4, 1);   // one extra record, no room for it
    EXPECT_EQ(decoded(b).result, DECODE_TRUNCATED);
    // Tables with no entries are not looked at.
    b = encode_model(builder_model());
    for (size_t field : {28u, 32u, 36u, 40u, 44u}) patch32le(b, field, 0xFFFFFFFF);
    EXPECT_EQ(decoded(b).result, DECODE_OK);
    EXPECT_EQ(decoded(byte_buffer()).result, DECODE_TRUNCATED);
}
