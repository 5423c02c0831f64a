// Helpers shared by the test suites: paths, temporary folders, file bytes.
#pragma once
#include <string>
#include <vector>

std::string source_path(const std::string &relative);   // under the source tree
std::string binary_path(const std::string &relative);   // under the build tree
// A fresh empty folder under the system temp folder; removed at exit.
std::string make_temp_folder();
// A file's bytes, or none when it cannot be read; its bytes as text.
std::vector<unsigned char> read_file_bytes(const std::string &path);
std::string read_file_text(const std::string &path);
bool write_file_bytes(const std::string &path, const std::vector<unsigned char> &bytes);
bool write_file_text(const std::string &path, const std::string &text);
