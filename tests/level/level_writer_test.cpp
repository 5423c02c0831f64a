// The level writer and the save: round trips, rebuilt texture blocks, failed saves that lose nothing.
#include <gtest/gtest.h>
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "app/app_state.h"
#include "app/message_box.h"
#include "level/level_writer.h"
#include "level/texture_store.h"
#include "level_test_support.h"

namespace {

std::vector<std::string> shown_messages;
void record_message(const char *text) { shown_messages.push_back(text); }
typedef std::vector<std::string> names;

// A level written to a fresh folder and loaded from there, with the paths
// set as the open command sets them.
struct saved_level_fixture : testing::Test {
    std::string folder, lev_file, d3d_file;
    byte_buffer lev_bytes, d3d_bytes;
    level lvl;

    void SetUp() override
    {
        memset(&lvl, 0, sizeof lvl);
        shown_messages.clear();
        show_message = record_message;
        level_changed = false;
    }
    void TearDown() override
    {
        if (lvl.load_mask) release_level_memory(&lvl);
        current_level = nullptr;
        show_message = allegro_message_box;
    }
    void write_and_load(const sample_level &s, const char *name = "track", int mask = LOAD_ALL)
    {
        folder = make_temp_folder();
        lev_file = folder + "/" + name + ".lev";
        d3d_file = folder + "/" + name + ".d3d";
        lev_bytes = s.lev;
        d3d_bytes = s.d3d;
        ASSERT_TRUE(write_bytes_to_file(lev_file.c_str(), lev_bytes));
        ASSERT_TRUE(write_bytes_to_file(d3d_file.c_str(), d3d_bytes));
        load_from_disk(mask);
    }
    void load_from_disk(int mask = LOAD_ALL)
    {
        if (lvl.load_mask) release_level_memory(&lvl);
        memset(&lvl, 0, sizeof lvl);
        FILE *a = fopen(lev_file.c_str(), "rb");
        FILE *b = fopen(d3d_file.c_str(), "rb");
        ASSERT_EQ(load_level(&lvl, a, b, mask), LOAD_OK);
        fclose(a);
        fclose(b);
        snprintf(level_path, sizeof level_path, "%s", lev_file.c_str());
        snprintf(d3d_path, sizeof d3d_path, "%s", d3d_file.c_str());
        snprintf(level_folder, sizeof level_folder, "%s/", folder.c_str());
        current_level = &lvl;
    }
    bool files_unchanged()
    {
        return read_file_bytes(lev_file) == lev_bytes && read_file_bytes(d3d_file) == d3d_bytes;
    }
    names folder_entries()
    {
        names found;
        DIR *d = opendir(folder.c_str());
        while (dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) found.push_back(e->d_name);
        closedir(d);
        std::sort(found.begin(), found.end());
        return found;
    }
    // Offset of the first texture block's size field in a level file.
    static size_t texture_size_field(const byte_buffer &b)
    {
        size_t at = 4;
        while (peek32le(b, at) != 0) at += 8 + peek32le(b, at + 4);
        return at + 4;
    }
};

}  // namespace

TEST_F(saved_level_fixture, unchanged_level_saves_byte_for_byte_with_unread_blocks_and_trailing_bytes)
{
    sample_level s = make_sample_level(3, 2);
    s.lev.insert(s.lev.end(), {1, 2, 3, 4, 5});   // bytes after the last block
    write_and_load(s);
    log_capture log;
    level_changed = true;
    save_level_command();
    EXPECT_EQ(log.lines(), (names{"Saving changes.", "Save completed"}));
    EXPECT_FALSE(level_changed);
    EXPECT_TRUE(files_unchanged());
    EXPECT_EQ(folder_entries(), (names{"track.d3d", "track.lev"}));
    EXPECT_TRUE(shown_messages.empty());
    // Read without the textures: every block is copied, none rebuilt.
    load_from_disk(LOAD_MODELS | LOAD_WORLD);
    ASSERT_EQ(save_level(&lvl), SAVE_OK);
    EXPECT_TRUE(files_unchanged());
}

TEST_F(saved_level_fixture, edited_pages_palettes_and_lists_are_written)
{
    write_and_load(make_sample_level(2, 1));
    lvl.textures[0].pixels[5] = 99;
    page_pixels16(lvl.textures[2])[65535] = 0x7FFF;
    lvl.textures[2].flags |= 0x01;
    lvl.palettes[1].entries[3][0] = 1;   // red
    lvl.palettes[1].entries[3][3] = 2;   // extra
    set_palette_list_entry(&lvl, 1, 0, 1);
    ASSERT_EQ(save_level(&lvl), SAVE_OK);
    EXPECT_EQ(read_file_bytes(lev_file).size(), lev_bytes.size());
    load_from_disk();
    EXPECT_EQ(lvl.textures[0].pixels[5], 99);
    EXPECT_EQ(page_pixels16(lvl.textures[2])[65535], 0x7FFF);
    EXPECT_TRUE(lvl.textures[2].transparent);
    EXPECT_EQ(lvl.palettes[1].entries[3][0], 1);
    EXPECT_EQ(lvl.palettes[1].entries[3][3], 2);
    EXPECT_EQ(get_palette_list_entry(&lvl, 1, 1), 0);
}

