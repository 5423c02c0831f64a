// Tests of the batch export and import: round trips that change no byte, edited files landing in their page and palette, refusals.
#include <errno.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "imaging/batch.h"
#include "imaging/bitmap_export.h"
#include "imaging/page_import.h"
#include "imaging_support.h"
#include "level/level_snapshot.h"
#include "level/level_writer.h"
#include "level/texture_store.h"

namespace {

int files_in(const std::string &folder) { return (int)std::distance(std::filesystem::directory_iterator(folder), {}); }

// The demo level, loaded from a copy that save_level may write; `marks`
// leaves out page 16, whose palette 0 the demo lacks.
struct batch_test : ::testing::Test {
    level lvl = {};
    std::string files = make_temp_folder(), lev = files + "/demo.lev", d3d = files + "/demo.d3d";
    bytes lev_bytes = read_file_bytes(binary_path("demo/demo.lev")), d3d_bytes = read_file_bytes(binary_path("demo/demo.d3d"));
    bool marks[32];
    batch_report report;

    void SetUp() override
    {
        ASSERT_TRUE(write_file_bytes(lev, lev_bytes) && write_file_bytes(d3d, d3d_bytes));
        ASSERT_EQ(LOAD_OK, load_bytes(&lvl, lev_bytes, d3d_bytes));
        for (int p = 0; p < 32; p++) marks[p] = p != 16;
    }
    void TearDown() override { release_level_memory(&lvl); }
    int export_marked(batch_export_options o, const std::string &to)
    {
        o.pages = marks;
        return export_pages(&lvl, to.c_str(), &o, &report);
    }
    std::string file(const char *name) { return files + "/" + name; }
};

TEST_F(batch_test, ExportThenImportWithoutEditsLeavesTheLevelByteIdentical)
{
    struct row { int format; bool want_8bit, all_palettes; int files; };
    // 31 pages; with every palette, page 0 adds two files and page 10 one.
    for (row r : {row{BATCH_BMP, true, false, 31}, row{BATCH_BMP, false, false, 31}, row{BATCH_PNG, true, false, 31},
                  row{BATCH_PNG, false, true, 34}, row{BATCH_BMP, true, true, 34}}) {
        SCOPED_TRACE(r.format * 100 + r.want_8bit * 10 + r.all_palettes);
        std::string to = make_temp_folder();
        batch_export_options o;
        o.format = r.format, o.want_8bit = r.want_8bit, o.all_palettes = r.all_palettes;
        ASSERT_EQ(0, export_marked(o, to));
        // Names the export does not write are left alone; the extension's case
        // is free. (Where names ignore case, as on Windows, "Page_001.bmp" is
        // the exported file itself.)
        for (const char *decoy : {"page_1.bmp", "page_0001.bmp", "page_001.txt", "Page_001.bmp", "page_001_palette_.bmp", "page_001.bmp.part"})
            if (!std::filesystem::exists(to + "/" + decoy)) write_file_text(to + "/" + decoy, "not an image");
        std::rename((to + "/page_002.bmp").c_str(), (to + "/page_002.BMP").c_str());
        ASSERT_EQ(0, import_pages(&lvl, to.c_str(), nullptr, &report)) << report.file << ": " << report.reason;
        EXPECT_EQ(r.files, report.skipped);
        ASSERT_EQ(SAVE_OK, save_level(&lvl, lev.c_str(), d3d.c_str()).code);
        EXPECT_TRUE(read_file_bytes(lev) == lev_bytes && read_file_bytes(d3d) == d3d_bytes);
    }
}

TEST_F(batch_test, EditedFilesImportIntoTheirPageAndPalette)
{
    for (int p = 0; p < 32; p++) marks[p] = p < 2;  // palettes 12, 7 and 301; 15-bit
    batch_export_options o;
    o.all_palettes = true;
    ASSERT_EQ(0, export_marked(o, files));
    const level_palette p12 = *palette_by_id(&lvl, 12), p7 = *palette_by_id(&lvl, 7);
    const unsigned char *indices = lvl.textures[0].pixels, soot = indices[50 * 256 + 180] ^ 0x55, brick = indices[10 * 256 + 10];
    auto edit = [&](const char *name, size_t at, bytes values) {
        bytes b = read_file_bytes(file(name));
        std::copy(values.begin(), values.end(), b.begin() + at);
        ASSERT_TRUE(write_file_bytes(file(name), b));
    };
    // Palette 7's colour 0 becomes (3, 2, 1), which pixels outside SOOT show, so it stays;
    // page 1's top-left pixel (8, 16, 248); through palette 301, one index in SOOT
    // (x 176-200, y 40-240) and one in BRICK_A, outside.
    edit("page_000_palette_7.bmp", 54, {1, 2, 3});
    edit("page_001.bmp", 54 + 255 * 768, {248, 16, 8});
    edit("page_000_palette_301.bmp", 1078 + 205 * 256 + 180, {soot});
    edit("page_000_palette_301.bmp", 1078 + 245 * 256 + 10, {(unsigned char)(brick ^ 0x55)});
    const char *names[] = {"SOOT"};
    batch_import_options io;
    io.texture_name_count = 1, io.texture_names = names;
    ASSERT_EQ(0, import_pages(&lvl, files.c_str(), &io, &report)) << report.reason;
    EXPECT_EQ(3, report.imported);
    EXPECT_EQ(0, memcmp(palette_by_id(&lvl, 7)->entries[0], p7.entries[0], 4));
    EXPECT_EQ(0, memcmp(palette_by_id(&lvl, 12), &p12, sizeof p12));
    EXPECT_EQ(0, lvl.textures[0].palette_slot);
    EXPECT_EQ(0x045F, page_pixels16(lvl.textures[1])[0]);
    EXPECT_EQ(soot, lvl.textures[0].pixels[50 * 256 + 180]);  // palette 301's file came after palette 7's
    EXPECT_EQ(brick, lvl.textures[0].pixels[10 * 256 + 10]);
}

// What each import must wait for. Pages 0 and 1 share palette 0 (lists {0, 1}
// and {0, 2}, one named texture each): page 1's import keeps every colour
// page 0 shows, so it must see page 0 after page 0's import. Page 2 (list
// {3}) gets a new palette, after which page 3 (list {3, 4}, one named
// texture) no longer shares palette 3 with it; page 4 (list {3}, a recolour)
// gets a copy of palette 3 as page 3's import leaves it. Every number of
// threads gives the level that importing the files one by one gives.
TEST(batch_threads, any_number_of_threads_gives_the_level_of_one_file_after_another)
{
    std::string folder = make_temp_folder();
    std::vector<std::vector<bytes>> first;
    for (int jobs : {0, 1, 2, 3})   // 0: one file after another
        for (int quantiser : {QUANTISER_NEUQUANT, QUANTISER_BEST}) {
            level lvl;
            make_test_level(&lvl, std::vector<bool>(5, true), {0, 1, 2, 3, 4},
                            {{0, {0, 1}}, {1, {0, 2}}, {2, {3}}, {3, {3, 4}}, {4, {3}}});
            lvl.texture_names = (texture_name *)calloc(3, sizeof(texture_name));
            lvl.texture_name_count = 3;
            lvl.texture_names[0] = {"A", 0, 20, 30, 120, 90}, lvl.texture_names[1] = {"B", 1, 60, 10, 150, 200};
            lvl.texture_names[2] = {"C", 3, 0, 0, 100, 255};
            const int base[5] = {0, 0, 0, 128, 0}, span[5] = {64, 96, 128, 128, 64};
            for (int p = 0; p < 5; p++)
                for (int i = 0; i < PAGE_PIXELS; i++) lvl.textures[p].pixels[i] = (unsigned char)(base[p] + i * (p + 3) / 7 % span[p]);
            batch_report report;
            if (first.empty()) {
                batch_export_options o;
                o.want_8bit = false;
                ASSERT_EQ(0, export_pages(&lvl, folder.c_str(), &o, &report));
                for (int p = 0; p < 5; p++) {
                    std::string name = folder + "/page_00" + std::to_string(p) + ".bmp";
                    bytes b = read_file_bytes(name);
                    for (size_t k = 0; k < PAGE_PIXELS * 3; k++) b[54 + k] = (unsigned char)(p == 4 ? b[54 + k] ^ 0x20 : k * (p + 5) / 11);
                    ASSERT_TRUE(write_file_bytes(name, b));
                }
            }
            batch_import_options io;
            io.jobs = jobs, io.quantiser = quantiser;
            for (int p = 0; jobs == 0 && p < 5; p++)
                ASSERT_EQ(0, import_page_file(&lvl, p, -1, (folder + "/page_00" + std::to_string(p) + ".bmp").c_str(), &io, &report));
            if (jobs > 0) {
                ASSERT_EQ(0, import_pages(&lvl, folder.c_str(), &io, &report)) << report.reason;
            }
            EXPECT_EQ(jobs == 0 ? 1 : 5, report.imported);
            std::vector<bytes> now = level_state(lvl);
            now.erase(now.begin() + 2), now.erase(now.begin());   // where the arrays happen to live
            if (jobs == 0) first.push_back(now);
            else EXPECT_TRUE(now == first[(size_t)quantiser]) << jobs << " threads, quantiser " << quantiser;
            release_level_memory(&lvl);
        }
}

TEST_F(batch_test, RefusalsChangeNothingAndSayWhy)
{
    // Every page: page 16, whose palette is missing, is left out and named.
    ASSERT_EQ(0, export_pages(&lvl, files.c_str(), nullptr, &report));
    EXPECT_EQ(31, report.exported);
    EXPECT_EQ(1, report.left_out);
    EXPECT_EQ(16, report.left_out_pages[0]);
    bool every_page[32];
    std::fill(every_page, every_page + 32, true);
    batch_export_options marked_16;
    marked_16.pages = every_page;
    bytes edited = read_file_bytes(file("page_001.bmp"));
    edited[100] ^= 0xFF;
    const char *nope[] = {"NOPE"};
    batch_import_options named;
    named.texture_name_count = 1, named.texture_names = nope;
    struct row { std::vector<std::string> files; int result; const char *reason; };  // the last file fails
    const row rows[] = {
        {{}, EXPORT_NO_PALETTE, "palette 0 of page 16 does not exist"},  // marked: no file written
        {{"page_032.bmp"}, IMPORT_BAD_PAGE, "the level has no page 32 (it has 32 pages)"},
        {{"page_001.bmp", "page_003.png"}, IMPORT_TRUNCATED, "the file is truncated"},
        {{"page_000_palette_7.bmp"}, IMPORT_BAD_PAGE, "page 0 has no texture named \"NOPE\""},
    };
    int pages[] = {0, 1, 3};
    level_snapshot before = {};
    ASSERT_EQ(0, take_level_snapshot(&lvl, pages, 3, &before));
    for (const row &r : rows) {
        SCOPED_TRACE(r.reason);
        std::string to = make_temp_folder();
        for (const std::string &f : r.files) write_file_bytes(to + "/" + f, f[7] == '3' ? bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0} : edited);
        EXPECT_EQ(r.result, r.files.empty() ? export_pages(&lvl, to.c_str(), &marked_16, &report) : import_pages(&lvl, to.c_str(), &named, &report));
        EXPECT_STREQ(r.reason, report.reason);
        EXPECT_EQ(r.files.empty() ? "" : to + "/" + r.files.back(), report.file);
        EXPECT_EQ(r.files.size(), (size_t)files_in(to) + report.imported + report.exported);
        EXPECT_TRUE(level_matches_snapshot(&lvl, &before));
    }
    free_level_snapshot(&before);
}

}  // namespace
