// Every image of the public conformance suites and of our own samples, imported
// into a 15-bit and a paletted page: exact pixels for the good files, a
// one-line reason for a refusal that leaves the level unchanged, the same
// level again on a second import, and never a crash.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <map>
#include <sstream>

#include "imaging/page_import.h"
#include "imaging/image_decode.h"
#include "imaging/image_file.h"
#include "imaging_support.h"

namespace {

struct suite_file {
    std::string kind, path, detail;  // see image_references.py
};

// The manifest the reference script writes (Pillow computes the pixels) in
// `out`; under Wine, which cannot start Python, the script has already
// written it to the folder QTE_IMAGE_REFERENCES names.
std::vector<suite_file> reference_manifest(std::string &out)
{
    const char *made = getenv("QTE_IMAGE_REFERENCES");
    std::string command = "/usr/bin/python3 " + source_path("tests/imaging/image_references.py") + " " + out + " " +
                          source_path("../shared/testimages");
    if (made && *made) out = made;
    else EXPECT_EQ(0, system(command.c_str())) << command;
    std::vector<suite_file> files;
    std::ifstream manifest(out + "/manifest.txt");
    for (std::string line; std::getline(manifest, line);) {
        std::istringstream fields(line);
        suite_file f;
        std::getline(fields, f.kind, '\t'), std::getline(fields, f.path, '\t'), std::getline(fields, f.detail);
        files.push_back(f);
    }
    return files;
}

// The 15-bit page an exact import of the reference picture gives.
bytes packed_page(const bytes &rgb)
{
    bytes page(2 * PAGE_PIXELS);
    for (int i = 0; i < PAGE_PIXELS; i++) {
        unsigned v = rgb15_from_rgb(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
        page[2 * i] = (unsigned char)v, page[2 * i + 1] = (unsigned char)(v >> 8);
    }
    return page;
}

// What an import can change, by content (pointers differ between levels):
// the palettes, the palette lists, then page 0 (15-bit) and page 1 (paletted).
std::vector<bytes> level_content(const level &l)
{
    std::vector<bytes> s;
    auto add = [&](const void *p, size_t n) { s.emplace_back((const unsigned char *)p, (const unsigned char *)p + n); };
    add(l.palettes, l.palette_count * sizeof(level_palette));
    for (int i = 0; i < l.palette_list_count; i++) add(l.palette_lists[i].palette_ids, l.palette_lists[i].count * 4);
    for (int t = 0; t < l.texture_count; t++) add(l.textures[t].pixels, page_byte_size(l.textures[t]));
    return s;
}

// Loads `path` and imports it into pages 0 (15-bit) and 1 (paletted) of a fresh
// level; answers the decoder's result and the level's content before and after.
decode_result import_both(const std::string &path, std::vector<bytes> *before, std::vector<bytes> *after)
{
    level lvl;
    make_test_level(&lvl, {false, true}, {0}, {{1, {0}}});
    *before = level_content(lvl);
    import_image image;
    decode_result result = load_import_image(path.c_str(), &image);
    if (result.code == IMPORT_OK) {
        EXPECT_EQ(IMPORT_OK, import_image_into_page(&lvl, 0, &image, nullptr));
        EXPECT_EQ(IMPORT_OK, import_image_into_page(&lvl, 1, &image, nullptr));
    }
    free_import_image(&image);
    *after = level_content(lvl);
    release_level_memory(&lvl);
    return result;
}

}  // namespace

TEST(image_suite, every_file_is_read_exactly_or_refused_with_its_reason_and_the_same_every_time)
{
    std::string out = make_temp_folder();
    std::vector<suite_file> files = reference_manifest(out);
    ASSERT_GT(files.size(), 250u);
    std::map<std::string, int> counts;   // "exact", or the reason a file was refused
    for (const suite_file &f : files) {
        SCOPED_TRACE(f.path);
        std::vector<bytes> before, after, again_before, again;
        decode_result result = import_both(f.path, &before, &after);
        if (result.code != IMPORT_OK) {
            ASSERT_TRUE(result.reason[0] && !strchr(result.reason, '\n'));
            EXPECT_NE("exact", f.kind) << result.reason;
            EXPECT_NE(std::string::npos, std::string(result.reason).find(f.kind == "refused" ? f.detail : ""));
            EXPECT_TRUE(before == after) << "a refusal changed the level";
            counts[result.reason]++;
            continue;
        }
        EXPECT_NE("refused", f.kind);
        if (f.kind == "exact") {
            bytes want = packed_page(read_file_bytes(out + "/" + f.detail + ".rgb"));
            const bytes &page = after[after.size() - 2];   // page 0, the 15-bit one
            EXPECT_TRUE(page == want) << "the pixels differ from the reference";
        }
        import_both(f.path, &again_before, &again);
        EXPECT_TRUE(after == again) << "a second import gave another level";
        counts[f.kind == "exact" ? "exact" : "read"]++;
    }
    for (const auto &c : counts) printf("%4d  %s\n", c.second, c.first.c_str());
}
