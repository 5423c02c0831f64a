// The demo level: the build's files are the generator's current output, and they load.
#include "demo/demo_level.h"
#include "level_test_support.h"

TEST(demo_level, build_writes_the_generator_output_which_loads)
{
    sample_level made = make_demo_level();
    EXPECT_TRUE(read_file_bytes(binary_path("demo/demo.lev")) == made.lev);
    EXPECT_TRUE(read_file_bytes(binary_path("demo/demo.d3d")) == made.d3d);
    level l;
    std::string reason;
    ASSERT_EQ(load_bytes(&l, made.lev, made.d3d, LOAD_ALL, &reason), LOAD_OK) << reason;
    release_level_memory(&l);
}
