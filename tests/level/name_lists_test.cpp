// The name lists built at open and the list of a page's users.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "level/name_lists.h"

namespace {

// A level with only what the lists read: pages, names, models and the pages
// each model uses.
struct list_level {
    level lvl;
    std::vector<model> models, events;
    std::vector<std::vector<unsigned char>> model_pages, event_pages;
    std::vector<texture_name> names;
    std::vector<std::string> model_name_text;
    std::vector<char *> model_name_ptrs;

    list_level(int pages, std::vector<std::vector<unsigned char>> model_uses,
               std::vector<std::vector<unsigned char>> event_uses, int named_models)
        : model_pages(model_uses), event_pages(event_uses)
    {
        memset(&lvl, 0, sizeof lvl);
        lvl.load_mask = LOAD_ALL;
        lvl.texture_count = pages;
        auto fill = [](std::vector<model> &list, std::vector<std::vector<unsigned char>> &pages) {
            list.resize(pages.size());
            for (size_t i = 0; i < list.size(); i++) {
                memset(&list[i], 0, sizeof(model));
                list[i].textures_used = pages[i].data();
                list[i].textures_used_count = (int32_t)pages[i].size();
            }
        };
        fill(models, model_pages);
        fill(events, event_pages);
        lvl.models = models.data();
        lvl.model_count = (int32_t)models.size();
        lvl.event_models = events.data();
        lvl.event_model_count = (int32_t)events.size();
        for (int i = 0; i < named_models; i++) model_name_text.push_back("model" + std::to_string(i));
        for (auto &s : model_name_text) model_name_ptrs.push_back(&s[0]);
        model_name_ptrs.push_back(nullptr);
        lvl.model_names = model_name_ptrs.data();
        lvl.model_name_count = named_models;
    }
};

std::vector<std::string> rows_of(char **rows, int count)
{
    return std::vector<std::string>(rows, rows + count);
}

}  // namespace

TEST(name_lists, rows_name_pages_event_models_textures_and_models)
{
    list_level l(3, {{0}, {1}, {2}}, {{0}, {0}}, 2);
    texture_name names[2] = {{"road", 0, 0, 0, 8, 8}, {"sky", 1, 0, 0, 8, 8}};
    l.lvl.texture_names = names;
    l.lvl.texture_name_count = 2;
    ASSERT_EQ(build_name_lists(&l.lvl), 0);
    EXPECT_EQ(rows_of(page_rows, page_row_count), (std::vector<std::string>{"Texture 0", "Texture 1", "Texture 2"}));
    EXPECT_EQ(rows_of(event_model_rows, event_model_row_count),
              (std::vector<std::string>{"Event model 0", "Event model 1"}));
    ASSERT_EQ(texture_name_row_count, 2);
    EXPECT_EQ(texture_name_rows[1], names[1].name);  // points at the name, not a copy
    // Three models but two names: the last row falls back to its index.
    EXPECT_EQ(rows_of(model_rows, model_row_count), (std::vector<std::string>{"model0", "model1", "2"}));
    free_name_lists();
    EXPECT_EQ(page_rows, nullptr);
    EXPECT_EQ(page_row_count + event_model_row_count + texture_name_row_count + model_row_count, 0);
    free_name_lists();  // twice is harmless
    list_level empty(0, {}, {}, 0);
    empty.lvl.model_names = nullptr;
    ASSERT_EQ(build_name_lists(&empty.lvl), 0);
    EXPECT_EQ(page_row_count + event_model_row_count + texture_name_row_count + model_row_count, 0);
    free_name_lists();
}

TEST(name_lists, users_come_event_models_first_then_models)
{
    // Page 7 is used by event model 2 and models 5 and 9 (model 9 twice).
    std::vector<std::vector<unsigned char>> models(10, std::vector<unsigned char>{1});
    models[5] = {3, 7};
    models[9] = {7, 7};
    list_level l(8, models, {{1}, {2}, {7}}, 10);
    ASSERT_TRUE(build_users_list(&l.lvl, 7));
    EXPECT_EQ(rows_of(users_rows, users_row_count),
              (std::vector<std::string>{"Event model 2", "5: model5", "9: model9"}));
    EXPECT_EQ(std::vector<int>(users_index, users_index + users_row_count), (std::vector<int>{2, 5, 9}));
    EXPECT_EQ(users_event_rows, 1);
    free_users_list();
    EXPECT_EQ(users_row_count, 0);
    EXPECT_EQ(users_rows, nullptr);
}

TEST(name_lists, high_page_numbers_and_unused_pages)
{
    list_level l(256, {{200}, {1}}, {}, 1);  // model 1 has no name
    ASSERT_TRUE(build_users_list(&l.lvl, 200));
    EXPECT_EQ(rows_of(users_rows, users_row_count), (std::vector<std::string>{"0: model0"}));
    ASSERT_TRUE(build_users_list(&l.lvl, 1));
    EXPECT_EQ(rows_of(users_rows, users_row_count), (std::vector<std::string>{"1: "}));
    // Nobody uses page 4: the earlier list is gone, nothing replaces it.
    EXPECT_FALSE(build_users_list(&l.lvl, 4));
    EXPECT_EQ(users_row_count, 0);
    EXPECT_EQ(users_event_rows, 0);
}
