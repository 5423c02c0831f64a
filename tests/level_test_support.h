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

// Loads a level from bytes; answers the load's code, its reason in `reason` when given.
inline int load_bytes(level *l, const byte_buffer &lev, const byte_buffer &d3d, int mask = LOAD_ALL,
                      std::string *reason = nullptr)
{
    memset(l, 0, sizeof *l);
    result r = load_level_from_memory(l, lev.data(), lev.size(), d3d.data(), d3d.size(), mask);
    if (reason) *reason = r.reason;
    return r.code;
}

typedef std::vector<std::vector<unsigned char>> page_uses;

// A level of paletted pages, two texture names, models and event models
// using the pages given, and the model names given.
inline byte_buffer list_level(int pages, const page_uses &model_uses, const page_uses &event_uses,
                       const std::vector<std::string> &names)
{
    std::vector<builder_model> models(model_uses.size()), events(event_uses.size());
    for (size_t i = 0; i < models.size(); i++) models[i].textures_used = model_uses[i];
    for (size_t i = 0; i < events.size(); i++) events[i].textures_used = event_uses[i];
    return encode_level({{BLOCK_TEXTURES, encode_texture_block({}, std::vector<builder_page>(pages, make_paletted_page(0)))},
                         {BLOCK_TEXTURE_NAMES, encode_texture_names_block({{"road"}, {"sky"}})},
                         {BLOCK_MODELS, encode_model_block(models)}, {BLOCK_EVENT_MODELS, encode_model_block(events)},
                         {BLOCK_MODEL_NAMES, encode_model_names_block(names)}});
}

// An empty palette-list file.
inline byte_buffer no_lists() { return encode_palette_lists({}); }
