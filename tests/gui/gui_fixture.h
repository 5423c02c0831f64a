// Scripted input and one dispatcher shared by the widget tests.
#pragma once
#include <gtest/gtest.h>

#include "gui/object.h"

struct gui_fixture : ::testing::Test {
    gui_input_state input;
    gui_manager manager;
    gui_fixture() { gui_set_input(&input); }
    ~gui_fixture() override { gui_set_input(nullptr); }
    // One dispatcher pass with the pointer at (px, py); buttons: 1 left, 2 right.
    void pass(int px, int py, int b) { input.mouse_x = px; input.mouse_y = py; input.mouse_b = b; manager.update(); }
    void buttons(int b) { pass(input.mouse_x, input.mouse_y, b); }
    void key(int value) { input.push_key(value); manager.update(); }
};
