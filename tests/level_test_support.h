// Helpers of the level tests: capturing the debug log, loading builder bytes, level equality.
#pragma once
#include <gtest/gtest.h>
#include <string.h>


#include "base/debug_log.h"
#include "demo/level_builder.h"
#include "level/level.h"
#include "test_support.h"

// Sends the debug log to a fresh file for the life of the object.
struct log_capture {
    std::string path = make_temp_folder() + "/debug.txt";
    size_t mark = 0;
    log_capture()
    {
        open_debug_log(path.c_str());
        clear();
    }
    ~log_capture() { close_debug_log(); }
    void clear() { mark = read_file_bytes(path).size(); }
    // The lines logged since the last clear, without their trailing blank.
    std::vector<std::string> lines()
    {
        std::string text = read_file_text(path).substr(mark);
        std::vector<std::string> out;
        for (size_t at = 0, end; (end = text.find(" \n", at)) != std::string::npos; at = end + 2)
            out.push_back(text.substr(at, end - at));
        return out;
    }
};

// True when every field of the level is zero: nothing loaded, nothing owned.
inline bool level_is_empty(const level &l)
{
    static const level zero = {};
    return memcmp(&l, &zero, sizeof zero) == 0;
}

inline int load_bytes(level *l, const byte_buffer &lev, const byte_buffer &d3d, int mask = LOAD_ALL)
{
    memset(l, 0, sizeof *l);
    return load_level_from_memory(l, lev.data(), lev.size(), d3d.data(), d3d.size(), mask);
}

// An empty palette-list file.
inline byte_buffer no_lists() { return encode_palette_lists({}); }
