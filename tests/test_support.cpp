// Helpers shared by the test suites.
#include "test_support.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

std::string source_path(const std::string &relative) { return std::string(QTE_SOURCE_DIR) + "/" + relative; }
std::string binary_path(const std::string &relative) { return std::string(QTE_BINARY_DIR) + "/" + relative; }

std::string make_temp_folder()
{
    static struct folders {
        std::vector<std::string> paths;
        ~folders()
        {
            std::error_code ignored;
            for (const std::string &p : paths) std::filesystem::remove_all(p, ignored);
        }
    } created;
    std::random_device random;
    for (int attempt = 0; attempt < 100; attempt++) {
        std::filesystem::path folder = std::filesystem::temp_directory_path() / ("qte_test_" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error)) {
            created.paths.push_back(folder.generic_string());
            return created.paths.back();
        }
    }
    abort();
}

std::vector<unsigned char> read_file_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string read_file_text(const std::string &path)
{
    std::vector<unsigned char> bytes = read_file_bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool write_file_bytes(const std::string &path, const std::vector<unsigned char> &bytes)
{
    std::ofstream out(path, std::ios::binary);
    return (bool)out.write((const char *)bytes.data(), (std::streamsize)bytes.size()).flush();
}

bool write_file_text(const std::string &path, const std::string &text)
{
    return write_file_bytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}
