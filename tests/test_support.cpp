// Helpers shared by the test suites.
#include "test_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>

std::string source_path(const std::string &relative) { return std::string(QTE_SOURCE_DIR) + "/" + relative; }
std::string binary_path(const std::string &relative) { return std::string(QTE_BINARY_DIR) + "/" + relative; }

namespace {
struct temp_folders {
    std::vector<std::string> paths;
    ~temp_folders()
    {
        for (const auto &p : paths) {
            std::error_code ec;
            std::filesystem::remove_all(p, ec);
        }
    }
};
temp_folders created_folders;
}

std::string make_temp_folder()
{
    char pattern[] = "/tmp/qte_test_XXXXXX";
    const char *made = mkdtemp(pattern);
    if (!made) abort();
    created_folders.paths.push_back(made);
    return made;
}

std::vector<unsigned char> read_file_bytes(const std::string &path)
{
    std::vector<unsigned char> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(f);
    return bytes;
}

bool write_file_bytes(const std::string &path, const std::vector<unsigned char> &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}