TEST_F(saved_level_fixture, removed_palettes_are_left_out_and_appended_ones_added)
{
    // Six pages with 1, 2, 3, 1, 2, 3 palettes: twelve in all.
    write_and_load(make_sample_level(6, 0));
    ASSERT_EQ(lvl.palette_count, 12);
    size_t field = texture_size_field(lev_bytes);
    uint32_t old_size = peek32le(lev_bytes, field);
    lvl.palette_table[4] = nullptr;
    lvl.palette_table[9] = nullptr;
    ASSERT_EQ(save_level(&lvl), SAVE_OK);
    byte_buffer saved = read_file_bytes(lev_file);
    EXPECT_EQ(peek32le(saved, field), old_size - 2052);
    EXPECT_EQ(saved[field + 4] | saved[field + 5] << 8, 10);
    EXPECT_EQ(saved.size(), lev_bytes.size() - 2052);
    load_from_disk();
    EXPECT_EQ(lvl.palette_count, 10);
    EXPECT_EQ(lvl.palette_table[4], nullptr);
    EXPECT_NE(lvl.palette_table[5], nullptr);

    // An import's new palette: appended record, id 4, table entry set.
    lev_bytes = read_file_bytes(lev_file);
    level_palette *grown = (level_palette *)realloc(lvl.palettes, 11 * sizeof(level_palette));
    ASSERT_NE(grown, nullptr);
    lvl.palettes = grown;
    lvl.palette_count = 11;
    lvl.palettes[10] = lvl.palettes[0];
    lvl.palettes[10].id = 4;
    lvl.palettes[10].entries[0][0] = 42;
    for (int i = 0; i < lvl.palette_count; i++) lvl.palette_table[lvl.palettes[i].id] = &lvl.palettes[i];
    ASSERT_EQ(save_level(&lvl), SAVE_OK);
    EXPECT_EQ(peek32le(read_file_bytes(lev_file), field), peek32le(lev_bytes, field) + 1026);
    load_from_disk();
    EXPECT_EQ(lvl.palette_count, 11);
    EXPECT_EQ(lvl.palette_table[4]->entries[0][0], 42);
}

TEST_F(saved_level_fixture, palette_list_files_of_no_entries_save_unchanged)
{
    sample_level s = make_sample_level(0, 1);
    for (byte_buffer d3d : {byte_buffer{0, 0, 0, 0}, byte_buffer{0xFF, 0xFF, 0xFF, 0xFF}}) {
        s.d3d = d3d;
        write_and_load(s);
        ASSERT_EQ(save_level(&lvl), SAVE_OK);
        EXPECT_TRUE(files_unchanged());
    }
}

