// The list rows built at open and the list of a page's users.
#include "app/list_rows.h"
#include "level_test_support.h"

namespace {

std::vector<std::string> rows_of(char **rows, int count) { return std::vector<std::string>(rows, rows + count); }

}  // namespace

TEST(list_rows, rows_name_pages_event_models_textures_and_models)
{
    level l;
    ASSERT_EQ(load_bytes(&l, list_level(3, {{0}, {1}, {2}}, {{0}, {0}}, {"model0", "model1"}), no_lists()), LOAD_OK);
    ASSERT_EQ(build_name_lists(&l), 0);
    EXPECT_EQ(rows_of(page_rows, page_row_count), (std::vector<std::string>{"Texture 0", "Texture 1", "Texture 2"}));
    EXPECT_EQ(rows_of(event_model_rows, event_model_row_count),
              (std::vector<std::string>{"Event model 0", "Event model 1"}));
    ASSERT_EQ(texture_name_row_count, 2);
    EXPECT_EQ(texture_name_rows[1], l.texture_names[1].name);  // points at the name, not a copy
    // Three models but two names: the last row falls back to its index.
    EXPECT_EQ(rows_of(model_rows, model_row_count), (std::vector<std::string>{"model0", "model1", "2"}));
    free_name_lists();
    EXPECT_EQ(page_row_count + event_model_row_count + texture_name_row_count + model_row_count, 0);
    free_name_lists();  // twice is harmless
    release_level_memory(&l);
}

TEST(list_rows, users_come_event_models_first_then_models_once_each)
{
    // Page 200 is used by event model 2 and models 1 and 3 (model 3 twice,
    // and it has no name).
    level l;
    byte_buffer lev = list_level(1, {{1}, {3, 200}, {1}, {200, 200}}, {{1}, {2}, {200}}, {"a", "b", "c"});
    ASSERT_EQ(load_bytes(&l, lev, no_lists()), LOAD_OK);
    log_capture log;
    ASSERT_TRUE(build_users_list(&l, 200));
    EXPECT_EQ(rows_of(users_rows, users_row_count), (std::vector<std::string>{"Event model 2", "1: b", "3: "}));
    EXPECT_EQ(std::vector<int>(users_index, users_index + users_row_count), (std::vector<int>{2, 1, 3}));
    EXPECT_EQ(users_event_rows, 1);
    // Nobody uses page 4: the earlier list is gone, nothing replaces it.
    EXPECT_FALSE(build_users_list(&l, 4));
    EXPECT_TRUE(users_row_count + users_event_rows == 0 && !users_rows);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Building model list.", "Done building model list.",
                                                     "Building model list."}));
    free_users_list();
    release_level_memory(&l);
}
