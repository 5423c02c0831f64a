// The readme's path and URL, and the detached start of the browser.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "app/readme.h"
#include "test_support.h"

TEST(readme, paths_that_do_not_fit_are_refused)
{
    char path[512], url[1024], small_url[512];
    std::string too_long = "/" + std::string(600, 'a') + "/qte";
    EXPECT_EQ(readme_location(too_long.c_str(), path, sizeof path, url, sizeof url), 1);
    // The URL needs seven characters more than the path.
    std::string path_fits = "/" + std::string(490, 'b') + "/qte";
    ASSERT_EQ(readme_location(path_fits.c_str(), path, sizeof path, url, sizeof url), 0);
    EXPECT_EQ(readme_location(path_fits.c_str(), path, sizeof path, small_url, sizeof small_url), 1);
}

TEST(readme, the_launcher_gets_the_url_as_one_argument_without_a_shell)
{
    std::string folder = make_temp_folder();
    std::string script = folder + "/fake-open", out = folder + "/argument";
    FILE *f = fopen(script.c_str(), "w");
    fprintf(f, "#!/bin/sh\nprintf '%%s|%%s' \"$#\" \"$1\" > '%s'\n", out.c_str());
    fclose(f);
    chmod(script.c_str(), 0755);
    const char *url = "file:///a b/'quoted' $(nothing)/README/main.html";
    ASSERT_EQ(launch_detached(script.c_str(), url), 0);
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 200 && bytes.empty(); i++) {
        usleep(10000);
        bytes = read_file_bytes(out);
    }
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("1|") + url);
}