TEST_F(saved_level_fixture, a_level_called_temp_and_a_linked_level_save_in_place)
{
    write_and_load(make_sample_level(1, 1), "temp");
    chmod(lev_file.c_str(), 0640);
    std::string link_path = folder + "/link.lev";
    ASSERT_EQ(symlink(lev_file.c_str(), link_path.c_str()), 0);
    snprintf(level_path, sizeof level_path, "%s", link_path.c_str());
    lvl.textures[0].pixels[0] = 3;
    ASSERT_EQ(save_level(&lvl), SAVE_OK);
    EXPECT_EQ(folder_entries(), (names{"link.lev", "temp.d3d", "temp.lev"}));
    struct stat st;
    ASSERT_EQ(lstat(link_path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(lev_file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    load_from_disk();
    EXPECT_EQ(lvl.textures[0].pixels[0], 3);
}

TEST_F(saved_level_fixture, a_changed_or_missing_file_on_disk_is_not_overwritten)
{
    write_and_load(make_sample_level(2, 1));
    lev_bytes = make_sample_level(1, 1).lev;   // replaced by one of another page count
    ASSERT_TRUE(write_bytes_to_file(lev_file.c_str(), lev_bytes));
    level_changed = true;
    log_capture log;
    save_level_command();
    EXPECT_TRUE(level_changed);
    EXPECT_TRUE(files_unchanged());
    EXPECT_EQ(folder_entries(), (names{"track.d3d", "track.lev"}));
    EXPECT_EQ(log.lines(),
              (names{"Saving changes.", " Save failed: the level file on disk has 2 pages, the level 3."}));
    ASSERT_EQ(shown_messages.size(), 1u);
    EXPECT_NE(shown_messages[0].find("could not be saved"), std::string::npos);

    // A page that changed format is refused too.
    lev_bytes = make_sample_level(2, 1).lev;
    lev_bytes[texture_size_field(lev_bytes) + 4 + 2 + 1026 * 3 + 4] &= (unsigned char)~0x10;
    ASSERT_TRUE(write_bytes_to_file(lev_file.c_str(), lev_bytes));
    EXPECT_EQ(save_level(&lvl), SAVE_SOURCE_CHANGED);
    EXPECT_TRUE(files_unchanged());

    unlink(lev_file.c_str());
    EXPECT_EQ(save_level(&lvl), SAVE_READ_FAILED);
    EXPECT_EQ(read_file_bytes(d3d_file), d3d_bytes);
}

TEST_F(saved_level_fixture, a_palette_list_that_cannot_be_written_keeps_both_files)
{
    write_and_load(make_sample_level(2, 1));
    lvl.textures[0].pixels[0] = 9;
    std::string missing = folder + "/gone/track.d3d";   // no folder for its temporary file
    snprintf(d3d_path, sizeof d3d_path, "%s", missing.c_str());
    level_changed = true;
    save_level_command();
    EXPECT_TRUE(level_changed);
    EXPECT_TRUE(files_unchanged());
    EXPECT_EQ(folder_entries(), (names{"track.d3d", "track.lev"}));
    EXPECT_EQ(shown_messages.size(), 1u);
}

// A save that runs out of file size part-way (as on a full disk): run in a
// child whose file-size limit is below the level's size.
TEST_F(saved_level_fixture, an_interrupted_save_leaves_both_files_as_they_were)
{
    write_and_load(make_sample_level(4, 4));
    lvl.textures[0].pixels[0] = 9;
    lvl.palette_lists[0].palette_ids[0] = 1;
    for (rlim_t limit : {(rlim_t)0, (rlim_t)1000, (rlim_t)lev_bytes.size() / 2, (rlim_t)lev_bytes.size() - 1}) {
        SCOPED_TRACE(limit);
        fflush(stdout);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit r = {limit, limit};
            setrlimit(RLIMIT_FSIZE, &r);
            level_changed = true;
            save_level_command();
            // 0 = refused with level_changed still set and the user told.
            _exit(level_changed && shown_messages.size() == 1 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_TRUE(files_unchanged());
        EXPECT_EQ(folder_entries(), (names{"track.d3d", "track.lev"}));
    }
    ASSERT_EQ(save_level(&lvl), SAVE_OK);   // without a limit the same save goes through
    EXPECT_FALSE(files_unchanged());
}

// The palette-list file cannot replace its target after the level file has
// replaced its own: the old level file is put back.
TEST_F(saved_level_fixture, a_failed_second_rename_puts_the_level_file_back)
{
    write_and_load(make_sample_level(2, 1));
    lvl.textures[0].pixels[0] = 9;
    std::string blocked = folder + "/blocked.d3d";
    ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);   // a folder cannot be renamed over
    snprintf(d3d_path, sizeof d3d_path, "%s", blocked.c_str());
    EXPECT_EQ(save_level(&lvl), SAVE_WRITE_FAILED);
    EXPECT_NE(std::string(save_failure_reason()).find("cannot replace"), std::string::npos);
    EXPECT_TRUE(files_unchanged());
    EXPECT_EQ(folder_entries(), (names{"blocked.d3d", "track.d3d", "track.lev"}));
}

// Any level that loads saves back byte for byte, odd single-byte variants included.
TEST_F(saved_level_fixture, every_loadable_variant_saves_byte_for_byte)
{
    sample_level s;
    s.lev = encode_level({
        {BLOCK_TEXTURES, encode_texture_block({make_palette(2), make_palette(0), make_palette(2)}, {make_paletted_page(0)})},
        {BLOCK_MODELS, encode_model_block({make_cube_model(0)})},
        {BLOCK_MODEL_NAMES, encode_model_names_block({"one", "two"})},
        {9, byte_buffer(5, 1)},
    });
    s.d3d = encode_palette_lists({{0, {0, 2}}});
    int saved = 0;
    for (size_t at = 0; at < s.lev.size() && saved < 150; at += 1 + at / 16) {
        sample_level v = s;
        v.lev[at] ^= 0x41;
        level probe;
        if (load_bytes(&probe, v.lev, v.d3d) != LOAD_OK) continue;
        release_level_memory(&probe);
        SCOPED_TRACE(at);
        write_and_load(v);
        ASSERT_EQ(save_level(&lvl), SAVE_OK) << save_failure_reason();
        ASSERT_TRUE(files_unchanged());
        saved++;
    }
    EXPECT_GT(saved, 50);
}
