// Page users counted for the tool and the quick info: each model once.
#include "level/name_lists.h"
#include "level_test_support.h"

TEST(name_lists, each_model_counts_once_for_a_page_however_often_its_list_names_it)
{
    // Page 1: model 0 (twice in its list), model 2 and event model 0 (three
    // times); page 2: model 1 only; page 0: nobody. Pages past the count are not counted.
    level l;
    byte_buffer lev = list_level(3, {{1, 1}, {2, 7}, {1}}, {{1, 1, 1}}, {"a", "b", "c"});
    ASSERT_EQ(load_bytes(&l, lev, no_lists()), LOAD_OK);
    int counts[3] = {9, 9, 9};
    count_page_users(&l, counts, 3);
    EXPECT_EQ(std::vector<int>(counts, counts + 3), (std::vector<int>{0, 3, 1}));
    EXPECT_TRUE(model_uses_page(l.models[1], 7) && !model_uses_page(l.models[1], 1));
    EXPECT_STREQ(model_name(&l, 2), "c");
    EXPECT_EQ(model_name(&l, 3), nullptr);
    release_level_memory(&l);
}
